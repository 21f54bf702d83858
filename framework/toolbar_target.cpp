#include "framework/toolbar_target.h"

#include <array>
#include <string_view>
#include <utility>

namespace korvex::framework {
namespace {

constexpr std::array<std::pair<int32_t, std::string_view>, 7> kTips = {{
    {kToolbarBottom, "Go to the Last Page"},
    {kToolbarTop, "Go to the First Page"},
    {kToolbarPageDown, "Go to the Next Page"},
    {kToolbarPageUp, "Go to the Prior Page"},
    {kToolbarDown, "Go to the Next Record"},
    {kToolbarUp, "Go to the Prior Record"},
    {kToolbarInsert, "Insert a new Record"},
}};

// The event each navigation control posts to the browse's list.
EventCode ListEventOf(int32_t control) {
  switch (control) {
    case kToolbarBottom: return kEventScrollBottom;
    case kToolbarTop: return kEventScrollTop;
    case kToolbarPageDown: return kEventPageDown;
    case kToolbarPageUp: return kEventPageUp;
    case kToolbarDown: return kEventScrollDown;
    case kToolbarUp: return kEventScrollUp;
    case kToolbarLocate: return kEventLocate;
    default: return 0;
  }
}

}  // namespace

void ToolbarTarget::TakeButtons(const BrowseButtons& buttons) {
  for (auto [from, to] : {std::pair{buttons.insert, &buttons_.insert}, std::pair{buttons.change, &buttons_.change},
                          std::pair{buttons.remove, &buttons_.remove}, std::pair{buttons.select, &buttons_.select},
                          std::pair{buttons.help, &buttons_.help}}) {
    if (from != 0) *to = from;
  }
}

void ToolbarTarget::Show(int32_t toolbar_control, bool enabled) {
  if (!port_->Exists(toolbar_control)) return;
  if (port_->IsEnabled(toolbar_control) != enabled) port_->SetEnabled(toolbar_control, enabled);
}

bool ToolbarTarget::Usable(int32_t button) const {
  return button != 0 && port_->Exists(button) && port_->IsEnabled(button);
}

void ToolbarTarget::EnableButtons() {
  if (port_ == nullptr) return;
  Show(kToolbarHistory, false);
  for (int32_t control = kToolbarBottom; control <= kToolbarLocate; ++control) Show(control, true);
  Show(kToolbarSelect, Usable(buttons_.select));
  Show(kToolbarDelete, Usable(buttons_.remove));
  Show(kToolbarChange, Usable(buttons_.change));
  Show(kToolbarInsert, Usable(buttons_.insert));
  Show(kToolbarHelp, Usable(buttons_.help));
}

void ToolbarTarget::ShowTips() {
  if (port_ == nullptr) return;
  for (auto [control, tip] : kTips) {
    if (port_->Exists(control)) port_->SetTip(control, tip);
  }
}

bool ToolbarTarget::TryTarget() {
  if (port_ == nullptr || control_ == 0 || !port_->IsVisible(control_)) return false;
  ShowTips();
  return true;
}

void ToolbarTarget::Post(EventCode event, int32_t control) {
  if (control != 0) port_->PostEvent(event, control);
}

void ToolbarTarget::HandleToolbarEvent(int32_t control, ToolbarHost& host) {
  if (port_ == nullptr || control < kToolbarFirst || control > kToolbarLast) return;
  switch (control) {
    case kToolbarInsert: Post(kEventAccepted, buttons_.insert); break;
    case kToolbarChange: Post(kEventAccepted, buttons_.change); break;
    case kToolbarDelete: Post(kEventAccepted, buttons_.remove); break;
    case kToolbarSelect:
      if (buttons_.select != 0) {
        host.SyncBrowseRecords();
        host.CloseWithResponse(1);
      }
      break;
    case kToolbarHistory: break;  // the window controller recalls the field
    case kToolbarHelp: port_->OpenHelp(kHelpContentsCommand); break;
    default: Post(ListEventOf(control), control_); break;
  }
}

}  // namespace korvex::framework
