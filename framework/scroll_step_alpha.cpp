#include <algorithm>
#include <array>
#include <cstdint>

#include "framework/scroll_step.h"
#include "runtime/char_tables.h"

namespace korvex::framework {
namespace {

// Three-letter name prefixes of lookup mode 1: the first ten and the last three
// are fixed; the entries between are spread evenly over the letters between them.
constexpr std::array<std::string_view, 10> kNameTableStart = {
    "ALB", "AME", "ARN", "BAK", "BAT", "BEN", "BIA", "BOB", "BRA", "BRO"};
constexpr std::array<std::string_view, 3> kNameTableEnd = {"WIM", "WOL", "YOR"};

int64_t LetterNumber(std::string_view three) {
  int64_t n = 0;
  for (char c : three) n = n * 26 + (c - 'A');
  return n;
}

std::string LettersOf(int64_t n) {
  std::string out(3, 'A');
  for (int i = 2; i >= 0; --i) {
    out[static_cast<size_t>(i)] = static_cast<char>('A' + n % 26);
    n /= 26;
  }
  return out;
}

std::string NameTable() {
  std::string table;
  for (std::string_view entry : kNameTableStart) table += entry;
  const int64_t from = LetterNumber(kNameTableStart.back());
  const int64_t to = LetterNumber(kNameTableEnd.front());
  const int64_t gaps = AlphaScrollStep::kEntries - static_cast<int64_t>(kNameTableStart.size()) -
                       static_cast<int64_t>(kNameTableEnd.size()) + 1;
  for (int64_t k = 1; k < gaps; ++k) table += LettersOf(from + k * (to - from) / gaps);
  for (std::string_view entry : kNameTableEnd) table += entry;
  return table;
}

// Lookup mode 2: each letter A..Y split into four ("A" itself is the blank entry).
std::string QuarterLetterTable() {
  std::string table;
  for (char letter = 'A'; letter <= 'Y'; ++letter) {
    for (char second : {' ', 'F', 'N', 'T'}) {
      table += (letter == 'A' && second == ' ') ? ' ' : letter;
      table += second;
    }
  }
  return table;
}

// Compares like the runtime's strings: the shorter text counts as padded with blanks.
int PaddedCompare(std::string_view a, std::string_view b) {
  size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

constexpr size_t kMode3Length = 4;

}  // namespace

AlphaScrollStep::AlphaScrollStep(uint8_t controls, uint8_t lookup_mode)
    : ScrollStep(controls),
      lookup_mode_(lookup_mode == 1 || lookup_mode == 2 ? lookup_mode : 3),
      test_length_(lookup_mode_ == 1 ? 3 : lookup_mode_ == 2 ? 2 : kMode3Length) {
  PrepareTable();
}

void AlphaScrollStep::Kill() { PrepareTable(); }

void AlphaScrollStep::PrepareTable() {
  root_.clear();
  if (lookup_mode_ == 1) {
    table_ = NameTable();
  } else if (lookup_mode_ == 2) {
    table_ = QuarterLetterTable();
  } else {
    BuildSortChars();
    SetLimits("", "");  // the whole range of four characters until limits come
  }
}

void AlphaScrollStep::BuildSortChars() {
  auto tables = CurrentCharTables();
  uint8_t wanted = controls();
  // A step that admits no character at all would have no table: take letters.
  if ((wanted & (kStepLetters | kStepPunctuation | kStepDigits)) == 0) wanted |= kStepLetters;
  const bool case_sensitive = (wanted & kStepCaseSensitive) != 0;
  sort_chars_.clear();
  for (int code = 1; code <= 255; ++code) {
    auto c = static_cast<uint8_t>(code);
    uint8_t char_class = tables->char_class[c];
    bool take = false;
    if (wanted & kStepLetters) {
      take = char_class == kCharUpper || (case_sensitive && char_class == kCharLower);
    }
    if ((wanted & kStepDigits) && char_class == kCharDigit) take = true;
    if ((wanted & kStepPunctuation) && kStepPunctuationChars.find(static_cast<char>(c)) != std::string_view::npos) {
      take = true;
    }
    if (take) sort_chars_ += static_cast<char>(c);
  }
}

std::string AlphaScrollStep::Normalized(std::string_view value) const {
  std::string out(value);
  if ((controls() & kStepCaseSensitive) == 0) {
    auto tables = CurrentCharTables();
    for (char& c : out) c = static_cast<char>(tables->Upper(static_cast<uint8_t>(c)));
  }
  return out;
}

int64_t AlphaScrollStep::NumberOf(std::string_view four) const {
  const auto length = static_cast<int64_t>(sort_chars_.size());
  int64_t n = 0;
  for (char c : four) {
    // A character outside the set counts as the last set character below it, so
    // the numbers keep the order of the texts.
    auto above = std::upper_bound(sort_chars_.begin(), sort_chars_.end(), c, [](char a, char b) {
      return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
    });
    int64_t index = above == sort_chars_.begin() ? 0 : (above - sort_chars_.begin()) - 1;
    n = n * length + index;
  }
  return n;
}

std::string AlphaScrollStep::FourCharsOf(int64_t number) const {
  const auto length = static_cast<int64_t>(sort_chars_.size());
  std::string out(kMode3Length, sort_chars_.front());
  for (size_t i = kMode3Length; i-- > 0;) {
    out[i] = sort_chars_[static_cast<size_t>(number % length)];
    number /= length;
  }
  return out;
}

void AlphaScrollStep::SetLimits(std::string_view first, std::string_view last) {
  if (lookup_mode_ != 3) return;
  std::string low = Normalized(first.substr(0, std::min(first.size(), kMaxLimitText)));
  std::string high = Normalized(last.substr(0, std::min(last.size(), kMaxLimitText)));
  // The table always ascends; a descending key is reversed in the positions.
  if (high < low) std::swap(low, high);

  size_t common = 0;
  while (common < low.size() && common < high.size() && low[common] == high[common]) ++common;
  root_ = low.substr(0, std::min(common, kMaxRoot));

  auto four_after_root = [&](const std::string& text, char fill) {
    std::string four = text.size() > root_.size() ? text.substr(root_.size(), kMode3Length) : std::string();
    four.resize(kMode3Length, fill);
    return four;
  };
  const int64_t from = NumberOf(four_after_root(low, sort_chars_.front()));
  const int64_t to = std::max(from, NumberOf(four_after_root(high, sort_chars_.back())));
  const int64_t step = (to - from) / kEntries;

  table_.clear();
  for (int64_t i = 0; i < kEntries; ++i) table_ += FourCharsOf(from + i * step);
}

std::string_view AlphaScrollStep::Entry(int index) const {
  size_t at = static_cast<size_t>(ClampThumbPosition(index) - 1) * test_length_;
  return std::string_view(table_).substr(at, test_length_);
}

int AlphaScrollStep::PositionOf(std::string_view value) const {
  std::string text = Normalized(value);
  if (!root_.empty()) {
    if (text.compare(0, root_.size(), root_) != 0) return Directed(text < root_ ? 1 : kEntries);
    text.erase(0, root_.size());
  }
  text.resize(std::min(text.size(), test_length_ + 1));
  int position = 1;
  for (int i = 1; i <= kEntries; ++i) {
    if (PaddedCompare(Entry(i), text) > 0) break;
    position = i;
  }
  return Directed(position);
}

std::string AlphaScrollStep::ValueAt(int position) const {
  return root_ + std::string(Entry(Directed(position)));
}

}  // namespace korvex::framework
