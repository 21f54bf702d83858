#include "window/core/list_format.h"

#include <algorithm>
#include <cstdio>

namespace korvex {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int AlignCode(char c) {
  switch (c) {
    case 'L': return kAlignLeft;
    case 'R': return kAlignRight;
    case 'C': return kAlignCentre;
    case 'D': return kAlignDecimal;
    default: return -1;
  }
}
constexpr char kAlignLetters[4] = {'L', 'R', 'C', 'D'};

// Walks the grammar once; builds columns only when `out` is given. Every failure
// records the 0-based index at which the walk stopped and makes the walk return false.
class FormatWalker {
 public:
  FormatWalker(std::string_view text, ListFormat* out) : text_(text), out_(out) {}

  bool walk() {
    while (pos_ < text_.size()) {
      if (text_[pos_] == '[') {
        if (!group()) return false;
      } else if (!column(/*is_group_tail=*/false, nullptr)) {
        return false;
      }
    }
    return true;
  }

  size_t stop() const { return stop_; }

 private:
  bool fail() {
    stop_ = pos_;
    return false;
  }
  bool failAt(size_t at) {
    stop_ = at;
    return false;
  }
  bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool atLetter(char upper) const { return pos_ < text_.size() && Upper(text_[pos_]) == upper; }

  // A decimal number of at most kMaxNumberDigits digits, not above `max`.
  bool number(int64_t max, int32_t* value) {
    size_t start = pos_;
    int64_t v = 0;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) {
      if (pos_ - start >= static_cast<size_t>(kMaxNumberDigits)) return failAt(start);
      v = v * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ == start) return fail();
    if (v > max) return failAt(start);
    *value = static_cast<int32_t>(v);
    return true;
  }
  bool expect(char c) {
    if (!at(c)) return fail();
    ++pos_;
    return true;
  }
  // "(" n ")"
  bool parenNumber(int32_t* value) {
    return expect('(') && number(kMaxFormatNumber, value) && expect(')');
  }

  // A colour of E(...): empty, decimal digits, or hexadecimal digits that start with a
  // digit and end in "H" ("0FF0000H"); at most 32 bits.
  bool colour(int32_t* value) {
    *value = kColourNotSet;
    size_t start = pos_;
    size_t end = pos_;
    while (end < text_.size() && IsHexDigit(text_[end])) ++end;
    if (end == start) return true;  // empty
    bool hex = end < text_.size() && Upper(text_[end]) == 'H' && IsDigit(text_[start]);
    if (end - start > (hex ? 9u : 10u)) return failAt(start);
    uint64_t v = 0;
    for (size_t i = start; i < end; ++i) {
      char c = Upper(text_[i]);
      if (!hex && !IsDigit(c)) return failAt(i);
      v = v * (hex ? 16 : 10) + static_cast<uint64_t>(IsDigit(c) ? c - '0' : c - 'A' + 10);
    }
    if (v > 0xFFFFFFFFull) return failAt(start);
    pos_ = end + (hex ? 1 : 0);
    *value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }

  bool group() {
    if (inGroup_) return fail();  // groups do not nest
    ++pos_;
    inGroup_ = true;
    int first = out_ ? static_cast<int>(out_->columns.size()) : 0;
    int count = 0;
    while (!at(']')) {
      if (pos_ >= text_.size()) return fail();
      if (at('[')) return fail();
      if (!column(false, nullptr)) return false;
      ++count;
    }
    if (count == 0) return fail();  // "[]"
    ++pos_;
    inGroup_ = false;
    ListColumn tail;
    if (!column(/*is_group_tail=*/true, &tail)) return false;
    if (out_) out_->groups.push_back(ListGroup{first, count, tail});
    return true;
  }

