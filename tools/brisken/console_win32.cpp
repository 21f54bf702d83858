#include <fcntl.h>
#include <io.h>

#include "tools/brisken/console.h"

namespace korvex::tool {

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void SetBinaryMode(std::FILE* stream) {
  std::fflush(stream);
  _setmode(_fileno(stream), _O_BINARY);
}

}  // namespace korvex::tool
