#include "window/core/event_handlers.h"

namespace korvex {

namespace {
bool Same(const RegisteredHandler& a, const RegisteredHandler& b) {
  return a.message == b.message && a.handler == b.handler && a.object == b.object &&
         a.extra == b.extra;
}
}  // namespace

void HandlerList::Add(const RegisteredHandler& entry, bool to_front) {
  if (to_front) {
    entries_.insert(entries_.begin(), entry);
  } else {
    entries_.push_back(entry);
  }
}

int HandlerList::Remove(uint32_t message, EventHandlerProc handler, void* object, bool loose,
                        uint32_t extra) {
  int removed = 0;
  for (size_t i = entries_.size(); i-- > 0;) {
    const RegisteredHandler& e = entries_[i];
    if (message != 0 && e.message != message) continue;
    if (handler != nullptr && e.handler != handler) continue;
    if (extra != 0 && e.extra != extra) continue;
    if (e.object != object && !(object == nullptr && loose)) continue;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    ++removed;
  }
  return removed;
}

std::vector<RegisteredHandler> HandlerList::For(uint32_t message) const {
  std::vector<RegisteredHandler> result;
  for (const RegisteredHandler& e : entries_) {
    if (e.message == message) result.push_back(e);
  }
  return result;
}

bool HandlerList::Contains(const RegisteredHandler& entry) const {
  for (const RegisteredHandler& e : entries_) {
    if (Same(e, entry)) return true;
  }
  return false;
}

bool HandlerList::Handles(uint32_t message) const {
  for (const RegisteredHandler& e : entries_) {
    if (e.message == message) return true;
  }
  return false;
}

}  // namespace korvex
