#include "window/queue_list_rows.h"

namespace korvex {

std::string QueueListRows::field(int row, int field) const {
  if (row < 0 || field < 1 || field > fieldCount()) return {};
  std::span<const uint8_t> entry = queue_->Entry(static_cast<size_t>(row) + 1);
  if (entry.empty()) return {};
  const QueueField& f = queue_->fields()[static_cast<size_t>(field) - 1];
  switch (f.type) {
    case kTypeString:
    case kTypeCString:
    case kTypePString:
      return Queue::ReadText(entry, f);
    default:
      return std::to_string(Queue::ReadNumber(entry, f));
  }
}

}  // namespace korvex
