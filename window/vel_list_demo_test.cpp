// A list over a sheet with two tabs in a small window, driven from outside by a real
// mouse (vel_list_drag_e2e.sh runs it under Xvfb with xdotool). Runs only when
// KORVEX_LIST_DEMO names the file that receives the screen points of rows 2 and 4.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "window/drag_drop.h"
#include "window/vel_list.h"
#include "window/vel_sheet.h"
#include "window/vel_test_support.h"

namespace korvex {
namespace {

using namespace testing_support;

TEST(VelListDemo, RealMouseDragFromRowTwoToRowFour) {
  const char* point_file = std::getenv("KORVEX_LIST_DEMO");
  if (point_file == nullptr) GTEST_SKIP() << "driven by vel_list_drag_e2e.sh";

  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = "KorvexListDemo";
  RegisterClassA(&wc);
  StartDragDrop();
  HWND window = CreateWindowExA(0, "KorvexListDemo", "Drag and Drop records",
                                WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE, 100,
                                100, 560, 420, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  RecordingEvents events;
  SetControlEvents(&events);

  QueueRows rows;
  rows.fields = 4;
  const char* names[] = {"Amberly Vost", "Borin Castel", "Cadwy Renn", "Dalsey Morrow",
                         "Eskel Fanning", "Fiora Quill", "Gandry Pell", "Hestin Brae",
                         "Ilva Santor", "Jorrit Vale"};
  const char* suburbs[] = {"Northbank", "Elmstead", "Corran Hill", "Westmere", "Lowfield"};
  for (int i = 0; i < 10; ++i) {
    char phone[16];
    std::snprintf(phone, sizeof phone, "555-01%02d", 17 + i * 7);
    rows.rows.push_back({std::to_string((i + 1) * 10), names[i], suburbs[i % 5], phone});
  }
  ListSetup list_setup;
  list_setup.field = 1;
  list_setup.rect = RECT{24, 36, 528, 330};
  list_setup.format = kShuffleFormat;
  list_setup.dragIds = {"dragDrop"};
  list_setup.dropIds = {"dragDrop"};
  list_setup.rows = &rows;
  VelList* list = VelList::Create(window, list_setup);
  ASSERT_NE(list, nullptr);
  SheetSetup sheet_setup;
  sheet_setup.field = 2;
  sheet_setup.rect = RECT{12, 6, 540, 370};
  VelSheet* sheet = VelSheet::Create(window, sheet_setup);
  ASSERT_NE(sheet, nullptr);
  HWND text = CreateWindowExA(0, "STATIC", "Just Drag-and-Drop records", WS_CHILD | WS_VISIBLE,
                              40, 340, 300, 16, window, reinterpret_cast<HMENU>(5),
                              GetModuleHandleA(nullptr), nullptr);
  sheet->addControl(sheet->addTab(3, "By Order"), text);
  sheet->addTab(6, "By Name");
  list->select(2);
  UpdateWindow(window);
  Pump();

  FILE* out = std::fopen(point_file, "w");
  ASSERT_NE(out, nullptr);
  for (int row : {2, 4}) {
    RECT r = list->rowRect(row - 1);
    POINT p{150, (r.top + r.bottom) / 2};
    ClientToScreen(list->hwnd(), &p);
    std::fprintf(out, "%ld %ld\n", p.x, p.y);
  }
  RECT wr;
  GetWindowRect(window, &wr);
  std::fprintf(out, "%ld %ld %ld %ld\n", wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top);
  std::fclose(out);

  // Wait (at most 60 s) for the drop of the real mouse drag.
  DWORD start = GetTickCount();
  while (events.count(kEventDrop) == 0 && GetTickCount() - start < 60000) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
  Pump();
  SetControlEvents(nullptr);
  std::vector<EventCode> drag_events;
  for (const auto& e : events.events) {
    if (e.code == kEventDragging || e.code == kEventDrag || e.code == kEventDrop) {
      drag_events.push_back(e.code);
    }
  }
  EXPECT_EQ(drag_events, (std::vector<EventCode>{kEventDragging, kEventDrag, kEventDrop}));
  EXPECT_EQ(list->property(kPropPressRow), 2);
  EXPECT_EQ(list->property(kPropReleaseRow), 4);
  EXPECT_EQ(list->selected(), 1);
  std::printf("real drag: press row %d, release row %d, %zu events\n",
              list->property(kPropPressRow), list->property(kPropReleaseRow), events.events.size());
  DestroyWindow(window);
}

}  // namespace
}  // namespace korvex
