#include "data/brisken/page.h"

#include <algorithm>
#include <cstring>

#include "data/brisken/bytes.h"
#include "data/brisken/file_header.h"
#include "data/brisken/run_length.h"

namespace korvex::brisken {

Record IndexRecordFor(RecordView r) {
  Record index;
  index.bytes.assign(r.header());
  index.header_len = r.header_len;
  return index;
}

namespace {
bool HeaderBelow(std::string_view a, std::string_view b) { return CompareHeaders(a, b) < 0; }
}  // namespace

size_t Page::LowerBound(std::string_view h) const {
  auto it = std::partition_point(spans_.begin(), spans_.end(), [&](const RecordSpan& r) {
    return HeaderBelow(std::string_view(bytes_.data() + r.offset, r.header_len), h);
  });
  return static_cast<size_t>(it - spans_.begin());
}

size_t Page::UpperBound(std::string_view h) const {
  auto it = std::partition_point(spans_.begin(), spans_.end(), [&](const RecordSpan& r) {
    return !HeaderBelow(h, std::string_view(bytes_.data() + r.offset, r.header_len));
  });
  return static_cast<size_t>(it - spans_.begin());
}

size_t Page::ChildSlotFor(std::string_view h) const {
  size_t pos = UpperBound(h);
  return pos == 0 ? 0 : pos - 1;
}

size_t Page::FindChild(uint32_t a) const {
  auto it = std::find(children_.begin(), children_.end(), a);
  return static_cast<size_t>(it - children_.begin());
}

uint32_t Page::AppendBytes(RecordView r) {
  const size_t at = bytes_.size();
  const char* from = r.bytes.data();
  const size_t n = r.bytes.size();
  if (from >= bytes_.data() && from < bytes_.data() + bytes_.size()) {
    // Our own bytes: growing the buffer may move them.
    const size_t offset = static_cast<size_t>(from - bytes_.data());
    bytes_.resize(at + n);
    std::memmove(bytes_.data() + at, bytes_.data() + offset, n);
  } else {
    bytes_.append(from, n);
  }
  return static_cast<uint32_t>(at);
}

void Page::Compact() {
  std::string packed;
  packed.reserve(bytes_.size() - unused_);
  for (RecordSpan& span : spans_) {
    const uint32_t at = static_cast<uint32_t>(packed.size());
    packed.append(bytes_.data() + span.offset, span.length);
    span.offset = at;
  }
  bytes_ = std::move(packed);
  unused_ = 0;
}

void Page::CompactIfWasteful() {
  // Amortised: at least as many bytes were written since the last compaction.
  if (unused_ > 1024 && unused_ * 2 > bytes_.size()) Compact();
}

void Page::Insert(size_t pos, RecordView r, uint32_t child) {
  planned_ += Cost(r.bytes.size());
  RecordSpan span;
  span.length = static_cast<uint16_t>(r.bytes.size());
  span.header_len = r.header_len;
  span.offset = AppendBytes(r);
  spans_.insert(spans_.begin() + static_cast<std::ptrdiff_t>(pos), span);
  if (is_index()) children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(pos), child);
}

void Page::Erase(size_t pos) {
  planned_ -= Cost(spans_[pos].length);
  unused_ += spans_[pos].length;
  spans_.erase(spans_.begin() + static_cast<std::ptrdiff_t>(pos));
  if (is_index()) children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(pos));
  if (spans_.empty()) {
    bytes_.clear();
    unused_ = 0;
  } else {
    CompactIfWasteful();
  }
}

void Page::Replace(size_t pos, RecordView r) {
  RecordSpan& span = spans_[pos];
  planned_ -= Cost(span.length);
  planned_ += Cost(r.bytes.size());
  if (r.bytes.size() <= span.length) {
    // Fits where the old one was (memmove: r may be those very bytes).
    std::memmove(bytes_.data() + span.offset, r.bytes.data(), r.bytes.size());
    unused_ += span.length - r.bytes.size();
  } else {
    unused_ += span.length;
    span.offset = AppendBytes(r);
  }
  span.length = static_cast<uint16_t>(r.bytes.size());
  span.header_len = r.header_len;
  CompactIfWasteful();
}

void Page::MoveTail(size_t from, Page* other) {
  for (size_t i = from; i < spans_.size(); ++i) {
    other->Insert(other->size(), record(i), is_index() ? children_[i] : 0);
    planned_ -= Cost(spans_[i].length);
  }
  spans_.resize(from);
  if (is_index()) children_.resize(from);
  Compact();
}

Page::Area Page::EncodeArea() const {
  Area result;
  std::vector<RecordView> views;
  views.reserve(spans_.size());
  for (size_t i = 0; i < spans_.size(); ++i) views.push_back(record(i));
  std::string area;
  area.reserve(planned_);
  EncodeRecordArea(views.data(), views.size(), &area);
  result.uncompressed_size = kPageHeaderSize + 4 * children_.size() + area.size();
  if (!RunLengthCompress(area, &result.stored)) result.stored = std::move(area);
  return result;
}

Status Page::CheckArea(const Area& area) const {
  if (area.uncompressed_size > planned_ || area.uncompressed_size > kMaxPageBytes) {
    return Status::Corrupt(check::kPageTooLarge);
  }
  return Status::Ok();
}

Status Page::Assemble(const Area& area, std::string* image) const {
  Status checked = CheckArea(area);
  if (!checked.ok()) return checked;
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
  PutLe16(p + 10, static_cast<uint32_t>(spans_.size()));
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
  // One expansion buffer per thread: pages are parsed one at a time.
  thread_local std::string expanded;
  if (stored < uncompressed) {
    Status s = RunLengthExpand(area, uncompressed - area_start, &expanded);
    if (!s.ok()) return s;
    area = expanded;
  }
  Status s = DecodeRecordArea(area, count, &page->bytes_, &page->spans_);
  if (!s.ok()) return s;
  for (const RecordSpan& r : page->spans_) page->planned_ += page->Cost(r.length);
  if (level > 0) {
    page->children_.resize(count);
    for (size_t i = 0; i < count; ++i) page->children_[i] = GetLe32(p + kPageHeaderSize + 4 * i);
  }
  *out = std::move(page);
  return Status::Ok();
}

}  // namespace korvex::brisken
