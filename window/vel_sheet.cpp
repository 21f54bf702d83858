#include "window/vel_sheet.h"

#include <commctrl.h>

#include <algorithm>

#include "window/core/event_codes.h"
#include "window/vel_events.h"

namespace korvex {
namespace {

constexpr char kClassName[] = "KorvexVelSheet";
// Posted to the sheet when it is made: once the window's other controls exist, the
// sheet goes below all of them (controls created later start below it).
constexpr UINT kMsgSheetToBack = WM_APP + 0x51;

void ToBack(HWND sheet) {
  SetWindowPos(sheet, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

std::vector<VelSheet*>& Sheets() {
  static std::vector<VelSheet*> sheets;
  return sheets;
}

}  // namespace

VelSheet* VelSheet::Create(HWND parent, const SheetSetup& setup) {
  static bool registered = false;
  if (!registered) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &VelSheet::WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kClassName;
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    registered = true;
  }
  auto* sheet = new VelSheet(setup);
  int w = setup.rect.right - setup.rect.left;
  int h = setup.rect.bottom - setup.rect.top;
  HWND hwnd = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                              setup.rect.left, setup.rect.top, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(setup.field)),
                              GetModuleHandleA(nullptr), sheet);
  if (hwnd == nullptr) {
    delete sheet;
    return nullptr;
  }
  sheet->tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_TOOLTIPS, 0, 0, w, h,
                                 hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
  HFONT font = setup.font;
  if (font == nullptr) font = reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0));
  if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(sheet->tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // Below every sibling: the controls over the sheet stay on top of it.
  ToBack(hwnd);
  PostMessageA(hwnd, kMsgSheetToBack, 0, 0);
  Sheets().push_back(sheet);
  return sheet;
}

VelSheet* VelSheet::FromHandle(HWND hwnd) {
  for (VelSheet* s : Sheets()) {
    if (s->hwnd_ == hwnd) return s;
  }
  return nullptr;
}

LRESULT CALLBACK VelSheet::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* sheet = reinterpret_cast<VelSheet*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    sheet = static_cast<VelSheet*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    sheet->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(sheet));
  }
  if (sheet == nullptr) return DefWindowProcA(hwnd, msg, wparam, lparam);
  if (msg == WM_NCDESTROY) {
    auto& all = Sheets();
    all.erase(std::remove(all.begin(), all.end(), sheet), all.end());
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    delete sheet;
    return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
  return sheet->handle(msg, wparam, lparam);
}

LRESULT VelSheet::handle(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_NOTIFY:
      return onNotify(reinterpret_cast<NMHDR*>(lparam));
    case kMsgSheetToBack:
      ToBack(hwnd_);
      return 0;
    case WM_SIZE:
      if (tabs_) MoveWindow(tabs_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    case WM_SETFONT:
      if (tabs_) SendMessageA(tabs_, WM_SETFONT, wparam, lparam);
      return 0;
    default:
      return DefWindowProcA(hwnd_, msg, wparam, lparam);
  }
}

LRESULT VelSheet::onNotify(NMHDR* header) {
  switch (header->code) {
    case TCN_SELCHANGING: {
      int outcome = SendControlEvent(hwnd_, kEventTabChanging);
      SheetModel::Leave leave = model_.beginChange(outcome, checkControls);
      if (leave.verdict == SheetModel::Verdict::kRefusedByCheck) {
        MessageBeep(0xFFFFFFFF);
        if (HWND failing = controlOf(leave.focusControl)) SetFocus(failing);
      }
      if (leave.verdict != SheetModel::Verdict::kAllowed) return TRUE;
      apply(leave.changed);
      return FALSE;
    }
    case TCN_SELCHANGE: {
      apply(model_.finishChange(static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0))));
      PostControlEvent(hwnd_, kEventNewSelection);
      return 0;
    }
    case TTN_NEEDTEXTA: {
      auto* tip = reinterpret_cast<NMTTDISPINFOA*>(header);
      size_t index = static_cast<size_t>(header->idFrom);
      tip->lpszText = const_cast<char*>(index < tips_.size() ? tips_[index].c_str() : "");
      return 0;
    }
    default:
      return 0;
  }
}

int VelSheet::addTab(int field, const std::string& text, bool check_on_leave,
                     const std::string& tip) {
  int index = model_.addTab(field, text, check_on_leave);
  TCITEMA item = {};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(tabs_, TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  tips_.push_back(tip);
  return index;
}

void VelSheet::addControl(int tab, HWND control) {
  int field = GetDlgCtrlID(control);
  model_.addControl(tab, field);
  controls_.emplace_back(field, control);
  ToBack(hwnd_);
  model_.setOwnVisible(field, (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0);
  ShowWindow(control, model_.isVisible(field) ? SW_SHOWNA : SW_HIDE);
}

HWND VelSheet::controlOf(int field) const {
  for (const auto& c : controls_) {
    if (c.first == field) return c.second;
  }
  return nullptr;
}

void VelSheet::apply(const std::vector<int>& changed) {
  for (int field : changed) {
    if (HWND control = controlOf(field)) {
      ShowWindow(control, model_.isVisible(field) ? SW_SHOWNA : SW_HIDE);
    }
  }
}

void VelSheet::select(int choice) {
  int index = choice - 1;
  if (index < 0 || index >= model_.tabCount()) return;
  SendMessageA(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  apply(model_.select(index));
}

void VelSheet::setControlVisible(HWND control, bool visible) {
  int field = GetDlgCtrlID(control);
  model_.setOwnVisible(field, visible);
  ShowWindow(control, model_.isVisible(field) ? SW_SHOWNA : SW_HIDE);
}

void SetControlVisible(HWND control, bool visible) {
  HWND parent = GetParent(control);
  int field = GetDlgCtrlID(control);
  for (VelSheet* sheet : Sheets()) {
    if (GetParent(sheet->hwnd()) == parent && sheet->model().tabOf(field) >= 0) {
      sheet->setControlVisible(control, visible);
      return;
    }
  }
  ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
}

}  // namespace korvex
