#include "runtime/os/ini_file_text.h"

#include <vector>

#include "runtime/os/ini_file.h"

namespace korvex::os {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(kBlanks);
  return text.substr(begin, end - begin + 1);
}

bool SameName(std::string_view a, std::string_view b) {
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

enum class LineKind { kOther, kSection, kEntry };

struct Line {
  size_t begin = 0;     // offset of the line in the text
  size_t end = 0;       // offset of its line ending (or of the text's end)
  size_t next = 0;      // offset of the next line
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section or entry name
  std::string_view value;  // entry value, trimmed
};

Line ReadLine(std::string_view text, size_t at) {
  Line line;
  line.begin = at;
  size_t newline = text.find('\n', at);
  line.next = newline == std::string_view::npos ? text.size() : newline + 1;
  line.end = newline == std::string_view::npos ? text.size() : newline;
  if (line.end > at && text[line.end - 1] == '\r') --line.end;
  std::string_view content = Trim(text.substr(at, line.end - at));
  if (content.empty() || content[0] == ';') return line;
  if (content[0] == '[') {
    size_t close = content.find(']');
    line.kind = LineKind::kSection;
    line.name = Trim(content.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                        : close - 1));
    return line;
  }
  size_t equals = content.find('=');
  if (equals == std::string_view::npos) return line;
  line.kind = LineKind::kEntry;
  line.name = Trim(content.substr(0, equals));
  line.value = Trim(content.substr(equals + 1));
  return line;
}

std::string_view LineEnding(std::string_view text) {
  size_t newline = text.find('\n');
  if (newline == std::string_view::npos) return "\r\n";
  return newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

bool IniWritable(const std::string& section, const std::string& entry, const std::string& value) {
  auto breaks_line = [](std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
  };
  if (Trim(section).empty() || Trim(entry).empty()) return false;
  if (breaks_line(section) || breaks_line(entry) || breaks_line(value)) return false;
  if (section.find(']') != std::string::npos || entry.find('=') != std::string::npos) return false;
  // An entry that reads as a comment or a section could never be found again.
  std::string_view name = Trim(entry);
  return name[0] != ';' && name[0] != '[';
}

std::optional<std::string> IniTextLookup(std::string_view text, std::string_view section,
                                         std::string_view entry) {
  section = Trim(section);
  entry = Trim(entry);
  bool in_section = false;
  for (size_t at = 0; at < text.size();) {
    Line line = ReadLine(text, at);
    at = line.next;
    if (line.kind == LineKind::kSection) {
      in_section = SameName(line.name, section);
    } else if (line.kind == LineKind::kEntry && in_section && SameName(line.name, entry)) {
      std::string_view value = line.value;
      // A value in matching quotes loses them, as on the platform.
      if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
          value.back() == value[0]) {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
  }
  return std::nullopt;
}

std::string IniTextSet(std::string_view text, std::string_view section, std::string_view entry,
                       std::string_view value) {
  section = Trim(section);
  entry = Trim(entry);
  std::string entry_line = std::string(entry) + "=" + std::string(value);
  bool in_section = false;
  bool in_first_section = false;
  bool section_seen = false;
  size_t insert_at = std::string_view::npos;  // after the last entry of the first section
  for (size_t at = 0; at < text.size();) {
    Line line = ReadLine(text, at);
    at = line.next;
    if (line.kind == LineKind::kSection) {
      in_section = SameName(line.name, section);
      in_first_section = in_section && !section_seen;
      if (in_first_section) insert_at = line.next;
      if (in_section) section_seen = true;
      continue;
    }
    if (!in_section || line.kind != LineKind::kEntry) continue;
    if (SameName(line.name, entry)) {
      // The entry keeps the name as the file spells it.
      std::string out(text.substr(0, line.begin));
      out += line.name;
      out += "=";
      out += value;
      out += text.substr(line.end);
      return out;
    }
    if (in_first_section) insert_at = line.next;
  }
  std::string_view ending = LineEnding(text);
  std::string out;
  if (insert_at != std::string_view::npos) {
    out.assign(text.substr(0, insert_at));
    if (!out.empty() && out.back() != '\n') out += ending;
    out += entry_line;
    out += ending;
    out += text.substr(insert_at);
    return out;
  }
  out.assign(text);
  if (!out.empty() && out.back() != '\n') out += ending;
  out += "[" + std::string(section) + "]";
  out += ending;
  out += entry_line;
  out += ending;
  return out;
}

}  // namespace korvex::os
