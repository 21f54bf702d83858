#include "data/brisken/file_header.h"

#include <cstring>

#include "data/brisken/bytes.h"

namespace korvex::brisken {
namespace {
constexpr char kMagic[4] = {'b', 'R', 's', 'K'};
}  // namespace

FileHeader FileHeader::Fresh() {
  FileHeader h;
  h.root = 0;  // a fresh file stores zeros here; opening turns it into "no root"
  return h;
}

std::string FileHeader::Encode() const {
  std::string out(kHeaderSize, '\0');
  char* p = out.data();
  PutLe32(p + 0, 0);
  PutLe16(p + 4, kHeaderSize);
  PutLe32(p + 6, committed_end);
  PutLe32(p + 10, pending_end);
  std::memcpy(p + 14, kMagic, 4);
  PutLe16(p + 18, 0);
  PutBe32(p + 20, last_number);
  PutLe32(p + 24, change_counter);
  PutLe32(p + 28, static_cast<uint32_t>(root));
  for (int i = 0; i < kSizeClasses; ++i) {
    PutLe32(p + 32 + 4 * i, start[i]);
    PutLe32(p + 272 + 4 * i, end[i]);
  }
  return out;
}

Status FileHeader::Decode(std::string_view bytes, FileHeader* out) {
  if (bytes.size() < kHeaderSize || std::memcmp(bytes.data() + 14, kMagic, 4) != 0) {
    return Status::Error(driver::kErrInvalidDataFile);
  }
  const char* p = bytes.data();
  FileHeader h;
  h.committed_end = GetLe32(p + 6);
  h.pending_end = GetLe32(p + 10);
  h.last_number = GetBe32(p + 20);
  h.change_counter = GetLe32(p + 24);
  h.root = static_cast<int32_t>(GetLe32(p + 28));
  for (int i = 0; i < kSizeClasses; ++i) {
    h.start[i] = GetLe32(p + 32 + 4 * i);
    h.end[i] = GetLe32(p + 272 + 4 * i);
  }
  *out = h;
  return Status::Ok();
}

uint32_t FileHeader::DataEndUnits() const {
  uint32_t units = 0;
  for (int i = 1; i < kSizeClasses; ++i) {
    if (!RegionEmpty(i) && end[i] > units) units = end[i];
  }
  return units;
}

int FileHeader::RegionOf(uint32_t address) const {
  for (int i = 1; i < kSizeClasses; ++i) {
    if (address >= start[i] && address < end[i]) return i;
  }
  return 0;
}

std::string FileHeader::BoundsProblem(uint64_t file_size) const {
  const std::string file = " lies beyond the end of the file (" + std::to_string(file_size) + " bytes)";
  if (DataEndUnits() > 0) {
    uint64_t length = DataLength();
    if (length > 0xFFFFFFFFu) {
      return "the header's regions end at byte " + std::to_string(length) +
             ", beyond the largest offset a Brisken file can hold";
    }
    if (length > file_size) return "the header's data length (" + std::to_string(length) + ")" + file;
  }
  if (committed_end > file_size) {
    return "the header's committed end (" + std::to_string(committed_end) + ")" + file;
  }
  if (pending_end > file_size) {
    return "the header's pending end (" + std::to_string(pending_end) + ")" + file;
  }
  return "";
}

Status FileHeader::NormalizeRegions() {
  if (!RegionEmpty(0)) return Status::Corrupt(check::kRegionTable);
  uint32_t previous_end = 0;
  for (int i = 1; i < kSizeClasses; ++i) {
    if (RegionEmpty(i)) {
      start[i] = end[i] = previous_end;
      continue;
    }
    if (end[i] < start[i] || (end[i] - start[i]) % i != 0 || start[i] < previous_end) {
      return Status::Corrupt(check::kRegionTable);
    }
    previous_end = end[i];
  }
  start[0] = end[0] = 0;
  return Status::Ok();
}

}  // namespace korvex::brisken
