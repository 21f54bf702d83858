// Range checks and per-handle lock bookkeeping shared by both file
// implementations, so that a request is accepted or refused alike everywhere.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace korvex::os {

// Largest file offset either target can address (POSIX offsets are signed).
constexpr uint64_t kMaxFileOffset = (uint64_t{1} << 63) - 1;

// Lock ranges must end at or below this offset: the bytes from here up carry
// the emulated sharing modes on POSIX.
constexpr uint64_t kLockLimit = uint64_t{1} << 62;

// True when [offset, offset+len) lies within the addressable range.
inline bool ValidIoRange(uint64_t offset, uint64_t len) {
  return offset <= kMaxFileOffset && len <= kMaxFileOffset - offset;
}

// True when [offset, offset+len) may be locked: not empty (a zero length means
// "to end of file" to POSIX but "nothing" to Win32), no overflow, below the limit.
inline bool ValidLockRange(uint64_t offset, uint64_t len) {
  return len != 0 && offset < kLockLimit && len <= kLockLimit - offset;
}

// The ranges one handle holds or is waiting for. A handle that asks again for
// a byte it already has is refused at once: Win32 would block forever on its
// own lock and POSIX would silently merge the two, so neither is kept.
class HeldRanges {
 public:
  // Records [offset, offset+len) unless it overlaps a recorded range.
  bool Reserve(uint64_t offset, uint64_t len) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (const Range& r : ranges_) {
      if (offset < r.offset + r.len && r.offset < offset + len) return false;
    }
    ranges_.push_back(Range{offset, len});
    return true;
  }
  // Forgets exactly [offset, offset+len); false when it was not recorded.
  bool Release(uint64_t offset, uint64_t len) {
    std::lock_guard<std::mutex> guard(mutex_);
    for (size_t i = 0; i < ranges_.size(); ++i) {
      if (ranges_[i].offset == offset && ranges_[i].len == len) {
        ranges_[i] = ranges_.back();
        ranges_.pop_back();
        return true;
      }
    }
    return false;
  }

 private:
  struct Range {
    uint64_t offset;
    uint64_t len;
  };
  std::mutex mutex_;
  std::vector<Range> ranges_;
};

}  // namespace korvex::os
