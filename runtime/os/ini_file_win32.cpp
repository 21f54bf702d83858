#include <windows.h>

#include <vector>

#include "runtime/os/ini_file.h"

namespace korvex::os {
namespace {

// The platform's call wants null for the default profile file.
const char* FileArgument(const std::string& file) {
  return file.empty() ? nullptr : file.c_str();
}

}  // namespace

std::string IniRead(const std::string& file, const std::string& section,
                    const std::string& entry, const std::string& fallback) {
  if (section.empty() || entry.empty()) return fallback;  // would list names instead
  std::vector<char> buffer(1024);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD n = GetPrivateProfileStringA(section.c_str(), entry.c_str(), fallback.c_str(),
                                       buffer.data(), size, FileArgument(file));
    // size - 1 means the value may have been cut off: try a larger buffer.
    if (n + 1 < size || size >= (1u << 20)) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
}

bool IniWrite(const std::string& file, const std::string& section, const std::string& entry,
              const std::string& value) {
  if (!IniWritable(section, entry, value)) return false;
  return WritePrivateProfileStringA(section.c_str(), entry.c_str(), value.c_str(),
                                    FileArgument(file)) != 0;
}

bool IniWriteEntries(const std::string& file, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
  for (const auto& [entry, value] : entries) {
    if (!IniWritable(section, entry, value)) return false;
  }
  bool ok = true;
  for (const auto& [entry, value] : entries) ok = IniWrite(file, section, entry, value) && ok;
  return ok;
}

}  // namespace korvex::os
