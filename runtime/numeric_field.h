// Exact conversions between the stored bytes of numeric fields and decimal
// text or Decimal values.
//
// Stored layouts (multi-byte values little-endian):
//   BYTE 1, SHORT 2, USHORT 2, LONG 4, ULONG 4 bytes: two's complement / unsigned.
//   SREAL 4, REAL 8 bytes: IEEE binary32 / binary64.
//   DATE 4 bytes: the packed date year * 65536 + month * 256 + day; as a number it
//     reads and writes as its date serial (0 = no date).
//   TIME 4 bytes: the packed time (hour, minute, second, hundredths from the most
//     significant byte); as a number it reads and writes as its time serial.
//   DECIMAL(size, places), PDECIMAL(size, places): see Decimal::ReadPacked/ReadPackedP.
//   BFLOAT4 4, BFLOAT8 8 bytes, the older binary-float layout. As one little-endian
//     word of 32 (64) bits, from the most significant bit:
//       bits 31..24 (63..56)  exponent byte E, biased by 128; E = 0 means zero
//                             whatever the other bits hold
//       bit  23 (55)          sign, 1 negative
//       bits 22..0 (54..0)    mantissa M, 23 (55) bits after a hidden leading 1
//     value = (-1)^sign * 0.1M (binary) * 2^(E - 128), i.e. the fraction 1.M / 2 in
//     [0.5, 1) scaled by 2^(E - 128). So 1.0 is bytes 00 00 00 81 (BFLOAT4), and the
//     magnitudes run from 2^-128 to just under 2^127. There are no infinities,
//     subnormals or NaNs. Written values round to nearest, ties to even; a magnitude
//     below 2^-128 is written as zero (all bytes 0), one of 2^127 or more is refused.
//
// Text is what Decimal::Parse accepts (blanks, sign, digits, point, exponent).
// Integer fields take only integral values in range ("12.0" and "1.2e1" are 12)
// and never wrap. Floating fields take the nearest value; a magnitude too small
// for the field becomes zero, one too large is refused. Zero is always written as
// positive zero, so a zero has one stored form (keys compare bytes). Every failed
// write leaves the field untouched.
//
// Text written: integers, serials and DECIMAL/PDECIMAL in plain decimal, the latter
// with exactly `places` fractional digits; floating fields as the shortest text
// that reads back to the same value, in plain or exponent form ("1e+20"), whichever
// is shorter. Any zero is "0".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/decimal.h"
#include "runtime/type_codes.h"

namespace korvex {

// True for the numeric types handled here (BYTE .. BFLOAT8 except DUM1).
bool IsNumericFieldType(TypeCode type);
// The stored size of a fixed-size numeric type; 0 for DECIMAL, PDECIMAL (declared
// size) and non-numeric types.
uint32_t NumericFieldSize(TypeCode type);

// `size` must be the type's size (for DECIMAL and PDECIMAL 1..31, with places up to
// 2 * size - 1); `places` is used only by DECIMAL and PDECIMAL. Every function
// returns false for a type, size or places it cannot handle.

// False when the bytes hold no number: a digit nibble above 9 in DECIMAL/PDECIMAL,
// an infinity or NaN in SREAL/REAL (text then "inf", "-inf" or "nan"), or a TIME
// with an hour, minute, second or hundredths out of range. A DATE whose packed
// value is not a valid date reads as serial 0, as the date conversion defines.
bool NumericFieldToText(TypeCode type, const uint8_t* bytes, uint32_t size, uint32_t places,
                        std::string* text);
// False when the text is not a number or it does not fit (DECIMAL rounds to places
// first; DATE takes 0 or a valid serial 4..2994626, TIME 0..8640000).
bool NumericFieldFromText(TypeCode type, std::string_view text, uint8_t* bytes, uint32_t size,
                          uint32_t places);

// The same through Decimal. Floating fields give the value of their shortest text
// (so 0.1 stays 0.1), rounded to Decimal::kMaxDigits digits; false when the integer
// part does not fit a Decimal or the bytes hold no number.
bool NumericFieldToDecimal(TypeCode type, const uint8_t* bytes, uint32_t size, uint32_t places,
                           Decimal* value);
bool NumericFieldFromDecimal(TypeCode type, const Decimal& value, uint8_t* bytes, uint32_t size,
                             uint32_t places);

}  // namespace korvex
