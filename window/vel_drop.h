// VelDrop: the drop-down form of the list. A field that shows the selected row's
// value with a button; the button (or Alt+Down, F4) opens a pop-up under the field
// holding a VelList over the same rows. Clicking a row or Enter takes it; Esc or a
// click elsewhere closes the pop-up without a change.
#pragma once

#include <windows.h>

#include <string>

#include "window/vel_list.h"

namespace korvex {

class VelDrop {
 public:
  // `setup.rect` is the closed field; `drop_rows` rows show in the pop-up.
  static VelDrop* Create(HWND parent, const ListSetup& setup, int drop_rows = 8);
  static VelDrop* FromHandle(HWND hwnd);

  HWND hwnd() const { return hwnd_; }
  VelList* list() const { return list_; }
  bool droppedDown() const { return popup_ != nullptr && IsWindowVisible(popup_); }
  // Opens the pop-up (EVENT:DroppingDown first).
  void dropDown();
  // Closes it (EVENT:DroppedDown); with `accept` the pop-up's selection is taken
  // (EVENT:Accepted).
  void closeUp(bool accept);
  int selected() const { return list_ ? list_->selected() : -1; }
  std::string text() const { return list_ ? list_->useValue() : std::string(); }

 private:
  VelDrop(int field, int drop_rows) : field_(field), dropRows_(drop_rows) {}
  static LRESULT CALLBACK FieldProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK PopupProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT field(UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT popup(UINT msg, WPARAM wparam, LPARAM lparam);
  RECT buttonRect() const;
  void paint();

  HWND hwnd_ = nullptr;
  HWND popup_ = nullptr;
  VelList* list_ = nullptr;   // lives in the pop-up
  int field_ = 0;
  int dropRows_ = 8;
  int acceptedRow_ = -1;      // the row the field shows
  HFONT font_ = nullptr;
};

}  // namespace korvex
