// Names for the tracer, runtime error texts, the checks before a window opens
// and the thread table.
#include <gtest/gtest.h>

#include <set>

#include "window/core/event_names.h"
#include "window/core/event_runtime_errors.h"
#include "window/core/event_threads.h"

namespace korvex {
namespace {

TEST(EventNames, TracerFormatsNamedAndUnnamedMessagesAndEvents) {
  EXPECT_EQ(DescribeEvent(kEventAccepted), "EVENT:Accepted (1 (01H))");
  EXPECT_EQ(DescribeEvent(kEventSelected), "EVENT:Selected (257 (0101H))");
  EXPECT_EQ(DescribeEvent(kEventBuildDone), "EVENT:BuildDone (578 (0242H))");
  EXPECT_EQ(DescribeEvent(0x207), "519 (0207H)");  // the one code without a name
  EXPECT_EQ(DescribeMessage(0x0000), "WM_NULL");
  EXPECT_EQ(DescribeMessage(0x03E8), "WM_DDE_EXECUTE");
  EXPECT_EQ(DescribeMessage(EventMessage(kEventCloseDown)), "EVENT:CloseDown");
  EXPECT_EQ(DescribeMessage(0x241c), "QUERY_CONTINUETHREAD");
  EXPECT_EQ(DescribeMessage(0x2415), "9237 (02415H)");
  EXPECT_STREQ(kMessageTraceFile, "V5LOG.TXT");
}

TEST(EventNames, EveryEventCodeHasOneNameAndMapsBackFromItsMessage) {
  const EventCode codes[] = {kEventAccepted, kEventColumnResize, kEventSelected,
                             kEventCloseWindow, kEventGainFocus, kEventSuspend, kEventTimer,
                             kEventDDEclosed, kEventMove, kEventCompleted, kEventUnDocked,
                             kEventBuildFile};
  std::set<std::string> names;
  for (EventCode code : codes) {
    const char* name = MessageName(EventMessage(code));
    ASSERT_NE(name, nullptr) << code;
    names.insert(name);
    EXPECT_EQ(EventOfMessage(EventMessage(code)), code);
  }
  EXPECT_EQ(names.size(), std::size(codes));
  for (EventCode code = 1; code <= 30; ++code) EXPECT_NE(MessageName(EventMessage(code)), nullptr);
  EXPECT_EQ(EventOfMessage(0x0111), 0);  // WM_COMMAND is no event
  EXPECT_TRUE(IsFieldEvent(kEventDrop));
  EXPECT_FALSE(IsFieldEvent(kEventSelected));
  EXPECT_TRUE(IsWindowEvent(kEventCloseWindow));
}

TEST(RuntimeErrors, TextsWithAndWithoutDetail) {
  EXPECT_EQ(RuntimeErrorMessage(537, "CTLMAIN"), "ACCEPT loop requires a window : CTLMAIN");
  EXPECT_EQ(RuntimeErrorMessage(526, nullptr),
            "Unable to open APPLICATION (APPLICATION already active)");
  EXPECT_EQ(RuntimeErrorMessage(515, ""), "Internal error 15");
  EXPECT_EQ(RuntimeErrorMessage(403, nullptr),
            "Termination caused by signal.  (User break or Floating point)");
  EXPECT_EQ(RuntimeErrorMessage(605, nullptr), "DDE transaction timed out");
  EXPECT_EQ(RuntimeErrorMessage(999, "X"), "Runtime error 999 : X");
  EXPECT_EQ(RuntimeErrorText(519), nullptr);
}

TEST(RuntimeErrors, WindowOpenChecks) {
  OpenContext frame{WindowKind::kFrame, false, true, 0};
  EXPECT_EQ(CheckWindowOpen(frame), 0);
  frame.frameOpen = true;
  EXPECT_EQ(CheckWindowOpen(frame), 526);
  frame.frameOpen = false;
  frame.modalCount = 1;
  EXPECT_EQ(CheckWindowOpen(frame), 527);

  OpenContext child{WindowKind::kMdiChild, true, false, 0};
  EXPECT_EQ(CheckWindowOpen(child), 0);
  child.onFrameThread = true;
  EXPECT_EQ(CheckWindowOpen(child), 532);
  child.onFrameThread = false;
  child.modalCount = 1;  // e.g. a message box is open
  EXPECT_EQ(CheckWindowOpen(child), 531);
  child.frameOpen = false;
  EXPECT_EQ(CheckWindowOpen(child), 530);

  OpenContext plain{WindowKind::kWindow, false, false, 3};
  EXPECT_EQ(CheckWindowOpen(plain), 0);
}

TEST(ThreadTable, SlotsAreHandedOutInOrderUpTo63AndComeBack) {
  ThreadTable table;
  EXPECT_EQ(table.usedCount(), 1);  // the first thread
  int first = table.Claim();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(ThreadNumberOfSlot(first), 2);
  for (int i = 2; i < kThreadSlotCount; ++i) EXPECT_EQ(table.Claim(), i);
  EXPECT_EQ(table.Claim(), -1);
  EXPECT_EQ(table.usedCount(), 64);

  table.at(7).threadId = 4711;
  EXPECT_EQ(table.FindThread(4711), 7);
  table.Release(7);
  EXPECT_EQ(table.FindThread(4711), -1);
  table.Release(0);  // the first thread's slot is never given away
  EXPECT_EQ(table.Claim(), 7);
  EXPECT_EQ(table.Claim(), -1);

  // Starting and ending procedures for a long time never runs out of slots.
  for (int round = 0; round < 10000; ++round) {
    table.Release(1 + round % 63);
    ASSERT_EQ(table.Claim(), 1 + round % 63);
  }
  EXPECT_EQ(EffectiveStackSize(0), 20000u);
  EXPECT_EQ(EffectiveStackSize(65536), 65536u);
  EXPECT_EQ(SlotOfThreadNumber(1), 0);
}

}  // namespace
}  // namespace korvex
