#include "tools/brisken/command.h"

namespace korvex::tool {

// One line per command; each is defined in its own <name>_command.cpp.
Command EvalCommand();
Command TablesCommand();
Command DeclarationCommand();
Command ExportCommand();
Command ImportCommand();
Command CreateCommand();
Command CheckCommand();

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      EvalCommand(),
      TablesCommand(),
      DeclarationCommand(),
      ExportCommand(),
      ImportCommand(),
      CreateCommand(),
      CheckCommand(),
  };
  return commands;
}

}  // namespace korvex::tool
