#include "runtime/os/system_text.h"

#include <tuple>

namespace korvex::os {
namespace {

// Base letter of each 1252 character from 0xC0 on ('.' = not a letter).
constexpr char kBaseLetters[] = "aaaaaaaceeeeiiiidnooooo.ouuuuytsaaaaaaaceeeeiiiidnooooo.ouuuuyty";

bool IsUpper(uint8_t c) {
  return (c >= 'A' && c <= 'Z') || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9F ||
         (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}

// 0 for no letter.
char BaseLetter(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if (c >= 'a' && c <= 'z') return static_cast<char>(c);
  switch (c) {
    case 0x8A: case 0x9A: return 's';
    case 0x8C: case 0x9C: return 'o';
    case 0x8E: case 0x9E: return 'z';
    case 0x9F: return 'y';
    default: break;
  }
  if (c >= 0xC0 && kBaseLetters[c - 0xC0] != '.') return kBaseLetters[c - 0xC0];
  return 0;
}

// (group, base, case, accent, code): 0 controls, 1 symbols, 2 digits, 3 letters.
std::tuple<int, int, int, int, int> SortKey(uint8_t c) {
  char base = BaseLetter(c);
  if (base != 0) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return {3, base, IsUpper(c) ? 1 : 0, plain ? 0 : 1, c};
  }
  if (c >= '0' && c <= '9') return {2, c, 0, 0, c};
  if (c < 32 || c == 127) return {0, c, 0, 0, c};
  return {1, c, 0, 0, c};
}

}  // namespace

int SystemCompareCharacters(uint8_t a, uint8_t b) {
  auto x = SortKey(a);
  auto y = SortKey(b);
  return x < y ? -1 : y < x ? 1 : 0;
}

std::vector<std::pair<uint8_t, uint8_t>> SystemCasePairs() {
  std::vector<std::pair<uint8_t, uint8_t>> pairs;
  for (int c = 'A'; c <= 'Z'; ++c) pairs.emplace_back(c, c + 32);
  pairs.emplace_back(0x8A, 0x9A);
  pairs.emplace_back(0x8C, 0x9C);
  pairs.emplace_back(0x8E, 0x9E);
  pairs.emplace_back(0x9F, 0xFF);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) pairs.emplace_back(c, c + 0x20);
  }
  return pairs;
}

}  // namespace korvex::os
