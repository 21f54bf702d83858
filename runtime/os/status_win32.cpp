#include <windows.h>

#include "runtime/os/status.h"

namespace korvex::os {

std::string Status::Text() const {
  if (ok()) return "";
  char buffer[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(native_), 0, buffer, sizeof buffer, nullptr);
  // The platform's texts end with CR LF, which would break a trace line.
  while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ')) --n;
  if (n == 0) return "Unknown error " + std::to_string(native_);
  return std::string(buffer, n);
}

}  // namespace korvex::os
