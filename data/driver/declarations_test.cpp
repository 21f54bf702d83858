#include "data/driver/declarations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/driver/declaration_builder.h"
#include "data/driver/driver_test_util.h"
#include "data/driver/record_layout.h"
#include "data/driver/structure_dump.h"

namespace korvex::driver {
namespace {

using testing::kCustomer;
using testing::kOrders;

std::vector<uint32_t> Offsets(const RecordLayout& layout) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < layout.size(); ++i) out.push_back(layout[i].offset);
  return out;
}

TEST(RecordLayout, CustomerRecordIs68Bytes) {
  RecordLayout layout;
  ASSERT_TRUE(layout.Build(kCustomer.fields));
  EXPECT_EQ(Offsets(layout), (std::vector<uint32_t>{0, 4, 24, 44, 64}));
  EXPECT_EQ(layout.record_size(), 68u);
}

TEST(RecordLayout, GroupDimAndOverArePlaced) {
  RecordLayout layout;
  ASSERT_TRUE(layout.Build(kOrders.fields));
  // NUMBER, TOTAL (5 bytes), WHEN{DATE,TIME}, STAMP over WHEN, LINES[3,2] of 10, PHONE 12, FLAGS, CODE.
  EXPECT_EQ(Offsets(layout), (std::vector<uint32_t>{0, 4, 9, 9, 13, 9, 17, 77, 89, 90}));
  EXPECT_EQ(layout[2].total_size, 8u);   // the group spans its members
  EXPECT_EQ(layout[3].parent, 2);
  EXPECT_EQ(layout[5].parent, -1);
  EXPECT_EQ(layout[6].count, 6u);
  EXPECT_EQ(layout[6].element_size, 10u);
  EXPECT_EQ(layout[6].total_size, 60u);
  EXPECT_EQ(layout.record_size(), 98u);
}

TEST(RecordLayout, NestedAndDimensionedGroups) {
  FieldDescriptor outer = MakeGroup("OUTER", 2);
  outer.dims = {2};
  FieldDescriptor wide = MakeField("WIDE", kTypeReal, 8);
  wide.over = "A";  // the OVER field may be larger: the record grows to hold it
  const FieldDescriptor fields[] = {
      MakeField("LEAD", kTypeByte, 1), outer, MakeField("A", kTypeShort, 2),
      MakeGroup("INNER", 1),          MakeField("B", kTypeLong, 4), MakeField("TAIL", kTypeByte, 1),
      wide,
  };
  RecordLayout layout;
  ASSERT_TRUE(layout.Build(fields));
  // OUTER = 2 x (A 2 + INNER 4) = 12 bytes from 1; TAIL after it at 13.
  EXPECT_EQ(Offsets(layout), (std::vector<uint32_t>{0, 1, 1, 3, 3, 13, 1}));
  EXPECT_EQ(layout[1].element_size, 6u);
  EXPECT_EQ(layout[1].total_size, 12u);
  EXPECT_EQ(layout[4].parent, 3);
  EXPECT_EQ(layout.record_size(), 14u);
}

TEST(RecordLayout, MalformedListsAreRefused) {
  RecordLayout layout;
  const FieldDescriptor short_group[] = {MakeGroup("G", 3), MakeField("A", kTypeLong, 4)};
  EXPECT_FALSE(layout.Build(short_group));
  EXPECT_FALSE(layout.valid());
  EXPECT_EQ(layout.size(), 0u);

  FieldDescriptor over = MakeField("B", kTypeLong, 4);
  over.over = "MISSING";
  const FieldDescriptor bad_over[] = {MakeField("A", kTypeLong, 4), over};
  EXPECT_FALSE(layout.Build(bad_over));

  FieldDescriptor forward = MakeField("A", kTypeLong, 4);
  forward.over = "B";  // only earlier fields can be overlaid
  const FieldDescriptor over_later[] = {forward, MakeField("B", kTypeLong, 4)};
  EXPECT_FALSE(layout.Build(over_later));

  const FieldDescriptor empty_field[] = {MakeField("A", kTypeLong, 0)};
  EXPECT_FALSE(layout.Build(empty_field));
  const FieldDescriptor end_marker[] = {MakeField("A", kTypeEnd, 4)};
  EXPECT_FALSE(layout.Build(end_marker));

  FieldDescriptor huge = MakeString("S", 0xFFFF);
  huge.dims = {0xFFFF, 0xFFFF};
  const FieldDescriptor too_big[] = {huge};
  EXPECT_FALSE(layout.Build(too_big));

  // Deep nesting is handled without recursion.
  std::vector<FieldDescriptor> deep(100000, MakeGroup("G", 1));
  deep.push_back(MakeField("X", kTypeByte, 1));
  ASSERT_TRUE(layout.Build(deep));
  EXPECT_EQ(layout.record_size(), 1u);
}