  // width alignment ["(" offset ")"] modifiers. A group's tail may leave out the alignment.
  bool column(bool is_group_tail, ListColumn* tail) {
    ListColumn col;
    if (!number(kMaxFormatNumber, &col.width)) return false;
    int align = pos_ < text_.size() ? AlignCode(text_[pos_]) : -1;
    if (align < 0) {
      if (!is_group_tail) return fail();
      align = kAlignLeft;
    } else {
      ++pos_;
    }
    col.flags1 = static_cast<uint32_t>(align) | (static_cast<uint32_t>(align) << 2);
    if (at('(')) {
      if (!parenNumber(&col.dataOffset)) return false;
      col.hasDataOffset = true;
    }
    col.headerOffset = col.dataOffset;
    bool seen_e = false;
    bool seen_z = false;
    while (pos_ < text_.size()) {
      char c = Upper(text_[pos_]);
      switch (c) {
        case '|': col.flags1 |= kColRightBorder; ++pos_; break;
        case '_': col.flags1 |= kColUnderline; ++pos_; break;
        case 'F': col.flags1 |= kColFixed; ++pos_; break;
        case 'M': col.flags1 |= kColResizable; ++pos_; break;
        case '*': col.flags2 |= kColColours; ++pos_; break;
        case 'I': col.flags1 |= kColIcon; ++pos_; break;
        case 'J': col.flags1 |= kColIcon; col.flags2 |= kColTransparentIcon; ++pos_; break;
        case 'Y': col.flags2 |= kColStyle; ++pos_; break;
        case 'P': col.flags2 |= kColTip; ++pos_; break;
        case '/': col.flags1 |= kColLineBreak | kColNoMouseResize; ++pos_; break;
        case '?': col.flags1 |= kColUseMark; ++pos_; break;
        case 'S':
          ++pos_;
          col.flags1 |= kColScroll;
          if (at('(') && !parenNumber(&col.scrollWidth)) return false;
          break;
        case 'H':
          ++pos_;
          if (at('(')) {
            if (!parenNumber(&col.hValue)) return false;
            col.flags2 |= kColHasH;
          }
          break;
        case 'T':
          ++pos_;
          col.flags1 |= kColTree;
          if (at('(')) {
            ++pos_;
            if (!treeOptions(&col.flags2)) return false;
          }
          break;
        case '~': {
          ++pos_;
          size_t close = text_.find('~', pos_);
          if (close == std::string_view::npos) return failAt(text_.size());
          col.headerText = std::string(text_.substr(pos_, close - pos_));
          pos_ = close + 1;
          int header_align = pos_ < text_.size() ? AlignCode(text_[pos_]) : -1;
          uint32_t ha = header_align < 0 ? col.dataAlign() : static_cast<uint32_t>(header_align);
          if (header_align >= 0) ++pos_;
          col.flags1 = (col.flags1 & ~0xCu) | (ha << 2);
          col.headerOffset = col.dataOffset;
          if (header_align >= 0 && at('(') && !parenNumber(&col.headerOffset)) return false;
          break;
        }
        case '@': {
          ++pos_;
          size_t close = text_.find('@', pos_);
          if (close == std::string_view::npos) return failAt(text_.size());
          col.picture = std::string(text_.substr(pos_, close - pos_));
          pos_ = close + 1;
          break;
        }
        case '#':
          ++pos_;
          if (!number(kMaxFormatNumber, &col.fieldNumber) || !expect('#')) return false;
          break;
        case 'E': {
          if (seen_e) return fail();
          seen_e = true;
          ++pos_;
          if (!expect('(')) return false;
          std::array<int32_t, 4> colours{};
          for (int i = 0; i < 4; ++i) {
            if (!colour(&colours[static_cast<size_t>(i)])) return false;
            if (!expect(i < 3 ? ',' : ')')) return false;
          }
          col.colours = colours;
          break;
        }
        case 'Z':
          if (seen_z) return fail();
          seen_z = true;
          ++pos_;
          if (!parenNumber(&col.zValue)) return false;
          col.hasZ = true;
          break;
        case 'Q': {
          ++pos_;
          std::string tip;
          if (!expect('(') || !quoted(&tip) || !expect(')')) return false;
          col.defaultTip = std::move(tip);
          col.flags2 |= kColDefaultTip;
          break;
        }
        default:
          // Any other character ends the column.
          goto done;
      }
    }
  done:
    if (out_) {
      if (is_group_tail) {
        *tail = std::move(col);
      } else {
        if ((col.flags1 & kColUseMark) != 0) out_->useColumn = static_cast<int>(out_->columns.size());
        out_->columns.push_back(std::move(col));
      }
    }
    return true;
  }

  // Letters L, 1, R, B, I up to ")".
  bool treeOptions(uint32_t* flags2) {
    while (!at(')')) {
      if (pos_ >= text_.size()) return fail();
      switch (Upper(text_[pos_])) {
        case 'L': *flags2 |= kTreeL; break;
        case '1': *flags2 |= kTree1; break;
        case 'R': *flags2 |= kTreeR; break;
        case 'B': *flags2 |= kTreeB; break;
        case 'I': *flags2 |= kTreeI; break;
        default: return fail();
      }
      ++pos_;
    }
    ++pos_;
    return true;
  }

  // 'text' with '' standing for one quote.
  bool quoted(std::string* out) {
    if (!expect('\'')) return false;
    for (;;) {
      if (pos_ >= text_.size()) return fail();
      char c = text_[pos_++];
      if (c == '\'') {
        if (!at('\'')) return true;
        ++pos_;
      }
      out->push_back(c);
    }
  }

  std::string_view text_;
  ListFormat* out_;
  size_t pos_ = 0;
  size_t stop_ = 0;
  bool inGroup_ = false;
};

void AppendNumber(std::string* out, long long value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%lld", value);
  out->append(buf);
}

void AppendColour(std::string* out, int32_t colour) {
  if (colour == kColourNotSet) return;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<uint32_t>(colour));
  if (!IsDigit(buf[0])) out->push_back('0');  // the parser reads hex that starts with a digit
  out->append(buf);
  out->push_back('H');
}

