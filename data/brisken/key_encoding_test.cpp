#include "data/brisken/key_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "data/brisken/record_kinds.h"
#include "data/driver/error_codes.h"

namespace korvex::brisken {
namespace {

using driver::FieldDescriptor;
using driver::FileDeclaration;
using driver::KeyDeclaration;
using driver::MakeDecimal;
using driver::MakeField;
using driver::MakeString;

std::string Hex(std::string_view bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, out.empty() ? "%02X" : " %02X", c);
    out += b;
  }
  return out;
}

// One key over one field of a one-field record.
class OneField {
 public:
  OneField(FieldDescriptor field, uint16_t flags, bool descending, uint32_t attributes = 0) {
    fields_[0] = field;
    component_[0] = descending ? -1 : 1;
    key_.flags = flags;
    key_.components = component_;
    file_.attributes = attributes;
    file_.fields = std::span<const FieldDescriptor>(fields_, 1);
    layout_.Build(file_.fields);
    code_ = encoder_.Init(file_, layout_, key_);
  }
  int32_t code() const { return code_; }
  const KeyEncoder& encoder() const { return encoder_; }
  std::string Encode(std::string_view record, const CharTables& tables) const {
    return encoder_.Encode(record, tables);
  }
  std::string Encode(std::string_view record) const {
    return Encode(record, CharTables::Defaults());
  }

 private:
  FieldDescriptor fields_[1];
  int32_t component_[1];
  KeyDeclaration key_;
  FileDeclaration file_;
  driver::RecordLayout layout_;
  KeyEncoder encoder_;
  int32_t code_ = -99;
};

template <typename T>
std::string Bytes(T value) {
  std::string s(sizeof value, '\0');
  std::memcpy(s.data(), &value, sizeof value);
  return s;
}

TEST(KeyEncoding, LongValuesAscendingAndDescending) {
  OneField up(MakeField("A:N", kTypeLong, 4), 0, false);
  OneField down(MakeField("A:N", kTypeLong, 4), 0, true);
  ASSERT_EQ(up.code(), 0);
  EXPECT_EQ(Hex(up.Encode(Bytes<int32_t>(-1))), "7F FF FF FF");
  EXPECT_EQ(Hex(up.Encode(Bytes<int32_t>(0))), "80 00 00 00");
  EXPECT_EQ(Hex(up.Encode(Bytes<int32_t>(1))), "80 00 00 01");
  EXPECT_EQ(Hex(down.Encode(Bytes<int32_t>(-1))), "80 00 00 00");
  EXPECT_EQ(Hex(down.Encode(Bytes<int32_t>(0))), "7F FF FF FF");
  EXPECT_EQ(Hex(down.Encode(Bytes<int32_t>(1))), "7F FF FF FE");
  EXPECT_EQ(up.encoder().length(), 4u);
}

TEST(KeyEncoding, RealValuesSortInOrder) {
  OneField up(MakeField("A:R", kTypeReal, 8), 0, false);
  std::vector<std::string> keys;
  for (double v : {-2.0, -1.0, 0.0, 1.0}) keys.push_back(up.Encode(Bytes(v)));
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end());
}

// Packed decimal of `bytes` bytes: sign nibble, then 2 * bytes - 1 digits.
std::string PackDecimal(int64_t value, size_t bytes) {
  std::string out(bytes, '\0');
  uint64_t magnitude = value < 0 ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  for (size_t nibble = 2 * bytes - 1; nibble >= 1; --nibble) {
    uint8_t digit = static_cast<uint8_t>(magnitude % 10);
    magnitude /= 10;
    size_t at = nibble / 2;
    out[at] = static_cast<char>(nibble % 2 == 1 ? (out[at] & 0xF0) | digit
                                                : (out[at] & 0x0F) | (digit << 4));
  }
  if (value < 0) out[0] = static_cast<char>(out[0] | 0xD0);
  return out;
}

struct NumericCase {
  const char* name;
  FieldDescriptor field;
  // A random value: its stored bytes and a number that orders like it.
  std::function<std::pair<std::string, long double>(std::mt19937_64&)> make;
};

