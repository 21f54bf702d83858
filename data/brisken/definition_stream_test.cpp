#include "data/brisken/definition_stream.h"

#include <gtest/gtest.h>

#include "data/brisken/record_kinds.h"
#include "data/driver/error_codes.h"
#include "data/driver/structure_dump.h"

namespace korvex::brisken {
namespace {

using driver::FieldDescriptor;
using driver::FileDeclaration;
using driver::KeyDeclaration;
using driver::MakeDecimal;
using driver::MakeField;
using driver::MakeGroup;
using driver::MakeString;
using driver::MemoDeclaration;

constexpr FieldDescriptor kCustomerFields[] = {
    MakeField("CUS:CUSID", kTypeLong, 4), MakeString("CUS:NAME", 20),
    MakeString("CUS:SUBURB", 20),         MakeString("CUS:PHONE", 20),
    MakeField("CUS:STARTDATE", kTypeLong, 4),
};
constexpr int32_t kByName[] = {2};
constexpr int32_t kByStartDateName[] = {5, 2};
constexpr int32_t kById[] = {1};
constexpr KeyDeclaration kCustomerKeys[] = {
    {.label = "CUS:BYNAME", .flags = driver::kKeyOpt | driver::kKeyNoCase, .components = kByName},
    {.label = "CUS:BYSTARTDATENAME",
     .flags = driver::kKeyDup | driver::kKeyOpt | driver::kKeyNoCase,
     .components = kByStartDateName},
    {.label = "CUS:BYID",
     .flags = driver::kKeyOpt | driver::kKeyNoCase | driver::kKeyPrimary,
     .components = kById},
};
constexpr FileDeclaration kCustomer = {
    .label = "CUSTOMER", .driver = "BRISKEN", .attributes = driver::kFileCreate,
    .keys = kCustomerKeys, .fields = kCustomerFields};

// A declaration with every part the stream carries.
const FieldDescriptor kOrderFields[] = {
    MakeField("ORD:NUMBER", kTypeULong, 4),  // 1
    MakeDecimal("ORD:TOTAL", 9, 2),          // 2
    MakeGroup("ORD:WHEN", 2),                // 3
    MakeField("ORD:DATE", kTypeDate, 4),     // 4
    MakeField("ORD:TIME", kTypeTime, 4),     // 5
    [] {
      FieldDescriptor f = MakeField("ORD:STAMP", kTypeReal, 8);  // 6
      f.over = "ORD:WHEN";
      return f;
    }(),
    [] {
      FieldDescriptor f = MakeString("ORD:LINES", 10);  // 7
      f.dims = {3, 2};
      return f;
    }(),
    [] {
      FieldDescriptor f = MakeString("ORD:PHONE", 0);  // 8
      f.size = 14;
      f.picture = "P(###) ###-####P";
      return f;
    }(),
    MakeField("ORD:FLAGS", kTypeByte, 1),             // 9
    MakeString("ORD:CODE", 8, kTypeCString),          // 10
    MakeString("ORD:NOTE", 5, kTypePString),          // 11
};
constexpr int32_t kOrdByNumber[] = {1};
constexpr int32_t kOrdByWhen[] = {-4, 5, 1};
const KeyDeclaration kOrderKeys[] = {
    {.name = "ordnum", .label = "ORD:BYNUMBER", .flags = driver::kKeyPrimary,
     .components = kOrdByNumber},
    {.label = "ORD:BYWHEN",
     .flags = driver::kKeyDup | driver::kKeyNoCase | driver::kKeyOpt | driver::kKeyIndex | 32,
     .components = kOrdByWhen},
};
const MemoDeclaration kOrderMemos[] = {
    {.label = "ORD:NOTES", .max_size = 200},
    {.name = "pic", .label = "ORD:PICTURE", .flags = driver::kMemoBlob | driver::kMemoBinary},
};
const FileDeclaration kOrders = {
    .label = "ORDERS", .driver = "BRISKEN", .memos = kOrderMemos, .keys = kOrderKeys,
    .fields = kOrderFields};

std::string Stream(const FileDeclaration& file) {
  std::string s;
  EXPECT_EQ(WriteDefinitionStream(file, &s), 0);
  return s;
}

TEST(DefinitionStream, ByteLayoutOfASmallTable) {
  const FieldDescriptor fields[] = {MakeField("A:ID", kTypeLong, 4), MakeString("A:NAME", 3)};
  const int32_t by_name[] = {-2, 1};
  const KeyDeclaration keys[] = {
      {.label = "A:K", .flags = driver::kKeyDup | driver::kKeyPrimary, .components = by_name}};
  const MemoDeclaration memos[] = {{.name = "", .label = "A:M", .flags = driver::kMemoBinary,
                                    .max_size = 300}};
  FileDeclaration file{.label = "A", .memos = memos, .keys = keys, .fields = fields};
  static constexpr char kExpected[] =
      "\1\0"      // version 1
      "\7\0"      // record length
      "\2\0\1\0\1\0"
      "\6" "\0\0" "A:ID\0" "\1\0" "\4\0" "\0\0" "\0\0"                       // LONG at 0
      "\x12" "\4\0" "A:NAME\0" "\1\0" "\3\0" "\0\0" "\0\0" "\3\0" "\0\1"      // STRING(3) at 4
      "\0\1" "A:M\0" "\x2c\1" "\2\0"                                          // memo, no NAME
      "\0\1" "A:K\0" "\x11" "\2\0" "\2\0" "\1\0" "\1\0" "\0\0";              // key -A:NAME,+A:ID
  EXPECT_EQ(Stream(file), std::string(kExpected, sizeof kExpected - 1));
}

TEST(DefinitionStream, VersionTwoOnlyWithABlob) {
  std::string customer = Stream(kCustomer);
  EXPECT_EQ(customer.substr(0, 10), std::string("\1\0\x44\0\5\0\0\0\3\0", 10));
  std::string orders = Stream(kOrders);
  EXPECT_EQ(orders.substr(0, 2), std::string("\2\0", 2));
}

TEST(DefinitionStream, ReadsBackIntoADeclarationThatDumpsAlike) {
  std::unique_ptr<driver::OwnedDeclaration> back;
  ASSERT_EQ(ReadDefinitionStream(Stream(kOrders), "ORDERS", &back), 0);
  const char* expected =
      "ORDERS            FILE,DRIVER('BRISKEN')\r\n"
      "ORD:BYNUMBER        KEY(+ORD:NUMBER),PRIMARY,NAME('ordnum')\r\n"
      "ORD:BYWHEN          INDEX(-ORD:DATE,+ORD:TIME,+ORD:NUMBER),DUP,OPT,NOCASE\r\n"
      "ORD:NOTES           MEMO(200)\r\n"
      "ORD:PICTURE         BLOB,NAME('pic'),BINARY\r\n"
      "                    RECORD\r\n"
      "ORD:NUMBER          ULONG\r\n"
      "ORD:TOTAL           DECIMAL(9,2)\r\n"
      "ORD:WHEN            GROUP\r\n"
      "ORD:DATE            DATE\r\n"
      "ORD:TIME            TIME\r\n"
      "                    END\r\n"
      "ORD:STAMP           REAL, OVER(ORD:WHEN)\r\n"
      "ORD:LINES           STRING(10), DIM(6)\r\n"  // one dimension of the same room
      "ORD:PHONE           STRING(@P(###) ###-####P)\r\n"
      "ORD:FLAGS           BYTE\r\n"
      "ORD:CODE            CSTRING(8)\r\n"
      "ORD:NOTE            PSTRING(5)\r\n"
      "                    END\r\n"
      "                    END\r\n"
      "\r\n";
  EXPECT_EQ(driver::StructureDump(back->declaration()), expected);
  // The further key state travels unchanged, and the copy matches the original.
  EXPECT_EQ(back->declaration().keys[1].flags & 32, 32);
  EXPECT_EQ(CompareDefinition(Stream(kOrders), back->declaration()), 0);
  EXPECT_EQ(Stream(back->declaration()), Stream(kOrders));
}

TEST(DefinitionStream, OpenComparesNumbersButNotNames) {
  std::string stored = Stream(kCustomer);
  EXPECT_EQ(CompareDefinition(stored, kCustomer), 0);

  auto changed = [&](auto change) {
    auto copy = driver::OwnedDeclaration::CopyOf(kCustomer);
    std::vector<FieldDescriptor> fields(copy->declaration().fields.begin(),
                                        copy->declaration().fields.end());
    std::vector<KeyDeclaration> keys(copy->declaration().keys.begin(),
                                     copy->declaration().keys.end());
    std::vector<std::vector<int32_t>> components;
    for (const KeyDeclaration& k : keys) components.emplace_back(k.components.begin(), k.components.end());
    change(fields, keys, components);
    for (size_t i = 0; i < keys.size(); ++i) keys[i].components = components[i];
    FileDeclaration d = copy->declaration();
    d.fields = fields;
    d.keys = keys;
    return CompareDefinition(stored, d);
  };
  using Fields = std::vector<FieldDescriptor>;
  using Keys = std::vector<KeyDeclaration>;
  using Components = std::vector<std::vector<int32_t>>;
  // Names and PRIMARY may differ.
  EXPECT_EQ(changed([](Fields& f, Keys& k, Components&) {
              f[1].label = "CUS:SURNAME";
              k[0].label = "CUS:OTHER";
              k[0].name = "ext";
              k[0].flags |= driver::kKeyPrimary;
              k[2].flags &= ~driver::kKeyPrimary;
            }),
            0);
  // Any number may not.
  EXPECT_EQ(changed([](Fields& f, Keys&, Components&) { f[1] = MakeString("CUS:NAME", 21); }), 47);
  EXPECT_EQ(changed([](Fields& f, Keys&, Components&) { f[0].type = kTypeULong; }), 47);
  EXPECT_EQ(changed([](Fields& f, Keys&, Components&) { f.pop_back(); }), 47);
  EXPECT_EQ(changed([](Fields&, Keys& k, Components&) { k[0].flags |= driver::kKeyDup; }), 47);
  EXPECT_EQ(changed([](Fields&, Keys& k, Components&) { k[1].flags |= driver::kKeyIndex; }), 47);
  EXPECT_EQ(changed([](Fields&, Keys&, Components& c) { c[1] = {2, 5}; }), 47);
  EXPECT_EQ(changed([](Fields&, Keys&, Components& c) { c[0] = {-2}; }), 47);
  EXPECT_EQ(changed([](Fields&, Keys& k, Components&) { k.pop_back(); }), 47);
  EXPECT_EQ(changed([](Fields& f, Keys&, Components&) {
              f[4].dims = {2, 0, 0, 0};
            }),
            47);
  // A declared type the driver cannot store.
  EXPECT_EQ(changed([](Fields& f, Keys&, Components&) { f[0].type = kTypeBFloat4; }), 79);

  // Memos: size and kind count, names do not.
  const MemoDeclaration memo[] = {{.label = "A:M", .max_size = 100}};
  const MemoDeclaration renamed[] = {{.name = "x", .label = "A:OTHER", .max_size = 100}};
  const MemoDeclaration longer[] = {{.label = "A:M", .max_size = 101}};
  const MemoDeclaration binary[] = {{.label = "A:M", .flags = driver::kMemoBinary, .max_size = 100}};
  FileDeclaration with_memo = kCustomer;
  with_memo.memos = memo;
  std::string stored_memo = Stream(with_memo);
  with_memo.memos = renamed;
  EXPECT_EQ(CompareDefinition(stored_memo, with_memo), 0);
  with_memo.memos = longer;
  EXPECT_EQ(CompareDefinition(stored_memo, with_memo), 47);
  with_memo.memos = binary;
  EXPECT_EQ(CompareDefinition(stored_memo, with_memo), 47);
  EXPECT_EQ(CompareDefinition(stored_memo, kCustomer), 47);
}

TEST(DefinitionStream, DamagedStreamsAreRefusedNeverTrusted) {
  std::string good = Stream(kOrders);
  Definition d;
  std::unique_ptr<driver::OwnedDeclaration> back;
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_EQ(ParseDefinition(good.substr(0, n), &d), driver::kErrInvalidDataFile) << n;
    EXPECT_EQ(ReadDefinitionStream(good.substr(0, n), "X", &back), driver::kErrInvalidDataFile);
    EXPECT_EQ(back, nullptr);
  }
  EXPECT_EQ(ParseDefinition(good + "x", &d), driver::kErrInvalidDataFile);
  EXPECT_EQ(CompareDefinition(good + "x", kOrders), driver::kErrInvalidDataFile);

