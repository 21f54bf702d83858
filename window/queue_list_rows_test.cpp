#include "window/queue_list_rows.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(QueueListRows, ShowsTheQueueEntriesFieldByField) {
  Queue queue({{"CUS:CUSID", kTypeLong, 4}, {"CUS:NAME", kTypeString, 20}});
  QueueListRows rows(&queue);
  EXPECT_EQ(rows.rowCount(), 0);
  Queue::WriteNumber(queue.buffer(), queue.fields()[0], -42);
  Queue::WriteText(queue.buffer(), queue.fields()[1], "Kestrel");
  queue.Add();
  ASSERT_EQ(rows.rowCount(), 1);
  EXPECT_EQ(rows.fieldCount(), 2);
  EXPECT_EQ(rows.field(0, 1), "-42");
  EXPECT_EQ(rows.field(0, 2), "Kestrel" + std::string(13, ' '));
  EXPECT_EQ(rows.field(0, 3), "");  // beyond the queue's fields: an empty cell
  EXPECT_EQ(rows.field(1, 1), "");
}

}  // namespace
}  // namespace korvex
