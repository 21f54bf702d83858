#include <windows.h>

#include <vector>

#include "runtime/os/process.h"

namespace korvex::os {

std::string ProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return "";
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);  // cut off: try a larger buffer
  }
}

}  // namespace korvex::os
