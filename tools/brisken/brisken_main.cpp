// brisken: the command-line companion for Brisken files.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/locale/locale_startup.h"
#include "tools/brisken/command.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fputs(
      "usage: brisken COMMAND [ARGUMENTS...]\n"
      "       brisken COMMAND --help\n"
      "\n"
      "commands:\n",
      to);
  for (const korvex::tool::Command& c : korvex::tool::Commands()) {
    std::fprintf(to, "  %-12s %s\n", c.name, c.summary);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The locale of the system profile and of brisken.ENV beside the program,
  // so pictures, case and key order are those of the programs using the files.
  korvex::StartLocaleOnce();
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    if (name == "help" && argc > 2) {
      for (const korvex::tool::Command& c : korvex::tool::Commands()) {
        if (argv[2] == std::string(c.name)) {
          std::fputs(c.usage, stdout);
          return 0;
        }
      }
    }
    PrintUsage(stdout);
    return 0;
  }
  for (const korvex::tool::Command& c : korvex::tool::Commands()) {
    if (name == c.name) {
      std::vector<std::string> args(argv + 2, argv + argc);
      int status = c.run(args, stdout, stderr);
      std::fflush(stdout);
      return status;
    }
  }
  std::fprintf(stderr, "brisken: unknown command '%s'\n\n", name.c_str());
  PrintUsage(stderr);
  return 2;
}
