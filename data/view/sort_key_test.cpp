// Sort keys read from record buffers order combinations exactly as the order
// values compare, under a collation with equal weights, a digraph and letters
// above 127.
#include "data/view/sort_key.h"

#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "data/driver/declarations.h"
#include "data/view/field_binding.h"
#include "data/view/order_compare.h"

namespace korvex::view {
namespace {

constexpr driver::FieldDescriptor kFields[] = {
    driver::MakeString("T:TEXT", 6),
    driver::MakeField("T:CTEXT", kTypeCString, 6),
    driver::MakeField("T:PTEXT", kTypePString, 6),
    driver::MakeField("T:LONG", kTypeLong, 4),
    driver::MakeField("T:SHORT", kTypeShort, 2),
    driver::MakeField("T:BYTE", kTypeByte, 1),
    driver::MakeField("T:ULONG", kTypeULong, 4),
    driver::MakeField("T:USHORT", kTypeUShort, 2),
};
constexpr driver::FileDeclaration kFile = {.label = "T", .driver = "BRISKEN", .fields = kFields};
constexpr size_t kSize = 6 * 3 + 4 + 2 + 1 + 4 + 2;

class SortKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // 'a' and 'b' weigh the same, blanks sort after digits, 0xDF sorts as "ss".
    CharTables t = CharTables::Defaults();
    AddCodePage1252Letters(&t);
    t.collation['b'] = t.collation['a'];
    t.collation[' '] = static_cast<uint8_t>('9' + 1);
    t.collation['9' + 1] = ' ';
    t.digraphs[0] = {0xDF, 's', 's'};
    t.digraph_count = 1;
    SetCharTables(t);
    BindFields(&evaluator_, &file_);
  }
  void TearDown() override { ResetCharTables(); }

  // Fills the record with random values drawn from a small alphabet, so
  // that equal and prefix values are common.
  void Randomize(std::mt19937& rng) {
    static const uint8_t kAlphabet[] = {'a', 'b', 'A', 'B', 's', 'S', ' ', '0', '9', ':', 0xDF, 0xC9, 0xE9, 0};
    auto text = [&](uint8_t* p, size_t n) {
      for (size_t i = 0; i < n; ++i) p[i] = kAlphabet[rng() % std::size(kAlphabet)];
    };
    text(record_, 6);
    text(record_ + 6, 6);
    text(record_ + 13, 5);
    record_[12] = static_cast<uint8_t>(rng() % 8);  // may claim more than the field holds
    static const int32_t kNumbers[] = {0, 1, -1, 255, -32768, 32767, 65535, 2147483647, -2147483647 - 1};
    auto number = [&]() { return rng() % 2 ? kNumbers[rng() % std::size(kNumbers)] : static_cast<int32_t>(rng()); };
    for (size_t at : {18u, 22u, 24u, 25u, 29u}) {
      int32_t v = number();
      std::memcpy(record_ + at, &v, at == 24 ? 1 : at == 22 || at == 29 ? 2 : 4);
    }
  }

  // The record made like the one saved, one byte changed: equal values and
  // common prefixes come often.
  void Mutate(const uint8_t* saved, std::mt19937& rng) {
    std::memcpy(record_, saved, kSize);
    record_[rng() % kSize] = static_cast<uint8_t>(rng() % 2 ? 'a' + rng() % 3 : rng());
  }

  Expression Parse(const std::string& text) {
    Expression e;
    EXPECT_TRUE(evaluator_.Parse(text, &e).ok()) << text;
    return e;
  }

  uint8_t record_[kSize] = {};
  driver::FileControlBlock file_{&kFile, record_, kSize};
  Evaluator evaluator_;
};

