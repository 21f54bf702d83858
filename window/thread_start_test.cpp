// Procedures on threads of their own, posting across threads, MDI close and
// the measurements of the engine under Wine.
#include "window/thread_start.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>

#include "runtime/thread_number.h"
#include "window/engine_internal.h"
#include "window/engine_test_window.h"

namespace korvex {
namespace {

using test::Only;
using test::RunAcceptLoop;
using test::TestWindow;
using test::WaitUntil;

class ThreadStart : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEventEngine();
    ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
  }
};

// A procedure that opens a window and runs its loop until the window closes.
void WindowProcedure(const std::string&, const std::string&, const std::string&) {
  TestWindow w;
  RunAcceptLoop();
}

void ReturnAtOnce(const std::string&, const std::string&, const std::string&) {}

TEST_F(ThreadStart, NumbersFrom2Until63AreBusyThenSlotsComeBack) {
  int first = StartThread(WindowProcedure);
  EXPECT_EQ(first, 2);
  for (int n = 3; n <= 64; ++n) ASSERT_EQ(StartThread(WindowProcedure), n);
  EXPECT_EQ(StartThread(WindowProcedure), 0);
  EXPECT_EQ(RunningThreads(), 63);
  // Each procedure's window must be up before it can be told to close.
  ASSERT_TRUE(WaitUntil([] {
    for (int n = 2; n <= 64; ++n) {
      if (engine::Threads().at(SlotOfThreadNumber(n)).topWindow == nullptr) return false;
    }
    return true;
  }));
  for (int n = 2; n <= 64; ++n) EXPECT_TRUE(PostEvent(kEventCloseWindow, 0, n));
  ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
  // Starting and ending procedures again and again never runs out of slots.
  for (int round = 0; round < 300; ++round) {
    ASSERT_EQ(StartThread(ReturnAtOnce), 2);
    ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
  }
  // A small stack is what is committed, not all there is: user32 runs on it.
  EXPECT_EQ(StartThread(WindowProcedure, 50000), 2);
  ASSERT_TRUE(WaitUntil([] { return engine::Threads().at(1).topWindow != nullptr; }));
  EXPECT_EQ(engine::Threads().at(1).stackSize, 50000u);
  PostEvent(kEventCloseWindow, 0, 2);
  ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
}

std::atomic<int> post_to_nobody{-1};
void PostToThreadOne(const std::string& field, const std::string&, const std::string&) {
  post_to_nobody = PostEvent(kEventAccepted, 1, 3) ? 1 : 0;  // thread 3 does not exist
  PostEvent(kEventAccepted, std::stoi(field), 1);
}

TEST_F(ThreadStart, PostToThreadOneReachesItsWindowAndAThreadWithoutWindowIgnoresIt) {
  TestWindow frame;
  ASSERT_EQ(StartThread(PostToThreadOne, 0, "7"), 2);
  int32_t field = 0;
  RunAcceptLoop([&](EventCode e) {
    if (e == kEventAccepted) {
      field = AcceptedField();
      PostEvent(kEventCloseWindow);
    }
  });
  EXPECT_EQ(field, 7);
  EXPECT_EQ(post_to_nobody, 0);
  EXPECT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
  // Thread 2 has ended: posting to it is ignored.
  EXPECT_FALSE(PostEvent(kEventAccepted, 1, 2));
}

WindowEventState* frame_state = nullptr;
std::atomic<int> child_closedowns{0};
void MdiChild(const std::string&, const std::string&, const std::string&) {
  TestWindow w(false, frame_state);
  auto seen = RunAcceptLoop();
  child_closedowns += static_cast<int>(Only(seen, {kEventCloseDown}).size());
}

TEST_F(ThreadStart, FrameClosesAfterItsMdiChildrenAcceptCloseDown) {
  TestWindow frame;
  frame_state = &frame.state;
  child_closedowns = 0;
  ASSERT_EQ(StartThread(MdiChild), 2);
  ASSERT_EQ(StartThread(MdiChild), 3);
  ASSERT_TRUE(WaitUntil([&] { return frame.state.mdiChildren().size() == 2; }));
  PostMessageA(frame.hwnd, WM_CLOSE, 0, 0);
  auto seen = RunAcceptLoop();
  EXPECT_EQ(Only(seen, {kEventCloseWindow}).size(), 1u);
  EXPECT_TRUE(frame.state.mdiChildren().empty());
  EXPECT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
  EXPECT_EQ(child_closedowns, 2);
  frame_state = nullptr;
}

