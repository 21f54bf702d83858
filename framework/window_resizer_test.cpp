#include "framework/window_resizer.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvex::framework {
namespace {

struct FakeControl {
  int32_t type = 0;
  ResizeRect rect;
  int32_t parent = 0;
  bool skips = false;
  bool drops_down = false;
  bool keeps_width = false;
  bool transparent = false;
};

class FakeSurface : public ResizeSurface {
 public:
  bool WindowRect(ResizeRect* rect) const override {
    if (!has_window) return false;
    *rect = window;
    return true;
  }
  bool IsMaximized() const override { return maximized; }
  bool IsIconized() const override { return false; }
  void SetWindowState(bool max, bool icon) override { log.push_back("state " + std::to_string(max) + std::to_string(icon)); }
  void SetClientSize(int32_t w, int32_t h) override {
    window.width = w;
    window.height = h;
  }
  void MakeResizable() override { log.push_back("resizable"); }
  void SetMinimumSize(int32_t w, int32_t h) override { log.push_back("min " + std::to_string(w) + "x" + std::to_string(h)); }
  void SetMaximumSize(int32_t w, int32_t h) override { log.push_back("max " + std::to_string(w) + "x" + std::to_string(h)); }
  std::vector<int32_t> Controls() const override { return order; }
  int32_t ControlType(int32_t c) const override { return controls.at(c).type; }
  int32_t ParentControl(int32_t c) const override { return controls.at(c).parent; }
  bool SkipsResize(int32_t c) const override { return controls.at(c).skips; }
  bool DropsDown(int32_t c) const override { return controls.at(c).drops_down; }
  bool KeepsWidth(int32_t c) const override { return controls.at(c).keeps_width; }
  bool IsTransparent(int32_t c) const override { return controls.at(c).transparent; }
  void SetTransparent(int32_t c) override { controls.at(c).transparent = true; }
  bool ControlRect(int32_t c, ResizeRect* rect) const override {
    auto at = controls.find(c);
    if (at == controls.end()) return false;
    *rect = at->second.rect;
    return true;
  }
  void MoveControl(int32_t c, const ResizeRect& rect) override {
    auto at = controls.find(c);
    if (at == controls.end()) return;
    at->second.rect = rect;
    moved.push_back(c);
  }
  void BeginDeferredMoves(int32_t count) override { log.push_back("defer " + std::to_string(count)); }
  void EndDeferredMoves() override { log.push_back("end defer"); }
  void SetSizedHandler(std::function<void()> handler) override { sized = std::move(handler); }

  void Add(int32_t id, int32_t type, ResizeRect rect, int32_t parent = 0) {
    controls[id] = FakeControl{.type = type, .rect = rect, .parent = parent};
    order.push_back(id);
  }
  void SizeTo(int32_t w, int32_t h) {
    window.width = w;
    window.height = h;
  }
  ResizeRect At(int32_t c) const { return controls.at(c).rect; }

  bool has_window = true;
  ResizeRect window{40, 30, 200, 100};
  bool maximized = false;
  std::map<int32_t, FakeControl> controls;
  std::vector<int32_t> order;
  std::vector<int32_t> moved;
  std::vector<std::string> log;
  std::function<void()> sized;
};

constexpr int32_t kList = 1, kButton = 2, kText = 3, kPrompt = 4;

class WindowResizerTest : public ::testing::Test {
 protected:
  // A 200x100 window: a list at the top left, a button near the bottom right, a
  // text under the list and a prompt beside it.
  void SetUp() override {
    surface.Add(kList, 14, {10, 10, 100, 50});
    surface.Add(kButton, 9, {150, 70, 40, 14});
    surface.Add(kText, 2, {10, 70, 60, 10});
    surface.Add(kPrompt, 10, {120, 10, 40, 10});
  }
  void Start(uint8_t strategy = 2) {
    resizer.Init(&surface, strategy, true, false);
    resizer.skip_first_sized = false;
  }

