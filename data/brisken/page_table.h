// The cached pages of a file by address: an open-addressing hash table (linear
// probing, backward-shift removal). One probe is usually one cache line, where
// a node-based map costs a chain of misses on every step of a walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/brisken/page.h"

namespace korvex::brisken {

class PageTable {
 public:
  PageTable() = default;
  PageTable(const PageTable&) = delete;
  PageTable& operator=(const PageTable&) = delete;

  Page* Find(uint32_t address) const {
    if (slots_.empty()) return nullptr;
    for (size_t i = Home(address);; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (!s.page) return nullptr;
      if (s.address == address) return s.page.get();
    }
  }
  // Files page under address, replacing (and destroying) a page filed there.
  void Put(uint32_t address, std::unique_ptr<Page> page);
  // Takes the page filed under address when it is `expected`; nullptr otherwise.
  std::unique_ptr<Page> Take(uint32_t address, const Page* expected);
  void Clear();
  size_t size() const { return count_; }

 private:
  struct Slot {
    uint32_t address = 0;
    std::unique_ptr<Page> page;  // null: empty slot
  };
  size_t Home(uint32_t address) const {
    return static_cast<size_t>((uint64_t{address} * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
  }
  void Grow();

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  unsigned shift_ = 64;
  size_t count_ = 0;
};

}  // namespace korvex::brisken
