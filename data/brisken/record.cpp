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

void EncodeRecordArea(const std::vector<Record>& records, std::string* out) {
  const Record* prev = nullptr;
  char le[2];
  for (const Record& r : records) {
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
    out->append(r.bytes, prefix, std::string::npos);
    prev = &r;
  }
}

Status DecodeRecordArea(std::string_view area, size_t count, std::vector<Record>* out) {
  out->clear();
  // Every record takes at least its flag byte: a stored count beyond that is
  // damage, and must not size the vector.
  if (count > area.size()) return Status::Corrupt(check::kRecordAreaLength);
  out->reserve(count);
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
        prefix > length || (n > 0 && prefix > out->back().bytes.size())) {
      return Status::Corrupt(check::kRecordEncoding);
    }
    if (area.size() - pos < length - prefix) return Status::Corrupt(check::kRecordAreaLength);
    Record r;
    r.header_len = static_cast<uint16_t>(header_len);
    r.bytes.reserve(length);
    if (prefix) r.bytes.assign(out->back().bytes, 0, prefix);
    r.bytes.append(area.substr(pos, length - prefix));
    pos += length - prefix;
    if (n > 0 && CompareHeaders(out->back().header(), r.header()) >= 0) {
      return Status::Corrupt(check::kRecordOrder);
    }
    out->push_back(std::move(r));
  }
  if (pos != area.size()) return Status::Corrupt(check::kRecordAreaLength);
  return Status::Ok();
}

}  // namespace korvex::brisken