  FakeSurface surface;
  WindowResizer resizer;
};

TEST_F(WindowResizerTest, GrowingFollowsTheStrategyOfEachType) {
  Start();
  surface.SizeTo(300, 150);
  resizer.Resize();
  EXPECT_EQ(surface.At(kList), (ResizeRect{10, 10, 200, 100}));     // keeps left/top and both gaps
  EXPECT_EQ(surface.At(kButton), (ResizeRect{250, 120, 40, 14}));   // same distance from the right and bottom
  EXPECT_EQ(surface.At(kText), (ResizeRect{15, 105, 90, 15}));      // scaled
  EXPECT_EQ(surface.At(kPrompt), (ResizeRect{180, 10, 60, 10}));    // x scaled, top kept, fixed height
  EXPECT_EQ(resizer.previous_window().width, 300);
  EXPECT_TRUE(resizer.resize_called());
}

TEST_F(WindowResizerTest, CapturedSizeRestoresExactRectanglesAndMovesAreSkipped) {
  Start();
  std::map<int32_t, ResizeRect> captured;
  for (auto& [id, control] : surface.controls) captured[id] = control.rect;
  for (auto [w, h] : {std::pair{333, 177}, std::pair{211, 103}, std::pair{157, 91}}) {
    surface.SizeTo(w, h);
    resizer.Resize();
  }
  surface.SizeTo(200, 100);
  resizer.Resize();
  for (auto& [id, control] : surface.controls) EXPECT_EQ(control.rect, captured[id]) << id;

  surface.moved.clear();
  surface.window.x += 25;  // a move without a size change
  resizer.Resize();
  EXPECT_TRUE(surface.moved.empty());
  surface.has_window = false;
  surface.SizeTo(400, 400);
  resizer.Resize();
  EXPECT_TRUE(surface.moved.empty());
}

TEST_F(WindowResizerTest, MovesFarthestFirstWhenGrowingAndNearestFirstWhenShrinking) {
  Start();
  resizer.defer_moves = false;
  surface.SizeTo(300, 150);
  resizer.Resize();
  EXPECT_EQ(surface.moved, (std::vector<int32_t>{kButton, kPrompt, kText, kList}));

  surface.moved.clear();
  surface.SizeTo(260, 150);  // only the width: by x, shrinking
  resizer.Resize();
  std::vector<int32_t> order;
  for (const auto& move : resizer.moves()) order.push_back(move.control);
  EXPECT_EQ(order, (std::vector<int32_t>{kList, kText, kPrompt, kButton}));
}

TEST_F(WindowResizerTest, DeferredMovesAreStillMadeInOneBatch) {
  Start();
  surface.log.clear();
  surface.SizeTo(300, 150);
  resizer.Resize();
  EXPECT_EQ(surface.log, (std::vector<std::string>{"defer 4", "end defer"}));
  EXPECT_EQ(surface.moved.size(), 4u);
}

TEST_F(WindowResizerTest, FirstSizedEventAfterOpeningMovesNothing) {
  resizer.Init(&surface, 2, true, false);
  ASSERT_TRUE(surface.sized);
  surface.SizeTo(300, 150);
  surface.sized();
  EXPECT_TRUE(surface.moved.empty());
  surface.sized();
  EXPECT_EQ(surface.At(kButton), (ResizeRect{250, 120, 40, 14}));
  resizer.Kill();
  EXPECT_FALSE(surface.sized);

  {
    WindowResizer short_lived;
    short_lived.Init(&surface, 3, false, false);
    EXPECT_TRUE(surface.sized);
  }
  EXPECT_FALSE(surface.sized);  // a resizer that goes away leaves no handler behind
  WindowResizer without_window;
  without_window.Init(nullptr, 2, true, true);
  without_window.Resize();
  EXPECT_TRUE(without_window.controls().empty());
}

TEST_F(WindowResizerTest, ControlInsideAGroupMovesWithIt) {
  constexpr int32_t kGroup = 5, kInside = 6;
  surface.Add(kGroup, 13, {100, 20, 80, 60});
  surface.Add(kInside, 2, {110, 30, 30, 10});
  surface.controls[kButton].rect = {150, 85, 40, 14};  // out of the group
  Start();
  EXPECT_EQ(resizer.ParentOf(kInside), kGroup);
  EXPECT_TRUE(resizer.Find(kGroup)->has_children);
  EXPECT_EQ(resizer.ParentOf(kPrompt), 0);  // its top-left lies above the group
  surface.SizeTo(300, 150);
  resizer.Resize();
  EXPECT_EQ(surface.At(kGroup), (ResizeRect{100, 20, 180, 110}));
  // Group's new x + offset x scale (180/80 = 2.25, 110/60 = 1.8333).
  EXPECT_EQ(surface.At(kInside), (ResizeRect{123, 38, 68, 18}));
}

TEST_F(WindowResizerTest, TreeSkipsTabsAndRefusesCycles) {
  constexpr int32_t kSheet = 5, kTab = 6, kOnTab = 7, kTwinA = 8, kTwinB = 9;
  surface.Add(kSheet, 37, {0, 90, 50, 10});
  surface.Add(kTab, 38, {0, 92, 50, 8}, kSheet);
  surface.Add(kOnTab, 8, {300, 300, 10, 5}, kTab);  // outside the sheet's box, yet on its tab
  surface.Add(kTwinA, 2, {400, 400, 10, 10});
  surface.Add(kTwinB, 2, {400, 400, 20, 20});
  Start();
  EXPECT_EQ(resizer.Find(kTab), nullptr);  // tabs are not resized
  EXPECT_EQ(resizer.ParentOf(kOnTab), kSheet);
  // Two controls with the same top-left contain each other: only one assignment holds.
  EXPECT_EQ(resizer.ParentOf(kTwinB), kTwinA);
  EXPECT_EQ(resizer.ParentOf(kTwinA), 0);
  EXPECT_FALSE(resizer.SetParent(kTwinA, kTwinB));
  EXPECT_FALSE(resizer.SetParent(kTwinA, kTwinA));
  EXPECT_FALSE(resizer.SetParent(kTwinA, kTab));  // not in the list
  EXPECT_TRUE(resizer.SetParent(kTwinB, 0));
  EXPECT_FALSE(resizer.Find(kTwinA)->has_children);
  EXPECT_TRUE(resizer.SetParent(kTwinA, kTwinB));
}

TEST_F(WindowResizerTest, CaptureRecordsOnlyControlsItMayMove) {
  surface.Add(10, 19, {0, 0, 5, 5});
  surface.Add(11, 20, {0, 0, 5, 5});
  surface.Add(12, 0, {0, 0, 5, 5});
  surface.Add(13, 128, {0, 0, 5, 5});
  surface.Add(14, 2, {0, 0, 5, 5});
  surface.controls[14].skips = true;
  surface.Add(15, 14, {0, 0, 5, 5});
  surface.controls[15].drops_down = true;
  Start(1);
  EXPECT_EQ(resizer.controls().size(), 5u);
  EXPECT_EQ(resizer.Find(15)->type, kTypeEntryControl);
  EXPECT_EQ(resizer.Find(15)->resize, kSizeFixedHeight);
  EXPECT_EQ(resizer.Find(kPrompt)->positional, 0);  // with strategy 1 a prompt is "others"
  EXPECT_EQ(resizer.ParentOf(kText), 0);             // no tree outside strategy 2
  EXPECT_EQ(surface.log, (std::vector<std::string>{"resizable", "min 200x100"}));

  surface.controls[kList].rect = {1, 2, 3, 4};
  resizer.SetParent(kText, kList);
  resizer.CaptureLayout();  // a known control only gets its rectangle refreshed
  EXPECT_EQ(resizer.Find(kList)->pos, (ResizeRect{1, 2, 3, 4}));
  EXPECT_EQ(resizer.ParentOf(kText), kList);
  EXPECT_EQ(resizer.controls().size(), 5u);
}

TEST(WindowResizerStrategy, DefaultsByStrategyAndType) {
  EXPECT_EQ(WindowResizer::DefaultPositional(14, 3), 0x101);
  EXPECT_EQ(WindowResizer::DefaultResize(14, 3), 3);
  EXPECT_EQ(WindowResizer::DefaultPositional(9, 1), 0x505);
  EXPECT_EQ(WindowResizer::DefaultResize(12, 1), 3);
  EXPECT_EQ(WindowResizer::DefaultResize(34, 1), 2);
  EXPECT_EQ(WindowResizer::DefaultResize(14, 1), 0);
  EXPECT_EQ(WindowResizer::DefaultPositional(21, 2), 0);
  EXPECT_EQ(WindowResizer::DefaultResize(21, 2), 3);
  EXPECT_EQ(WindowResizer::DefaultPositional(16, 2), 0x300);
  EXPECT_EQ(WindowResizer::DefaultPositional(39, 2), 0x303);
  EXPECT_EQ(WindowResizer::DefaultResize(37, 2), 0xC);
  EXPECT_EQ(WindowResizer::DefaultPositional(2, 2), 0);
  EXPECT_EQ(WindowResizer::DefaultResize(9, 7), 0);
}

TEST(WindowResizerRectangle, RulesAgainstAParentAwayFromTheOrigin) {
  WindowResizer resizer;
  const ResizeRect parent_new{120, 60, 400, 50};
  const ResizeRect captured{150, 60, 20, 10};  // offset 50, 10
  auto compute = [&](uint16_t positional, uint16_t resize, ResizeRect parent_was = {100, 50, 200, 100}) {
    WindowResizer::ControlRecord control{.positional = positional, .resize = resize, .pos = captured};
    return resizer.ComputeRectangle(control, captured, parent_was, parent_new);
  };
  EXPECT_EQ(compute(0x000, 0), (ResizeRect{220, 65, 40, 5}));    // 120 + 50 x 2, 60 + 10 x 0.5
  EXPECT_EQ(compute(0x101, 3), (ResizeRect{150, 60, 20, 10}));   // kept
  EXPECT_EQ(compute(0x303, 3), (ResizeRect{170, 70, 20, 10}));   // new corner + offset
  EXPECT_EQ(compute(0x202, 3), (ResizeRect{370, 20, 20, 10}));   // right: 520 - 150, bottom: 110 - 90
  EXPECT_EQ(compute(0x202, 0), (ResizeRect{220, 65, 40, 5}));    // distances scaled too
  EXPECT_EQ(compute(0x404, 3), (ResizeRect{270, 45, 20, 10}));   // centre 320 - 50, 85 - 40
  EXPECT_EQ(compute(0x505, 3), compute(0x303, 3));               // nearer the left and top edges
  EXPECT_EQ(compute(0x303, 0xC), (ResizeRect{170, 70, 220, 0})); // gaps kept; no room left below
  // A parent captured with no width or height scales by 1.
  EXPECT_EQ(compute(0x000, 0, {100, 50, 0, 0}), (ResizeRect{170, 70, 20, 10}));
}

TEST_F(WindowResizerTest, AppearanceAndRestore) {
  surface.controls[kText].keeps_width = true;
  surface.Add(20, 1, {0, 0, 5, 5});
  Start();
  resizer.auto_transparent = true;
  surface.SizeTo(300, 150);
  resizer.Resize();
  EXPECT_TRUE(surface.controls[kText].transparent);
  EXPECT_TRUE(surface.controls[kPrompt].transparent);
  EXPECT_TRUE(surface.controls[20].transparent);
  EXPECT_FALSE(surface.controls[kList].transparent);
  EXPECT_EQ(surface.At(kText).width, 60);  // keeps its width

  surface.controls[kText].transparent = false;
  surface.SizeTo(320, 150);
  resizer.Resize();
  EXPECT_FALSE(surface.controls[kText].transparent);  // only at the first resize

  surface.log.clear();
  resizer.RestoreLayout();
  EXPECT_EQ(surface.log, std::vector<std::string>{"state 00"});
  EXPECT_EQ(surface.window.width, 200);
  EXPECT_EQ(surface.At(kButton), (ResizeRect{150, 70, 40, 14}));
  surface.moved.clear();
  resizer.Resize();  // the window is at the size the layout was put back to
  EXPECT_TRUE(surface.moved.empty());
}

}  // namespace
}  // namespace korvex::framework
