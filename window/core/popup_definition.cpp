#include "window/core/popup_definition.h"

#include <cstdint>
#include <limits>

namespace korvex {

namespace {

constexpr char kEscape = '\\';

// Reads one segment (the characters of an entry, escapes kept) from text at
// *pos; stops before an unescaped "|", "{" or "}".
std::string_view NextSegment(std::string_view text, size_t* pos) {
  size_t start = *pos;
  size_t i = start;
  while (i < text.size()) {
    char c = text[i];
    if (c == kEscape) {
      i += (i + 1 < text.size()) ? 2 : 1;
      continue;
    }
    if (c == '|' || c == '{' || c == '}') break;
    ++i;
  }
  *pos = i;
  return text.substr(start, i - start);
}

// Appends the characters of raw from *pos up to an unescaped stop character
// (or the end), escapes removed; *pos ends on the stop character.
void ReadUntil(std::string_view raw, size_t* pos, std::string_view stops, std::string* out) {
  size_t i = *pos;
  while (i < raw.size()) {
    char c = raw[i];
    if (c == kEscape) {
      if (i + 1 < raw.size()) out->push_back(raw[i + 1]);
      i += 2;
      continue;
    }
    if (stops.find(c) != std::string_view::npos) break;
    out->push_back(c);
    ++i;
  }
  *pos = i < raw.size() ? i : raw.size();
}

PopupAttribute ReadNumberAttribute(std::string_view raw) {
  PopupAttribute a;
  size_t i = 0;
  while (i < raw.size() && raw[i] == ' ') ++i;
  bool negative = i < raw.size() && raw[i] == '-';
  if (negative) ++i;
  int64_t value = 0;
  for (; i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; ++i) {
    if (value < (int64_t{1} << 32)) value = value * 10 + (raw[i] - '0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) value = std::numeric_limits<int32_t>::min();
  a.number = static_cast<int32_t>(value);
  return a;
}

// Reads "[...]" starting after the "["; *pos ends after the "]" (or at the end
// when it is missing).
void ReadAttributes(std::string_view raw, size_t* pos, std::vector<PopupAttribute>* out) {
  size_t i = *pos;
  while (i < raw.size()) {
    if (raw[i] == ']') {
      ++i;
      break;
    }
    if (raw[i] == ',') {
      ++i;
      continue;
    }
    if (raw[i] == '(') {
      PopupAttribute a;
      a.is_text = true;
      ++i;
      ReadUntil(raw, &i, ")", &a.text);
      if (i < raw.size()) ++i;  // the ")"
      out->push_back(std::move(a));
      continue;
    }
    std::string number;
    ReadUntil(raw, &i, ",](", &number);
    out->push_back(ReadNumberAttribute(number));
  }
  *pos = i;
}

PopupEntry ReadEntry(std::string_view raw) {
  PopupEntry e;
  if (raw == "-") {
    e.kind = PopupEntry::Kind::kSeparator;
    return e;
  }
  size_t i = 0;
  if (i < raw.size() && raw[i] == '~') {
    e.disabled = true;
    ++i;
  }
  if (i < raw.size() && raw[i] == '+') {
    e.checked = true;
    ++i;
  } else if (i < raw.size() && raw[i] == '-') {
    ++i;
  }
  if (i < raw.size() && raw[i] == '[') {
    e.owner_drawn = true;
    ++i;
    ReadAttributes(raw, &i, &e.attributes);
  }
  ReadUntil(raw, &i, "", &e.text);
  return e;
}

}  // namespace

PopupDefinition ParsePopupDefinition(std::string_view definition) {
  PopupDefinition def;
  uint16_t depth = 1;
  size_t ignored_opens = 0;  // "{" past the deepest level, read as "|"
  auto close_level = [&] {
    --depth;
    PopupEntry end;
    end.kind = PopupEntry::Kind::kSubmenuEnd;
    end.depth = depth;
    def.entries.push_back(std::move(end));
  };
  size_t pos = 0;
  while (pos <= definition.size()) {
    std::string_view raw = NextSegment(definition, &pos);
    char delimiter = pos < definition.size() ? definition[pos] : '\0';
    if (delimiter == '{' && depth == std::numeric_limits<uint16_t>::max()) {
      ++ignored_opens;
      delimiter = '|';
    }
    if (delimiter == '{') {
      PopupEntry caption = ReadEntry(raw);
      caption.kind = PopupEntry::Kind::kSubmenuBegin;
      if (raw == "-") caption.text.assign(1, '-');
      caption.depth = depth++;
      def.entries.push_back(std::move(caption));
    } else if (!raw.empty()) {
      PopupEntry e = ReadEntry(raw);
      e.depth = depth;
      if (e.kind == PopupEntry::Kind::kItem && def.item_count == kMaxPopupItems) {
        ++def.dropped_items;
      } else {
        if (e.kind == PopupEntry::Kind::kItem) e.number = ++def.item_count;
        def.entries.push_back(std::move(e));
      }
    }
    if (delimiter == '}') {
      if (ignored_opens > 0) {
        --ignored_opens;
      } else if (depth > 1) {
        close_level();
      }
    }
    if (pos >= definition.size()) break;
    ++pos;  // past the delimiter
  }
  while (depth > 1) close_level();
  return def;
}

std::string EscapePopupText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool syntax = c == kEscape || c == '|' || c == '{' || c == '}';
    bool leading_flag = i == 0 && (c == '~' || c == '+' || c == '-' || c == '[');
    if (syntax || leading_flag) out.push_back(kEscape);
    out.push_back(c);
  }
  return out;
}

std::string EscapePopupAttributeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == kEscape || c == ')' || c == '|' || c == '{' || c == '}') out.push_back(kEscape);
    out.push_back(c);
  }
  return out;
}

}  // namespace korvex
