#include "runtime/locale/environment_file.h"

namespace korvex {
namespace {

constexpr size_t kKeyLimit = 31;
constexpr size_t kValueLimit = 1024;
constexpr char kEndOfFile = 26;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::vector<EnvironmentLine> ReadEnvironmentText(std::string_view text) {
  std::vector<EnvironmentLine> lines;
  size_t at = 0;
  while (at < text.size()) {
    char c = text[at];
    if (c == kEndOfFile) break;
    if (c == '\r' || c == '\n') {
      ++at;
      continue;
    }
    size_t end = text.find_first_of(std::string_view("\r\n\x1a", 3), at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string key;
    for (char k : line.substr(0, equals)) {
      if (IsBlank(k)) continue;
      key.push_back(k >= 'a' && k <= 'z' ? static_cast<char>(k - 'a' + 'A') : k);
    }
    std::string_view value = line.substr(equals + 1);
    if (key.empty() || key.size() > kKeyLimit || value.size() > kValueLimit) continue;
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    lines.push_back({std::move(key), std::string(value)});
  }
  return lines;
}

std::string DecodeEnvironmentEscapes(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c != '<') {
      out.push_back(c);
      continue;
    }
    if (i + 1 < value.size() && value[i + 1] == '<') {
      out.push_back('<');
      ++i;
      continue;
    }
    // "<n>" with n from 1 to 255; a longer run of digits cannot be in range.
    size_t j = i + 1;
    unsigned code = 0;
    while (j < value.size() && j - i <= 4 && value[j] >= '0' && value[j] <= '9') {
      code = code * 10 + static_cast<unsigned>(value[j] - '0');
      ++j;
    }
    if (j > i + 1 && j < value.size() && value[j] == '>' && code >= 1 && code <= 255) {
      out.push_back(static_cast<char>(code));
      i = j;
      continue;
    }
    out.push_back('<');
  }
  return out;
}

std::string EnvironmentItem(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    std::vector<std::string> items = EnvironmentList(value);
    if (items.size() == 1) return items[0];
  }
  return DecodeEnvironmentEscapes(value);
}

std::vector<std::string> EnvironmentList(std::string_view value) {
  std::vector<std::string> items;
  size_t at = 0;
  for (;;) {
    while (at < value.size() && IsBlank(value[at])) ++at;
    std::string item;
    if (at < value.size() && value[at] == '"') {
      std::string raw;
      ++at;
      while (at < value.size()) {
        if (value[at] == '"') {
          if (at + 1 < value.size() && value[at + 1] == '"') {
            raw.push_back('"');
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        raw.push_back(value[at++]);
      }
      item = DecodeEnvironmentEscapes(raw);
      // Anything between the closing quote and the next "," is dropped.
      size_t comma = value.find(',', at);
      at = comma == std::string_view::npos ? value.size() : comma;
    } else {
      size_t comma = value.find(',', at);
      size_t end = comma == std::string_view::npos ? value.size() : comma;
      item = DecodeEnvironmentEscapes(TrimBlanks(value.substr(at, end - at)));
      at = end;
    }
    items.push_back(std::move(item));
    if (at >= value.size()) break;
    ++at;  // the ","
  }
  return items;
}

std::string EnvironmentFileName(std::string_view program_path) {
  size_t slash = program_path.find_last_of("/\\");
  size_t component = slash == std::string_view::npos ? 0 : slash + 1;
  size_t dot = program_path.rfind('.');
  std::string name(program_path);
  if (dot != std::string_view::npos && dot >= component) name.resize(dot);
  return name + ".ENV";
}

}  // namespace korvex
