#include "data/driver/driver_options.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace korvex::driver {

namespace {

bool IsSeparator(char c) { return c == '/' || c == ','; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Position of the first separator at or after from that is outside quotes, or
// options.size(). Scans start on option boundaries, which lie outside quotes.
size_t NextSeparator(std::string_view options, size_t from) {
  bool quoted = false;
  for (size_t i = from; i < options.size(); ++i) {
    if (options[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && IsSeparator(options[i])) {
      return i;
    }
  }
  return options.size();
}

// Finds the next non-empty option after *cursor: its text and the position just past it.
bool FindOption(std::string_view options, size_t cursor, std::string_view* text, size_t* after) {
  size_t start = NextSeparator(options, std::min(cursor, options.size()));
  while (start < options.size()) {
    size_t end = NextSeparator(options, start + 1);
    std::string_view option = options.substr(start + 1, end - start - 1);
    while (!option.empty() && IsBlank(option.front())) option.remove_prefix(1);
    while (!option.empty() && IsBlank(option.back())) option.remove_suffix(1);
    if (!option.empty()) {
      *text = option;
      *after = end;
      return true;
    }
    start = end;
  }
  return false;
}

}  // namespace

OptionRead NextDriverOption(std::string_view options, size_t* cursor, char* buffer,
                            size_t buffer_size, size_t* length) {
  std::string_view text;
  size_t after = 0;
  if (!FindOption(options, *cursor, &text, &after)) {
    *cursor = options.size();
    *length = 0;
    if (buffer_size > 0) buffer[0] = '\0';
    return OptionRead::kEnd;
  }
  *length = text.size();
  if (buffer_size > 0) {
    size_t n = std::min(text.size(), buffer_size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  if (buffer_size <= text.size()) return OptionRead::kTooLong;
  *cursor = after;
  return OptionRead::kOption;
}

bool NextDriverOption(std::string_view options, size_t* cursor, std::string* option) {
  std::string_view text;
  size_t after = 0;
  if (!FindOption(options, *cursor, &text, &after)) {
    *cursor = options.size();
    return false;
  }
  option->assign(text);
  *cursor = after;
  return true;
}

bool HasAllowDetails(std::string_view options) {
  static constexpr std::string_view kWord = "ALLOWDETAILS";
  size_t cursor = 0;
  std::string option;
  while (NextDriverOption(options, &cursor, &option)) {
    if (option[0] != 'A' && option[0] != 'a') continue;
    if (option.size() != kWord.size()) continue;
    bool same = true;
    for (size_t i = 0; i < kWord.size() && same; ++i) {
      same = std::toupper(static_cast<unsigned char>(option[i])) == kWord[i];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace korvex::driver
