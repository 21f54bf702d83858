// Test support for the list, sheet and drag-and-drop tests: a plain top-level
// window, rows, and a recorder in place of the event engine.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "window/drag_drop.h"
#include "window/vel_events.h"
#include "window/vel_list.h"

namespace korvex::testing_support {

constexpr char kShuffleFormat[] =
    "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@80L(2)|M~Suburb~@s20@80L(2)|M~Phone~@s20@";

struct Recorded {
  int field;
  EventCode code;
  bool sent;
  bool operator==(const Recorded&) const = default;
};

class RecordingEvents : public ControlEvents {
 public:
  std::vector<Recorded> events;
  int outcome = 0;  // what sent events answer

  int32_t lastValue = 0;
  void post(HWND control, EventCode code, int32_t value) override {
    events.push_back({GetDlgCtrlID(control), code, false});
    lastValue = value;
  }
  int send(HWND control, EventCode code) override {
    events.push_back({GetDlgCtrlID(control), code, true});
    return outcome;
  }
  int count(EventCode code) const {
    int n = 0;
    for (const auto& e : events) n += e.code == code;
    return n;
  }
  std::vector<EventCode> codes() const {
    std::vector<EventCode> c;
    for (const auto& e : events) c.push_back(e.code);
    return c;
  }
};

inline void Pump() {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  }
}

inline QueueRows MakeRows(int count) {
  QueueRows rows;
  rows.fields = 4;
  for (int i = 1; i <= count; ++i) {
    char name[32];
    snprintf(name, sizeof name, "Name %02d", i);
    rows.rows.push_back({std::to_string(i * 10), name, "Suburb", "555-0" + std::to_string(100 + i)});
  }
  return rows;
}

class ListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool registered = false;
    if (!registered) {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = DefWindowProcA;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
      wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
      wc.lpszClassName = "KorvexListTestWindow";
      RegisterClassA(&wc);
      registered = true;
    }
    StartDragDrop();
    // One window serves every test of a suite (closing, hiding or moving a top-level
    // window costs two seconds under Wine); each test removes the controls it made.
    HWND& shared = SharedWindow();
    if (shared == nullptr || !IsWindow(shared)) {
      shared = CreateWindowExA(0, "KorvexListTestWindow", "List test",
                              WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40,
                              560, 460, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    window_ = shared;
    ASSERT_NE(window_, nullptr);
    SetWindowPos(window_, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
    SetControlEvents(&events_);
    rows_ = MakeRows(30);
  }
  static HWND& SharedWindow() {
    static HWND shared = nullptr;
    return shared;
  }
  static void TearDownTestSuite() {
    if (SharedWindow() != nullptr) DestroyWindow(SharedWindow());
    SharedWindow() = nullptr;
  }

  void TearDown() override {
    SetControlEvents(nullptr);
    std::vector<HWND> children;
    for (HWND c = GetWindow(window_, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      children.push_back(c);
    }
    for (HWND c : children) DestroyWindow(c);
    Pump();
  }

  VelList* MakeList(uint32_t flags = 0, const char* format = kShuffleFormat,
                    std::vector<std::string> drag = {"dragDrop"},
                    std::vector<std::string> drop = {"dragDrop"}) {
    ListSetup setup;
    setup.field = 1;
    setup.rect = RECT{20, 40, 520, 400};
    setup.format = format;
    setup.flags = flags;
    setup.dragIds = std::move(drag);
    setup.dropIds = std::move(drop);
    setup.rows = &rows_;
    VelList* list = VelList::Create(window_, setup);
    EXPECT_NE(list, nullptr);
    UpdateWindow(window_);
    Pump();
    events_.events.clear();
    return list;
  }

  // Client point of the middle of shown row `row` (1-based), in column 2.
  POINT RowPoint(const VelList* list, int row) const {
    RECT r = list->rowRect(row - 1);
    return POINT{150, (r.top + r.bottom) / 2};
  }
  static LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

  void Press(HWND h, POINT p) { SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, At(p)); }
  void MoveTo(HWND h, POINT p) { SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, At(p)); }
  void Release(HWND h, POINT p) { SendMessageA(h, WM_LBUTTONUP, 0, At(p)); }

  HWND window_ = nullptr;
  RecordingEvents events_;
  QueueRows rows_;
};

}  // namespace korvex::testing_support
