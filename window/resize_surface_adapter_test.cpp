// The window resizer on a real window: its controls follow EVENT:Sized.
#include "window/resize_surface_adapter.h"

#include <gtest/gtest.h>

#include <map>

#include "framework/window_resizer.h"
#include "window/core/resource_image_builder.h"
#include "window/engine_test_window.h"
#include "window/simple_controls.h"
#include "window/window_object.h"
#include "window/window_open.h"

namespace korvex {
namespace {

using framework::ResizeRect;
using framework::WindowResizer;

// Two pixels per dialog unit both ways, so the expectations are exact.
const rsc::DialogUnits kUnits(8, 16);

class ResizeSurfaceAdapter : public ::testing::Test {
 protected:
  void SetUp() override { StartEventEngine(); }

  // r in the window's units; a control inside another is placed relative to it.
  HWND Child(const char* win_class, int32_t field, ResizeRect r, DWORD style = 0, HWND inside = nullptr,
             ResizeRect holder = {}) {
    return CreateWindowExA(0, win_class, "", WS_CHILD | WS_VISIBLE | style, kUnits.ToPixelsX(r.x - holder.x),
                           kUnits.ToPixelsY(r.y - holder.y), kUnits.ToPixelsX(r.width), kUnits.ToPixelsY(r.height),
                           inside != nullptr ? inside : window.hwnd,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(field)), GetModuleHandleA(nullptr), nullptr);
  }
  ResizeRect At(int32_t field) {
    ResizeRect r;
    EXPECT_TRUE(surface.ControlRect(field, &r)) << field;
    return r;
  }