std::atomic<DWORD> maximize_seen_on{0};
std::atomic<bool> sent_ok{false};
HWND send_target = nullptr;
int NoteMaximize(void*) {
  maximize_seen_on = GetCurrentThreadId();
  return 0;
}
void SendToThreadOne(const std::string&, const std::string&, const std::string&) {
  // This thread holds the runtime lock while thread 1 waits in its loop.
  DWORD_PTR answer = 0;
  sent_ok = SendMessageTimeoutA(send_target, WM_SYSCOMMAND, SC_MAXIMIZE, 0, SMTO_NORMAL, 10000,
                                &answer) != 0;
  PostEvent(kEventCloseWindow, 0, 1);
}

TEST_F(ThreadStart, MessageSentToAWaitingThreadRunsUnderTheSendersHold) {
  TestWindow w(true);
  RegisterHandler(kEventMaximize, NoteMaximize, nullptr);
  send_target = w.hwnd;
  maximize_seen_on = 0;
  ASSERT_EQ(StartThread(SendToThreadOne), 2);
  RunAcceptLoop();
  EXPECT_TRUE(sent_ok);  // no deadlock between the lock and the send
  EXPECT_EQ(maximize_seen_on, GetCurrentThreadId());
  EXPECT_TRUE(IsZoomed(w.hwnd));
  EXPECT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
}

std::atomic<bool> holder_done{false};
std::atomic<bool> handler_held_lock{false};
std::atomic<bool> handler_after_holder{false};
int NoteLockAtMaximize(void*) {
  handler_held_lock = RuntimeLock::Instance().HeldByMe();
  handler_after_holder = holder_done.load();
  return 0;
}
void PostWhileHolding(const std::string&, const std::string&, const std::string&) {
  PostMessageA(send_target, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  Sleep(300);  // thread 1's box dispatches the message meanwhile; it must wait for us
  HWND box = nullptr;
  for (int i = 0; i < 500 && box == nullptr; ++i, Sleep(10)) box = FindWindowA(nullptr, "Modal wait");
  if (box != nullptr) PostMessageA(box, WM_COMMAND, IDOK, 0);
  holder_done = true;
}

TEST_F(ThreadStart, WindowProcedureRunFromAModalBoxTakesTheLock) {
  TestWindow w(true);
  RegisterHandler(kEventMaximize, NoteLockAtMaximize, nullptr);
  send_target = w.hwnd;
  holder_done = false;
  handler_held_lock = false;
  ASSERT_EQ(StartThread(PostWhileHolding), 2);
  {
    ModalBoxScope box;  // the lock is given up while the box runs
    MessageBoxA(nullptr, "waiting", "Modal wait", MB_OK);
  }
  EXPECT_TRUE(IsZoomed(w.hwnd));
  EXPECT_TRUE(handler_held_lock);
  EXPECT_TRUE(handler_after_holder);
  EXPECT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));
}

// Two procedures post numbered events at each other's windows.
constexpr int kHammerPosts = 3000;
std::map<int, std::vector<int32_t>> hammer_received;
std::atomic<int> hammer_ready{0};
void Hammer(const std::string& peer_text, const std::string&, const std::string&) {
  TestWindow w;
  int peer = std::stoi(peer_text);
  int me = CurrentThreadNumber();
  ++hammer_ready;
  ASSERT_TRUE(WaitUntil([] { return hammer_ready == 2; }));
  int sent = 0;
  bool peer_done = false;
  std::vector<int32_t>& got = hammer_received[me];
  while (true) {
    if (sent < kHammerPosts) {
      ASSERT_TRUE(PostEvent(kEventAccepted, ++sent, peer));
      if (sent == kHammerPosts) PostEvent(kEventNotify, 0, peer);
    }
    if (AcceptNext()) break;
    if (CurrentEvent() == kEventAccepted) got.push_back(CurrentField());
    if (CurrentEvent() == kEventNotify) peer_done = true;
    if (peer_done && sent == kHammerPosts) {
      // Both sides have posted everything; the peer's window must stay until
      // its own posts are taken, so give it time to end first.
      break;
    }
  }
  ++hammer_ready;
  ASSERT_TRUE(WaitUntil([] { return hammer_ready == 4; }));
}

