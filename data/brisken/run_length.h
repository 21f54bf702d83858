// The run-length scheme of a page's record area: alternating literal and
// repeat counts, each an unsigned variable-length integer (7 bits a byte, low
// group first, top bit on every byte but the last).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "data/brisken/status.h"

namespace korvex::brisken {

// Appends v as a variable-length count.
void PutVarCount(std::string* out, size_t v);

// Compresses input into *out. Returns false (leaving *out unspecified) when the
// input holds no run of four equal bytes or the result would not be shorter.
bool RunLengthCompress(std::string_view input, std::string* out);

// Expands exactly `expected` bytes from input into *out. Fails with check 522
// (literal count) or 530 (repeat count) when a count overruns what is expected
// or what the input holds.
Status RunLengthExpand(std::string_view input, size_t expected, std::string* out);

}  // namespace korvex::brisken