  test::TestWindow window{true, nullptr, true};
  ControlResizeSurface surface{window.hwnd, kUnits};
};

TEST_F(ResizeSurfaceAdapter, ControlsFollowTheWindowAndComeBackExactly) {
  constexpr int32_t kList = 1, kButton = 2, kText = 3, kGroup = 4, kInGroup = 5, kPanel = 6, kOnPanel = 7;
  const std::map<int32_t, ResizeRect> captured = {{kList, {10, 10, 100, 50}},
                                                  {kButton, {150, 70, 40, 14}},
                                                  {kText, {10, 70, 60, 10}},
                                                  {kGroup, {120, 10, 70, 40}},
                                                  {kInGroup, {125, 20, 30, 10}},
                                                  {kPanel, {0, 80, 100, 20}},
                                                  {kOnPanel, {5, 85, 20, 10}}};
  surface.SetClientSize(200, 100);
  surface.AddControl(kList, 14, Child("LISTBOX", kList, captured.at(kList), LBS_NOINTEGRALHEIGHT));
  surface.AddControl(kButton, 9, Child("BUTTON", kButton, captured.at(kButton)));
  surface.AddControl(kText, 2, Child("STATIC", kText, captured.at(kText)));
  surface.AddControl(kGroup, 13, Child("BUTTON", kGroup, captured.at(kGroup), BS_GROUPBOX));
  surface.AddControl(kInGroup, 2, Child("STATIC", kInGroup, captured.at(kInGroup)));
  HWND panel = Child("STATIC", kPanel, captured.at(kPanel));
  surface.AddControl(kPanel, 13, panel);
  // A Win32 child of the panel, which is its parent control too.
  surface.AddControl(kOnPanel, 9, Child("BUTTON", kOnPanel, captured.at(kOnPanel), 0, panel, captured.at(kPanel)),
                     kPanel);
  ResizeRect client;
  ASSERT_TRUE(surface.WindowRect(&client));
  ASSERT_EQ(client.width, 200);
  ASSERT_EQ(client.height, 100);

  WindowResizer resizer;
  resizer.Init(&surface, 2, true, false);
  EXPECT_EQ(resizer.ParentOf(kInGroup), kGroup);
  EXPECT_EQ(resizer.ParentOf(kOnPanel), kPanel);

  // The loop sees the opening's size events first (the resizer moves nothing for
  // them), then those of the test's own size changes.
  int phase = 0;
  std::map<int32_t, ResizeRect> grown;
  test::RunAcceptLoop([&](EventCode event) {
    if (event != kEventSized) return;
    ResizeRect now;
    ASSERT_TRUE(surface.WindowRect(&now));
    if (phase == 0) {
      for (auto& [field, rect] : captured) EXPECT_EQ(At(field), rect) << field;
      surface.SetClientSize(300, 150);
      phase = 1;
    } else if (phase == 1 && now.width == 300) {
      for (auto& [field, rect] : captured) grown[field] = At(field);
      surface.SetClientSize(200, 100);
      phase = 2;
    } else if (phase == 2 && now.width == 200) {
      PostMessageA(window.hwnd, WM_CLOSE, 0, 0);
      phase = 3;
    }
  });
  ASSERT_EQ(phase, 3);
  EXPECT_EQ(grown[kList], (ResizeRect{10, 10, 200, 100}));
  EXPECT_EQ(grown[kButton], (ResizeRect{250, 120, 40, 14}));
  EXPECT_EQ(grown[kText], (ResizeRect{15, 105, 90, 15}));
  EXPECT_EQ(grown[kGroup], (ResizeRect{120, 10, 170, 90}));
  EXPECT_EQ(grown[kInGroup], (ResizeRect{132, 33, 73, 23}));  // with its group: 120 + 5 x 2.4286, 10 + 10 x 2.25
  EXPECT_EQ(grown[kPanel], (ResizeRect{0, 80, 200, 70}));
  EXPECT_EQ(grown[kOnPanel], (ResizeRect{5, 135, 20, 10}));   // near the panel's left and bottom edges
  for (auto& [field, rect] : captured) EXPECT_EQ(At(field), rect) << field;
  resizer.Kill();
}

TEST_F(ResizeSurfaceAdapter, MinimumSizeAndMissingControls) {
  surface.SetClientSize(200, 100);
  surface.AddControl(7, 2, Child("STATIC", 7, {0, 0, 10, 10}));
  surface.SetMinimumSize(200, 100);
  surface.SetClientSize(50, 20);  // refused below the minimum
  ResizeRect client;
  ASSERT_TRUE(surface.WindowRect(&client));
  EXPECT_GE(client.width, 200);
  EXPECT_GE(client.height, 100);

  DestroyWindow(GetDlgItem(window.hwnd, 7));
  ResizeRect r;
  EXPECT_FALSE(surface.ControlRect(7, &r));
  surface.BeginDeferredMoves(1);
  surface.MoveControl(7, {1, 1, 1, 1});  // skipped, no failure
  surface.EndDeferredMoves();
  ShowWindow(window.hwnd, SW_MINIMIZE);
  EXPECT_FALSE(surface.WindowRect(&client));  // a minimized window has no size to follow
}

TEST(ResizeSurfaceOfAWindow, ControlsOfAnOpenedWindowFollowItsSize) {
  StartEventEngine();
  RegisterSimpleControls();
  rsc::ImageSpec spec;
  spec.module_name = "test$RESIZE";
  rsc::WindowSpec window;
  window.label = "W";
  window.flags = rsc::kWinFlagReportsResize;
  window.rect = {10, 10, 200, 100};
  rsc::ControlSpec group{rsc::kTypeGroup};
  group.rect = {4, 4, 100, 50};
  rsc::ControlSpec prompt{rsc::kTypePrompt};  // inside the group
  prompt.rect = {8, 16, 40, 10};
  prompt.text = "&Name";
  rsc::ControlSpec button{rsc::kTypeButton};
  button.rect = {150, 80, 40, 14};
  window.controls = {group, prompt, button};
  spec.windows = {window};
  const std::vector<uint8_t> bytes = rsc::BuildResourceImage(spec);
  auto image = std::make_unique<rsc::ResourceImage>();
  ASSERT_EQ(image->Load(bytes.data(), bytes.size(), "test$RESIZE"), rsc::LoadStatus::kOk);
  const uint32_t record = image->FindWindowRecord("W");
  WindowObject w;
  std::string detail;
  ASSERT_EQ(OpenWindowFromImage(w, std::move(image), record, nullptr, &detail), 0) << detail;

  auto surface = ControlResizeSurface::ForWindow(w);
  EXPECT_EQ(surface->Controls(), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(surface->ControlType(3), rsc::kTypeButton);
  // Made resizable first: the thicker frame takes room from the client area.
  surface->MakeResizable();
  surface->SetClientSize(200, 100);
  {
    WindowResizer resizer;
    resizer.Init(surface.get(), 2, false, false);
    EXPECT_EQ(resizer.Find(2)->pos, (ResizeRect{8, 16, 40, 10}));
    EXPECT_EQ(resizer.ParentOf(2), 1);
    surface->SetClientSize(300, 150);
    resizer.Resize();
    ResizeRect r;
    ASSERT_TRUE(surface->ControlRect(1, &r));
    EXPECT_EQ(r, (ResizeRect{4, 4, 200, 100}));
    ASSERT_TRUE(surface->ControlRect(2, &r));
    EXPECT_EQ(r, (ResizeRect{12, 16, 80, 10}));  // the group's scale 2: 4 + 4 x 2
    ASSERT_TRUE(surface->ControlRect(3, &r));
    EXPECT_EQ(r, (ResizeRect{250, 130, 40, 14}));
  }
  surface.reset();
  CloseWindow(w);
}

}  // namespace
}  // namespace korvex