  // A missing-text marker other than 0 or 1.
  std::string bad_text = Stream(kCustomer);
  size_t key_name = bad_text.find(std::string("\0\1CUS:BYNAME", 12));
  ASSERT_NE(key_name, std::string::npos);
  bad_text[key_name + 1] = '\2';
  EXPECT_EQ(ParseDefinition(bad_text, &d), driver::kErrInvalidDataFile);

  // A field type outside the supported ones.
  std::string unsupported = Stream(kCustomer);
  unsupported[10] = static_cast<char>(kTypePDecimal);
  EXPECT_EQ(ParseDefinition(unsupported, &d), driver::kErrUnsupportedDataType);
  EXPECT_EQ(CompareDefinition(unsupported, kCustomer), driver::kErrUnsupportedDataType);

  // Offsets that do not match the fields' sizes.
  std::string moved = Stream(kCustomer);
  size_t name_field = moved.find("CUS:NAME");
  moved[name_field - 2] = 5;
  EXPECT_EQ(ParseDefinition(moved, &d), 0);
  EXPECT_EQ(ReadDefinitionStream(moved, "X", &back), driver::kErrInvalidDataFile);

  // A key naming a field that is not there.
  std::string far = Stream(kCustomer);
  far[far.size() - 4] = 9;
  EXPECT_EQ(ReadDefinitionStream(far, "X", &back), driver::kErrInvalidDataFile);
}

TEST(DefinitionStream, DeclarationsThatCannotBeStored) {
  std::string s;
  FieldDescriptor big = MakeString("A:BIG", 70000);
  FileDeclaration file{.label = "A", .fields = std::span<const FieldDescriptor>(&big, 1)};
  EXPECT_EQ(WriteDefinitionStream(file, &s), 47);

  const FieldDescriptor zero_in_label[] = {MakeField(std::string_view("A:\0X", 4), kTypeLong, 4)};
  file.fields = zero_in_label;
  EXPECT_EQ(WriteDefinitionStream(file, &s), 47);

  const FieldDescriptor one[] = {MakeField("A:X", kTypeLong, 4)};
  const int32_t first[] = {1};
  std::vector<KeyDeclaration> keys(243, KeyDeclaration{.label = "A:K", .components = first});
  file.fields = one;
  file.keys = keys;
  EXPECT_EQ(WriteDefinitionStream(file, &s), 47);
  file.keys = std::span<const KeyDeclaration>(keys.data(), 242);
  EXPECT_EQ(WriteDefinitionStream(file, &s), 0);

  const FieldDescriptor pdecimal[] = {MakeDecimal("A:P", 5, 2, kTypePDecimal)};
  file.keys = {};
  file.fields = pdecimal;
  EXPECT_EQ(WriteDefinitionStream(file, &s), 79);
}

TEST(DefinitionStream, CutIntoBlocksOf512) {
  std::string stream(1300, 'x');
  for (size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<char>(i * 7);
  std::vector<Record> records = DefinitionRecords(9, stream);
  ASSERT_EQ(records.size(), 3u);
  std::string joined;
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].header(), DefinitionHeader(9, static_cast<uint16_t>(i)));
    joined += records[i].data();
  }
  EXPECT_EQ(records[0].data().size(), 512u);
  EXPECT_EQ(records[2].data().size(), 276u);
  EXPECT_EQ(joined, stream);
  EXPECT_EQ(DefinitionRecords(9, std::string(512, 'y')).size(), 1u);
}

}  // namespace
}  // namespace korvex::brisken
