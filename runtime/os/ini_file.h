// One entry of a named INI file: read it, write it. On Windows these are the
// platform's private-profile functions (a name without a path lives where the
// platform puts it, an empty name is the platform's default profile). Elsewhere
// our own reader and writer keep the same rules as the profile reader and
// replace the file through a temporary file and a rename, so a crash never
// leaves it half written.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace korvex::os {

// The value of entry in section (names compared without regard to case,
// blanks around the value and one pair of enclosing quotes dropped), or
// fallback when the file, section or entry is missing.
std::string IniRead(const std::string& file, const std::string& section,
                    const std::string& entry, const std::string& fallback);

// Sets entry in section to value, adding the section and entry when missing.
// False when the file cannot be written or a name or value would break the
// file's lines (a line break anywhere, "]" in a section, "=" in an entry, an
// empty name).
bool IniWrite(const std::string& file, const std::string& section, const std::string& entry,
              const std::string& value);

// Sets several entries of one section. Elsewhere than on Windows the file is
// replaced once, so all of them reach it or none do.
bool IniWriteEntries(const std::string& file, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& entries);

// True when section, entry and value can be stored without breaking the file.
bool IniWritable(const std::string& section, const std::string& entry, const std::string& value);

}  // namespace korvex::os
