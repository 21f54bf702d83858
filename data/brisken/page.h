// One page of the record tree in memory: its records in header order, and on
// an index page the child address of each record. Converts to and from the
// stored image (13-byte header, child addresses, run-length record area).
// The records' bytes live in one buffer per page (a page of small records is
// one allocation, not one per record); a change appends to it and leaves the
// old bytes behind until enough of the buffer is unused to be worth compacting.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/brisken/record.h"
#include "data/brisken/status.h"

namespace korvex::brisken {

inline constexpr size_t kPageHeaderSize = 13;
inline constexpr size_t kSplitAbove = 15094;        // planned size that always splits
inline constexpr size_t kSplitAboveCrowded = 4096;  // planned size that splits a crowded page
inline constexpr size_t kCrowdedRecords = 20;

class Page {
 public:
  Page(uint32_t address, uint8_t level) : address_(address), level_(level) {}
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  uint32_t address() const { return address_; }
  void set_address(uint32_t a) { address_ = a; }
  uint8_t level() const { return level_; }
  bool is_index() const { return level_ > 0; }
  bool dirty() const { return dirty_; }
  size_t size() const { return spans_.size(); }
  bool empty() const { return spans_.empty(); }
  // 13 + the sum of (record length + 5), + 4 per record on an index page.
  size_t planned_size() const { return planned_; }
  bool NeedsSplit() const {
    return planned_ > kSplitAbove || (planned_ > kSplitAboveCrowded && size() > kCrowdedRecords);
  }

  // Valid until the page changes.
  RecordView record(size_t i) const {
    const RecordSpan& s = spans_[i];
    return {std::string_view(bytes_.data() + s.offset, s.length), s.header_len};
  }
  uint32_t child(size_t i) const { return children_[i]; }
  const std::vector<uint32_t>& children() const { return children_; }

  // First position whose header is >= h (LowerBound) or > h (UpperBound).
  size_t LowerBound(std::string_view h) const;
  size_t UpperBound(std::string_view h) const;
  // The child to follow for h: the last record not above h, else the first.
  size_t ChildSlotFor(std::string_view h) const;
  // Position of child address a, or size() when absent.
  size_t FindChild(uint32_t a) const;

  // REQUIRES: the order stays ascending; child only on an index page.
  void Insert(size_t pos, RecordView r, uint32_t child = 0);
  void Insert(size_t pos, const Record& r, uint32_t child = 0) { Insert(pos, r.view(), child); }
  void Erase(size_t pos);
  // REQUIRES: r has the header of the record at pos (or keeps the order).
  void Replace(size_t pos, RecordView r);
  void Replace(size_t pos, const Record& r) { Replace(pos, r.view()); }
  void SetChild(size_t pos, uint32_t a) { children_[pos] = a; }
  // Moves records [from, size()) (and their children) to the end of other.
  void MoveTail(size_t from, Page* other);

  // The record area as stored (compressed when shorter) and the page's
  // uncompressed size. Only records matter: moving the page keeps it valid.
  struct Area {
    std::string stored;
    size_t uncompressed_size;
  };
  Area EncodeArea() const;
  // The stored image from an encoded area: header, child addresses, area,
  // without padding. Fails when the page exceeds 15104 bytes or its planned size.
  Status Assemble(const Area& area, std::string* image) const;
  Status Serialize(std::string* image) const { return Assemble(EncodeArea(), image); }
  // Assemble's check alone: the page fits 15104 bytes and its planned size.
  Status CheckArea(const Area& area) const;
  // The length of the image Assemble makes from area.
  size_t ImageSize(const Area& area) const {
    return kPageHeaderSize + 4 * children_.size() + area.stored.size();
  }
  // Parses the image read from the slot at address. Checks the header against
  // the slot, expands and parses the record area.
  static Status Parse(std::string_view slot, uint32_t address, std::unique_ptr<Page>* out);

  // Bytes held in memory for the records (the buffer's capacity and the spans).
  size_t memory_bytes() const {
    return bytes_.capacity() + spans_.capacity() * sizeof(RecordSpan) +
           children_.capacity() * sizeof(uint32_t);
  }

  // Cache bookkeeping (page_cache.h).
  void set_dirty(bool d) { dirty_ = d; }
  std::list<Page*>::iterator lru_position;
  uint64_t lru_tick = 0;  // the cache's tick when last put at the front of its list

 private:
  size_t Cost(size_t length) const { return length + 5 + (is_index() ? 4 : 0); }
  // Puts r's bytes at the end of the buffer; r may lie in the buffer itself.
  uint32_t AppendBytes(RecordView r);
  // Rewrites the buffer with only the bytes of current records, in order.
  void Compact();
  void CompactIfWasteful();

  uint32_t address_;             // unit address of its slot
  uint8_t level_;                // 0 for a leaf
  bool dirty_ = false;           // changed since the last commit
  size_t planned_ = kPageHeaderSize;
  std::string bytes_;               // the records' bytes, and unused ones
  size_t unused_ = 0;               // bytes of the buffer no record uses
  std::vector<RecordSpan> spans_;   // ascending by header
  std::vector<uint32_t> children_;  // index pages: child address per record
};

// The index record for a child whose lowest record is r: a copy of its header.
Record IndexRecordFor(RecordView r);

}  // namespace korvex::brisken