// Compares encoded bytes against value order for many random pairs, both
// directions; also equal values must encode equally.
TEST(KeyEncoding, EveryNumericTypeIsOrderPreserving) {
  auto uniform = [](int64_t lo, int64_t hi) {
    return std::uniform_int_distribution<int64_t>(lo, hi);
  };
  std::vector<NumericCase> cases = {
      {"BYTE", MakeField("A:X", kTypeByte, 1),
       [&](std::mt19937_64& g) {
         auto v = static_cast<uint8_t>(uniform(0, 255)(g));
         return std::pair{Bytes(v), static_cast<long double>(v)};
       }},
      {"SHORT", MakeField("A:X", kTypeShort, 2),
       [&](std::mt19937_64& g) {
         auto v = static_cast<int16_t>(uniform(-32768, 32767)(g));
         return std::pair{Bytes(v), static_cast<long double>(v)};
       }},
      {"USHORT", MakeField("A:X", kTypeUShort, 2),
       [&](std::mt19937_64& g) {
         auto v = static_cast<uint16_t>(uniform(0, 65535)(g));
         return std::pair{Bytes(v), static_cast<long double>(v)};
       }},
      {"LONG", MakeField("A:X", kTypeLong, 4),
       [&](std::mt19937_64& g) {
         auto v = static_cast<int32_t>(uniform(INT32_MIN, INT32_MAX)(g) >> uniform(0, 31)(g));
         return std::pair{Bytes(v), static_cast<long double>(v)};
       }},
      {"ULONG", MakeField("A:X", kTypeULong, 4),
       [&](std::mt19937_64& g) {
         auto v = static_cast<uint32_t>(uniform(0, UINT32_MAX)(g) >> uniform(0, 31)(g));
         return std::pair{Bytes(v), static_cast<long double>(v)};
       }},
      {"DATE", MakeField("A:X", kTypeDate, 4),
       [&](std::mt19937_64& g) {
         int64_t year = uniform(1801, 9999)(g), month = uniform(1, 12)(g), day = uniform(1, 31)(g);
         uint32_t packed = static_cast<uint32_t>(year * 65536 + month * 256 + day);
         return std::pair{Bytes(packed), static_cast<long double>(packed)};
       }},
      {"TIME", MakeField("A:X", kTypeTime, 4),
       [&](std::mt19937_64& g) {
         int64_t h = uniform(0, 23)(g), m = uniform(0, 59)(g), s = uniform(0, 59)(g),
                 c = uniform(0, 99)(g);
         uint32_t packed = static_cast<uint32_t>((h << 24) | (m << 16) | (s << 8) | c);
         return std::pair{Bytes(packed), static_cast<long double>(h * 360000 + m * 6000 + s * 100 + c)};
       }},
      {"SREAL", MakeField("A:X", kTypeSReal, 4),
       [&](std::mt19937_64& g) {
         float v = static_cast<float>(std::uniform_real_distribution<double>(-1, 1)(g) *
                                      std::pow(10.0, uniform(-30, 30)(g)));
         if (uniform(0, 9)(g) == 0) v = static_cast<float>(uniform(-3, 3)(g));
         return std::pair{Bytes(v), static_cast<long double>(v)};
       }},
      {"REAL", MakeField("A:X", kTypeReal, 8),
       [&](std::mt19937_64& g) {
         double v = std::uniform_real_distribution<double>(-1, 1)(g) *
                    std::pow(10.0, uniform(-300, 300)(g));
         if (uniform(0, 9)(g) == 0) v = static_cast<double>(uniform(-3, 3)(g));
         return std::pair{Bytes(v), static_cast<long double>(v)};
       }},
      {"DECIMAL", MakeDecimal("A:X", 9, 2),
       [&](std::mt19937_64& g) {
         int64_t v = uniform(-999999999, 999999999)(g) / static_cast<int64_t>(std::pow(10, uniform(0, 8)(g)));
         return std::pair{PackDecimal(v, 5), static_cast<long double>(v)};
       }},
  };
  std::mt19937_64 g(20240607);
  for (const NumericCase& c : cases) {
    for (bool descending : {false, true}) {
      OneField key(c.field, 0, descending);
      ASSERT_EQ(key.code(), 0) << c.name;
      for (int n = 0; n < 3000; ++n) {
        auto [a_bytes, a] = c.make(g);
        auto [b_bytes, b] = n % 50 == 0 ? std::pair{a_bytes, a} : c.make(g);
        // -0.0 and 0.0 are equal values but distinct keys; leave them aside.
        if (a == 0 && b == 0 && a_bytes != b_bytes) continue;
        std::string ka = key.Encode(a_bytes);
        std::string kb = key.Encode(b_bytes);
        ASSERT_EQ(ka.size(), c.field.size);
        int byte_order = ka.compare(kb);
        byte_order = byte_order < 0 ? -1 : byte_order > 0;
        int value_order = a < b ? -1 : a > b;
        if (descending) value_order = -value_order;
        ASSERT_EQ(byte_order, value_order)
            << c.name << (descending ? " descending " : " ") << static_cast<double>(a) << " vs "
            << static_cast<double>(b) << ": " << Hex(ka) << " / " << Hex(kb);
      }
    }
  }
}

