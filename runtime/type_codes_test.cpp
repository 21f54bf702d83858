#include "runtime/type_codes.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(TypeCodes, NamesMatchCodesAndOutOfRangeIsUnknown) {
  EXPECT_STREQ(TypeName(kTypeEnd), "END");
  EXPECT_STREQ(TypeName(kTypeDecimal), "DECIMAL");
  EXPECT_STREQ(TypeName(kTypeReserved17), "(17)");
  EXPECT_STREQ(TypeName(kTypeString), "STRING");
  EXPECT_STREQ(TypeName(kTypeStdNum), "STDNUM");
  EXPECT_STREQ(TypeName(31), "UNKNOWN");
  EXPECT_STREQ(TypeName(-1), "UNKNOWN");
  EXPECT_STREQ(TypeName(255), "UNKNOWN");
}

}  // namespace
}  // namespace korvex