void WriteColumn(const ListColumn& col, std::string* out) {
  AppendNumber(out, col.width);
  out->push_back(kAlignLetters[col.dataAlign()]);
  if (col.hasDataOffset) {
    out->push_back('(');
    AppendNumber(out, col.dataOffset);
    out->push_back(')');
  }
  if (col.flags1 & kColRightBorder) out->push_back('|');
  if (col.flags1 & kColUnderline) out->push_back('_');
  if (col.flags1 & kColFixed) out->push_back('F');
  if (col.flags1 & kColResizable) out->push_back('M');
  if (col.flags2 & kColColours) out->push_back('*');
  if (col.flags2 & kColTransparentIcon) {
    out->push_back('J');
  } else if (col.flags1 & kColIcon) {
    out->push_back('I');
  }
  if (col.flags2 & kColStyle) out->push_back('Y');
  if (col.flags2 & kColTip) out->push_back('P');
  if (col.flags1 & kColTree) {
    out->push_back('T');
    std::string options;
    if (col.flags2 & kTreeL) options.push_back('L');
    if (col.flags2 & kTree1) options.push_back('1');
    if (col.flags2 & kTreeR) options.push_back('R');
    if (col.flags2 & kTreeB) options.push_back('B');
    if (col.flags2 & kTreeI) options.push_back('I');
    if (!options.empty()) *out += "(" + options + ")";
  }
  if (col.headerText) {
    *out += "~" + *col.headerText + "~";
    bool indent_differs = col.headerOffset != col.dataOffset;
    if (col.headerAlign() != col.dataAlign() || indent_differs) {
      out->push_back(kAlignLetters[col.headerAlign()]);
      if (indent_differs) {
        out->push_back('(');
        AppendNumber(out, col.headerOffset);
        out->push_back(')');
      }
    }
  }
  if (col.flags1 & kColScroll) {
    out->push_back('S');
    if (col.scrollWidth != 0) {
      out->push_back('(');
      AppendNumber(out, col.scrollWidth);
      out->push_back(')');
    }
  }
  if (col.flags2 & kColHasH) {
    out->append("H(");
    AppendNumber(out, col.hValue);
    out->push_back(')');
  }
  if (col.picture) *out += "@" + *col.picture + "@";
  if (col.fieldNumber != 0) {
    out->push_back('#');
    AppendNumber(out, col.fieldNumber);
    out->push_back('#');
  }
  if (col.hasZ) {
    out->append("Z(");
    AppendNumber(out, col.zValue);
    out->push_back(')');
  }
  if (col.defaultTip) {
    out->append("Q('");
    for (char c : *col.defaultTip) {
      if (c == '\'') out->push_back('\'');
      out->push_back(c);
    }
    out->append("')");
  }
  if (col.colours) {
    out->append("E(");
    for (size_t i = 0; i < 4; ++i) {
      if (i) out->push_back(',');
      AppendColour(out, (*col.colours)[i]);
    }
    out->push_back(')');
  }
  if (col.flags1 & kColLineBreak) out->push_back('/');
  if (col.flags1 & kColUseMark) out->push_back('?');
}

}  // namespace

int CheckListFormat(std::string_view text) {
  FormatWalker walker(text, nullptr);
  return walker.walk() ? 0 : static_cast<int>(walker.stop()) + 1;
}

std::optional<ListFormat> ParseListFormat(std::string_view text, int* error_position) {
  ListFormat format;
  FormatWalker walker(text, &format);
  if (!walker.walk()) {
    if (error_position) *error_position = static_cast<int>(walker.stop()) + 1;
    return std::nullopt;
  }
  if (error_position) *error_position = 0;
  return format;
}

std::string WriteListFormat(const ListFormat& format) {
  std::string out;
  size_t next_group = 0;
  int index = 0;
  int total = static_cast<int>(format.columns.size());
  while (index < total) {
    const ListGroup* group =
        next_group < format.groups.size() && format.groups[next_group].first == index
            ? &format.groups[next_group]
            : nullptr;
    if (group && group->count > 0) {
      out.push_back('[');
      int end = std::min(total, group->first + group->count);
      for (; index < end; ++index) WriteColumn(format.columns[static_cast<size_t>(index)], &out);
      out.push_back(']');
      WriteColumn(group->tail, &out);
      ++next_group;
    } else {
      WriteColumn(format.columns[static_cast<size_t>(index)], &out);
      ++index;
    }
  }
  return out;
}

int ColumnField(const ListFormat& format, int index) {
  int field = 0;
  for (int i = 0; i <= index && i < static_cast<int>(format.columns.size()); ++i) {
    int32_t given = format.columns[static_cast<size_t>(i)].fieldNumber;
    field = given != 0 ? given : field + 1;
  }
  return field;
}

}  // namespace korvex
