#include "runtime/queue.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

Queue CustomerRows() {
  return Queue({{"CUS:CUSID", kTypeLong, 4}, {"CUS:NAME", kTypeString, 20}, {"MARK", kTypeByte, 1},
                {"VIEWPOSITION", kTypeString, 1024}});
}

TEST(Queue, FieldsFollowEachOtherAndAreFoundWithoutRegardToCase) {
  Queue q = CustomerRows();
  EXPECT_EQ(q.entry_size(), 1049u);
  EXPECT_EQ(q.fields()[3].offset, 25u);
  EXPECT_EQ(q.FieldIndex("cus:name"), 1);
  EXPECT_EQ(q.FieldIndex("CUS:PHONE"), -1);
}

TEST(Queue, AddInsertPutDeleteByPositionThroughTheBuffer) {
  Queue q = CustomerRows();
  auto row = [&](int id) {
    Queue::WriteNumber(q.buffer(), q.fields()[0], id);
    Queue::WriteText(q.buffer(), q.fields()[1], std::string(1, 'N').append(std::to_string(id)));
  };
  row(20);
  q.Add();
  row(30);
  q.Add();
  row(10);
  EXPECT_TRUE(q.Add(1));
  EXPECT_FALSE(q.Add(5));  // beyond the end + 1
  ASSERT_EQ(q.Records(), 3u);
  std::vector<int64_t> ids;
  for (size_t i = 1; i <= q.Records(); ++i) ids.push_back(Queue::ReadNumber(q.Entry(i), q.fields()[0]));
  EXPECT_EQ(ids, (std::vector<int64_t>{10, 20, 30}));

  uint64_t before = q.version();
  row(99);
  EXPECT_TRUE(q.Put(2));
  EXPECT_GT(q.version(), before);
  EXPECT_TRUE(q.Get(2));
  EXPECT_EQ(Queue::ReadText(q.buffer(), q.fields()[1]), "N99" + std::string(17, ' '));
  EXPECT_TRUE(q.Delete(1));
  EXPECT_FALSE(q.Delete(3));
  EXPECT_FALSE(q.Get(0));
  EXPECT_EQ(Queue::ReadNumber(q.Entry(1), q.fields()[0]), 99);
  q.Free();
  EXPECT_EQ(q.Records(), 0u);
  EXPECT_TRUE(q.Entry(1).empty());
}

TEST(Queue, TextIsCutToTheFieldAndNumbersKeepTheirSign) {
  Queue q({{"S", kTypeString, 3}, {"C", kTypeCString, 3}, {"L", kTypeLong, 4}, {"B", kTypeByte, 1}});
  Queue::WriteText(q.buffer(), q.fields()[0], "abcdef");
  Queue::WriteText(q.buffer(), q.fields()[1], "abcdef");
  Queue::WriteNumber(q.buffer(), q.fields()[2], -5);
  Queue::WriteNumber(q.buffer(), q.fields()[3], 300);
  EXPECT_EQ(Queue::ReadText(q.buffer(), q.fields()[0]), "abc");
  EXPECT_EQ(Queue::ReadText(q.buffer(), q.fields()[1]), "ab");
  EXPECT_EQ(Queue::ReadNumber(q.buffer(), q.fields()[2]), -5);
  EXPECT_EQ(Queue::ReadNumber(q.buffer(), q.fields()[3]), 44);  // a BYTE wraps
}

}  // namespace
}  // namespace korvex
