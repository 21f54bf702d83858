// Between the portable and the platform parts of child_process.
#pragma once

#include <string>
#include <vector>

namespace korvex::os::child_internal {

// The first argument of a child: this prefix followed by the role's name.
constexpr const char kRoleFlag[] = "--korvex-child=";
// Keeps a test framework from running any test should the role be missing.
constexpr const char kNoTestsFlag[] = "--gtest_filter=-*";
// Separates the flags from the role's own arguments.
constexpr const char kArgsFlag[] = "--";

// This process's arguments, program name first ({} when unreadable).
std::vector<std::string> OwnArguments();

// Sleeps for about ms milliseconds.
void SleepMs(int ms);

}  // namespace korvex::os::child_internal