TEST_F(ThreadStart, TwoThreadsHammeringPostsLoseAndDuplicateNothing) {
  hammer_received.clear();
  hammer_ready = 0;
  ASSERT_EQ(StartThread(Hammer, 0, "3"), 2);
  ASSERT_EQ(StartThread(Hammer, 0, "2"), 3);
  ASSERT_TRUE(WaitUntil([] { return RunningThreads() == 0; }, 60000));
  for (int n : {2, 3}) {
    const auto& got = hammer_received[n];
    ASSERT_EQ(got.size(), static_cast<size_t>(kHammerPosts)) << n;
    for (int i = 0; i < kHammerPosts; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], i + 1);
  }
}

// Post-to-delivery latency: thread 2 answers each post of thread 1.
void Echo(const std::string&, const std::string&, const std::string&) {
  TestWindow w;
  PostEvent(kEventNotify, 0, 1);  // ready
  RunAcceptLoop([](EventCode e) {
    if (e == kEventAccepted) PostEvent(kEventAccepted, CurrentField(), 1);
  });
}

// A measurement, run on purpose: --gtest_also_run_disabled_tests.
TEST_F(ThreadStart, DISABLED_MeasurePostToDeliveryLatency) {
  TestWindow w;
  ASSERT_EQ(StartThread(Echo), 2);
  constexpr int kRounds = 2000;
  LARGE_INTEGER freq, start, stop;
  QueryPerformanceFrequency(&freq);
  int rounds = 0;
  RunAcceptLoop([&](EventCode e) {
    if (e == kEventNotify) {
      QueryPerformanceCounter(&start);
      PostEvent(kEventAccepted, 1, 2);
    } else if (e == kEventAccepted) {
      if (++rounds == kRounds) {
        QueryPerformanceCounter(&stop);
        PostEvent(kEventCloseWindow, 0, 2);
        PostEvent(kEventCloseWindow);
      } else {
        PostEvent(kEventAccepted, rounds + 1, 2);
      }
    }
  });
  ASSERT_EQ(rounds, kRounds);
  double us = 1e6 * static_cast<double>(stop.QuadPart - start.QuadPart) /
              static_cast<double>(freq.QuadPart) / (2.0 * kRounds);
  std::printf("post-to-delivery latency across threads: %.1f us (mean of %d posts)\n", us,
              2 * kRounds);
  EXPECT_TRUE(WaitUntil([] { return RunningThreads() == 0; }));

  // The same within one thread: each event is posted by the handling of the last.
  TestWindow own;
  rounds = 0;
  QueryPerformanceCounter(&start);
  PostEvent(kEventAccepted, 1);
  RunAcceptLoop([&](EventCode e) {
    if (e != kEventAccepted) return;
    if (++rounds == kRounds) {
      QueryPerformanceCounter(&stop);
      PostEvent(kEventCloseWindow);
    } else {
      PostEvent(kEventAccepted, rounds + 1);
    }
  });
  ASSERT_EQ(rounds, kRounds);
  us = 1e6 * static_cast<double>(stop.QuadPart - start.QuadPart) /
       static_cast<double>(freq.QuadPart) / kRounds;
  std::printf("post-to-delivery latency within a thread: %.1f us (mean of %d posts)\n", us,
              kRounds);
}

// CPU time of a program that waits in its loop for 30 seconds with a one-second
// TIMER (run on purpose: --gtest_also_run_disabled_tests).
TEST_F(ThreadStart, DISABLED_MeasureIdleCpuOverThirtySeconds) {
  TestWindow w;
  SetWindowTimer(&w.state, 100);
  FILETIME created, exited, kernel0, user0, kernel1, user1;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel0, &user0);
  DWORD begin = GetTickCount();
  int ticks = 0;
  RunAcceptLoop([&](EventCode e) {
    if (e == kEventTimer && ++ticks >= 30) PostEvent(kEventCloseWindow);
  });
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel1, &user1);
  auto ms = [](FILETIME a, FILETIME b) {
    ULARGE_INTEGER x{{a.dwLowDateTime, a.dwHighDateTime}}, y{{b.dwLowDateTime, b.dwHighDateTime}};
    return static_cast<double>(y.QuadPart - x.QuadPart) / 10000.0;
  };
  std::printf("idle for %lu ms with %d timer ticks: %.1f ms user, %.1f ms kernel CPU\n",
              GetTickCount() - begin, ticks, ms(user0, user1), ms(kernel0, kernel1));
  EXPECT_EQ(ticks, 30);
}

}  // namespace
}  // namespace korvex