TEST_F(SortKeyTest, KeyBytesCompareAsTheOrderValues) {
  const char* texts[] = {"T:TEXT",       "UPPER(T:TEXT)", "t:ctext", "UPPER(CTEXT)", "T:PTEXT", "UPPER( T:PTEXT )",
                         "T:LONG",       "T:SHORT",       "T:BYTE",  "T:ULONG",      "T:USHORT"};
  std::mt19937 rng(5);
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    Expression e = Parse(text);
    for (bool descending : {false, true}) {
      SortKeyReader reader({{&e, descending}});
      reader.Prepare(CurrentCharTables());
      ASSERT_TRUE(reader.encoded(0));
      ASSERT_EQ(reader.value_count(), 0u);
      std::vector<uint8_t> a(reader.width()), b(reader.width());
      for (int i = 0; i < 400; ++i) {
        Randomize(rng);
        reader.Read(a.data(), nullptr);
        Value va = reader.Evaluate(0);
        uint8_t saved[kSize];
        std::memcpy(saved, record_, kSize);
        Randomize(rng);
        if (i % 2 == 0) Mutate(saved, rng);
        reader.Read(b.data(), nullptr);
        Value vb = reader.Evaluate(0);
        int want = CompareOrderValues(va, vb);
        if (descending) want = -want;
        int got = std::memcmp(a.data(), b.data(), a.size());
        ASSERT_EQ(got < 0 ? -1 : got > 0 ? 1 : 0, want < 0 ? -1 : want > 0 ? 1 : 0)
            << "'" << va.ToText() << "' against '" << vb.ToText() << "'";
        ASSERT_EQ(reader.Compare(a.data(), nullptr, b.data(), nullptr, 0, 1), want < 0 ? -1 : want > 0 ? 1 : 0);
      }
    }
  }
}

TEST_F(SortKeyTest, OtherExpressionsAreEvaluatedAndMixWithKeyBytes) {
  Expression sub = Parse("SUB(T:TEXT,1,2)");
  Expression id = Parse("T:LONG");
  Expression negative = Parse("0 - T:SHORT");
  Expression upper_number = Parse("UPPER(T:LONG)");
  SortKeyReader reader({{&sub, false}, {&id, true}, {&negative, false}, {&upper_number, false}});
  EXPECT_FALSE(reader.encoded(0));
  EXPECT_TRUE(reader.encoded(1));
  EXPECT_FALSE(reader.encoded(2));
  EXPECT_FALSE(reader.encoded(3));
  EXPECT_EQ(reader.value_count(), 3u);
  EXPECT_EQ(reader.width(), 8u);
  EXPECT_FALSE(reader.Encoded(0, 2));
  EXPECT_TRUE(reader.Encoded(1, 2));
  EXPECT_EQ(reader.offset(1), 0u);
  EXPECT_EQ(reader.offset(2), 8u);

  std::mt19937 rng(9);
  std::vector<uint8_t> ka(8), kb(8);
  std::vector<Value> va(3), vb(3);
  for (int i = 0; i < 300; ++i) {
    Randomize(rng);
    reader.Read(ka.data(), va.data());
    std::vector<Value> a{reader.Evaluate(0), reader.Evaluate(1), reader.Evaluate(2)};
    uint8_t saved[kSize];
    std::memcpy(saved, record_, kSize);
    Randomize(rng);
    if (i % 2 == 0) Mutate(saved, rng);
    reader.Read(kb.data(), vb.data());
    std::vector<Value> b{reader.Evaluate(0), reader.Evaluate(1), reader.Evaluate(2)};
    int want = 0;
    for (size_t t = 0; t < 3 && want == 0; ++t) {
      want = CompareOrderValues(a[t], b[t]);
      if (t == 1) want = -want;
    }
    EXPECT_EQ(reader.Compare(ka.data(), va.data(), kb.data(), vb.data(), 0, 3), want < 0 ? -1 : want > 0 ? 1 : 0);
  }
  // Start values of another kind than the key bytes cannot be searched by halves.
  EXPECT_TRUE(reader.Monotone(1, 2, {Value(), Value::Integer(4)}));
  EXPECT_FALSE(reader.Monotone(1, 2, {Value(), Value::String("4")}));
  EXPECT_FALSE(reader.Monotone(0, 2, {Value::String("ab"), Value::Integer(4)}));
}

}  // namespace
}  // namespace korvex::view
