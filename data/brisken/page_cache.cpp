#include "data/brisken/page_cache.h"

namespace korvex::brisken {

Page* PageCache::Find(uint32_t address) {
  for (auto& p : Chain(address)) {
    if (p->address() == address) {
      std::list<Page*>& list = p->dirty() ? dirty_ : clean_;
      list.splice(list.begin(), list, p->lru_position);
      return p.get();
    }
  }
  return nullptr;
}

Page* PageCache::Insert(std::unique_ptr<Page> page) {
  Page* raw = page.get();
  if (raw->dirty()) {
    dirty_.push_front(raw);
    raw->lru_position = dirty_.begin();
  } else {
    clean_.push_front(raw);
    raw->lru_position = clean_.begin();
    clean_bytes_ += raw->planned_size();
  }
  Chain(raw->address()).push_back(std::move(page));
  ++count_;
  return raw;
}

std::unique_ptr<Page> PageCache::Unlink(Page* page) {
  auto& chain = Chain(page->address());
  for (size_t i = 0; i < chain.size(); ++i) {
    if (chain[i].get() == page) {
      std::unique_ptr<Page> owned = std::move(chain[i]);
      chain[i] = std::move(chain.back());
      chain.pop_back();
      return owned;
    }
  }
  return nullptr;
}

void PageCache::Rekey(Page* page, uint32_t new_address) {
  std::unique_ptr<Page> owned = Unlink(page);
  page->set_address(new_address);
  Chain(new_address).push_back(std::move(owned));
}

void PageCache::Erase(Page* page) {
  if (page->dirty()) {
    dirty_.erase(page->lru_position);
  } else {
    clean_.erase(page->lru_position);
    clean_bytes_ -= std::min(clean_bytes_, page->planned_size());
  }
  --count_;
  Unlink(page);
}

void PageCache::MarkDirty(Page* page) {
  if (page->dirty()) {
    dirty_.splice(dirty_.begin(), dirty_, page->lru_position);
    return;
  }
  clean_bytes_ -= std::min(clean_bytes_, page->planned_size());
  dirty_.splice(dirty_.begin(), clean_, page->lru_position);
  page->set_dirty(true);
}

void PageCache::MarkAllClean() {
  for (Page* p : dirty_) {
    p->set_dirty(false);
    clean_bytes_ += p->planned_size();
  }
  clean_.splice(clean_.begin(), dirty_);
  Trim();
}

void PageCache::Trim(const Page* keep) {
  while (count_ >= kMinPages && !clean_.empty() &&
         (count_ > kMaxPages - 1 || clean_bytes_ > kCleanBytesBudget)) {
    Page* victim = clean_.back();
    if (victim == keep) {
      if (clean_.size() == 1) break;
      clean_.splice(clean_.begin(), clean_, victim->lru_position);
      continue;
    }
    Erase(victim);
  }
}

void PageCache::Clear() {
  for (auto& chain : chains_) chain.clear();
  clean_.clear();
  dirty_.clear();
  count_ = 0;
  clean_bytes_ = 0;
}

}  // namespace korvex::brisken