TEST(KeyEncoding, NoCaseAndCollation) {
  OneField nocase(MakeString("A:NAME", 8), driver::kKeyNoCase, false);
  EXPECT_EQ(nocase.Encode("smith   "), nocase.Encode("SMITH   "));
  EXPECT_EQ(nocase.Encode("Smith   "), "SMITH   ");

  OneField exact(MakeString("A:NAME", 8), 0, false);
  CharTables tables = CharTables::Defaults();
  EXPECT_NE(exact.Encode("smith   "), exact.Encode("SMITH   "));
  EXPECT_LT(exact.Encode("SMITH   "), exact.Encode("smith   "));  // identity collation
  // A collation that puts each lower-case letter just before its capital.
  for (int c = 'A'; c <= 'Z'; ++c) {
    tables.collation[static_cast<size_t>(c + 32)] = static_cast<uint8_t>(2 * (c - 'A') + 'A');
    tables.collation[static_cast<size_t>(c)] = static_cast<uint8_t>(2 * (c - 'A') + 'A' + 1);
  }
  EXPECT_LT(exact.Encode("smith   ", tables), exact.Encode("SMITH   ", tables));
  EXPECT_LT(exact.Encode("SMITH   ", tables), exact.Encode("tiny    ", tables));

  // Letters above 127 change case only when the tables know them.
  EXPECT_EQ(nocase.Encode("caf\xE9    "), "CAF\xE9    ");
  AddCodePage1252Letters(&tables);
  tables.collation = CharTables::Defaults().collation;
  EXPECT_EQ(nocase.Encode("caf\xE9    ", tables), "CAF\xC9    ");
}

TEST(KeyEncoding, OemFileKeysUseTheOemCodePageAndItsCollation) {
  OneField oem(MakeString("A:NAME", 4), driver::kKeyNoCase, false, driver::kFileOem);
  CharTables tables = CharTables::Defaults();
  EXPECT_EQ(Hex(oem.Encode("\xE9t\xE9 ", tables)), "82 54 82 20");  // e acute -> 0x82
  tables.oem_collation[0x82] = 0x45;                                // sorts as 'E'
  tables.collation[0xE9] = 0x01;                                    // not used for OEM files
  EXPECT_EQ(Hex(oem.Encode("\xE9t\xE9 ", tables)), "45 54 45 20");
}

TEST(KeyEncoding, CountedAndTerminatedStringsAreZeroFilled) {
  OneField c(MakeString("A:C", 6, kTypeCString), driver::kKeyNoCase, false);
  EXPECT_EQ(c.Encode(std::string("ab\0xyz", 6)), std::string("AB\0\0\0\0", 6));
  EXPECT_EQ(c.Encode(std::string("abcdef", 6)), "ABCDEF");  // no terminator within the field
  EXPECT_LT(c.Encode(std::string("ab\0zzz", 6)), c.Encode(std::string("abc\0\0\0", 6)));

  OneField p(MakeString("A:P", 6, kTypePString), 0, false);
  EXPECT_EQ(p.Encode(std::string("\2abxyz", 6)), std::string("ab\0\0\0\0", 6));
  EXPECT_EQ(p.Encode(std::string("\xFF" "abcde", 6)), std::string("abcde\0", 6));  // held to the field
  EXPECT_EQ(p.Encode(std::string("\0abcde", 6)), std::string(6, '\0'));
}

TEST(KeyEncoding, DimensionedFieldsEncodeElementByElement) {
  FieldDescriptor f = MakeField("A:V", kTypeLong, 4);
  f.dims = {2, 0, 0, 0};
  OneField key(f, 0, false);
  ASSERT_EQ(key.code(), 0);
  EXPECT_EQ(key.encoder().length(), 8u);
  EXPECT_EQ(Hex(key.Encode(Bytes<int32_t>(1) + Bytes<int32_t>(-1))), "80 00 00 01 7F FF FF FF");
}

constexpr FieldDescriptor kCustomerFields[] = {
    MakeField("CUS:CUSID", kTypeLong, 4), MakeString("CUS:NAME", 20),
    MakeString("CUS:SUBURB", 20),         MakeString("CUS:PHONE", 20),
    MakeField("CUS:STARTDATE", kTypeLong, 4),
};

std::string CustomerRecord(int32_t id, std::string name, int32_t start) {
  auto pad = [](std::string s) {
    s.resize(20, ' ');
    return s;
  };
  return Bytes(id) + pad(name) + pad("") + pad("") + Bytes(start);
}

