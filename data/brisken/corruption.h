// The one exit for failed internal consistency checks. Every public operation
// of a Brisken file passes a failed check here exactly once.
#pragma once

#include <string>

namespace korvex::brisken {

inline constexpr const char* kCorruptionTitle = "Brisken File Driver Error";

// Called with the check's number, the message and the title. The default
// handler writes both to stderr and ends the process; a handler that returns
// lets the operation unwind with its error result.
using CorruptionHandler = void (*)(int check, const std::string& message, const char* title);

// "Possible data corruption in file (N)".
std::string CorruptionMessage(int check);

// Reports a failed check through the installed handler.
void CorruptionHalt(int check);

// Installs handler (nullptr: the default) and returns the previous one.
CorruptionHandler SetCorruptionHandler(CorruptionHandler handler);

}  // namespace korvex::brisken
