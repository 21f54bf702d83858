#include "data/driver/declaration_text.h"

#include <gtest/gtest.h>

#include "data/driver/driver_test_util.h"
#include "data/driver/record_layout.h"
#include "data/driver/structure_dump.h"

namespace korvex::driver {
namespace {

std::unique_ptr<OwnedDeclaration> Parse(std::string_view text) {
  std::unique_ptr<OwnedDeclaration> out;
  DeclarationTextError error;
  EXPECT_TRUE(ParseDeclarationText(text, &out, &error)) << error.ToString() << "\n" << text;
  return out;
}

DeclarationTextError ParseError(std::string_view text) {
  std::unique_ptr<OwnedDeclaration> out;
  DeclarationTextError error;
  EXPECT_FALSE(ParseDeclarationText(text, &out, &error)) << text;
  EXPECT_EQ(out, nullptr);
  return error;
}

TEST(DeclarationText, StructureDumpsReadBackToTheSameText) {
  for (const FileDeclaration* file : {&testing::kCustomer, &testing::kOrders}) {
    std::string dump = StructureDump(*file);
    auto parsed = Parse(dump);
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(StructureDump(parsed->declaration()), dump);
  }
  // The owner is hidden by the dump: what comes back is the asterisks.
  auto orders = Parse(StructureDump(testing::kOrders));
  EXPECT_EQ(orders->declaration().owner, "******");
  EXPECT_EQ(orders->declaration().attributes, testing::kOrders.attributes);
}

TEST(DeclarationText, CustomerDeclarationInEveryDetail) {
  auto parsed = Parse(StructureDump(testing::kCustomer));
  const FileDeclaration& d = parsed->declaration();
  EXPECT_EQ(d.label, "CUSTOMER");
  EXPECT_EQ(d.driver, "BRISKEN");
  EXPECT_EQ(d.attributes, kFileCreate);
  ASSERT_EQ(d.fields.size(), 5u);
  ASSERT_EQ(d.keys.size(), 5u);
  for (size_t i = 0; i < d.fields.size(); ++i) {
    EXPECT_EQ(d.fields[i].label, testing::kCustomerFields[i].label);
    EXPECT_EQ(d.fields[i].type, testing::kCustomerFields[i].type);
    EXPECT_EQ(d.fields[i].size, testing::kCustomerFields[i].size);
  }
  for (size_t i = 0; i < d.keys.size(); ++i) {
    const KeyDeclaration& want = testing::kCustomerKeys[i];
    EXPECT_EQ(d.keys[i].label, want.label);
    EXPECT_EQ(d.keys[i].flags, want.flags);
    EXPECT_EQ(std::vector<int32_t>(d.keys[i].components.begin(), d.keys[i].components.end()),
              std::vector<int32_t>(want.components.begin(), want.components.end()));
  }
  RecordLayout layout;
  ASSERT_TRUE(layout.Build(d.fields));
  EXPECT_EQ(layout.record_size(), 68u);
}

TEST(DeclarationText, AnyLayoutCaseAndLineEnd) {
  const char* text =
      "! the goods of each customer\n"
      "goods   file , driver ( 'BRISKEN' , '/ALLOWDETAILS' ) ,Name('goods.bkf'),oem,pre(god)\n"
      "\tGOD:ByID key(god:cusid , -GOODS),dup,opt,nocase   ! components may lose their prefix\n"
      "God:Notes memo( 100 ) , binary\n"
      "   record,pre(god)\n"
      "GOD:CUSID long\n"
      "GOD:GOODS string( 20 ) ,name('Goods')\n"
      "     end\n"
      "end\n"
      "\n";
  auto parsed = Parse(text);
  ASSERT_NE(parsed, nullptr);
  const char* expected =
      "GOODS             FILE,DRIVER('BRISKEN','/ALLOWDETAILS'),NAME('goods.bkf')\r\n"
      "GOD:BYID            KEY(+GOD:CUSID,-GOD:GOODS),DUP,OPT,NOCASE\r\n"
      "GOD:NOTES           MEMO(100),BINARY\r\n"
      "                    RECORD\r\n"
      "GOD:CUSID           LONG\r\n"
      "GOD:GOODS           STRING(20),NAME('Goods')\r\n"
      "                    END\r\n"
      "                    END\r\n"
      "\r\n";
  EXPECT_EQ(StructureDump(parsed->declaration()), expected);
  EXPECT_EQ(parsed->declaration().attributes, kFileOem);

  // The same with CR LF line ends.
  std::string crlf;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\n') crlf += '\r';
    crlf += *p;
  }
  auto again = Parse(crlf);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(StructureDump(again->declaration()), expected);
}

TEST(DeclarationText, LabelsThatFillTheirColumnAreSplitFromTheKeyword) {
  const char* text =
      "A_FILE_WITH_A_LONG_LABELFILE,DRIVER('BRISKEN')\r\n"
      "A:VERYLONGKEYLABELNAMEKEY(+A:VERYLONGFIELDLABELNAME)\r\n"
      "                    RECORD\r\n"
      "A:VERYLONGFIELDLABELNAMESTRING(4)\r\n"
      "A:ANOTHERLONGFIELDLABELDECIMAL(5,2)\r\n"
      "                    END\r\n"
      "                    END\r\n";
  auto parsed = Parse(text);
  ASSERT_NE(parsed, nullptr);
  const FileDeclaration& d = parsed->declaration();
  EXPECT_EQ(d.label, "A_FILE_WITH_A_LONG_LABEL");
  EXPECT_EQ(d.keys[0].label, "A:VERYLONGKEYLABELNAME");
  EXPECT_EQ(d.fields[0].label, "A:VERYLONGFIELDLABELNAME");
  EXPECT_EQ(d.fields[1].label, "A:ANOTHERLONGFIELDLABEL");
  EXPECT_EQ(d.fields[1].type, kTypeDecimal);
  EXPECT_EQ(StructureDump(d), std::string(text) + "\r\n");
}

TEST(DeclarationText, EveryFieldTypeGetsItsSize) {
  const char* text =
      "T FILE,DRIVER('BRISKEN')\n"
      "RECORD\n"
      "T:B BYTE\n T:S SHORT\n T:US USHORT\n T:D DATE\n T:T TIME\n T:L LONG\n T:UL ULONG\n"
      "T:SR SREAL\n T:R REAL\n T:F4 BFLOAT4\n T:F8 BFLOAT8\n"
      "T:DEC DECIMAL(9,2)\n T:DEC0 DECIMAL(4)\n T:PD PDECIMAL(31,31)\n"
      "T:STR STRING(10)\n T:CS CSTRING(10)\n T:PS PSTRING(10)\n"
      "T:PIC STRING(@P(###) ###-####P)\n T:CPIC CSTRING(@S8)\n T:PPIC PSTRING(@S8)\n"
      "T:G GROUP,DIM(2)\n"
      "  T:G1 LONG\n"
      "  T:G2 GROUP\n"
      "    T:G21 BYTE,DIM(2,3)\n"
      "  END\n"
      "END\n"
      "T:O STRING(4),OVER(T:G)\n"
      "END\n"
      "END\n";
  auto parsed = Parse(text);
  ASSERT_NE(parsed, nullptr);
  const FileDeclaration& d = parsed->declaration();
  const uint32_t sizes[] = {1, 2, 2, 4, 4, 4, 4, 4, 8, 4, 8, 5, 3, 16, 10, 10, 10, 14, 9, 9};
  ASSERT_EQ(d.fields.size(), std::size(sizes) + 5);
  for (size_t i = 0; i < std::size(sizes); ++i) EXPECT_EQ(d.fields[i].size, sizes[i]) << i;
  EXPECT_EQ(d.fields[11].digits, 9);
  EXPECT_EQ(d.fields[11].places, 2);
  EXPECT_EQ(d.fields[17].picture, "P(###) ###-####P");
  const FieldDescriptor& g = d.fields[20];
  EXPECT_EQ(g.members, 2);
  EXPECT_EQ(d.fields[22].members, 1);
  EXPECT_EQ(d.fields[23].dims[1], 3u);
  EXPECT_EQ(d.fields[24].over, "T:G");
  RecordLayout layout;
  ASSERT_TRUE(layout.Build(d.fields));
  EXPECT_EQ(layout[20].total_size, 2u * (4 + 6));
  EXPECT_EQ(layout[24].offset, layout[20].offset);
}

TEST(DeclarationText, ErrorsSayWhereAndNeverCrash) {
  struct Case {
    const char* text;
    int line;
    int column;
    const char* message;
  };
  const Case cases[] = {
      {"", 1, 1, "no FILE declaration"},
      {"X KEY(+A)\n", 1, 3, "FILE expected"},
      {"FILE,DRIVER('B')\n", 1, 1, "a FILE needs a label"},
      {"X FILE,CREATE\nRECORD\nA LONG\nEND\nEND\n", 1, 1, "a FILE needs a DRIVER"},
      {"X FILE,DRIVER('B),CREATE\n", 1, 15, "text not closed"},
      {"X FILE,DRIVER('B'),BOGUS\n", 1, 20, "unknown FILE attribute"},
      {"X FILE,DRIVER('B')\nK KEY(+A:NONE)\nRECORD\nA:X LONG\nEND\nEND\n", 2, 8, "no field A:NONE"},
      {"X FILE,DRIVER('B')\nK KEY(+A:X),UNIQUE\n", 2, 13, "unknown key attribute"},
      {"X FILE,DRIVER('B')\nM MEMO(70000)\n", 2, 8, "number larger than 65535"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X STRING(0)\n", 3, 12, "number smaller than 1"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X DECIMAL(5,6)\n", 3, 15, "number larger than 5"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X STRIN(5)\n", 3, 5, "field type expected"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X LONG,OVER(A:Y)\n", 3, 15, "no earlier field A:Y"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X STRING(@Q)\n", 3, 12, "invalid picture"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X LONG,DIM(1,2,3,4,5)\n", 3, 22, "at most 4 dimensions"},
      {"X FILE,DRIVER('B')\nRECORD\nA:G GROUP\nEND\n", 4, 1, "a GROUP needs at least one field"},
      {"X FILE,DRIVER('B')\nRECORD\nEND\n", 3, 1, "a RECORD needs at least one field"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X LONG\nEND\n", 4, 4, "END expected"},
      {"X FILE,DRIVER('B')\n", 1, 19, "RECORD expected"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X LONG\nEND\nEND\nY FILE,DRIVER('B')\n", 6, 1,
       "text after the end"},
      {"X FILE,DRIVER('B')\nRECORD\nA:X LONG extra\n", 3, 10, "unexpected text"},
      {"X FILE,DRIVER('B')\n(\n", 2, 1, "label or keyword expected"},
  };
  for (const Case& c : cases) {
    DeclarationTextError e = ParseError(c.text);
    EXPECT_EQ(e.line, c.line) << c.text << " -> " << e.ToString();
    EXPECT_EQ(e.column, c.column) << c.text << " -> " << e.ToString();
    EXPECT_NE(e.message.find(c.message), std::string::npos) << e.ToString();
  }
  EXPECT_EQ((DeclarationTextError{3, 7, "oops"}).ToString(), "line 3, column 7: oops");

  // Every cut of a good text either parses or says why.
  std::string dump = StructureDump(testing::kOrders);
  for (size_t n = 0; n < dump.size(); ++n) {
    std::unique_ptr<OwnedDeclaration> out;
    DeclarationTextError error;
    if (!ParseDeclarationText(dump.substr(0, n), &out, &error)) {
      EXPECT_FALSE(error.message.empty());
      EXPECT_GE(error.line, 1);
    }
  }
}

}  // namespace
}  // namespace korvex::driver
