// The platform's own view of the program's characters (code page 1252), for a
// locale that asks for "WINDOWS" order or case. On Windows these are the
// platform's string comparison and case calls; elsewhere a built-in order of
// the same shape: symbols, then digits, then letters by their base letter,
// lower case before upper case, plain before accented.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace korvex::os {

// Case-sensitive comparison of the one-character strings a and b: <0, 0, >0.
int SystemCompareCharacters(uint8_t a, uint8_t b);

// Every character the platform calls an upper-case letter, with the
// lower-case letter it gives.
std::vector<std::pair<uint8_t, uint8_t>> SystemCasePairs();

}  // namespace korvex::os
