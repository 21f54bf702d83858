#include "runtime/picture/digit_number.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/picture/picture.h"

namespace korvex {
namespace picture_detail {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void Normalize(DigitNumber* n) {
  size_t lead = n->integer.find_first_not_of('0');
  n->integer.erase(0, lead == std::string::npos ? n->integer.size() : lead);
  size_t last = n->fraction.find_last_not_of('0');
  n->fraction.erase(last == std::string::npos ? 0 : last + 1);
  if (n->IsZero()) n->negative = false;
}
}  // namespace

bool ParseNumber(std::string_view text, DigitNumber* out) {
  size_t i = 0, n = text.size();
  while (i < n && IsBlank(text[i])) ++i;
  DigitNumber number;
  if (i < n && (text[i] == '-' || text[i] == '+')) number.negative = text[i++] == '-';
  bool any_digit = false;
  while (i < n && IsDigit(text[i])) { number.integer += text[i++]; any_digit = true; }
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) { number.fraction += text[i++]; any_digit = true; }
  }
  if (!any_digit) return false;
  long exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) exp_negative = text[i++] == '-';
    if (i >= n || !IsDigit(text[i])) return false;
    while (i < n && IsDigit(text[i])) {
      // Beyond +-1000 every picture overflows or shows zero anyway.
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    if (exponent > 1000) exponent = 1000;
    if (exp_negative) exponent = -exponent;
  }
  while (i < n && IsBlank(text[i])) ++i;
  if (i != n) return false;
  // Shift the point by the exponent.
  if (exponent > 0) {
    size_t move = static_cast<size_t>(exponent);
    if (number.fraction.size() < move) number.fraction.append(move - number.fraction.size(), '0');
    number.integer += number.fraction.substr(0, move);
    number.fraction.erase(0, move);
  } else if (exponent < 0) {
    size_t move = static_cast<size_t>(-exponent);
    if (number.integer.size() < move) number.integer.insert(0, move - number.integer.size(), '0');
    number.fraction.insert(0, number.integer.substr(number.integer.size() - move));
    number.integer.erase(number.integer.size() - move);
  }
  Normalize(&number);
  *out = std::move(number);
  return true;
}

void RoundTo(DigitNumber* number, int places) {
  size_t keep = static_cast<size_t>(places < 0 ? 0 : places);
  bool up = number->fraction.size() > keep && number->fraction[keep] >= '5';
  if (number->fraction.size() > keep) number->fraction.resize(keep);
  number->fraction.append(keep - number->fraction.size(), '0');
  if (up) {
    // Carry from the last kept digit leftwards through the integer.
    std::string all = number->integer + number->fraction;
    int j = static_cast<int>(all.size()) - 1;
    while (j >= 0 && all[static_cast<size_t>(j)] == '9') all[static_cast<size_t>(j--)] = '0';
    if (j < 0) all.insert(all.begin(), '1');
    else ++all[static_cast<size_t>(j)];
    number->integer = all.substr(0, all.size() - keep);
    number->fraction = all.substr(all.size() - keep);
  }
  size_t lead = number->integer.find_first_not_of('0');
  number->integer.erase(0, lead == std::string::npos ? number->integer.size() : lead);
  if (number->integer.empty() && number->fraction.find_first_not_of('0') == std::string::npos) {
    number->negative = false;
  }
}

std::string ToPlain(const DigitNumber& number) {
  std::string text;
  size_t last = number.fraction.find_last_not_of('0');
  std::string fraction = last == std::string::npos ? "" : number.fraction.substr(0, last + 1);
  if (number.negative && !(number.integer.empty() && fraction.empty())) text += '-';
  text += number.integer.empty() ? "0" : number.integer;
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

}  // namespace picture_detail

std::string RealToText(double value) {
  if (!std::isfinite(value)) return "";
  char buffer[64];
  // The shortest precision that reads back as the same double.
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*e", precision - 1, value);
    if (std::strtod(buffer, nullptr) == value) break;
  }
  picture_detail::DigitNumber number;
  if (!picture_detail::ParseNumber(buffer, &number)) return "0";
  return picture_detail::ToPlain(number);
}

bool NumberToPlainText(std::string_view text, std::string* plain) {
  picture_detail::DigitNumber number;
  if (!picture_detail::ParseNumber(text, &number)) return false;
  *plain = picture_detail::ToPlain(number);
  return true;
}

}  // namespace korvex
