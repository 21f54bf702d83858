#include "framework/scroll_step.h"

#include <algorithm>
#include <cstdint>

namespace korvex::framework {

int ClampThumbPosition(int position) {
  return std::clamp(position, kFirstThumbPosition, kLastThumbPosition);
}

int ScrollStep::Directed(int ascending_position) const {
  int position = ClampThumbPosition(ascending_position);
  return descending() ? kLastThumbPosition + kFirstThumbPosition - position : position;
}

int32_t ReadLongValue(std::string_view text) {
  size_t at = 0;
  auto skip_blanks = [&] {
    while (at < text.size() && text[at] == ' ') ++at;
  };
  skip_blanks();
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    negative = text[at] == '-';
    ++at;
  }
  int64_t magnitude = 0;
  size_t digits = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
    // Saturate beyond the LONG range; the result is clamped below anyway.
    if (magnitude <= INT64_C(10000000000)) magnitude = magnitude * 10 + (text[at] - '0');
  }
  if (at < text.size() && text[at] == '.') {
    ++at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) ++digits;
  }
  skip_blanks();
  if (digits == 0 || at != text.size()) return 0;
  int64_t value = negative ? -magnitude : magnitude;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

void NumericScrollStep::SetNumericLimits(int64_t first, int64_t last) {
  int64_t low = std::clamp<int64_t>(std::min(first, last), INT32_MIN, INT32_MAX);
  int64_t high = std::clamp<int64_t>(std::max(first, last), INT32_MIN, INT32_MAX);
  low_ = static_cast<int32_t>(low);
  high_ = static_cast<int32_t>(high);
}

void NumericScrollStep::SetLimits(std::string_view first, std::string_view last) {
  SetNumericLimits(ReadLongValue(first), ReadLongValue(last));
}

int NumericScrollStep::PositionOfNumber(int64_t value) const {
  if (low_ == high_) return 50;
  // Limits are LONGs, so the span times 100 stays far inside 64 bits.
  int64_t span = int64_t{high_} - low_;
  int64_t clamped = std::clamp<int64_t>(value, low_, high_);
  int64_t position = (clamped - low_) * 100 / span;
  return Directed(static_cast<int>(position));
}

int64_t NumericScrollStep::NumberAt(int position) const {
  int ascending = Directed(position);  // the reversal is its own inverse
  int64_t span = int64_t{high_} - low_;
  return low_ + ascending * span / 100;
}

int NumericScrollStep::PositionOf(std::string_view value) const {
  return PositionOfNumber(ReadLongValue(value));
}

std::string NumericScrollStep::ValueAt(int position) const {
  return std::to_string(NumberAt(position));
}

}  // namespace korvex::framework
