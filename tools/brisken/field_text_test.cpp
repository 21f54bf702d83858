#include "tools/brisken/field_text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "data/driver/declaration_builder.h"
#include "runtime/numeric_field.h"

namespace korvex::tool {
namespace {

using namespace korvex::driver;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// One field of each kind the tool writes, a DIM, a GROUP, an OVER and memos.
class FieldTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    d_ = std::make_unique<OwnedDeclaration>("T");
    d_->AddField(MakeString("T:NAME", 6));                         // 1
    d_->AddField(MakeString("T:C", 5, kTypeCString));              // 2
    d_->AddField(MakeString("T:P", 4, kTypePString));              // 3
    d_->AddField(MakeField("T:N", kTypeShort, 2));                 // 4
    d_->AddField(MakeDecimal("T:AMOUNT", 5, 2));                   // 5
    d_->AddField(MakeField("T:DAY", kTypeDate, 4));                // 6
    d_->AddField(MakeField("T:AT", kTypeTime, 4));                 // 7
    d_->AddField(MakeField("T:R", kTypeReal, 8));                  // 8
    FieldDescriptor dim = MakeField("T:V", kTypeByte, 1);
    dim.dims = {3};
    d_->AddField(dim);                                             // 9
    d_->AddField(MakeGroup("T:G", 2));                             // 10
    d_->AddField(MakeField("T:G1", kTypeLong, 4));                 // 11
    d_->AddField(MakeString("T:G2", 2));                           // 12
    FieldDescriptor over = MakeField("T:RAW", kTypeLong, 4);
    over.over = "T:G1";
    d_->AddField(over);                                            // 13
    d_->AddMemo({.label = "T:NOTES", .max_size = 10});
    d_->AddMemo({.label = "T:PIC", .flags = kMemoBlob});
    ASSERT_TRUE(layout_.Build(decl().fields));
    columns_ = RecordColumns(decl(), layout_);
    record_.assign(layout_.record_size(), 0xEE);
    memos_ = {std::vector<uint8_t>(10, ' '), {}};
    ClearRecord(decl(), layout_, record_);
  }
  const FileDeclaration& decl() const { return d_->declaration(); }
  const Column& Col(std::string_view label) {
    int c = FindColumn(columns_, label);
    EXPECT_GE(c, 0) << label;
    return columns_[static_cast<size_t>(c < 0 ? 0 : c)];
  }
  bool Set(std::string_view label, std::string_view text, std::string* reason = nullptr) {
    std::string why;
    bool ok = ColumnFromText(decl(), Col(label), text, record_, &memos_, &why);
    if (reason != nullptr) *reason = why;
    return ok;
  }
  std::string Get(std::string_view label) {
    std::string text;
    EXPECT_TRUE(ColumnToText(decl(), Col(label), record_, memos_, &text)) << label;
    return text;
  }

  std::unique_ptr<OwnedDeclaration> d_;
  RecordLayout layout_;
  std::vector<Column> columns_;
  std::vector<uint8_t> record_;
  std::vector<std::vector<uint8_t>> memos_;
};

TEST_F(FieldTextTest, ColumnsFollowTheDeclarationWithoutGroupsAndOverlays) {
  std::vector<std::string> labels;
  for (const Column& c : columns_) labels.push_back(c.label);
  EXPECT_THAT(labels, ElementsAre("T:NAME", "T:C", "T:P", "T:N", "T:AMOUNT", "T:DAY", "T:AT",
                                  "T:R", "T:V[1]", "T:V[2]", "T:V[3]", "T:G1", "T:G2", "T:NOTES",
                                  "T:PIC"));
  EXPECT_EQ(FindColumn(columns_, "name"), 0);
  EXPECT_EQ(FindColumn(columns_, "X:AMOUNT"), 4);  // another prefix: matched by the bare name
  EXPECT_EQ(FindColumn(columns_, "T:NOPE"), -1);
  EXPECT_EQ(ColumnJsonKind(decl(), Col("T:N")), JsonKind::kNumber);
  EXPECT_EQ(ColumnJsonKind(decl(), Col("T:DAY")), JsonKind::kString);
}

