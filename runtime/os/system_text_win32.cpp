#include <windows.h>

#include "runtime/os/system_text.h"

namespace korvex::os {

int SystemCompareCharacters(uint8_t a, uint8_t b) {
  char x = static_cast<char>(a);
  char y = static_cast<char>(b);
  int result = CompareStringA(LOCALE_USER_DEFAULT, 0, &x, 1, &y, 1);
  return result == 0 ? (a < b ? -1 : a > b ? 1 : 0) : result - CSTR_EQUAL;
}

std::vector<std::pair<uint8_t, uint8_t>> SystemCasePairs() {
  std::vector<std::pair<uint8_t, uint8_t>> pairs;
  for (int c = 1; c < 256; ++c) {
    if (!IsCharUpperA(static_cast<CHAR>(c))) continue;
    char lower[1] = {static_cast<char>(c)};
    CharLowerBuffA(lower, 1);
    pairs.emplace_back(static_cast<uint8_t>(c), static_cast<uint8_t>(lower[0]));
  }
  return pairs;
}

}  // namespace korvex::os
