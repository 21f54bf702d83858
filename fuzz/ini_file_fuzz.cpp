// Our own INI reader and writer on arbitrary file texts. Input: a section
// name, a newline, an entry name, a newline, a value, a newline, the file text.
// Whatever the text, an entry that was set reads back as written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/os/ini_file.h"
#include "runtime/os/ini_file_text.h"

namespace {

std::string_view NextLine(std::string_view* input) {
  size_t newline = input->find('\n');
  std::string_view line = input->substr(0, newline);
  input->remove_prefix(newline == std::string_view::npos ? input->size() : newline + 1);
  return line;
}

// What the reader gives for a stored value: blanks around it and one pair of
// enclosing quotes dropped.
std::string AsRead(std::string_view value) {
  size_t begin = value.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return "";
  size_t end = value.find_last_not_of(" \t\r\n");
  value = value.substr(begin, end - begin + 1);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string section(NextLine(&input));
  std::string entry(NextLine(&input));
  std::string value(NextLine(&input));
  std::string_view text = input;
  korvex::os::IniTextLookup(text, section, entry);
  if (!korvex::os::IniWritable(section, entry, value)) return 0;
  std::string updated = korvex::os::IniTextSet(text, section, entry, value);
  auto found = korvex::os::IniTextLookup(updated, section, entry);
  if (!found || *found != AsRead(value)) std::abort();
  // Setting it again changes nothing more.
  if (korvex::os::IniTextSet(updated, section, entry, value) != updated) std::abort();
  return 0;
}
