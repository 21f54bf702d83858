#include "data/brisken/record.h"

#include <algorithm>
#include <cstring>

#include "data/brisken/bytes.h"

namespace korvex::brisken {
namespace {
constexpr uint8_t kHasLength = 0x80;
constexpr uint8_t kHasHeaderLength = 0x40;
constexpr size_t kMaxPrefix = 63;
}  // namespace

void EncodeRecordArea(const RecordView* records, size_t count, std::string* out) {
  const RecordView* prev = nullptr;
  char le[2];
  for (size_t i = 0; i < count; ++i) {
    const RecordView& r = records[i];
    size_t prefix = 0;
    uint8_t flag = 0;
    if (prev == nullptr) {
      flag = kHasLength | kHasHeaderLength;
    } else {
      size_t limit = std::min({kMaxPrefix, r.bytes.size(), prev->bytes.size()});
      while (prefix < limit && r.bytes[prefix] == prev->bytes[prefix]) ++prefix;
      if (r.bytes.size() != prev->bytes.size()) flag |= kHasLength;
      if (r.header_len != prev->header_len) flag |= kHasHeaderLength;
    }
    out->push_back(static_cast<char>(flag | prefix));
    if (flag & kHasLength) {
      PutLe16(le, static_cast<uint32_t>(r.bytes.size()));
      out->append(le, 2);
    }
    if (flag & kHasHeaderLength) {
      PutLe16(le, r.header_len);
      out->append(le, 2);
    }
    out->append(r.bytes.data() + prefix, r.bytes.size() - prefix);
    prev = &r;
  }
}

void EncodeRecordArea(const std::vector<Record>& records, std::string* out) {
  std::vector<RecordView> views;
  views.reserve(records.size());
  for (const Record& r : records) views.push_back(r.view());
  EncodeRecordArea(views.data(), views.size(), out);
}

Status DecodeRecordArea(std::string_view area, size_t count, std::string* bytes,
                        std::vector<RecordSpan>* spans) {
  bytes->clear();
  spans->clear();
  // Every record takes at least its flag byte: a stored count beyond that is
  // damage, and must not size the vector.
  if (count > area.size()) return Status::Corrupt(check::kRecordAreaLength);
  spans->reserve(count);
  // Prefixes make the records longer than the area; this is a guess, not a bound.
  bytes->reserve(area.size() + area.size() / 2);
  size_t pos = 0;
  size_t length = 0;
  size_t header_len = 0;
  for (size_t n = 0; n < count; ++n) {
    if (pos >= area.size()) return Status::Corrupt(check::kRecordAreaLength);
    uint8_t flag = static_cast<uint8_t>(area[pos++]);
    size_t prefix = flag & kMaxPrefix;
    if (n == 0 && ((flag & (kHasLength | kHasHeaderLength)) != (kHasLength | kHasHeaderLength) ||
                   prefix != 0)) {
      return Status::Corrupt(check::kRecordEncoding);
    }
    if (flag & kHasLength) {
      if (area.size() - pos < 2) return Status::Corrupt(check::kRecordAreaLength);
      length = GetLe16(area.data() + pos);
      pos += 2;
    }
    if (flag & kHasHeaderLength) {
      if (area.size() - pos < 2) return Status::Corrupt(check::kRecordAreaLength);
      header_len = GetLe16(area.data() + pos);
      pos += 2;
    }
    if (header_len == 0 || header_len > length || length >= kRecordLengthLimit ||
        prefix > length || (n > 0 && prefix > spans->back().length)) {
      return Status::Corrupt(check::kRecordEncoding);
    }
    if (area.size() - pos < length - prefix) return Status::Corrupt(check::kRecordAreaLength);
    // Each record's bytes are at most the area's plus 63 of prefix: the
    // buffer stays below count * kRecordLengthLimit, far inside 32 bits.
    RecordSpan span;
    span.offset = static_cast<uint32_t>(bytes->size());
    span.length = static_cast<uint16_t>(length);
    span.header_len = static_cast<uint16_t>(header_len);
    bytes->resize(bytes->size() + length);
    char* to = bytes->data() + span.offset;
    if (prefix) std::memcpy(to, bytes->data() + spans->back().offset, prefix);
    std::memcpy(to + prefix, area.data() + pos, length - prefix);
    pos += length - prefix;
    if (n > 0) {
      const RecordSpan& last = spans->back();
      std::string_view before(bytes->data() + last.offset, last.header_len);
      std::string_view now(to, span.header_len);
      if (CompareHeaders(before, now) >= 0) return Status::Corrupt(check::kRecordOrder);
    }
    spans->push_back(span);
  }
  if (pos != area.size()) return Status::Corrupt(check::kRecordAreaLength);
  // A cached page lives long: no more than a quarter of slack.
  if (bytes->capacity() > bytes->size() + bytes->size() / 4) bytes->shrink_to_fit();
  return Status::Ok();
}

Status DecodeRecordArea(std::string_view area, size_t count, std::vector<Record>* out) {
  out->clear();
  std::string bytes;
  std::vector<RecordSpan> spans;
  Status s = DecodeRecordArea(area, count, &bytes, &spans);
  if (!s.ok()) return s;
  out->reserve(spans.size());
  for (const RecordSpan& span : spans) {
    out->push_back(Record{bytes.substr(span.offset, span.length), span.header_len});
  }
  return Status::Ok();
}

}  // namespace korvex::brisken
