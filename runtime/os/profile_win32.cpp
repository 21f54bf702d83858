#include <windows.h>

#include <vector>

#include "runtime/os/profile.h"

namespace korvex::os {

std::string ProfileString(const std::string& section, const std::string& key,
                          const std::string& fallback) {
  std::vector<char> buffer(256);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD n = GetProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                size);
    // size - 1 means the value may have been cut off: try a larger buffer.
    if (n + 1 < size || size >= (1u << 20)) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
}

int ProfileInt(const std::string& section, const std::string& key, int fallback) {
  return static_cast<int>(GetProfileIntA(section.c_str(), key.c_str(), fallback));
}

}  // namespace korvex::os
