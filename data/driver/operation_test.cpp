#include "data/driver/operation.h"

#include <gtest/gtest.h>

#include <set>

#include "data/driver/driver_record.h"
#include "data/driver/error_codes.h"

namespace korvex::driver {
namespace {

TEST(Operation, NamesIncludingPlaceholdersAndOutOfRange) {
  EXPECT_STREQ(OperationName(kOpNone), "(0)");
  EXPECT_STREQ(OperationName(kOpAdd), "ADD");
  EXPECT_STREQ(OperationName(kOpGetFileKey), "GETfilekey");
  EXPECT_STREQ(OperationName(kOpBuildDynFilter), "BUILDdynfilter");
  EXPECT_STREQ(OperationName(kOp35), "(35)");
  EXPECT_STREQ(OperationName(kOp39), "(39)");
  EXPECT_STREQ(OperationName(kOpSetKeyKeyPtr), "SETkeykeyptr");
  EXPECT_STREQ(OperationName(kOpQueryView), "QUERY_VIEW");
  EXPECT_STREQ(OperationName(kOpBuffer), "BUFFER");
  EXPECT_STREQ(OperationName(kOpInternal87), "Internal");
  EXPECT_STREQ(OperationName(kOpDoPropertyBlob), "DOPROPERTYblob");
  EXPECT_STREQ(OperationName(kOpInternal91), "Internal");
  EXPECT_STREQ(OperationName(kOpInternal94), "Internal");
  EXPECT_STREQ(OperationName(kOpCountRecords), "COUNTRECORDS");
  EXPECT_STREQ(OperationName(96), "");
  EXPECT_STREQ(OperationName(-1), "");
}

TEST(Operation, KeyedOperationsAreExactlyTheNineteen) {
  std::set<int> keyed;
  for (int op = -1; op <= 256; ++op) {
    if (IsKeyedOperation(op)) keyed.insert(op);
  }
  std::set<int> expected = {kOpBuildDyn,      kOpBuildDynFilter, kOpBuildKey,    kOpDuplicateKey,
                            kOpGetFileKey,    kOpGetKeyPtr,      kOpPointerKey,  kOpPositionKey,
                            kOpRecordsKey,    kOpRegetKey,       kOpResetKey,    kOpSetFileKey,
                            kOpSetKey,        kOpSetKeyKey,      kOpSetKeyKeyPtr, kOpSetKeyPtr,
                            kOpSetPropertyKey, kOpGetPropertyKey, kOpDoPropertyKey};
  EXPECT_EQ(keyed, expected);
  EXPECT_TRUE(IsUntracedOperation(87));
  EXPECT_TRUE(IsUntracedOperation(91));
  EXPECT_FALSE(IsUntracedOperation(94));
}

TEST(DriverRecord, BriskenListsHoldTheirCountsWithoutRepeats) {
  ASSERT_EQ(kBriskenOperations[0], 70);
  std::set<int> ops(kBriskenOperations.begin() + 1, kBriskenOperations.end());
  EXPECT_EQ(ops.size(), 70u);
  EXPECT_EQ(kBriskenOperations[1], kOpAdd);
  EXPECT_EQ(kBriskenOperations[70], kOpBlobSetProp);
  // Operations the driver leaves to others or to the dispatch.
  for (int op : {kOpBuffer, kOpQueryView, kOpQueryKey, kOpPutFilePtrLen, kOpNone, kOpCountRecords}) {
    EXPECT_EQ(ops.count(op), 0u) << op;
  }
  ASSERT_EQ(kBriskenTypes[0], 17);
  std::set<int> types(kBriskenTypes.begin() + 1, kBriskenTypes.end());
  EXPECT_EQ(types.size(), 17u);
  EXPECT_EQ(types.count(kTypePDecimal), 0u);
  EXPECT_EQ(types.count(kTypeArray), 1u);

  constexpr FileDriverRecord record = BriskenDriverRecord(nullptr);
  EXPECT_STREQ(record.name.data(), "BRISKEN");
  EXPECT_STREQ(record.description, "Brisken (BKF)");
  EXPECT_TRUE(SupportsOperation(record, kOpNext));
  EXPECT_FALSE(SupportsOperation(record, kOpBuffer));
  EXPECT_FALSE(SupportsOperation(record, 70));  // the count byte is not a code
  EXPECT_TRUE(SupportsType(record, kTypeGroup));
  EXPECT_FALSE(SupportsType(record, kTypeBFloat8));
}

TEST(DriverRecord, CountLongerThanItsListIsReadOnlyAsFarAsItGoes) {
  const uint8_t list[] = {200, kOpAdd};
  EXPECT_TRUE(ListHolds(list, kOpAdd));
  EXPECT_FALSE(ListHolds(list, 0));
  EXPECT_FALSE(ListHolds({}, kOpAdd));
  constexpr auto name = DriverName("BRISKEN");
  EXPECT_STREQ(name.data(), "BRISKEN");
  EXPECT_EQ(name[19], '\0');
  EXPECT_EQ(DriverName("ABCDEFGHIJKLMNOPQRSTUVWXYZ")[19], '\0');
}

TEST(ErrorCodes, TextsAsErrorReturnsThem) {
  EXPECT_STREQ(ErrorText(kErrFileNotFound), "File Not Found");
  EXPECT_STREQ(ErrorText(kErrRecordNotAvailable), "Record Not Available");
  EXPECT_STREQ(ErrorText(kErrFileNotOpen), "File Not Open");
  EXPECT_STREQ(ErrorText(kErrInvalidParameterCount), "Invalid Number Of Parameters ");
  EXPECT_STREQ(ErrorText(kErrUnsupportedFunction), "Unsupported File Driver Function");
  EXPECT_STREQ(ErrorText(kErrRecordChanged), "Record Changed By Another Station");
  EXPECT_STREQ(ErrorText(kErrRemoteObjectNotFound), "Remote Object Not Found");
  EXPECT_STREQ(ErrorText(0), "");
  EXPECT_STREQ(ErrorText(kClearError), "");
  // Codes the table does not list read as "Unknown Error Posted".
  EXPECT_FALSE(IsKnownError(1));
  EXPECT_STREQ(ErrorText(1), "Unknown Error Posted");
  EXPECT_STREQ(ErrorText(94), "Unknown Error Posted");
  int known = 0;
  for (int code = -5; code < 300; ++code) known += IsKnownError(code);
  EXPECT_EQ(known, 44);
}

}  // namespace
}  // namespace korvex::driver
