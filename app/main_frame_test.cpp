#include "app/main_frame.h"

#include <gtest/gtest.h>

#include "app/app_test_util.h"
#include "app/fake_window_system.h"

namespace korvex::app::testing {
namespace {

TEST(MainFrame, OpensTheFrameStartsTheShuffleWindowAndEndsWhenTheFrameCloses) {
  framework::RecordingDisplay display;
  AppErrors.Init(&display);
  FakeWindowSystem windows;
  windows.prepare = [&](FakeProcedureWindow& window) {
    window.loop.Queue(kEventOpenWindow);
    window.loop.Queue(kEventCloseWindow);
  };
  AppEnvironment environment{&windows, nullptr};
  CallRequest = 3;
  Main(environment);
  ASSERT_EQ(windows.started.size(), 1u);
  EXPECT_EQ(windows.stacks[0], 50000u);
  EXPECT_EQ(CallRequest, 0);
  EXPECT_EQ(CallResponse, framework::kResponseCancelled);  // closed without a response
  EXPECT_EQ(AppErrors.CurrentProcedure(), "");              // the name went with the window
  EXPECT_TRUE(display.shown.empty());
  AppErrors.Kill();
}

TEST(MainFrame, AFrameThatCannotOpenStartsNothing) {
  framework::RecordingDisplay display;
  AppErrors.Init(&display);
  FakeWindowSystem windows;
  windows.prepare = [](FakeProcedureWindow& window) { window.open_outcome = framework::kOutcomeNotUsable; };
  AppEnvironment environment{&windows, nullptr};
  Main(environment);
  EXPECT_TRUE(windows.started.empty());
  AppErrors.Kill();
}

}  // namespace
}  // namespace korvex::app::testing
