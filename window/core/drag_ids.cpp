#include "window/core/drag_ids.h"

#include <mutex>
#include <set>

namespace korvex {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

std::string_view WithoutTilde(std::string_view id) {
  return IsCrossProgramId(id) ? id.substr(1) : id;
}

}  // namespace

DragId InternDragId(std::string_view text) {
  if (text.empty()) return nullptr;
  static std::mutex mutex;
  static std::set<std::string, std::less<>> table;  // nodes never move: pointers stay valid
  std::lock_guard<std::mutex> lock(mutex);
  auto it = table.find(text);
  if (it == table.end()) it = table.emplace(text).first;
  return &*it;
}

DragId FileDropId() {
  static const DragId id = InternDragId(kFileDropText);
  return id;
}

void DragIdList::insert(std::string_view text, size_t index) {
  DragId id = InternDragId(TrimBlanks(text));
  if (!id) return;
  if (index > ids_.size()) index = ids_.size();
  ids_.insert(ids_.begin() + static_cast<std::ptrdiff_t>(index), id);
}

void DragIdList::remove(size_t index) {
  if (index < ids_.size()) ids_.erase(ids_.begin() + static_cast<std::ptrdiff_t>(index));
}

void DragIdList::assign(std::string_view text) {
  ids_.clear();
  append(text);
}

bool DragIdList::acceptsFiles() const {
  DragId file = FileDropId();
  for (DragId id : ids_) {
    if (id == file) return true;
  }
  return false;
}

int MatchDropId(const DragIdList& drop_ids, std::string_view dragged, bool from_other_program) {
  std::string_view want = from_other_program ? WithoutTilde(dragged) : dragged;
  for (size_t i = 0; i < drop_ids.size(); ++i) {
    std::string_view have = *drop_ids[i];
    if (from_other_program) have = WithoutTilde(have);
    if (have == want) return static_cast<int>(i);
  }
  return -1;
}

std::vector<DragId> IdsToOffer(const DragIdList& drag_ids, bool target_in_this_program) {
  std::vector<DragId> offer;
  for (DragId id : drag_ids.ids()) {
    if (target_in_this_program || IsCrossProgramId(*id)) offer.push_back(id);
  }
  return offer;
}

}  // namespace korvex
