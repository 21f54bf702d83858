// The event engine with real windows on the test's thread (thread 1).
#include "window/event_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "window/core/event_runtime_errors.h"
#include "window/engine_internal.h"
#include "window/engine_test_window.h"

namespace korvex {
namespace {

using test::Only;
using test::RunAcceptLoop;
using test::TestWindow;

class EventEngine : public ::testing::Test {
 protected:
  void SetUp() override { StartEventEngine(); }
};

TEST_F(EventEngine, PostsArriveInOrderAFrontPostFirstAndCloseEndsTheLoop) {
  TestWindow w;
  EXPECT_EQ(ThreadWindow(), &w.state);
  ASSERT_TRUE(PostEvent(kEventAccepted, 1));
  ASSERT_TRUE(PostEvent(kEventAccepted, 2));
  ASSERT_TRUE(PostEvent(kEventAccepted, 3, 1));  // thread 1 is this thread
  ASSERT_TRUE(PostEvent(kEventNewSelection, 4, 0, true));
  std::vector<int32_t> fields;
  auto seen = RunAcceptLoop([&](EventCode e) {
    if (e == kEventAccepted) {
      fields.push_back(AcceptedField());
      if (AcceptedField() == 3) PostMessageA(w.hwnd, WM_CLOSE, 0, 0);
    }
    if (e == kEventNewSelection) {
      EXPECT_EQ(AcceptedField(), 0);
    }
  });
  EXPECT_EQ(Only(seen, {kEventNewSelection, kEventOpenWindow, kEventAccepted, kEventCloseWindow}),
            (std::vector<EventCode>{kEventNewSelection, kEventOpenWindow, kEventAccepted,
                                    kEventAccepted, kEventAccepted, kEventCloseWindow}));
  EXPECT_EQ(fields, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(CurrentEvent(), 0);  // outside any event
  EXPECT_EQ(w.state.closeState, CloseState::kAccepted);
}

int Consume(void* calls) {
  ++*static_cast<int*>(calls);
  return kHandlerConsumed;
}
int EndTheLoop(void*) { return kHandlerEndLoop; }

TEST_F(EventEngine, HandlersHideEventsAndEndTheLoop) {
  TestWindow w;
  int calls = 0;
  RegisterHandler(kEventAccepted, Consume, &calls);
  RegisterHandler(kEventDrop, EndTheLoop, nullptr);
  PostEvent(kEventAccepted, 1);
  PostEvent(kEventAccepted, 2);
  PostEvent(kEventDrop, 2);
  PostEvent(kEventAccepted, 3);
  auto seen = RunAcceptLoop();
  EXPECT_TRUE(Only(seen, {kEventAccepted, kEventDrop}).empty());
  EXPECT_EQ(calls, 2);
  UnregisterHandler(kEventAccepted, Consume, nullptr, nullptr, true);
  EXPECT_FALSE(w.state.handlers.Handles(EventMessage(kEventAccepted)));
}

TEST_F(EventEngine, StaleSelectionAndTimerWithoutTimerAreDropped) {
  TestWindow w;
  NoteControlFocus(&w.state, 1);
  NoteControlFocus(&w.state, 2);  // 1 lost the focus before the loop ran
  PostEvent(kEventTimer);         // the window has no TIMER
  PostEvent(kEventCloseWindow);
  std::vector<int32_t> selected;
  auto seen = RunAcceptLoop([&](EventCode e) {
    if (e == kEventSelected) selected.push_back(SelectedField());
  });
  EXPECT_EQ(selected, std::vector<int32_t>{2});
  EXPECT_TRUE(Only(seen, {kEventTimer}).empty());
  EXPECT_EQ(FocusField(), 2);
}

TEST_F(EventEngine, OpenOrderAndSizeEvents) {
  TestWindow w(true);
  int32_t value = 0;
  PostEvent(kEventRejected, 5, 0, false, 0x12345678);
  auto seen = RunAcceptLoop([&](EventCode e) {
    if (e == kEventRejected) {
      value = CurrentEventValue();
      PostMessageA(w.hwnd, WM_CLOSE, 0, 0);
    }
  });
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[0], kEventOpenWindow);
  EXPECT_EQ(seen[1], kEventSized);
  EXPECT_EQ(value, 0x12345678);  // a delivered event carries 32 bits
}

int RefuseMaximize(void*) { return kHandlerConsumed; }

TEST_F(EventEngine, BeforeEventsCanRefuseASystemCommand) {
  TestWindow w(true);
  RegisterHandler(kEventMaximize, RefuseMaximize, nullptr);
  SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_FALSE(IsZoomed(w.hwnd));
  UnregisterHandler(kEventMaximize, RefuseMaximize, nullptr);
  SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(IsZoomed(w.hwnd));
  PostEvent(kEventCloseWindow);
  auto seen = RunAcceptLoop();
  EXPECT_EQ(Only(seen, {kEventMaximized, kEventCloseWindow}),
            (std::vector<EventCode>{kEventMaximized, kEventCloseWindow}));
  EXPECT_EQ(ModalCount(), 0);
}

// The program's answer to sent events: it refuses minimizing, not maximizing.
int ProgramReceiver(void*, const DeliveredEvent& event) {
  EXPECT_EQ(CurrentEvent(), event.code());
  if (CurrentEvent() == kEventIconize) DeclineEvent();
  return 0;
}

TEST_F(EventEngine, SentEventsReachTheProgramDuringItsLoop) {
  TestWindow w(true);
  w.state.sentReceiver = ProgramReceiver;
  PostEvent(kEventAccepted, 1);
  auto seen = RunAcceptLoop([&](EventCode e) {
    if (e != kEventAccepted) return;
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsIconic(w.hwnd));
    EXPECT_EQ(CurrentEvent(), kEventAccepted);  // restored after the sent event
    SendMessageA(w.hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(IsZoomed(w.hwnd));
    PostEvent(kEventCloseWindow);
  });
  EXPECT_EQ(Only(seen, {kEventMaximized}).size(), 1u);
  EXPECT_TRUE(Only(seen, {kEventIconized}).empty());
  EXPECT_EQ(ModalCount(), 0);
}

TEST_F(EventEngine, RefusedCloseKeepsTheWindowOpen) {
  TestWindow w;
  PostMessageA(w.hwnd, WM_CLOSE, 0, 0);
  int closes = 0;
  auto seen = RunAcceptLoop([&](EventCode e) {
    if (e == kEventCloseWindow && ++closes == 1) {
      DeclineEvent();
      PostEvent(kEventAccepted, 9);
    } else if (e == kEventAccepted) {
      PostEvent(kEventCloseWindow);
    }
  });
  EXPECT_EQ(closes, 2);
  EXPECT_TRUE(IsWindow(w.hwnd));  // WM_CLOSE itself never destroys
}

TEST_F(EventEngine, EveryWaitGivesTheRuntimeLockUp) {
  TestWindow w;
  std::atomic<bool> other_ran{false};
  std::thread other([&] {
    RuntimeLock::Instance().Acquire();  // only possible while thread 1 waits
    other_ran = true;
    PostMessageA(w.hwnd, WM_CLOSE, 0, 0);
    RuntimeLock::Instance().Release();
  });
  RunAcceptLoop();
  other.join();
  EXPECT_TRUE(other_ran);
  EXPECT_TRUE(RuntimeLock::Instance().HeldByMe());
}

struct BusyHandler {
  HWND hwnd = nullptr;
  int calls = 0;
  std::thread closer;
};
int BusyOnFirstTimer(void* object) {
  auto* busy = static_cast<BusyHandler*>(object);
  if (busy->calls++ == 0) {
    Sleep(3000);  // ticks go by; the next one is due a period after the handler ends
    HWND hwnd = busy->hwnd;
    busy->closer = std::thread([hwnd] {
      Sleep(400);  // well within the period after the handler is done
      PostMessageA(hwnd, WM_CLOSE, 0, 0);
    });
  }
  return 0;
}

TEST_F(EventEngine, TimerTicksNeverPileUpBehindABusyHandler) {
  TestWindow w;
  BusyHandler busy;
  busy.hwnd = w.hwnd;
  RegisterHandler(kEventTimer, BusyOnFirstTimer, &busy);
  SetWindowTimer(&w.state, 100);  // one second
  auto seen = RunAcceptLoop();
  busy.closer.join();
  // The first tick (handled by the busy handler) and exactly one after it.
  EXPECT_EQ(Only(seen, {kEventTimer}).size(), 2u);
  EXPECT_EQ(busy.calls, 2);
}

TEST_F(EventEngine, FrameRefusesTheEndOfTheSession) {
  TestWindow w;
  SetWindowTraits(&w.state, false, true);
  std::atomic<bool> box_seen{false};
  HWND hwnd = w.hwnd;
  std::thread closer([&] {
    for (int i = 0; i < 1000 && !box_seen; ++i) {
      Sleep(10);
      HWND box = FindWindowA(nullptr, "window_test.exe");
      if (box != nullptr && box != hwnd) {
        box_seen = true;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
    }
  });
  DWORD_PTR answer = 1;
  std::thread sender([&] {
    SendMessageTimeoutA(hwnd, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 20000, &answer);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
  });
  RunAcceptLoop();
  sender.join();
  closer.join();
  EXPECT_TRUE(box_seen);
  EXPECT_EQ(answer, 0u);
}

TEST_F(EventEngine, AcceptWithAModalBoxOpenForbidsMdiChildren) {
  TestWindow frame;
  {
    ModalBoxScope box;
    OpenContext child{WindowKind::kMdiChild, true, false, ModalCount()};
    EXPECT_EQ(CheckWindowOpen(child), kErrorMdiWhileModal);
  }
  EXPECT_EQ(ModalCount(), 0);
  EXPECT_TRUE(RuntimeLock::Instance().HeldByMe());
}

TEST_F(EventEngine, EventForADestroyedWindowIsDiscarded) {
  auto w = std::make_unique<TestWindow>();
  HWND hwnd = w->hwnd;
  PostEvent(kEventAccepted, 1);  // in the queue when the window goes
  PostEvent(kEventAccepted, 2);
  EXPECT_EQ(engine::InFlightPosts(), 2u);
  w.reset();
  EXPECT_EQ(engine::InFlightPosts(), 0u);  // the records went with the window
  EXPECT_EQ(EventStateOf(hwnd), nullptr);
  EXPECT_FALSE(PostEvent(kEventAccepted, 1));  // no window on this thread now
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  TestWindow next;
  PostEvent(kEventCloseWindow);
  auto seen = RunAcceptLoop();
  EXPECT_TRUE(Only(seen, {kEventAccepted}).empty());
}

}  // namespace
}  // namespace korvex