TEST_F(FieldTextTest, ClearedRecordHasBlankStringsAndZeroNumbersAndEmptyTexts) {
  for (const Column& c : columns_) {
    std::string text;
    ASSERT_TRUE(ColumnToText(decl(), c, record_, memos_, &text)) << c.label;
    bool numeric = ColumnJsonKind(decl(), c) == JsonKind::kNumber;
    EXPECT_EQ(text, numeric ? (c.label == "T:AMOUNT" ? "0.00" : "0") : "") << c.label;
  }
  EXPECT_EQ(record_[0], ' ');
  EXPECT_EQ(record_[layout_[11].offset], ' ');  // a string inside the group
}

TEST_F(FieldTextTest, ValuesRoundTripThroughText) {
  const std::vector<std::pair<std::string, std::string>> values = {
      {"T:NAME", " ab"},      {"T:C", "abcd"},          {"T:P", "xyz"},
      {"T:N", "-32768"},      {"T:AMOUNT", "-123.45"},  {"T:DAY", "2024-02-29"},
      {"T:AT", "23:59:59.99"}, {"T:R", "0.1"},           {"T:V[2]", "255"},
      {"T:G1", "-7"},         {"T:G2", "Q"},            {"T:NOTES", "two words"},
      {"T:PIC", "00FF7F"},
  };
  for (const auto& [label, text] : values) {
    std::string reason;
    ASSERT_TRUE(Set(label, text, &reason)) << label << ": " << reason;
  }
  for (const auto& [label, text] : values) EXPECT_EQ(Get(label), text) << label;
  EXPECT_EQ(memos_[0].size(), 10u);  // a MEMO keeps its declared size, blank-padded
  EXPECT_THAT(memos_[1], ElementsAre(0x00, 0xFF, 0x7F));
}

TEST_F(FieldTextTest, LooserInputFormsAreAccepted) {
  ASSERT_TRUE(Set("T:AT", "7:05"));
  EXPECT_EQ(Get("T:AT"), "07:05:00.00");
  ASSERT_TRUE(Set("T:AT", "07:05:09.5"));
  EXPECT_EQ(Get("T:AT"), "07:05:09.50");
  ASSERT_TRUE(Set("T:AMOUNT", "12.500"));  // trailing zeros are no extra places
  EXPECT_EQ(Get("T:AMOUNT"), "12.50");
  ASSERT_TRUE(Set("T:N", "12.0"));
  EXPECT_EQ(Get("T:N"), "12");
  ASSERT_TRUE(Set("T:DAY", ""));
  EXPECT_EQ(Get("T:DAY"), "");
}

TEST_F(FieldTextTest, ValuesThatDoNotFitAreRefusedAndLeaveTheRecordAlone) {
  const std::vector<uint8_t> before = record_;
  struct Case {
    const char* label;
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"T:NAME", "1234567", "has 7 characters; STRING(6) holds 6"},
      {"T:C", "12345", "CSTRING(5) holds 4"},
      {"T:P", "abcd", "PSTRING(4) holds 3"},
      {"T:N", "32768", "does not fit SHORT"},
      {"T:N", "1.5", "does not fit SHORT"},
      {"T:N", "twelve", "is not a number"},
      {"T:AMOUNT", "1.005", "more decimal places than DECIMAL(5,2)"},
      {"T:AMOUNT", "1000", "does not fit DECIMAL(5,2)"},
      {"T:DAY", "2023-02-29", "is not a date"},
      {"T:DAY", "1800-12-31", "is not a date"},
      {"T:DAY", "24-01-01", "is not a date"},
      {"T:AT", "24:00", "is not a time"},
      {"T:AT", "10:61", "is not a time"},
      {"T:V[1]", "256", "does not fit BYTE"},
      {"T:PIC", "0G", "is not hexadecimal"},
      {"T:PIC", "ABC", "odd length"},
  };
  for (const Case& c : cases) {
    std::string reason;
    EXPECT_FALSE(Set(c.label, c.text, &reason)) << c.label << " " << c.text;
    EXPECT_THAT(reason, HasSubstr(c.reason)) << c.label << " " << c.text;
  }
  EXPECT_EQ(record_, before);
  std::string reason;
  EXPECT_FALSE(Set("T:NOTES", "eleven char", &reason));
  EXPECT_THAT(reason, HasSubstr("holds 10"));
}

