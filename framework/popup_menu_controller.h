// A popup menu kept as a list of named items: built into the popup definition
// text of the window system, shown, and its choice mapped back to an item whose
// event is posted to the owner's thread. Items may mimic a control of the window
// (text, icon and enabled state come from it, choosing it presses it). The same
// items can be shown as a toolbox: a small window with one button per item, on
// a thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "framework/popup_presenter.h"

namespace korvex::framework {

class TextTranslator;
class IniSettings;

struct PopupItem {
  int16_t control_id = 0;   // CONTROLID: the control mimicked or posted to
  uint16_t depth = 1;       // DEPTH: 1 for the top level
  uint16_t event = 0;       // EVENT: posted when chosen, 0 none
  uint8_t mimic_mode = 0;   // MIMICMODE: 1 mimics control_id
  uint8_t disabled = 0;     // DISABLED: 0 follow the control, 1 disabled, 2 enabled
  uint8_t check = 0;        // CHECK: 0 none, 1 ticked, 2 unticked check item
  uint8_t on_toolbox = 0;   // ONTOOLBOX: gets a toolbox button
  std::string icon;         // ICON: at most 255 characters
  std::string name;         // NAME: unique in the list, at most 1024 characters
  std::string text;         // TEXT: at most 1024; "-" is a separator, "!x" a fallback

  bool IsSeparator() const { return text == "-"; }
};

inline constexpr size_t kPopupNameMax = 1024;
inline constexpr size_t kPopupTextMax = 1024;
inline constexpr size_t kPopupIconMax = 255;
inline constexpr size_t kPopupSelectionMax = 1023;
// The icon property's number in an item's attribute list.
inline constexpr int kPopupIconProperty = 31848;

class PopupMenuController {
 public:
  PopupMenuController() = default;
  PopupMenuController(const PopupMenuController&) = delete;
  PopupMenuController& operator=(const PopupMenuController&) = delete;
  ~PopupMenuController();

  // REQUIRES: presenter outlives the controller (until Kill).
  void Init(PopupPresenter* presenter);
  // Closes a running toolbox, waits for its thread, frees the items.
  void Kill();

  std::string AddItem(std::string_view text);
  std::string AddItemLast(std::string_view text, std::string_view name_source);
  // Inserted after the item named after_name (appended when none has it); depth
  // 0 takes the depth of the item it follows, or 1.
  std::string AddItemAt(std::string_view text, std::string_view name_source, std::string_view after_name,
                        uint16_t depth);
  std::string AddItemMimic(std::string_view name_source, std::string_view text, int control);
  std::string SetItemEvent(std::string_view name, uint16_t event, int control);
  // Adds the items of a menu text ("One|Two{Three|Four}Five"); the first new
  // item goes to 1-based position `position`; position 0 first deletes every
  // item. A position past the end appends.
  void AddItems(std::string_view menu_text, size_t position);
  // AddItems after the named item; appends when no item has that name.
  void AddItemsAfter(std::string_view menu_text, std::string_view after_name);
  void AddSubMenu(std::string_view title, std::string_view items_text, std::string_view after_name);
  void DeleteItem(std::string_view name);
  void SetItemEnabled(std::string_view name, bool enabled);
  void SetItemIcon(std::string_view name, std::string_view icon);
  void SetItemOnToolbox(std::string_view name, bool on);
  size_t ItemCount() const;
  std::string LastSelection() const;

  // Shows the menu at (x, y) (0 = not given), carries out the choice and
  // answers the chosen item's name ("" when dismissed).
  std::string Ask(int x = 0, int y = 0);
  // Shows the items as a toolbox titled `title` on a new thread; false when
  // one already runs or the thread could not start.
  bool ShowToolbox(std::string_view title);
  bool InToolbox() const { return in_toolbox_.load(); }

  // The definition text handed to the popup display, with mimicking items
  // refreshed from the controls of `window`.
  std::string MenuText(WindowRef window);
  // Name of the item that choice number n of the menu text stands for; "".
  std::string ItemForChoice(int n) const;
  // A copy of the items, in menu order.
  std::vector<PopupItem> Items() const;

  uint8_t clear_key_code = 1;             // CLEARKEYCODE
  TextTranslator* translator = nullptr;   // TRANSLATOR
  IniSettings* ini = nullptr;             // INIMGR: kept for the owner, not read here
  int my_thread() const { return my_thread_; }


 private:
  // The name an item made from `source` gets, given the current items.
  std::string MakeName(std::string_view source) const;
  // Index of the item named name, or -1.
  int Find(std::string_view name) const;
  // Inserts an item made from text after index `after` (-1: at the front).
  std::string InsertItem(std::string_view text, std::string_view name_source, int after, uint16_t depth);
  void InsertParsed(std::string_view menu_text, int after, uint16_t depth);
  PopupItem Refreshed(const PopupItem& item, WindowRef window);
  std::string BuildMenuText(std::vector<PopupItem> items, WindowRef window);
  // LASTSELECTION := the name of shown[index] ("" for -1) and posts its event.
  std::string Select(const std::vector<PopupItem>& shown, int index);
  void Post(const PopupItem& item);
  void RunToolbox(const std::string& title);

  PopupPresenter* presenter_ = nullptr;
  mutable std::mutex mutex_;              // items and selection: owner and toolbox thread
  std::vector<PopupItem> items_;          // POPUPITEMS
  std::string last_selection_;            // LASTSELECTION
  int my_thread_ = 0;                     // MYTHREAD
  WindowRef parent_window_ = 0;           // PARENTWINDOW
  std::atomic<bool> in_toolbox_{false};   // INTOOLBOX: the toolbox thread runs
  std::atomic<bool> toolbox_started_{false};  // a toolbox thread was started and not joined
  std::atomic<bool> toolbox_done_{false};     // that thread has finished its work
  std::mutex toolbox_mutex_;              // this_window_ and closing_
  ToolboxWindow* this_window_ = nullptr;  // THISWINDOW, while the toolbox runs
  bool closing_ = false;                  // Kill asked the toolbox to close
};

}  // namespace korvex::framework
