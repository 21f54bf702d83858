// The rows of a list read straight from a runtime queue: field n of a row is the queue entry's
// field n as text (numbers in decimal, strings as stored), so a browse that fills the queue
// and calls the list's refresh is all it takes to show a page.
#pragma once

#include <string>

#include "runtime/queue.h"
#include "window/vel_list.h"

namespace korvex {

class QueueListRows : public ListRows {
 public:
  explicit QueueListRows(const Queue* queue) : queue_(queue) {}
  int rowCount() const override { return static_cast<int>(queue_->Records()); }
  int fieldCount() const override { return static_cast<int>(queue_->fields().size()); }
  std::string field(int row, int field) const override;

 private:
  const Queue* queue_;  // not owned
};

}  // namespace korvex
