// The application frame holds procedure windows of other threads as MDI
// children: the child's close box closes only the child, and closing the
// frame asks each child to close first and waits for it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "window/engine_test_window.h"
#include "window/list_sheet_factories.h"
#include "window/simple_controls.h"
#include "window/thread_start.h"
#include "window/window_object.h"
#include "window/window_open.h"

namespace korvex {
namespace {

using test::Only;
using test::RunAcceptLoop;
using test::WaitUntil;

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::atomic<HWND> child_hwnd{nullptr};
std::atomic<HWND> frame_hwnd{nullptr};
std::atomic<int> child_open_error{-1};
std::atomic<int> child_closedowns{0};
std::atomic<bool> frame_alive_at_child_close{false};

// The shuffle window's procedure in miniature: open, run the loop, close.
void ShuffleWindowProcedure(const std::string&, const std::string&, const std::string&) {
  WindowObject w;
  std::string detail;
  child_open_error = OpenWindow(w, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail);
  if (child_open_error != 0) return;
  child_hwnd = w.hwnd();
  const auto seen = RunAcceptLoop();
  child_closedowns += static_cast<int>(Only(seen, {kEventCloseDown}).size());
  frame_alive_at_child_close = IsWindow(frame_hwnd.load()) != FALSE;
  CloseWindow(w);
  child_hwnd = nullptr;
}

class MdiFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEventEngine();
    RegisterSimpleControls();
    RegisterListAndSheetControls();
    ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
    child_hwnd = nullptr;
    child_open_error = -1;
    child_closedowns = 0;
    frame_alive_at_child_close = false;
  }

  // Starts the shuffle window on its own thread and waits until it is up.
  void StartChild() {
    ASSERT_GT(StartThread(ShuffleWindowProcedure), 0);
    ASSERT_TRUE(WaitUntil([] { return child_hwnd.load() != nullptr || child_open_error > 0; }));
    ASSERT_EQ(child_open_error, 0);
  }
};

TEST_F(MdiFrameTest, ShuffleWindowOfAnotherThreadIsAnMdiChildThatClosesAloneOrWithTheFrame) {
  WindowObject frame;
  std::string detail;
  ASSERT_EQ(OpenWindow(frame, "korvex$KORVE001", "P1$APPFRAME", nullptr, &detail), 0) << detail;
  frame_hwnd = frame.hwnd();
  HWND client = frame.mdi_client();
  ASSERT_NE(client, nullptr);
  EXPECT_STRCASEEQ(ClassOf(client).c_str(), "MDICLIENT");
  EXPECT_EQ(GetParent(client), frame.hwnd());

  // A window of the frame's own thread stays a window of its own.
  {
    WindowObject same_thread;
    ASSERT_EQ(OpenWindow(same_thread, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), 0) << detail;
    EXPECT_NE(GetParent(same_thread.hwnd()), client);
    EXPECT_EQ(GetWindowLongA(same_thread.hwnd(), GWL_EXSTYLE) & WS_EX_MDICHILD, 0);
    EXPECT_EQ(same_thread.events().mdiParent(), nullptr);
    CloseWindow(same_thread);
  }

  StartChild();
  HWND child = child_hwnd;
  EXPECT_EQ(GetParent(child), client);
  EXPECT_NE(GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_MDICHILD, 0);
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_NE(style & WS_SYSMENU, 0) << "a close box";
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_NE(GetDlgItem(child, 9), nullptr) << "its controls are made inside it";
  ASSERT_EQ(frame.events().mdiChildren().size(), 1u);
  EXPECT_EQ(frame.events().mdiChildren()[0]->handle, reinterpret_cast<uintptr_t>(child));

  // The close box ends the child only.
  PostMessageA(child, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_TRUE(IsWindow(frame.hwnd()));
  EXPECT_TRUE(frame.events().mdiChildren().empty());
  EXPECT_EQ(child_closedowns, 0);

  // Closing the frame asks the child with EVENT:CloseDown and ends once it is gone.
  StartChild();
  child = child_hwnd;
  ASSERT_EQ(frame.events().mdiChildren().size(), 1u);
  PostMessageA(frame.hwnd(), WM_CLOSE, 0, 0);
  const auto seen = RunAcceptLoop();
  EXPECT_EQ(Only(seen, {kEventCloseWindow}).size(), 1u);
  EXPECT_TRUE(frame.events().mdiChildren().empty());
  EXPECT_FALSE(IsWindow(child));
  EXPECT_TRUE(IsWindow(frame.hwnd()));
  ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
  EXPECT_EQ(child_closedowns, 1);
  EXPECT_TRUE(frame_alive_at_child_close);
  CloseWindow(frame);
  frame_hwnd = nullptr;
  EXPECT_EQ(frame.mdi_client(), nullptr);

  // With the frame gone a window of another thread opens on its own again.
  ASSERT_GT(StartThread(ShuffleWindowProcedure), 0);
  ASSERT_TRUE(WaitUntil([] { return child_hwnd.load() != nullptr || child_open_error > 0; }));
  ASSERT_EQ(child_open_error, 0);
  child = child_hwnd;
  EXPECT_EQ(GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_MDICHILD, 0);
  PostMessageA(child, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
}

}  // namespace
}  // namespace korvex
