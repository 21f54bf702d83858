// The environment file: lines of KEY=value that set the locale. CR and LF
// between lines are skipped and a byte 26 ends the file. A key is at most 31
// characters with its blanks dropped (a longer one is ignored, never cut) and
// is compared without regard to case; a value is at most 1024 characters (a
// longer line is skipped whole), its trailing blanks and tabs removed. In a
// value "<n>" (n from 1 to 255) stands for character n and "<<" for "<";
// anything else stays as written. A list value is split at "," into items,
// each of which may be quoted with double quotes (a doubled one standing for
// one).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvex {

struct EnvironmentLine {
  std::string key;    // upper case, blanks dropped
  std::string value;  // as written, escapes not yet decoded
};

// Every usable line of the file's text, in order.
std::vector<EnvironmentLine> ReadEnvironmentText(std::string_view text);

// The value as one item: escapes decoded, one pair of enclosing quotes
// dropped.
std::string EnvironmentItem(std::string_view value);
// The value as a list of items, escapes decoded in each; blanks around an
// unquoted item are dropped.
std::vector<std::string> EnvironmentList(std::string_view value);
// Escapes decoded, nothing else.
std::string DecodeEnvironmentEscapes(std::string_view value);

// The environment file of a program: its path with the text from the last
// "." of the last path component replaced by ".ENV" (appended when that
// component has no ".").
std::string EnvironmentFileName(std::string_view program_path);

}  // namespace korvex
