#include "window/popup_menu.h"

#include <string>
#include <vector>

#include "window/event_engine.h"
#include "window/runtime_lock.h"

namespace korvex {

namespace {

constexpr char kOwnerClass[] = "VelPopup";

const char* OwnerClass() {
  static const char* name = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassA(&wc);
    return kOwnerClass;
  }();
  return name;
}

// The window the owner hangs under: the thread's current window, else none.
HWND OwnerParent() {
  WindowEventState* w = ThreadWindow();
  HWND hwnd = w != nullptr ? reinterpret_cast<HWND>(w->handle) : nullptr;
  return hwnd != nullptr && IsWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace

HMENU BuildPopupMenu(const PopupDefinition& definition, int rows_per_column) {
  if (rows_per_column <= 0) {
    int menu_height = GetSystemMetrics(SM_CYMENU);
    rows_per_column = menu_height > 0 ? GetSystemMetrics(SM_CYSCREEN) / menu_height : 0;
    if (rows_per_column <= 0) rows_per_column = 1;
  }
  struct Level {
    HMENU menu;
    int rows;  // entries in the current column
  };
  std::vector<Level> levels{{CreatePopupMenu(), 0}};
  for (const PopupEntry& e : definition.entries) {
    Level& level = levels.back();
    if (e.kind == PopupEntry::Kind::kSubmenuEnd) {
      if (levels.size() > 1) levels.pop_back();
      continue;
    }
    UINT flags = MF_BYPOSITION;
    if (level.rows >= rows_per_column) {
      flags |= MF_MENUBARBREAK;
      level.rows = 0;
    }
    ++level.rows;
    if (e.kind == PopupEntry::Kind::kSeparator) {
      InsertMenuA(level.menu, static_cast<UINT>(-1), flags | MF_SEPARATOR, 0, nullptr);
      continue;
    }
    if (e.disabled) flags |= MF_GRAYED;
    if (e.checked) flags |= MF_CHECKED;
    if (e.kind == PopupEntry::Kind::kSubmenuBegin) {
      HMENU sub = CreatePopupMenu();
      InsertMenuA(level.menu, static_cast<UINT>(-1), flags | MF_POPUP | MF_STRING,
                  reinterpret_cast<UINT_PTR>(sub), e.text.c_str());
      levels.push_back({sub, 0});
      continue;
    }
    // Attribute lists (icons) are not drawn: the item shows its text.
    InsertMenuA(level.menu, static_cast<UINT>(-1), flags | MF_STRING, e.number, e.text.c_str());
  }
  return levels.front().menu;
}

int ShowPopupMenu(std::string_view definition, int x, int y) {
  PopupDefinition parsed = ParsePopupDefinition(definition);
  if (parsed.item_count == 0 && parsed.entries.empty()) return 0;
  HMENU menu = BuildPopupMenu(parsed);
  if (menu == nullptr) return 0;
  POINT mouse{};
  GetCursorPos(&mouse);
  if (x == 0) x = mouse.x;
  if (y == 0) y = mouse.y;

  HWND focus = GetFocus();
  HWND parent = OwnerParent();
  HWND owner = CreateWindowExA(0, OwnerClass(), "", parent != nullptr ? WS_CHILD : WS_POPUP, 0, 0, 0, 0, parent,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  int chosen = 0;
  if (owner != nullptr) {
    SetFocus(owner);
    // The menu answers its choice directly; nothing is left in the queue.
    RuntimeLockRelease unlocked;
    chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0,
                                             owner, nullptr));
  }
  if (owner != nullptr) DestroyWindow(owner);
  DestroyMenu(menu);
  if (focus != nullptr && IsWindow(focus)) SetFocus(focus);
  return chosen;
}

}  // namespace korvex
