// The loop step driven by a scripted platform: each "message" the thread
// waits for is a scripted action run when it is dispatched.
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "window/core/event_loop.h"

namespace korvex {
namespace {

DeliveredEvent Ev(EventCode code, int32_t field = 0) {
  DeliveredEvent e;
  e.message = EventMessage(code);
  e.field = field;
  return e;
}

class ScriptedPlatform : public LoopPlatform {
 public:
  bool WindowExists(const WindowEventState& w) override { return !destroyed.count(&w); }
  bool MessageWaiting() override { return waiting; }
  void RunIdle(WindowEventState&) override { ++idleRuns; }
  void WaitAndDispatch(WindowEventState& w) override {
    if (script.empty()) {
      // The real thread would sleep for ever: end the test's window instead.
      ++starved;
      destroyed.insert({&w, true});
      return;
    }
    auto action = script.front();
    script.pop_front();
    action();
  }
  WindowEventState* FocusWindow() override { return focus; }
  void PostEvent(WindowEventState& target, EventCode code, int32_t field, bool front) override {
    posts.push_back({&target, code});
    target.Queue(Ev(code, field), front);
  }
  void SelectControl(WindowEventState&, int32_t field) override { selected.push_back(field); }

  std::deque<std::function<void()>> script;
  std::map<const WindowEventState*, bool> destroyed;
  WindowEventState* focus = nullptr;
  std::vector<std::pair<WindowEventState*, EventCode>> posts;
  std::vector<int32_t> selected;
  bool waiting = false;
  int idleRuns = 0;
  int starved = 0;
};

// Runs a loop like the program does, recording every event it sees; the
// callback may act on the current event.
std::vector<EventCode> RunLoop(EventLoop& loop, WindowEventState& w,
                               std::function<void(WindowEventState&)> on_event = nullptr) {
  std::vector<EventCode> seen;
  while (!loop.Step(w)) {
    seen.push_back(w.current->code());
    if (on_event) on_event(w);
    if (seen.size() > 100) break;
  }
  return seen;
}

struct LoopTest : ::testing::Test {
  ScriptedPlatform platform;
  EventLoop loop{platform};
  WindowEventState w;
  void Close(WindowEventState& target) { target.Queue(Ev(kEventCloseWindow), false); }
};

TEST_F(LoopTest, PostsComeInOrderAFrontPostFirstAndCloseEndsTheLoop) {
  w.Queue(Ev(kEventAccepted, 1), false);
  w.Queue(Ev(kEventAccepted, 2), false);
  w.Queue(Ev(kEventAccepted, 3), false);
  w.Queue(Ev(kEventNewSelection, 9), true);
  platform.script.push_back([&] { Close(w); });
  std::vector<int32_t> fields;
  auto seen = RunLoop(loop, w, [&](WindowEventState& s) { fields.push_back(s.current->field); });
  EXPECT_EQ(seen, (std::vector<EventCode>{kEventNewSelection, kEventAccepted, kEventAccepted,
                                         kEventAccepted, kEventCloseWindow}));
  EXPECT_EQ(fields, (std::vector<int32_t>{9, 1, 2, 3, 0}));
  EXPECT_EQ(w.closeState, CloseState::kAccepted);
  EXPECT_EQ(w.loopDepth, 0);
  EXPECT_FALSE(w.current);
  EXPECT_EQ(platform.starved, 0);
  EXPECT_GE(platform.idleRuns, 1);  // it idled before waiting for the close
}

int consumeCalls = 0;
int Consume(void*) { ++consumeCalls; return kHandlerConsumed; }
int EndLoop(void*) { return kHandlerEndLoop; }
int PassOn(void* object) { ++*static_cast<int*>(object); return 0; }

TEST_F(LoopTest, HandlersHideEventsOrEndTheLoop) {
  int passed = 0;
  consumeCalls = 0;
  w.handlers.Add({EventMessage(kEventAccepted), PassOn, &passed, 0}, false);
  w.handlers.Add({EventMessage(kEventAccepted), Consume, nullptr, 0}, false);
  w.handlers.Add({EventMessage(kEventDrop), EndLoop, nullptr, 0}, false);
  w.Queue(Ev(kEventAccepted, 1), false);
  w.Queue(Ev(kEventNewSelection, 1), false);
  w.Queue(Ev(kEventAccepted, 2), false);
  w.Queue(Ev(kEventDrop, 2), false);
  w.Queue(Ev(kEventNewSelection, 2), false);
  auto seen = RunLoop(loop, w);
  EXPECT_EQ(seen, (std::vector<EventCode>{kEventNewSelection}));
  EXPECT_EQ(passed, 2);
  EXPECT_EQ(consumeCalls, 2);
  EXPECT_EQ(w.queued(), 1u);  // the loop ended before the last event
  EXPECT_EQ(w.handlerDepth, 0);
}

TEST_F(LoopTest, StaleSelectionIsDroppedAndTheCurrentOneSelectsItsControl) {
  w.selectedField = 2;
  w.Queue(Ev(kEventSelected, 1), false);  // control 1 lost the focus meanwhile
  w.Queue(Ev(kEventSelected, 2), false);
  platform.script.push_back([&] { Close(w); });
  auto seen = RunLoop(loop, w);
  EXPECT_EQ(seen, (std::vector<EventCode>{kEventSelected, kEventCloseWindow}));
  EXPECT_EQ(platform.selected, (std::vector<int32_t>{2}));
}

TEST_F(LoopTest, RefusedCloseKeepsTheLoopAndOpenFailedEndsIt) {
  w.Queue(Ev(kEventCloseWindow), false);
  w.Queue(Ev(kEventAccepted, 1), false);
  w.Queue(Ev(kEventOpenFailed), false);
  w.Queue(Ev(kEventAccepted, 2), false);
  auto seen = RunLoop(loop, w, [](WindowEventState& s) {
    if (s.current->code() == kEventCloseWindow) s.declined = true;
  });
  EXPECT_EQ(seen, (std::vector<EventCode>{kEventCloseWindow, kEventAccepted, kEventOpenFailed}));
  EXPECT_EQ(w.closeState, CloseState::kOpen);
}

TEST_F(LoopTest, FrameClosesAfterItsMdiChildrenAndARefusingChildKeepsItOpen) {
  WindowEventState a, b;  // on one thread here: no Suspend/Resume in between
  w.AdoptChild(&a);
  w.AdoptChild(&b);
  Close(w);
  // Each child's thread would run its own loop; here the script does it.
  platform.script.push_back([&] {
    EXPECT_EQ(w.closeState, CloseState::kWaitingForChildren);
    EXPECT_EQ(RunLoop(loop, a), std::vector<EventCode>{kEventCloseDown});
    EXPECT_EQ(a.closeState, CloseState::kAccepted);
    w.ReleaseChild(&a);  // a's window is destroyed
  });
  platform.script.push_back([&] {
    ASSERT_FALSE(loop.Step(b));
    EXPECT_EQ(b.current->code(), kEventCloseDown);
    b.declined = true;  // b stays open, and so does the frame
    b.Queue(Ev(kEventAccepted, 1), false);
    ASSERT_FALSE(loop.Step(b));
    EXPECT_EQ(w.closeState, CloseState::kOpen);
    EXPECT_EQ(b.closeState, CloseState::kOpen);
  });
  platform.script.push_back([&] { Close(w); });
  platform.script.push_back([&] {
    ASSERT_FALSE(loop.Step(b));
    EXPECT_EQ(b.current->code(), kEventCloseDown);
    EXPECT_TRUE(loop.Step(b));
    w.ReleaseChild(&b);
  });
  auto seen = RunLoop(loop, w);
  EXPECT_EQ(seen, (std::vector<EventCode>{kEventCloseWindow, kEventCloseWindow}));
  EXPECT_TRUE(w.mdiChildren().empty());
  EXPECT_EQ(platform.starved, 0);
}

TEST_F(LoopTest, FocusMovingToAnotherThreadsWindowPostsLoseAndGain) {
  WindowEventState other;
  other.thread = 2;
  w.thread = 1;
  platform.focus = &w;
  platform.script.push_back([&] { platform.focus = &other; });
  platform.script.push_back([&] { Close(w); });
  auto seen = RunLoop(loop, w);
  EXPECT_EQ(seen, (std::vector<EventCode>{kEventGainFocus, kEventLoseFocus, kEventCloseWindow}));
  ASSERT_EQ(other.queued(), 1u);
  EXPECT_EQ(other.TakeNext()->code(), kEventGainFocus);
}

TEST_F(LoopTest, SwitchingThreadsSuspendsTheOldWindowAndResumesTheNew) {
  WindowEventState other;
  other.thread = 2;
  w.thread = 1;
  w.Queue(Ev(kEventAccepted, 1), false);
  ASSERT_FALSE(loop.Step(w));
  other.Queue(Ev(kEventAccepted, 5), false);
  ASSERT_FALSE(loop.Step(other));
  EXPECT_EQ(other.current->code(), kEventAccepted);
  EXPECT_TRUE(w.suspended);
  w.Queue(Ev(kEventDrop, 1), false);
  // w sees Suspend (put first), then Resume, then its event.
  std::vector<EventCode> seen;
  for (int i = 0; i < 3; ++i) {
    ASSERT_FALSE(loop.Step(w));
    seen.push_back(w.current->code());
  }
  EXPECT_EQ(seen, (std::vector<EventCode>{kEventSuspend, kEventResume, kEventDrop}));
  EXPECT_FALSE(w.suspended);
  EXPECT_TRUE(other.suspended);
}

int Refuse(void*) { return kHandlerConsumed; }
int Receiver(void* object, const DeliveredEvent& e) {
  auto* w = static_cast<WindowEventState*>(object);
  EXPECT_EQ(w->current->code(), e.code());
  return e.field == 7 ? 1 : 0;
}

TEST_F(LoopTest, SentEventOutcomes) {
  EXPECT_EQ(loop.Send(w, Ev(kEventTabChanging, 7), true), kSendNotHandled);  // no loop
  w.handlers.Add({EventMessage(kEventMove), Refuse, nullptr, 0}, false);
  w.handlers.Add({EventMessage(kEventIconize), EndLoop, nullptr, 0}, false);
  EXPECT_EQ(loop.Send(w, Ev(kEventMove), false), kSendRefused);

  w.sentReceiver = Receiver;
  w.sentReceiverObject = &w;
  w.Queue(Ev(kEventAccepted, 1), false);
  ASSERT_FALSE(loop.Step(w));  // a loop runs now, the program handles Accepted
  EXPECT_EQ(loop.Send(w, Ev(kEventTabChanging, 7), true), kSendRefused);
  EXPECT_EQ(loop.Send(w, Ev(kEventTabChanging, 8), true), kSendNotHandled);
  EXPECT_EQ(loop.Send(w, Ev(kEventTabChanging, 7), false), kSendNotHandled);  // not current
  EXPECT_EQ(w.current->code(), kEventAccepted);  // restored after each send
  EXPECT_EQ(loop.modalCount(), 0);
  EXPECT_EQ(loop.Send(w, Ev(kEventIconize), true), kSendLoopEnded);
  EXPECT_TRUE(loop.Step(w));
}

TEST_F(LoopTest, ModalWindowRaisesTheCounterForItsLoop) {
  w.modal = true;
  w.Queue(Ev(kEventAccepted, 1), false);
  ASSERT_FALSE(loop.Step(w));
  EXPECT_EQ(loop.modalCount(), 1);
  Close(w);
  ASSERT_FALSE(loop.Step(w));
  EXPECT_TRUE(loop.Step(w));
  EXPECT_EQ(loop.modalCount(), 0);
}

TEST_F(LoopTest, DestroyedWindowEndsTheLoop) {
  platform.script.push_back([&] { platform.destroyed[&w] = true; });
  EXPECT_TRUE(loop.Step(w));
  EXPECT_EQ(w.loopDepth, 0);
}

// Two threads, each with a window and a message queue, post to each other's
// windows under one lock, as the runtime lock serialises them.
class ThreadedPlatform : public LoopPlatform {
 public:
  struct Queue {
    std::deque<DeliveredEvent> messages;
    std::condition_variable ready;
  };
  std::mutex lock;  // the runtime lock
  std::map<WindowEventState*, Queue> queues;

