// The 512-byte header at the start of every Brisken file: commit bounds, magic,
// last issued number, change counter, tree root and the size-class regions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/brisken/status.h"

namespace korvex::brisken {

inline constexpr uint32_t kHeaderSize = 512;
inline constexpr uint32_t kUnit = 256;          // pages are whole multiples of this
inline constexpr int kSizeClasses = 60;         // region 0 stays empty; 1 to 59 hold pages
inline constexpr uint32_t kMaxPageBytes = 15104;  // 59 units
inline constexpr int32_t kNoRoot = -1;

// File offset of the page at unit address a.
inline uint64_t PageOffset(uint32_t address) { return kHeaderSize + uint64_t{kUnit} * address; }

class FileHeader {
 public:
  uint32_t committed_end = 0;  // file length at the last completed commit
  uint32_t pending_end = 0;    // end of the shadow area; equal when no commit is under way
  uint32_t last_number = 0;    // last issued record or table number (big-endian on disk)
  uint32_t change_counter = 0; // grows with every commit
  int32_t root = kNoRoot;      // unit address of the tree's root page, negative when none
  std::array<uint32_t, kSizeClasses> start{};  // first unit of region i
  std::array<uint32_t, kSizeClasses> end{};    // unit after region i

  // A header as a fresh file gets it: magic, all regions empty, counters 0.
  static FileHeader Fresh();

  // The 512 bytes as stored.
  std::string Encode() const;
  // Reads a stored header. REQUIRES: bytes.size() == 512. 36 for a wrong magic.
  static Status Decode(std::string_view bytes, FileHeader* out);

  // Highest end among non-empty regions (0 when all are empty).
  uint32_t DataEndUnits() const;
  // 512 + 256 x DataEndUnits().
  uint64_t DataLength() const { return PageOffset(DataEndUnits()); }
  bool RegionEmpty(int i) const { return start[i] == end[i]; }
  // The size class whose region holds address a, or 0 when none does.
  int RegionOf(uint32_t address) const;

  // What makes this header point beyond a file of file_size bytes, or beyond
  // the 32-bit offsets the format stores: its data length (when any region
  // holds pages), its committed end or its pending end. "" when nothing does.
  // A commit only ever grows the file before it names the new bounds, so a
  // header that a crash cut short passes too.
  std::string BoundsProblem(uint64_t file_size) const;

  // Checks the regions (whole slots, ascending, no overlap, region 0 empty) and
  // moves empty regions next to their predecessor so that start[i] >= end[i-1]
  // holds for every i. Fails with a corruption status.
  Status NormalizeRegions();
};

}  // namespace korvex::brisken
