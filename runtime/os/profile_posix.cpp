// The profile from the INI file named by KORVEX_PROFILE, read afresh on each
// call so that a changed file is seen at once, as the platform profile is.

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "runtime/os/profile.h"

namespace korvex::os {
namespace {

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Finds key in section; false when the file, section or key is missing.
bool Lookup(const std::string& section, const std::string& key, std::string* value) {
  const char* path = std::getenv("KORVEX_PROFILE");
  if (path == nullptr || *path == '\0') return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  bool in_section = false;
  while (std::getline(in, line)) {
    std::string text = Trim(line);
    if (text.empty() || text[0] == ';') continue;
    if (text[0] == '[') {
      size_t close = text.find(']');
      std::string name = Trim(text.substr(1, close == std::string::npos ? std::string::npos
                                                                        : close - 1));
      in_section = SameName(name, section);
      continue;
    }
    if (!in_section) continue;
    size_t equals = text.find('=');
    if (equals == std::string::npos) continue;
    if (!SameName(Trim(text.substr(0, equals)), key)) continue;
    std::string found = Trim(text.substr(equals + 1));
    // A value in matching quotes loses them, as on the platform.
    if (found.size() >= 2 && (found[0] == '"' || found[0] == '\'') &&
        found.back() == found[0]) {
      found = found.substr(1, found.size() - 2);
    }
    *value = found;
    return true;
  }
  return false;
}

}  // namespace

std::string ProfileString(const std::string& section, const std::string& key,
                          const std::string& fallback) {
  std::string value;
  return Lookup(section, key, &value) ? value : fallback;
}

int ProfileInt(const std::string& section, const std::string& key, int fallback) {
  std::string value;
  // An empty value counts as missing, as the platform's call treats it.
  if (!Lookup(section, key, &value) || value.empty()) return fallback;
  size_t i = 0;
  bool negative = false;
  if (value[i] == '+' || value[i] == '-') negative = value[i++] == '-';
  uint32_t number = 0;  // wraps on overflow like the platform's conversion
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
    number = number * 10 + static_cast<uint32_t>(value[i++] - '0');
  }
  if (negative) number = 0u - number;
  return static_cast<int>(number);  // leading digits only; none gives 0
}

}  // namespace korvex::os