TEST(Declarations, KeyNumbersAndFieldLookup) {
  EXPECT_EQ(KeyNumber(kCustomer, &kCustomer.keys[0]), 1);
  EXPECT_EQ(KeyNumber(kCustomer, &kCustomer.keys[4]), 5);
  KeyDeclaration copy = kCustomer.keys[3];
  EXPECT_EQ(KeyNumber(kCustomer, &copy), 4);  // a copy is found by its label
  KeyDeclaration stranger{.label = "GOD:BYID"};
  EXPECT_EQ(KeyNumber(kCustomer, &stranger), 0);
  EXPECT_EQ(KeyNumber(kCustomer, nullptr), 0);

  EXPECT_EQ(FindField(kCustomer.fields, "CUS:PHONE"), 3);
  EXPECT_EQ(FindField(kCustomer.fields, "cus:phone"), 3);
  EXPECT_EQ(FindField(kCustomer.fields, "StartDate"), 4);
  EXPECT_EQ(FindField(kCustomer.fields, "GOD:NAME"), 1);  // the prefix is not required to match
  EXPECT_EQ(FindField(kCustomer.fields, "NOPE"), -1);
  EXPECT_EQ(FindField(kCustomer.fields, ""), -1);

  EXPECT_EQ(BlobCount(kOrders), 1);
  EXPECT_EQ(MemoCount(kOrders), 1);
  EXPECT_EQ(MakeDecimal("D", 7, 2).size, 4u);
  EXPECT_EQ(MakeDecimal("D", 6, 2).size, 4u);
  EXPECT_EQ(MakeDecimal("D", 1, 0).size, 1u);
}

TEST(OwnedDeclaration, BuiltAtRunTimeLikeAConstantTable) {
  std::unique_ptr<OwnedDeclaration> owned;
  {
    // Texts handed in from short-lived strings are kept by the declaration.
    std::string label = "CUSTOMER";
    owned = std::make_unique<OwnedDeclaration>(label);
    label.assign(40, 'x');
  }
  owned->set_driver(std::string("BRISKEN"));
  owned->set_attributes(kFileCreate);
  for (const FieldDescriptor& f : kCustomer.fields) {
    FieldDescriptor copy = f;
    std::string temporary(f.label);
    copy.label = temporary;
    owned->AddField(copy);
  }
  for (const KeyDeclaration& k : kCustomer.keys) {
    std::vector<int32_t> components(k.components.begin(), k.components.end());
    KeyDeclaration copy = k;
    copy.components = components;
    owned->AddKey(copy);
  }
  EXPECT_EQ(StructureDump(owned->declaration()), StructureDump(kCustomer));
  EXPECT_EQ(owned->declaration().fields.size(), 5u);
  EXPECT_EQ(owned->AddMemo({.label = "CUS:NOTES", .max_size = 10}), 1);
  EXPECT_EQ(owned->declaration().memos.size(), 1u);

  auto copy = OwnedDeclaration::CopyOf(kOrders);
  EXPECT_EQ(StructureDump(copy->declaration()), StructureDump(kOrders));
  EXPECT_NE(copy->declaration().keys[1].components.data(), kOrders.keys[1].components.data());
}

}  // namespace
}  // namespace korvex::driver
