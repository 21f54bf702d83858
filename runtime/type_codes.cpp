#include "runtime/type_codes.h"

namespace korvex {

namespace {
constexpr const char* kTypeNames[] = {
    "END",     "BYTE",    "SHORT",   "USHORT", "DATE",     "TIME",    "LONG",   "ULONG",
    "SREAL",   "REAL",    "DECIMAL", "PDECIMAL", "DUM1",   "BFLOAT4", "BFLOAT8", "ANY",
    "TEMPUFO", "(17)",    "STRING",  "CSTRING", "PSTRING", "MEMO",    "GROUP",  "CLASS",
    "ARRAY",   "FIELD",   "QUEUE",   "BLOB",   "STACKSTR", "PICTURE", "STDNUM",
};
static_assert(sizeof(kTypeNames) / sizeof(kTypeNames[0]) == 31);
}  // namespace

const char* TypeName(int code) {
  if (code < 0 || code > 30) return "UNKNOWN";
  return kTypeNames[code];
}

}  // namespace korvex
