#include "data/brisken/page.h"

#include <algorithm>

#include "data/brisken/bytes.h"
#include "data/brisken/file_header.h"
#include "data/brisken/run_length.h"

namespace korvex::brisken {

Record IndexRecordFor(const Record& r) {
  Record index;
  index.bytes.assign(r.header());
  index.header_len = r.header_len;
  return index;
}

size_t Page::LowerBound(std::string_view h) const {
  auto it = std::partition_point(records_.begin(), records_.end(), [&](const Record& r) {
    return CompareHeaders(r.header(), h) < 0;
  });
  return static_cast<size_t>(it - records_.begin());
}

size_t Page::UpperBound(std::string_view h) const {
  auto it = std::partition_point(records_.begin(), records_.end(), [&](const Record& r) {
    return CompareHeaders(r.header(), h) <= 0;
  });
  return static_cast<size_t>(it - records_.begin());
}

size_t Page::ChildSlotFor(std::string_view h) const {
  size_t pos = UpperBound(h);
  return pos == 0 ? 0 : pos - 1;
}

size_t Page::FindChild(uint32_t a) const {
  auto it = std::find(children_.begin(), children_.end(), a);
  return static_cast<size_t>(it - children_.begin());
}

void Page::Insert(size_t pos, Record r, uint32_t child) {
  planned_ += Cost(r);
  records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(r));
  if (is_index()) children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(pos), child);
}

void Page::Erase(size_t pos) {
  planned_ -= Cost(records_[pos]);
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(pos));
  if (is_index()) children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(pos));
}

void Page::Replace(size_t pos, Record r) {
  planned_ -= Cost(records_[pos]);
  planned_ += Cost(r);
  records_[pos] = std::move(r);
}

void Page::MoveTail(size_t from, Page* other) {
  for (size_t i = from; i < records_.size(); ++i) {
    other->Insert(other->size(), std::move(records_[i]), is_index() ? children_[i] : 0);
    planned_ -= Cost(other->records_.back());
  }
  records_.resize(from);
  if (is_index()) children_.resize(from);
}

Page::Area Page::EncodeArea() const {
  Area result;
  std::string area;
  EncodeRecordArea(records_, &area);
  result.uncompressed_size = kPageHeaderSize + 4 * children_.size() + area.size();
  if (!RunLengthCompress(area, &result.stored)) result.stored = std::move(area);
  return result;
}

Status Page::Assemble(const Area& area, std::string* image) const {
  if (area.uncompressed_size > planned_ || area.uncompressed_size > kMaxPageBytes) {
    return Status::Corrupt(check::kPageTooLarge);
  }
  image->assign(kPageHeaderSize, '\0');
  for (uint32_t c : children_) {
    char le[4];
    PutLe32(le, c);
    image->append(le, 4);
  }
  image->append(area.stored);
  char* p = image->data();
  PutLe32(p + 0, static_cast<uint32_t>(PageOffset(address_)));
  PutLe16(p + 4, static_cast<uint32_t>(image->size()));
  PutLe16(p + 6, static_cast<uint32_t>(area.uncompressed_size));
  PutLe16(p + 8, static_cast<uint32_t>(std::min<size_t>(planned_, 0xFFFF)));
  PutLe16(p + 10, static_cast<uint32_t>(records_.size()));
  p[12] = static_cast<char>(level_);
  return Status::Ok();
}

Status Page::Parse(std::string_view slot, uint32_t address, std::unique_ptr<Page>* out) {
  if (slot.size() < kPageHeaderSize) return Status::Corrupt(check::kPageHeader);
  const char* p = slot.data();
  size_t stored = GetLe16(p + 4);
  size_t uncompressed = GetLe16(p + 6);
  size_t count = GetLe16(p + 10);
  uint8_t level = static_cast<uint8_t>(p[12]);
  size_t area_start = kPageHeaderSize + (level > 0 ? 4 * count : 0);
  if (GetLe32(p) != static_cast<uint32_t>(PageOffset(address)) || stored > slot.size() ||
      stored > uncompressed || uncompressed > kMaxPageBytes || count == 0 ||
      area_start > stored) {
    return Status::Corrupt(check::kPageHeader);
  }
  auto page = std::make_unique<Page>(address, level);
  std::string_view area = slot.substr(area_start, stored - area_start);
  std::string expanded;
  if (stored < uncompressed) {
    Status s = RunLengthExpand(area, uncompressed - area_start, &expanded);
    if (!s.ok()) return s;
    area = expanded;
  }
  Status s = DecodeRecordArea(area, count, &page->records_);
  if (!s.ok()) return s;
  for (const Record& r : page->records_) page->planned_ += page->Cost(r);
  if (level > 0) {
    page->children_.resize(count);
    for (size_t i = 0; i < count; ++i) page->children_[i] = GetLe32(p + kPageHeaderSize + 4 * i);
  }
  *out = std::move(page);
  return Status::Ok();
}

}  // namespace korvex::brisken
