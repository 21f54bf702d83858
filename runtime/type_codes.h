// Run-time type codes of values, record fields and key components.
#pragma once

#include <cstdint>

namespace korvex {

enum TypeCode : uint8_t {
  kTypeEnd = 0,
  kTypeByte = 1,
  kTypeShort = 2,
  kTypeUShort = 3,
  kTypeDate = 4,
  kTypeTime = 5,
  kTypeLong = 6,
  kTypeULong = 7,
  kTypeSReal = 8,
  kTypeReal = 9,
  kTypeDecimal = 10,
  kTypePDecimal = 11,
  kTypeDum1 = 12,
  kTypeBFloat4 = 13,
  kTypeBFloat8 = 14,
  kTypeAny = 15,
  kTypeTempUfo = 16,
  kTypeReserved17 = 17,
  kTypeString = 18,
  kTypeCString = 19,
  kTypePString = 20,
  kTypeMemo = 21,
  kTypeGroup = 22,
  kTypeClass = 23,
  kTypeArray = 24,
  kTypeField = 25,
  kTypeQueue = 26,
  kTypeBlob = 27,
  kTypeStackStr = 28,
  kTypePicture = 29,
  kTypeStdNum = 30,
};

// The type's name as the structure dump prints it; "UNKNOWN" outside 0..30.
const char* TypeName(int code);

// Bytes of a plain integer type (BYTE, SHORT, USHORT, LONG, ULONG); 0 for any other.
constexpr uint32_t IntegerTypeSize(uint8_t type) {
  switch (type) {
    case kTypeByte: return 1;
    case kTypeShort:
    case kTypeUShort: return 2;
    case kTypeLong:
    case kTypeULong: return 4;
    default: return 0;
  }
}

}  // namespace korvex
