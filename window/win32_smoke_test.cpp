// Proves that the GUI pipeline works where the tests run: a real window is
// created, a message posted from a second thread reaches its procedure
// through the message loop, and the window closes cleanly.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr UINT kPing = WM_APP + 1;

struct SmokeState {
  int pings = 0;
  LPARAM payload = 0;
  DWORD receiving_thread = 0;
};

LRESULT CALLBACK SmokeProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<SmokeState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case kPing:
      state->pings++;
      state->payload = lparam;
      state->receiving_thread = GetCurrentThreadId();
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(static_cast<int>(wparam));
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wparam, lparam);
  }
}

TEST(Win32Smoke, MessagePostedFromAnotherThreadIsPumpedToTheWindow) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = SmokeProc;
  wc.hInstance = instance;
  wc.lpszClassName = "KorvexSmoke";
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  ASSERT_NE(RegisterClassA(&wc), 0);

  HWND hwnd = CreateWindowA("KorvexSmoke", "Korvex smoke", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                            nullptr, nullptr, instance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  SmokeState state;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);

  char title[64] = {};
  GetWindowTextA(hwnd, title, sizeof title);
  EXPECT_STREQ(title, "Korvex smoke");

  std::thread poster([hwnd] { PostMessageA(hwnd, kPing, 0, 4242); });

  // A timer bounds the loop in case the message never arrives.
  UINT_PTR timer = SetTimer(nullptr, 0, 10000, nullptr);
  MSG msg;
  bool timed_out = false;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
      timed_out = true;
      DestroyWindow(hwnd);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  KillTimer(nullptr, timer);
  poster.join();

  EXPECT_FALSE(timed_out);
  EXPECT_EQ(state.pings, 1);
  EXPECT_EQ(state.payload, 4242);
  EXPECT_EQ(state.receiving_thread, GetCurrentThreadId());
  EXPECT_FALSE(IsWindow(hwnd));
  UnregisterClassA("KorvexSmoke", instance);
}

}  // namespace
