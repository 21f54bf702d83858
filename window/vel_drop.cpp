#include "window/vel_drop.h"

#include <algorithm>

#include "window/core/event_codes.h"
#include "window/vel_events.h"

namespace korvex {
namespace {

constexpr char kFieldClass[] = "KorvexVelDrop";
constexpr char kPopupClass[] = "KorvexVelDropPopup";
// Posted to the pop-up: close it (wParam 1 = take the selection). Posted, not done
// at once, because the list is still inside its own mouse handling.
constexpr UINT kMsgCloseUp = WM_APP + 0x52;

}  // namespace

VelDrop* VelDrop::Create(HWND parent, const ListSetup& setup, int drop_rows) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kFieldClass;
    wc.lpfnWndProc = &VelDrop::FieldProc;
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    wc.lpszClassName = kPopupClass;
    wc.lpfnWndProc = &VelDrop::PopupProc;
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    registered = true;
  }
  auto* drop = new VelDrop(setup.field, std::max(1, drop_rows));
  HWND hwnd = CreateWindowExA(WS_EX_CLIENTEDGE, kFieldClass, "",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, setup.rect.left,
                              setup.rect.top, setup.rect.right - setup.rect.left,
                              setup.rect.bottom - setup.rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(setup.field)),
                              GetModuleHandleA(nullptr), drop);
  if (hwnd == nullptr) {
    delete drop;
    return nullptr;
  }
  drop->font_ = setup.font ? setup.font : reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0));
  if (drop->font_ == nullptr) drop->font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  // The pop-up belongs to the top-level window, hidden until dropped down.
  drop->popup_ = CreateWindowExA(WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP | WS_BORDER, 0, 0,
                                 setup.rect.right - setup.rect.left, 100, GetAncestor(parent, GA_ROOT),
                                 nullptr, GetModuleHandleA(nullptr), drop);
  if (drop->popup_ == nullptr) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  ListSetup inner = setup;
  inner.rect = RECT{0, 0, setup.rect.right - setup.rect.left, 100};
  inner.font = drop->font_;
  drop->list_ = VelList::Create(drop->popup_, inner);
  if (drop->list_ == nullptr) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  return drop;
}

VelDrop* VelDrop::FromHandle(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  char name[32] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (lstrcmpA(name, kFieldClass) != 0) return nullptr;
  return reinterpret_cast<VelDrop*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK VelDrop::FieldProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* drop = reinterpret_cast<VelDrop*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    drop = static_cast<VelDrop*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    drop->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(drop));
  }
  if (drop == nullptr) return DefWindowProcA(hwnd, msg, wparam, lparam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    if (drop->popup_) {
      SetWindowLongPtrA(drop->popup_, GWLP_USERDATA, 0);
      DestroyWindow(drop->popup_);
    }
    delete drop;
    return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
  return drop->field(msg, wparam, lparam);
}

LRESULT CALLBACK VelDrop::PopupProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* drop = reinterpret_cast<VelDrop*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    drop = static_cast<VelDrop*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    drop->popup_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(drop));
  }
  if (drop == nullptr) return DefWindowProcA(hwnd, msg, wparam, lparam);
  return drop->popup(msg, wparam, lparam);
}

RECT VelDrop::buttonRect() const {
  RECT r;
  GetClientRect(hwnd_, &r);
  r.left = std::max(r.left, r.right - GetSystemMetrics(SM_CXVSCROLL));
  return r;
}

void VelDrop::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  RECT button = buttonRect();
  DrawFrameControl(dc, &button, DFC_SCROLL,
                   DFCS_SCROLLDOWN | (droppedDown() ? DFCS_PUSHED : 0));
  RECT text = client;
  text.left += 2;
  text.right = button.left - 1;
  HGDIOBJ old = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  std::string shown = acceptedRow_ >= 0 && list_ ? list_->useValue() : std::string();
  DrawTextA(dc, shown.c_str(), static_cast<int>(shown.size()), &text,
            DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old);
  EndPaint(hwnd_, &ps);
}

LRESULT VelDrop::field(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_PAINT:
      paint();
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd_);
      POINT pt{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      RECT button = buttonRect();
      if (PtInRect(&button, pt)) {
        if (droppedDown()) closeUp(false);
        else dropDown();
      }
      return 0;
    }
    case WM_SYSKEYDOWN:
    case WM_KEYDOWN:
      if (wparam == VK_F4 || (wparam == VK_DOWN && (GetKeyState(VK_MENU) < 0 || msg == WM_SYSKEYDOWN))) {
        if (droppedDown()) closeUp(false);
        else dropDown();
        return 0;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (list_) SendMessageA(list_->hwnd(), WM_SETFONT, wparam, lparam);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wparam, lparam);
}

LRESULT VelDrop::popup(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_COMMAND:
      if (list_ && reinterpret_cast<HWND>(lparam) == list_->hwnd()) {
        WORD code = HIWORD(wparam);
        if ((code == LBN_SELCHANGE && list_->selectingWithMouse()) || code == LBN_DBLCLK) {
          PostMessageA(popup_, kMsgCloseUp, 1, 0);
        } else if (code == LBN_SELCANCEL) {
          PostMessageA(popup_, kMsgCloseUp, 0, 0);
        }
      }
      return 0;
    case kMsgCloseUp:
      closeUp(wparam != 0);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE && droppedDown()) PostMessageA(popup_, kMsgCloseUp, 0, 0);
      break;
    default:
      break;
  }
  return DefWindowProcA(popup_, msg, wparam, lparam);
}

void VelDrop::dropDown() {
  if (droppedDown() || list_ == nullptr) return;
  PostControlEvent(hwnd_, kEventDroppingDown);
  RECT field;
  GetWindowRect(hwnd_, &field);
  const ListLayout& layout = list_->layout();
  int height = layout.headerHeight() + dropRows_ * layout.rowHeight() + 2 * GetSystemMetrics(SM_CYEDGE) + 2;
  int width = field.right - field.left;
  SetWindowPos(popup_, HWND_TOPMOST, field.left, field.bottom, width, height, SWP_NOACTIVATE);
  RECT inside;
  GetClientRect(popup_, &inside);
  MoveWindow(list_->hwnd(), 0, 0, inside.right, inside.bottom, FALSE);
  list_->select(acceptedRow_);
  ShowWindow(popup_, SW_SHOW);
  SetFocus(list_->hwnd());
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void VelDrop::closeUp(bool accept) {
  if (!droppedDown()) return;
  ShowWindow(popup_, SW_HIDE);
  if (accept && list_->selected() >= 0) {
    acceptedRow_ = list_->selected();
    PostControlEvent(hwnd_, kEventAccepted);
  } else {
    list_->select(acceptedRow_);
  }
  PostControlEvent(hwnd_, kEventDroppedDown);
  SetFocus(hwnd_);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

}  // namespace korvex
