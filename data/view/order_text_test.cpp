#include "data/view/order_text.h"

#include <gtest/gtest.h>

#include "data/view/view_declaration.h"
#include "data/view/view_engine.h"

namespace korvex::view {
namespace {

TEST(OrderTextTest, SignsBlanksAndCommasInsideExpressions) {
  std::vector<OrderComponent> c;
  std::string error;
  ASSERT_TRUE(ParseOrderText(" -CUS:NAME,+CUS:CUSID", &c, &error)) << error;
  ASSERT_EQ(c.size(), 2u);
  EXPECT_TRUE(c[0].descending);
  EXPECT_EQ(c[0].expression, "CUS:NAME");
  EXPECT_FALSE(c[1].descending);
  EXPECT_EQ(c[1].expression, "CUS:CUSID");
  // A function's arguments and a quoted comma stay in their component.
  ASSERT_TRUE(ParseOrderText("\tSUB(CUS:NAME,1,3) , CUS:SUBURB & ',''x'", &c, &error));
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].expression, "SUB(CUS:NAME,1,3)");
  EXPECT_EQ(c[1].expression, "CUS:SUBURB & ',''x'");
  ASSERT_TRUE(ParseOrderText("  ", &c, &error));
  EXPECT_TRUE(c.empty());
}

TEST(OrderTextTest, MalformedTextsAreRefusedWithAReason) {
  std::vector<OrderComponent> c;
  std::string error;
  for (const char* bad : {"CUS:NAME,", ",CUS:NAME", "-", "CUS:NAME,  +  ", "UPPER(CUS:NAME", "A)",
                          "'open"}) {
    EXPECT_FALSE(ParseOrderText(bad, &c, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    EXPECT_TRUE(c.empty()) << bad;
  }
}

TEST(ViewPositionTest, CarriesItsLengthAndIgnoresBlankPadding) {
  std::string p = EncodeViewPosition({17, 0, 4});
  EXPECT_EQ(p, "V0012:17,0,4");
  Combination c;
  ASSERT_TRUE(DecodeViewPosition(p + std::string(1000, ' '), 3, &c));
  EXPECT_EQ(c, (Combination{17, 0, 4}));
  EXPECT_FALSE(DecodeViewPosition(p, 2, &c));  // another view's shape
  for (const char* bad : {"", "V0012:17,0,", "V0099:17,0,4", "X0012:17,0,4", "V0007:0", "V0012:17,a,4"}) {
    EXPECT_FALSE(DecodeViewPosition(bad, 3, &c)) << bad;
  }
  EXPECT_LE(EncodeViewPosition(Combination(90, 0xFFFFFFFF)).size(), kMaxViewPosition);
  EXPECT_EQ(EncodeViewPosition(Combination(100, 0xFFFFFFFF)), "");  // would not fit
}

TEST(ViewDeclarationTest, TextFormIndentsEachLevel) {
  static const driver::KeyDeclaration key{.label = "GOO:BYCUSTOMER"};
  ViewDeclaration v;
  v.primary.projection = {{false, 1}, {false, 2}, {true, 1}};
  ViewJoin goods;
  goods.key = &key;
  goods.parent_fields = {1};
  goods.inner = true;
  ViewJoin notes;
  notes.expression = "NOT:CUSID = GOO:CUSID";
  notes.level.projection = {{false, 3}};
  goods.level.joins.push_back(notes);
  v.primary.joins.push_back(goods);
  EXPECT_EQ(v.ToText(),
            "VIEW(FILE)\r\n"
            "  PROJECT(FIELD(1),FIELD(2),MEMO(1))\r\n"
            "  JOIN(KEY,FIELD(1)),INNER\r\n"
            "    JOIN(NOT:CUSID = GOO:CUSID)\r\n"
            "      PROJECT(FIELD(3))\r\n"
            "    END\r\n"
            "  END\r\n"
            "END\r\n");
  EXPECT_EQ(FlattenLevels(v).size(), 3u);
}

}  // namespace
}  // namespace korvex::view
