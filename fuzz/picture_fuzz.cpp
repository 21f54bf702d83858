// Picture compiling, FORMAT and DEFORMAT on arbitrary picture texts and values.
// Input: the picture text, then (after the first newline) a value text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/decimal.h"
#include "runtime/picture/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t newline = input.find('\n');
  std::string_view picture_text = input.substr(0, newline);
  std::string_view value = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  korvex::Picture p = korvex::Picture::Compile(picture_text);
  if (!p.valid() && p.length() != 0) std::abort();
  const size_t length = static_cast<size_t>(p.length());
  auto check = [&](const std::string& shown) {
    // FORMAT fills exactly the picture's width, and DEFORMAT reads any text.
    if (shown.size() != length) std::abort();
    korvex::Deformat(shown, p);
  };
  check(korvex::FormatString(p, value));
  check(korvex::FormatNumberText(p, value));
  for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{72322}, int64_t{4710001},
                    int64_t{2994626}, INT64_MIN, INT64_MAX}) {
    check(korvex::FormatInteger(p, v));
  }
  for (double v : {0.5, -1234.5678, 1e300, -1e-300, 0.1}) check(korvex::FormatReal(p, v));
  korvex::Decimal d;
  if (korvex::Decimal::Parse(value, &d)) check(korvex::FormatDecimal(p, d));
  korvex::Deformat(value, p);
  korvex::Deformat(value);
  return 0;
}
