// A sheet's tabs, which tab is current, the protocol of changing it, and which
// controls may be seen: a control on a tab is visible only when its own visible
// flag is set and its tab is current.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace korvex {

class SheetModel {
 public:
  struct Tab {
    int field = 0;               // the TAB's field number
    std::string text;
    bool checkOnLeave = false;   // refuses to be left while a control fails its check
    std::vector<int> controls;   // field numbers of the controls on the tab
  };

  enum class Verdict { kAllowed, kRefusedByProgram, kRefusedByCheck };
  struct Leave {
    Verdict verdict = Verdict::kAllowed;
    int focusControl = 0;        // with kRefusedByCheck: the control that failed its check
    std::vector<int> changed;    // controls whose visibility changed (hidden now)
  };

  // Returns the new tab's 0-based index. The first tab added is current.
  int addTab(int field, std::string text, bool check_on_leave = false);
  // REQUIRES: tab < tabCount(). A control starts with its own visible flag set.
  void addControl(int tab, int control);

  int tabCount() const { return static_cast<int>(tabs_.size()); }
  const Tab& tab(int index) const { return tabs_[static_cast<size_t>(index)]; }
  int current() const { return current_; }   // 0-based, -1 when there are no tabs
  bool changing() const { return changing_; }
  // Tab that carries `control`, -1 when the control is not on a tab of this sheet.
  int tabOf(int control) const;

  // The user asked for another tab. `tab_changing_outcome` is the outcome of the
  // sent EVENT:TabChanging (1 refuses); `first_failing` names the first control of
  // the given ones that fails its check (0 when none) and is asked only when the
  // current tab checks on leave. When allowed, the current tab's controls hide.
  Leave beginChange(int tab_changing_outcome,
                    const std::function<int(const std::vector<int>&)>& first_failing);
  // The change happened: `tab` becomes current (out of range: the change is dropped
  // and the old tab shows again). Returns the controls whose visibility changed.
  std::vector<int> finishChange(int tab);
  // The program selects a tab directly (no events). Returns the changed controls.
  std::vector<int> select(int tab);

  void setOwnVisible(int control, bool visible);
  bool ownVisible(int control) const;
  // Own flag AND (not on a tab, or its tab is current and no change is under way).
  bool isVisible(int control) const;

 private:
  struct ControlState {
    int control;
    int tab;
    bool own;
  };
  std::vector<bool> snapshot() const;
  std::vector<int> differences(const std::vector<bool>& before) const;
  const ControlState* find(int control) const;

  std::vector<Tab> tabs_;
  std::vector<ControlState> controls_;
  std::vector<std::pair<int, bool>> loose_;  // own flags of controls not on a tab
  int current_ = -1;
  bool changing_ = false;
};

}  // namespace korvex
