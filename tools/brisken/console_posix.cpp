#include <unistd.h>

#include "tools/brisken/console.h"

namespace korvex::tool {

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void SetBinaryMode(std::FILE*) {}  // POSIX streams never translate

}  // namespace korvex::tool
