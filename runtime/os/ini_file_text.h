// The INI text itself, for our own reader and writer: lookup of an entry and
// the text with one entry set. Lines end in LF or CR LF; a line starting with
// ";" is a comment; "[name]" opens a section; "key=value" is an entry. Names
// are compared without regard to ASCII case after blanks around them are
// dropped; the first matching entry of any matching section counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvex::os {

std::optional<std::string> IniTextLookup(std::string_view text, std::string_view section,
                                         std::string_view entry);

// text with entry set to value: the first matching entry line is replaced
// (keeping its line ending), else the entry is added after the last entry of
// the first matching section, else the section is added at the end. New lines
// follow the text's own line endings (CR LF for an empty text).
// REQUIRES: IniWritable(section, entry, value).
std::string IniTextSet(std::string_view text, std::string_view section, std::string_view entry,
                       std::string_view value);

}  // namespace korvex::os
