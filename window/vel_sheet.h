// VelSheet and its tabs: a page control drawn by the system's tab control. Each tab
// carries controls that are seen only while it is the current tab.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "window/core/sheet_model.h"

namespace korvex {

struct SheetSetup {
  int field = 0;        // field number, also the Win32 id
  RECT rect{};          // pixels in the parent's client area
  HFONT font = nullptr;  // nullptr: the parent's font
};

class VelSheet {
 public:
  // The sheet lies below its siblings and clips them, so that controls placed
  // over it (the list, the tabs' controls) are never painted over.
  static VelSheet* Create(HWND parent, const SheetSetup& setup);
  static VelSheet* FromHandle(HWND hwnd);

  HWND hwnd() const { return hwnd_; }
  HWND tabControl() const { return tabs_; }
  int field() const { return field_; }

  // Returns the tab's 0-based index.
  int addTab(int field, const std::string& text, bool check_on_leave = false,
             const std::string& tip = std::string());
  // `control` (a sibling of the sheet) belongs to tab `tab`; it is shown or hidden with it.
  void addControl(int tab, HWND control);

  int choice() const { return model_.current() + 1; }  // the current tab, from 1
  // The program selects a tab (from 1); no events.
  void select(int choice);
  // The program shows or hides one of the tab's controls.
  void setControlVisible(HWND control, bool visible);
  const SheetModel& model() const { return model_; }

  // The first of the given controls that fails its check (0 = none); asked when
  // a checked tab is about to be left.
  std::function<int(const std::vector<int>&)> checkControls;

 private:
  explicit VelSheet(const SheetSetup& setup) : field_(setup.field) {}
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT onNotify(NMHDR* header);
  void apply(const std::vector<int>& changed);
  HWND controlOf(int field) const;

  HWND hwnd_ = nullptr;
  HWND tabs_ = nullptr;
  int field_ = 0;
  SheetModel model_;
  std::vector<std::string> tips_;
  std::vector<std::pair<int, HWND>> controls_;
};

// Shows or hides a control as the program asks: a control on a tab of a sheet
// shows only while its tab is current.
void SetControlVisible(HWND control, bool visible);

}  // namespace korvex
