#include "window/toolbar_port_adapter.h"

#include "framework/toolbar_target.h"
#include "window/event_engine.h"

namespace korvex {

namespace {

struct Search {
  int32_t id;
  HWND found;
};

BOOL CALLBACK MatchId(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (GetDlgCtrlID(hwnd) != search->id) return TRUE;
  search->found = hwnd;
  return FALSE;
}

bool IsToolbarControl(int32_t control) {
  return control >= framework::kToolbarFirst && control <= framework::kToolbarLast;
}

}  // namespace

HWND ControlToolbarPort::FindDescendant(HWND root, int32_t control) {
  if (root == nullptr || control == 0 || !IsWindow(root)) return nullptr;
  Search search{control, nullptr};
  EnumChildWindows(root, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ControlToolbarPort::Find(int32_t control) const {
  return FindDescendant(IsToolbarControl(control) ? toolbar_window_ : procedure_window_, control);
}

bool ControlToolbarPort::IsEnabled(int32_t control) const {
  HWND hwnd = Find(control);
  return hwnd != nullptr && IsWindowEnabled(hwnd);
}

void ControlToolbarPort::SetEnabled(int32_t control, bool enabled) {
  if (HWND hwnd = Find(control)) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool ControlToolbarPort::IsVisible(int32_t control) const {
  HWND hwnd = Find(control);
  return hwnd != nullptr && IsWindowVisible(hwnd);
}

void ControlToolbarPort::SetTip(int32_t control, std::string_view tip) {
  if (Find(control) != nullptr) tips_[control] = std::string(tip);
}

std::string ControlToolbarPort::Tip(int32_t control) const {
  auto at = tips_.find(control);
  return at == tips_.end() ? std::string() : at->second;
}

void ControlToolbarPort::PostEvent(EventCode event, int32_t control) {
  if (control != 0) korvex::PostEvent(event, control);
}

void ControlToolbarPort::OpenHelp(uint32_t command) {
  if (!help_file_.empty()) WinHelpA(procedure_window_, help_file_.c_str(), command, 0);
}

}  // namespace korvex