  bool WindowExists(const WindowEventState&) override { return true; }
  bool MessageWaiting() override { return false; }
  void RunIdle(WindowEventState&) override {}
  void WaitAndDispatch(WindowEventState& w) override {
    // Called with `lock` held (as a unique_lock in the thread's loop).
    Queue& q = queues[&w];
    std::unique_lock<std::mutex> relock(lock, std::adopt_lock);
    q.ready.wait(relock, [&] { return !q.messages.empty(); });
    relock.release();
    DeliveredEvent e = q.messages.front();
    q.messages.pop_front();
    w.Queue(e, false);  // the window procedure appends the posted record
  }
  WindowEventState* FocusWindow() override { return nullptr; }
  void PostEvent(WindowEventState& target, EventCode code, int32_t field, bool) override {
    Queue& q = queues[&target];
    q.messages.push_back(Ev(code, field));
    q.ready.notify_one();
  }
  void SelectControl(WindowEventState&, int32_t) override {}
};

TEST(EventLoopThreads, TwoThreadsPostingAtEachOthersWindowsLoseNothing) {
  constexpr int kPosts = 2000;
  ThreadedPlatform platform;
  EventLoop loop(platform);
  WindowEventState windows[2];
  windows[0].thread = 1;
  windows[1].thread = 2;
  platform.queues[&windows[0]];
  platform.queues[&windows[1]];
  std::vector<int32_t> received[2];
  auto run = [&](int me) {
    WindowEventState& mine = windows[me];
    WindowEventState& peer = windows[1 - me];
    platform.lock.lock();
    int sent = 0;
    while (true) {
      if (sent < kPosts) platform.PostEvent(peer, kEventAccepted, ++sent, false);
      if (sent == kPosts) {
        platform.PostEvent(peer, kEventNotify, 0, false);
        ++sent;
      }
      if (loop.Step(mine)) break;
      EventCode code = mine.current->code();
      if (code == kEventAccepted) received[me].push_back(mine.current->field);
      if (code == kEventNotify) mine.closeState = CloseState::kAccepted;
    }
    platform.lock.unlock();
  };
  std::thread t0(run, 0), t1(run, 1);
  t0.join();
  t1.join();
  for (auto& r : received) {
    ASSERT_EQ(r.size(), static_cast<size_t>(kPosts));
    for (int i = 0; i < kPosts; ++i) ASSERT_EQ(r[static_cast<size_t>(i)], i + 1);
  }
}

}  // namespace
}  // namespace korvex
