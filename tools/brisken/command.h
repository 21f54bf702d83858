// The commands of the brisken tool. Each lives in a file of its own
// (eval_command.cpp, ...) and is listed once in commands.cpp.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace korvex::tool {

struct Command {
  const char* name;
  const char* summary;  // one line for the tool's command list
  const char* usage;    // the command's full help text
  // Runs with the arguments after the command's name; returns the exit status.
  int (*run)(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
};

// Every command, in the order the help lists them.
const std::vector<Command>& Commands();

}  // namespace korvex::tool
