#include "tools/brisken/command.h"

namespace korvex::tool {

// One line per command; each is defined in its own <name>_command.cpp.
Command EvalCommand();

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      EvalCommand(),
  };
  return commands;
}

}  // namespace korvex::tool
