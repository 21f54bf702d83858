// One page of the record tree in memory: its records in header order, and on
// an index page the child address of each record. Converts to and from the
// stored image (13-byte header, child addresses, run-length record area).
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
  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  // 13 + the sum of (record length + 5), + 4 per record on an index page.
  size_t planned_size() const { return planned_; }
  bool NeedsSplit() const {
    return planned_ > kSplitAbove || (planned_ > kSplitAboveCrowded && size() > kCrowdedRecords);
  }

  const Record& record(size_t i) const { return records_[i]; }
  const std::vector<Record>& records() const { return records_; }
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
  void Insert(size_t pos, Record r, uint32_t child = 0);
  void Erase(size_t pos);
  // REQUIRES: r has the header of the record at pos (or keeps the order).
  void Replace(size_t pos, Record r);
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
  // Parses the image read from the slot at address. Checks the header against
  // the slot, expands and parses the record area.
  static Status Parse(std::string_view slot, uint32_t address, std::unique_ptr<Page>* out);

  // Cache bookkeeping (page_cache.h).
  void set_dirty(bool d) { dirty_ = d; }
  std::list<Page*>::iterator lru_position;

 private:
  size_t Cost(const Record& r) const { return r.bytes.size() + 5 + (is_index() ? 4 : 0); }

  uint32_t address_;             // unit address of its slot
  uint8_t level_;                // 0 for a leaf
  bool dirty_ = false;           // changed since the last commit
  size_t planned_ = kPageHeaderSize;
  std::vector<Record> records_;  // ascending by header
  std::vector<uint32_t> children_;  // index pages: child address per record
};

// The index record for a child whose lowest record is r: a copy of its header.
Record IndexRecordFor(const Record& r);

}  // namespace korvex::brisken
