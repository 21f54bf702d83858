#include "runtime/number_text.h"

#include <cstdio>

namespace korvex {

namespace {

constexpr int64_t kExponentLimit = int64_t{1} << 40;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ScanNumber(std::string_view text, ScannedNumber* out) {
  size_t i = 0;
  size_t n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  while (n > i && IsBlank(text[n - 1])) --n;
  ScannedNumber number;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }
  int64_t point_shift = 0;  // fractional digits kept in `digits`
  bool any_digit = false;
  bool seen_point = false;
  for (; i < n; ++i) {
    char c = text[i];
    if (IsDigit(c)) {
      any_digit = true;
      if (seen_point) ++point_shift;
      if (c == '0' && number.digits.empty()) continue;  // leading zero
      number.digits.push_back(c);
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!any_digit) return false;
  int64_t exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exponent_negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      exponent_negative = text[i] == '-';
      ++i;
    }
    if (i >= n || !IsDigit(text[i])) return false;
    for (; i < n && IsDigit(text[i]); ++i) {
      if (exponent < kExponentLimit) exponent = exponent * 10 + (text[i] - '0');
    }
    if (exponent > kExponentLimit) exponent = kExponentLimit;
    if (exponent_negative) exponent = -exponent;
  }
  if (i != n) return false;
  // point_shift is at most the text's length, so this cannot overflow.
  number.exponent = exponent - point_shift;
  size_t last = number.digits.find_last_not_of('0');
  if (last == std::string::npos) {
    number.digits.clear();
    number.exponent = 0;
    number.negative = false;
  } else {
    number.exponent += static_cast<int64_t>(number.digits.size() - last - 1);
    number.digits.resize(last + 1);
  }
  *out = std::move(number);
  return true;
}

std::string PlainNumberText(bool negative, std::string_view digits, int64_t exponent) {
  if (digits.empty()) return "0";
  std::string text = negative ? "-" : "";
  int64_t count = static_cast<int64_t>(digits.size());
  if (exponent >= 0) {
    text.append(digits);
    text.append(static_cast<size_t>(exponent), '0');
  } else if (count + exponent > 0) {
    text.append(digits.substr(0, static_cast<size_t>(count + exponent)));
    text.push_back('.');
    text.append(digits.substr(static_cast<size_t>(count + exponent)));
  } else {
    text.append("0.");
    text.append(static_cast<size_t>(-(count + exponent)), '0');
    text.append(digits);
  }
  return text;
}

std::string ShortNumberText(bool negative, std::string_view digits, int64_t exponent) {
  if (digits.empty()) return "0";
  int64_t count = static_cast<int64_t>(digits.size());
  int64_t point = count + exponent - 1;  // exponent of the first digit
  // Cheap length check first so that a huge exponent never builds a huge plain text.
  int64_t plain_length = exponent >= 0 ? count + exponent
                         : count + exponent > 0 ? count + 1
                                                : 2 - exponent;
  std::string scientific = negative ? "-" : "";
  scientific.push_back(digits[0]);
  if (count > 1) {
    scientific.push_back('.');
    scientific.append(digits.substr(1));
  }
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "e%c%02lld", point < 0 ? '-' : '+',
                static_cast<long long>(point < 0 ? -point : point));
  scientific += buffer;
  if (plain_length + (negative ? 1 : 0) <= static_cast<int64_t>(scientific.size())) {
    return PlainNumberText(negative, digits, exponent);
  }
  return scientific;
}

}  // namespace korvex
