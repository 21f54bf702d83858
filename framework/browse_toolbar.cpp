#include "framework/browse_toolbar.h"

#include <algorithm>
#include <utility>

namespace korvex::framework {

void BrowseToolbar::Init(ToolbarPort* port) {
  port_ = port;
  targets_.clear();
  current_ = nullptr;
}

void BrowseToolbar::Kill() {
  current_ = nullptr;
  targets_.clear();
}

void BrowseToolbar::ShowButtons() {
  if (current_ != nullptr) current_->EnableButtons();
}

void BrowseToolbar::HandleToolbarEvent(int32_t control, ToolbarHost& host) {
  if (current_ != nullptr) current_->HandleToolbarEvent(control, host);
}

ToolbarTarget* BrowseToolbar::AddTarget(std::unique_ptr<ToolbarTarget> target, int32_t list_control) {
  if (target == nullptr) return nullptr;
  RemoveTarget(list_control);
  target->Attach(port_, list_control);
  auto at = std::upper_bound(targets_.begin(), targets_.end(), list_control,
                             [](int32_t id, const Entry& entry) { return id < entry.id; });
  return targets_.insert(at, Entry{list_control, std::move(target)})->target.get();
}

void BrowseToolbar::RemoveTarget(int32_t list_control) {
  auto at = std::find_if(targets_.begin(), targets_.end(), [&](const Entry& e) { return e.id == list_control; });
  if (at == targets_.end()) return;
  if (current_ == at->target.get()) current_ = nullptr;
  targets_.erase(at);
}

void BrowseToolbar::SetTarget(int32_t list_control) {
  if (list_control != 0) {
    for (Entry& entry : targets_) {
      if (entry.id == list_control) {
        current_ = entry.target.get();
        current_->ShowTips();
        return;
      }
    }
    return;
  }
  ToolbarTarget* chosen = nullptr;
  for (Entry& entry : targets_) {
    if (entry.target->TryTarget()) chosen = entry.target.get();
  }
  if (chosen != nullptr) current_ = chosen;
}

}  // namespace korvex::framework
