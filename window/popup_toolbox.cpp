#include "window/popup_toolbox.h"

#include <algorithm>

#include "window/event_engine.h"
#include "window/runtime_lock.h"

namespace korvex {

namespace {

constexpr char kToolboxClass[] = "KorvexToolbox";
constexpr uint32_t kRefreshHundredths = 50;  // the buttons follow their controls twice a second
constexpr int kButtonHeight = 24;
constexpr int kButtonPadding = 16;

// A pressed button is the window's EVENT:Accepted for the button's number.
LRESULT CALLBACK ToolboxProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_COMMAND && HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) != 0) {
    WindowProcLockScope locked;
    PostEvent(kEventAccepted, LOWORD(wparam));
    return 0;
  }
  LRESULT result = 0;
  if (EngineHandleMessage(hwnd, msg, wparam, lparam, &result)) return result;
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

const char* ToolboxClass() {
  static const char* name = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ToolboxProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kToolboxClass;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassA(&wc);
    return kToolboxClass;
  }();
  return name;
}

}  // namespace

std::unique_ptr<EngineToolboxWindow> EngineToolboxWindow::Open() {
  std::unique_ptr<EngineToolboxWindow> box(new EngineToolboxWindow());
  box->hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, ToolboxClass(), "", WS_CAPTION | WS_SYSMENU | WS_POPUP,
                               CW_USEDEFAULT, CW_USEDEFAULT, 100, 60, nullptr, nullptr, GetModuleHandleA(nullptr),
                               nullptr);
  if (box->hwnd_ == nullptr) return nullptr;
  AttachWindow(box->hwnd_, &box->state_, nullptr);
  SetWindowTraits(&box->state_, false, false);
  SetWindowTimer(&box->state_, kRefreshHundredths);
  QueueOpenEvents(&box->state_, false);
  return box;
}

EngineToolboxWindow::~EngineToolboxWindow() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void EngineToolboxWindow::SetTitle(const std::string& title) { SetWindowTextA(hwnd_, title.c_str()); }

void EngineToolboxWindow::AddButton(int number, const std::string& icon, const std::string& text) {
  (void)icon;
  CreateWindowExA(0, "BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 10, kButtonHeight, hwnd_,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)), GetModuleHandleA(nullptr), nullptr);
  buttons_ = std::max(buttons_, number);
}

void EngineToolboxWindow::Layout() {
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  int x = 0;
  for (int n = 1; n <= buttons_; ++n) {
    HWND button = GetDlgItem(hwnd_, n);
    if (button == nullptr) continue;
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    char text[256] = {};
    int length = GetWindowTextA(button, text, sizeof text);
    SIZE size{};
    GetTextExtentPoint32A(dc, text, length, &size);
    int width = std::max<int>(size.cx + kButtonPadding, kButtonHeight);
    MoveWindow(button, x, 0, width, kButtonHeight, FALSE);
    x += width;
  }
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  RECT frame{0, 0, std::max(x, 80), kButtonHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

void EngineToolboxWindow::UpdateButton(int number, const std::string& icon, const std::string& text,
                                       bool enabled) {
  (void)icon;
  HWND button = GetDlgItem(hwnd_, number);
  if (button == nullptr) return;
  char now[1025] = {};
  GetWindowTextA(button, now, sizeof now);
  if (text != now) SetWindowTextA(button, text.c_str());
  if ((IsWindowEnabled(button) != FALSE) != enabled) EnableWindow(button, enabled ? TRUE : FALSE);
}

int EngineToolboxWindow::WaitForButton(const std::function<void()>& on_tick) {
  while (!AcceptNext()) {
    EventCode event = CurrentEvent();
    if (event == kEventTimer || event == kEventOpenWindow) on_tick();
    if (event == kEventAccepted && CurrentField() > 0) return CurrentField();
  }
  return 0;
}

void EngineToolboxWindow::RequestClose() {
  if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

}  // namespace korvex