TEST_F(FieldTextTest, StoredBytesWithoutATextAreReported) {
  const Column& day = Col("T:DAY");
  record_[day.offset] = 40;  // day 40 of month 0
  std::string text = "x";
  EXPECT_FALSE(ColumnToText(decl(), day, record_, memos_, &text));
  EXPECT_EQ(text, "");
  const Column& at = Col("T:AT");
  record_[at.offset + 3] = 99;  // hour 99
  EXPECT_FALSE(ColumnToText(decl(), at, record_, memos_, &text));
  const Column& amount = Col("T:AMOUNT");
  record_[amount.offset + 1] = 0xAB;  // digits above 9
  EXPECT_FALSE(ColumnToText(decl(), amount, record_, memos_, &text));
}

// Integer fields read plain digits without the general number parser: every
// type and edge gives the bytes and the refusals the general conversion gives.
TEST(FieldTextIntegerTest, PlainDigitsAgreeWithTheGeneralConversion) {
  OwnedDeclaration d("I");
  const std::pair<uint8_t, uint32_t> types[] = {{kTypeByte, 1}, {kTypeShort, 2}, {kTypeUShort, 2},
                                                {kTypeLong, 4}, {kTypeULong, 4}};
  for (const auto& [type, size] : types) d.AddField(MakeField("I:F" + std::to_string(type), type, size));
  RecordLayout layout;
  ASSERT_TRUE(layout.Build(d.declaration().fields));
  std::vector<Column> columns = RecordColumns(d.declaration(), layout);
  const char* texts[] = {"0", "-0", "7", "007", "-1", "255", "256", "-128", "32767", "32768",
                         "-32768", "-32769", "65535", "65536", "2147483647", "2147483648",
                         "-2147483648", "-2147483649", "4294967295", "4294967296",
                         "999999999999999999", "-999999999999999999", "12.0", "1e2", " 5", "-",
                         "+3", "1 ", "x"};
  for (size_t c = 0; c < columns.size(); ++c) {
    const auto& [type, size] = types[c];
    for (const char* text : texts) {
      std::vector<uint8_t> record(layout.record_size(), 0xAB);
      std::string reason;
      bool ok = ColumnFromText(d.declaration(), columns[c], text, record, nullptr, &reason);
      std::vector<uint8_t> general(size, 0xAB);
      bool general_ok = NumericFieldFromText(static_cast<TypeCode>(type), text, general.data(),
                                             size, 0);
      ASSERT_EQ(ok, general_ok) << columns[c].label << " '" << text << "': " << reason;
      std::vector<uint8_t> stored(record.begin() + columns[c].offset,
                                  record.begin() + columns[c].offset + size);
      EXPECT_EQ(stored, general) << columns[c].label << " '" << text << "'";
      if (!ok) continue;
      std::string back, general_back;
      ASSERT_TRUE(ColumnToText(d.declaration(), columns[c], record, {}, &back));
      ASSERT_TRUE(NumericFieldToText(static_cast<TypeCode>(type), general.data(), size, 0,
                                     &general_back));
      EXPECT_EQ(back, general_back) << columns[c].label << " '" << text << "'";
    }
  }
}

TEST(FieldTextTypeTest, TypeTextAsTheDeclarationWritesIt) {
  EXPECT_EQ(TypeText(MakeString("A", 20), 20), "STRING(20)");
  EXPECT_EQ(TypeText(MakeDecimal("A", 7, 2), 4), "DECIMAL(7,2)");
  EXPECT_EQ(TypeText(MakeField("A", kTypeLong, 4), 4), "LONG");
  FieldDescriptor pic = MakeString("A", 10);
  pic.picture = "P###P";
  EXPECT_EQ(TypeText(pic, 10), "STRING(@P###P)");
}

}  // namespace
}  // namespace korvex::tool
