// Exact decimals and numeric fields on arbitrary text and bytes: nothing may
// crash, and every value that is read must survive a write and a read again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/decimal.h"
#include "runtime/numeric_field.h"

namespace {

using korvex::Decimal;
using korvex::TypeCode;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Same(const Decimal& a, const Decimal& b) { return Decimal::Compare(a, b) == 0; }

void TextAsDecimal(std::string_view text, int places) {
  Decimal value;
  if (!Decimal::Parse(text, &value)) return;
  Decimal back;
  Check(Decimal::Parse(value.ToString(), &back) && Same(back, value));
  Check(back.ToString() == value.ToString());
  Check(Decimal::Parse(value.ToString(places), &back) && Same(back, value.Rounded(places)));
  Decimal rounded;
  Check(Decimal::ParseRounded(text, places, &rounded) && Same(rounded, value.Rounded(places)));
  if (value.IntegerDigits() + value.Places() < Decimal::kMaxDigits) {
    Check(Same((value + value) - value, value));  // doubling adds at most one digit
  }
  Check(Same(value * Decimal::FromInt(1), value));
  Check(Same(value - value, Decimal()));
  Decimal quotient;
  if (!value.IsZero() && Decimal::Divide(value, value, 0, &quotient)) {
    Check(Same(quotient, Decimal::FromInt(1)));
  }
  uint8_t packed[16];
  int field_places = places % 32;
  if (value.WritePacked(packed, 16, field_places)) {
    Check(Decimal::ReadPacked(packed, 16, field_places, &back));
    Check(Same(back, value.Rounded(field_places)));
  } else {
    // Refused only when the integer part does not fit.
    Check(value.Rounded(field_places).IntegerDigits() > 31 - field_places);
  }
}

void TextAsFields(std::string_view text, int places) {
  static const TypeCode kTypes[] = {
      korvex::kTypeByte,   korvex::kTypeShort,  korvex::kTypeUShort,  korvex::kTypeLong,
      korvex::kTypeULong,  korvex::kTypeSReal,  korvex::kTypeReal,    korvex::kTypeBFloat4,
      korvex::kTypeBFloat8, korvex::kTypeDate,  korvex::kTypeTime,    korvex::kTypeDecimal,
      korvex::kTypePDecimal};
  for (TypeCode type : kTypes) {
    uint32_t size = korvex::NumericFieldSize(type);
    uint32_t field_places = 0;
    if (size == 0) {
      size = 1 + static_cast<uint32_t>(places) % 16;
      field_places = static_cast<uint32_t>(places) % (2 * size);
    }
    uint8_t bytes[16];
    if (!korvex::NumericFieldFromText(type, text, bytes, size, field_places)) continue;
    std::string written;
    Check(korvex::NumericFieldToText(type, bytes, size, field_places, &written));
    uint8_t again[16];
    Check(korvex::NumericFieldFromText(type, written, again, size, field_places));
    // TIME writes midnight as "no time", which then reads as 0: still the same bytes.
    Check(std::memcmp(bytes, again, size) == 0);
  }
}

void BytesAsFields(const uint8_t* data, size_t size) {
  if (size == 0) return;
  int places_seed = data[0];
  const uint8_t* bytes = data + 1;
  size_t count = size - 1;
  int field_size = static_cast<int>(count < 31 ? count : 31);
  if (field_size == 0) return;
  int places = places_seed % (2 * field_size);
  Decimal value;
  uint8_t out[31];
  if (Decimal::ReadPacked(bytes, field_size, places, &value)) {
    Check(value.WritePacked(out, field_size, places));
    Decimal back;
    Check(Decimal::ReadPacked(out, field_size, places, &back) && Same(back, value));
  }
  if (Decimal::ReadPackedP(bytes, field_size, places, &value)) {
    Check(value.WritePackedP(out, field_size, places));
    Decimal back;
    Check(Decimal::ReadPackedP(out, field_size, places, &back) && Same(back, value));
  }
  // Stored floats of both layouts read back from their own text.
  static const TypeCode kFloats[] = {korvex::kTypeSReal, korvex::kTypeReal, korvex::kTypeBFloat4,
                                     korvex::kTypeBFloat8};
  for (TypeCode type : kFloats) {
    uint32_t width = korvex::NumericFieldSize(type);
    if (count < width) continue;
    std::string text;
    if (!korvex::NumericFieldToText(type, bytes, width, 0, &text) || text == "0") continue;
    uint8_t again[8];
    Check(korvex::NumericFieldFromText(type, text, again, width, 0));
    Check(std::memcmp(bytes, again, width) == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  int places = size > 0 ? data[size - 1] % 64 : 0;
  TextAsDecimal(text, places);
  TextAsFields(text, places);
  BytesAsFields(data, size);
  return 0;
}
