#include "window/core/sheet_model.h"

namespace korvex {

int SheetModel::addTab(int field, std::string text, bool check_on_leave) {
  tabs_.push_back(Tab{field, std::move(text), check_on_leave, {}});
  if (current_ < 0) current_ = 0;
  return tabCount() - 1;
}

void SheetModel::addControl(int tab, int control) {
  if (tab < 0 || tab >= tabCount()) return;
  tabs_[static_cast<size_t>(tab)].controls.push_back(control);
  controls_.push_back(ControlState{control, tab, true});
}

const SheetModel::ControlState* SheetModel::find(int control) const {
  for (const auto& c : controls_) {
    if (c.control == control) return &c;
  }
  return nullptr;
}

int SheetModel::tabOf(int control) const {
  const ControlState* c = find(control);
  return c ? c->tab : -1;
}

std::vector<bool> SheetModel::snapshot() const {
  std::vector<bool> v;
  v.reserve(controls_.size());
  for (const auto& c : controls_) v.push_back(isVisible(c.control));
  return v;
}

std::vector<int> SheetModel::differences(const std::vector<bool>& before) const {
  std::vector<int> changed;
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (isVisible(controls_[i].control) != before[i]) changed.push_back(controls_[i].control);
  }
  return changed;
}

SheetModel::Leave SheetModel::beginChange(
    int tab_changing_outcome, const std::function<int(const std::vector<int>&)>& first_failing) {
  Leave leave;
  if (tab_changing_outcome == 1) {
    leave.verdict = Verdict::kRefusedByProgram;
    return leave;
  }
  if (current_ >= 0 && tabs_[static_cast<size_t>(current_)].checkOnLeave && first_failing) {
    int failing = first_failing(tabs_[static_cast<size_t>(current_)].controls);
    if (failing != 0) {
      leave.verdict = Verdict::kRefusedByCheck;
      leave.focusControl = failing;
      return leave;
    }
  }
  std::vector<bool> before = snapshot();
  changing_ = true;
  leave.changed = differences(before);
  return leave;
}

std::vector<int> SheetModel::finishChange(int tab) {
  std::vector<bool> before = snapshot();
  if (tab >= 0 && tab < tabCount()) current_ = tab;
  changing_ = false;
  return differences(before);
}

std::vector<int> SheetModel::select(int tab) {
  if (tab < 0 || tab >= tabCount()) return {};
  std::vector<bool> before = snapshot();
  current_ = tab;
  changing_ = false;
  return differences(before);
}

void SheetModel::setOwnVisible(int control, bool visible) {
  for (auto& c : controls_) {
    if (c.control == control) {
      c.own = visible;
      return;
    }
  }
  for (auto& l : loose_) {
    if (l.first == control) {
      l.second = visible;
      return;
    }
  }
  loose_.emplace_back(control, visible);
}

bool SheetModel::ownVisible(int control) const {
  if (const ControlState* c = find(control)) return c->own;
  for (const auto& l : loose_) {
    if (l.first == control) return l.second;
  }
  return true;
}

bool SheetModel::isVisible(int control) const {
  const ControlState* c = find(control);
  if (!c) return ownVisible(control);
  return c->own && !changing_ && c->tab == current_;
}

}  // namespace korvex
