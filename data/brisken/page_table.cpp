#include "data/brisken/page_table.h"

#include <utility>

namespace korvex::brisken {

void PageTable::Put(uint32_t address, std::unique_ptr<Page> page) {
  if ((count_ + 1) * 2 > slots_.size()) Grow();
  for (size_t i = Home(address);; i = (i + 1) & mask_) {
    Slot& s = slots_[i];
    if (!s.page) {
      s.address = address;
      s.page = std::move(page);
      ++count_;
      return;
    }
    if (s.address == address) {
      s.page = std::move(page);
      return;
    }
  }
}

std::unique_ptr<Page> PageTable::Take(uint32_t address, const Page* expected) {
  if (slots_.empty()) return nullptr;
  size_t i = Home(address);
  for (;; i = (i + 1) & mask_) {
    if (!slots_[i].page) return nullptr;
    if (slots_[i].address == address) break;
  }
  if (slots_[i].page.get() != expected) return nullptr;
  std::unique_ptr<Page> taken = std::move(slots_[i].page);
  --count_;
  // Backward shift: later entries of the probe run move into the hole when
  // their home does not lie between the hole and them.
  size_t hole = i;
  for (size_t j = (i + 1) & mask_; slots_[j].page; j = (j + 1) & mask_) {
    size_t home = Home(slots_[j].address);
    bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
    if (stays) continue;
    slots_[hole] = std::move(slots_[j]);
    hole = j;
  }
  return taken;
}

void PageTable::Clear() {
  slots_.clear();
  mask_ = 0;
  shift_ = 64;
  count_ = 0;
}

void PageTable::Grow() {
  std::vector<Slot> old = std::move(slots_);
  size_t capacity = old.empty() ? 64 : old.size() * 2;
  slots_ = std::vector<Slot>(capacity);
  mask_ = capacity - 1;
  shift_ = 64;
  for (size_t c = capacity; c > 1; c >>= 1) --shift_;
  count_ = 0;
  for (Slot& s : old) {
    if (s.page) Put(s.address, std::move(s.page));
  }
}

}  // namespace korvex::brisken