TEST(KeyEncoding, EntriesOfUniqueAndDuplicateKeys) {
  const int32_t by_start_name[] = {5, 2};
  const int32_t by_name[] = {2};
  const KeyDeclaration keys[] = {
      {.label = "CUS:BYSTARTDATENAME", .flags = driver::kKeyDup | driver::kKeyOpt | driver::kKeyNoCase,
       .components = by_start_name},
      {.label = "CUS:BYNAME", .flags = driver::kKeyOpt | driver::kKeyNoCase, .components = by_name},
  };
  FileDeclaration file{.label = "CUSTOMER", .keys = keys, .fields = kCustomerFields};
  driver::RecordLayout layout;
  ASSERT_TRUE(layout.Build(file.fields));
  KeyEncoder dup, unique;
  ASSERT_EQ(dup.Init(file, layout, keys[0]), 0);
  ASSERT_EQ(unique.Init(file, layout, keys[1]), 0);
  EXPECT_EQ(dup.length(), 24u);
  CharTables tables = CharTables::Defaults();

  std::string record = CustomerRecord(7, "Smith", 80000);
  Record entry;
  ASSERT_TRUE(dup.BuildEntry(record, tables, 0x01020304, 2, 0x00000A0B, &entry));
  EXPECT_EQ(entry.header_len, 4 + 1 + 24 + 4);
  EXPECT_EQ(Hex(entry.header().substr(0, 9)), "01 02 03 04 02 80 01 38 80");
  EXPECT_EQ(Hex(entry.header().substr(entry.header_len - 4)), "00 00 0A 0B");
  EXPECT_TRUE(entry.data().empty());
  EXPECT_EQ(KeyEntryRecordNumber(entry), 0x0A0Bu);

  ASSERT_TRUE(unique.BuildEntry(record, tables, 1, 3, 99, &entry));
  EXPECT_EQ(entry.header_len, 4 + 1 + 20);
  EXPECT_EQ(entry.header().substr(5), "SMITH               ");
  EXPECT_EQ(Hex(entry.data()), "00 00 00 63");
  EXPECT_EQ(KeyEntryRecordNumber(entry), 99u);

  // OPT: no entry while every component is empty.
  std::string blank = CustomerRecord(0, "", 0);
  EXPECT_FALSE(unique.BuildEntry(blank, tables, 1, 3, 5, &entry));
  EXPECT_FALSE(dup.BuildEntry(blank, tables, 1, 2, 5, &entry));
  EXPECT_TRUE(dup.BuildEntry(CustomerRecord(0, "", 1), tables, 1, 2, 5, &entry));
}

TEST(KeyEncoding, EmptinessOfEachKindOfComponent) {
  struct Case {
    FieldDescriptor field;
    std::string empty;
    std::string not_empty;
  };
  const Case cases[] = {
      {MakeString("A:S", 3), "   ", " x "},
      {MakeString("A:C", 3, kTypeCString), std::string("\0xy", 3), std::string("x\0\0", 3)},
      {MakeString("A:P", 3, kTypePString), std::string("\0xy", 3), std::string("\1x\0", 3)},
      {MakeField("A:L", kTypeLong, 4), std::string(4, '\0'), std::string("\0\0\0\1", 4)},
      {MakeDecimal("A:D", 5, 0), std::string(3, '\0'), std::string("\xD0\0\0", 3)},
  };
  for (const Case& c : cases) {
    OneField key(c.field, driver::kKeyOpt, false);
    EXPECT_TRUE(key.encoder().IsEmpty(c.empty)) << c.field.label;
    EXPECT_FALSE(key.encoder().IsEmpty(c.not_empty)) << c.field.label;
  }
  // A GROUP counts as empty when all blank, whatever its members are.
  FieldDescriptor g = driver::MakeGroup("A:G", 0);
  g.size = 2;
  OneField group(g, driver::kKeyOpt, false);
  EXPECT_TRUE(group.encoder().IsEmpty("  "));
  EXPECT_FALSE(group.encoder().IsEmpty(std::string(2, '\0')));
}

TEST(KeyEncoding, KeysThatCannotBeBuiltAreRefused) {
  EXPECT_EQ(OneField(MakeDecimal("A:P", 5, 0, kTypePDecimal), 0, false).code(),
            driver::kErrUnsupportedDataType);
  EXPECT_EQ(OneField(MakeString("A:S", 15094), 0, false).code(), driver::kErrInvalidKeyLength);
  EXPECT_EQ(OneField(MakeString("A:S", 15000), 0, false).code(), driver::kNoError);

  const int32_t none[] = {0};
  const int32_t beyond[] = {-6};
  const KeyDeclaration keys[] = {{.components = none}, {.components = beyond}, {}};
  FileDeclaration file{.label = "CUSTOMER", .fields = kCustomerFields};
  driver::RecordLayout layout;
  ASSERT_TRUE(layout.Build(file.fields));
  KeyEncoder encoder;
  for (const KeyDeclaration& k : keys) {
    EXPECT_EQ(encoder.Init(file, layout, k), driver::kErrInvalidRecordDeclaration);
  }
}

}  // namespace
}  // namespace korvex::brisken
