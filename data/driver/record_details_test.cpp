#include "data/driver/record_details.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "data/driver/driver_test_util.h"
#include "data/driver/file_control_block.h"

namespace korvex::driver {
namespace {

using testing::kCustomer;

template <typename T>
void Store(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

std::string Value(const FieldDescriptor& field, std::vector<uint8_t> bytes) {
  return FieldValueText(field, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::vector<uint8_t> Le32(uint32_t v) {
  std::vector<uint8_t> bytes(4);
  Store(bytes.data(), v);
  return bytes;
}

TEST(RecordDetails, DatesAndTimes) {
  FieldDescriptor date = MakeField("D", kTypeDate, 4);
  // 15 March 2024: serial 81527, packed year * 65536 + month * 256 + day.
  EXPECT_EQ(Value(date, Le32(2024u * 65536 + 3 * 256 + 15)), "15 March 2024 (81527)");
  EXPECT_EQ(Value(date, Le32(1801u * 65536 + 1 * 256 + 1)), "01 January 1801 (4)");
  EXPECT_EQ(Value(date, Le32(0)), "Invalid date (0)");
  // An impossible date shows what the field holds.
  EXPECT_EQ(Value(date, Le32(2024u * 65536 + 13 * 256 + 1)), "Invalid date (132648193)");

  FieldDescriptor time = MakeField("T", kTypeTime, 4);
  EXPECT_EQ(Value(time, Le32(0x0D2D1E19)), "13:45:30.25 (4953026)");
  EXPECT_EQ(Value(time, Le32(0x00000001)), "00:00:00.01 (2)");
  EXPECT_EQ(Value(time, Le32(0)), "Invalid time (0)");  // midnight packs to "no time"
  EXPECT_EQ(Value(time, Le32(0x18000000)), "Invalid time (402653184)");
}

TEST(RecordDetails, NumbersBytesAndStrings) {
  EXPECT_EQ(Value(MakeField("B", kTypeByte, 1), {0x0A}), "0AH");
  EXPECT_EQ(Value(MakeField("B", kTypeByte, 1), {0xFF}), "FFH");
  EXPECT_EQ(Value(MakeField("S", kTypeShort, 2), {0xFE, 0xFF}), "-2");
  EXPECT_EQ(Value(MakeField("U", kTypeUShort, 2), {0xFE, 0xFF}), "65534");
  EXPECT_EQ(Value(MakeField("L", kTypeLong, 4), Le32(0xFFFFFFFF)), "-1");
  EXPECT_EQ(Value(MakeField("UL", kTypeULong, 4), Le32(0xFFFFFFFF)), "4294967295");
  std::vector<uint8_t> real(8);
  Store(real.data(), 0.1);
  EXPECT_EQ(Value(MakeField("R", kTypeReal, 8), real), "0.1");
  Store(real.data(), 1e20);
  EXPECT_EQ(Value(MakeField("R", kTypeReal, 8), real), "1e+20");
  Store(real.data(), -HUGE_VAL);
  EXPECT_EQ(Value(MakeField("R", kTypeReal, 8), real), "-inf");
  std::vector<uint8_t> sreal(4);
  Store(sreal.data(), -2.5f);
  EXPECT_EQ(Value(MakeField("SR", kTypeSReal, 4), sreal), "-2.5");
  // DECIMAL(7,2) of -123.45: sign nibble, then 0012345.
  EXPECT_EQ(Value(MakeDecimal("DEC", 7, 2), {0xF0, 0x01, 0x23, 0x45}), "-123.45");
  EXPECT_EQ(Value(MakeDecimal("DEC", 7, 2), {0x00, 0x00, 0x00, 0x05}), "0.05");
  EXPECT_EQ(Value(MakeDecimal("DEC", 7, 2), {0x0A, 0x00, 0x00, 0x05}), "0A000005H");  // not packed

  EXPECT_EQ(Value(MakeString("S", 6), {'a', 'b', ' ', ' ', ' ', ' '}), "'ab    '");
  EXPECT_EQ(Value(MakeString("C", 6, kTypeCString), {'a', 'b', 0, 'x', 'x', 'x'}), "'ab'");
  EXPECT_EQ(Value(MakeString("C", 3, kTypeCString), {'a', 'b', 'c'}), "'abc'");  // no zero byte
  EXPECT_EQ(Value(MakeString("P", 5, kTypePString), {2, 'h', 'i', 'x', 'x'}), "'hi'");
  EXPECT_EQ(Value(MakeString("P", 3, kTypePString), {200, 'h', 'i'}), "'hi'");  // bad count
}

TEST(RecordDetails, MemoHexDump) {
  std::string text = "Hello, world\x01";
  std::vector<uint8_t> memo(text.begin(), text.end());
  memo.resize(40, ' ');
  EXPECT_EQ(MemoDump("NOT:TEXT", memo, false),
            "NOT:TEXT          :\r\n"
            "48 65 6C 6C 6F 2C 20 77 6F 72 6C 64 01           | Hello, world.\r\n");

  std::vector<uint8_t> binary = {0x00, 0x7F, 0x20, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46,
                                 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x20,
                                 0x00, 0x00};
  EXPECT_EQ(MemoDump("BIN", binary, true),
            "BIN               :\r\n"
            "00 7F 20 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D  | .. ABCDEFGHIJKLM\r\n"
            "4E 20                                            | N \r\n");
  EXPECT_EQ(MemoDump("EMPTY", std::vector<uint8_t>(10, ' '), false), "EMPTY             :\r\n");
}

TEST(RecordDetails, CustomerRecord) {
  std::vector<uint8_t> record(68, ' ');
  Store(record.data(), int32_t{7});
  std::memcpy(record.data() + 4, "Smith", 5);
  std::memcpy(record.data() + 24, "Carlton", 7);
  std::memcpy(record.data() + 44, "555-0100", 8);
  Store(record.data() + 64, int32_t{81527});
  FileControlBlock fcb(&kCustomer, record.data(), record.size());
  EXPECT_EQ(RecordDetails(fcb),
            "CUS:CUSID         :7\r\n"
            "CUS:NAME          :'Smith               '\r\n"
            "CUS:SUBURB        :'Carlton             '\r\n"
            "CUS:PHONE         :'555-0100            '\r\n"
            "CUS:STARTDATE     :81527\r\n");
  EXPECT_EQ(KeyDetails(fcb, kCustomer.keys[1]),
            "CUS:STARTDATE     :81527\r\n"
            "CUS:NAME          :'Smith               '\r\n");

  // A buffer shorter than the record shows only the fields inside it.
  FileControlBlock short_fcb(&kCustomer, record.data(), 30);
  EXPECT_EQ(RecordDetails(short_fcb),
            "CUS:CUSID         :7\r\n"
            "CUS:NAME          :'Smith               '\r\n");
}

TEST(RecordDetails, GroupsByMembersArraysByElementAndMemos) {
  FieldDescriptor lines = MakeField("X:N", kTypeShort, 2);
  lines.dims = {3};
  const FieldDescriptor fields[] = {MakeGroup("X:G", 2), MakeField("X:A", kTypeByte, 1),
                                    MakeField("X:B", kTypeByte, 1), lines};
  const MemoDeclaration memos[] = {{.label = "X:NOTE", .max_size = 4},
                                   {.label = "X:BLOB", .flags = kMemoBlob}};
  FileDeclaration file{.label = "X", .memos = memos, .fields = fields};
  uint8_t record[8] = {1, 2, 3, 0, 4, 0, 5, 0};
  FileControlBlock fcb(&file, record, sizeof record);
  ASSERT_EQ(fcb.memos.size(), 2u);
  EXPECT_EQ(fcb.memos[0], std::vector<uint8_t>(4, ' '));
  EXPECT_TRUE(fcb.memos[1].empty());
  fcb.memos[0][0] = 'Z';
  fcb.memos[1] = {1, 2, 3};  // blobs are not written
  EXPECT_EQ(RecordDetails(fcb),
            "X:A               :01H\r\n"
            "X:B               :02H\r\n"
            "X:N[1]            :3\r\n"
            "X:N[2]            :4\r\n"
            "X:N[3]            :5\r\n"
            "X:NOTE            :\r\n"
            "5A                                               | Z\r\n");
}

}  // namespace
}  // namespace korvex::driver
