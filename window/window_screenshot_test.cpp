// Not a test: shows the shuffle window's empty shell and a message box for
// scripts/window-screenshots.sh, which takes the pictures. Runs only with
// --gtest_also_run_disabled_tests and KORVEX_SCREENSHOT_DIR set. For each
// picture it writes "<name>.ready" with the screen rectangle "x y w h" and
// waits (up to 60 s) for the script's "<name>.taken".
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "window/event_engine.h"
#include "window/list_sheet_factories.h"
#include "window/message_box.h"
#include "window/simple_controls.h"
#include "window/window_object.h"
#include "window/window_open.h"

namespace korvex {
namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Pump(DWORD milliseconds) {
  const DWORD until = GetTickCount() + milliseconds;
  while (static_cast<LONG>(until - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
}

// Announces the window's rectangle and waits for the picture; pump: whether
// this thread must keep serving its windows meanwhile.
bool Announce(const std::string& dir, const char* name, HWND hwnd, bool pump) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  const std::string ready = dir + "/" + name + ".ready";
  const std::string part = ready + ".part";
  FILE* out = std::fopen(part.c_str(), "w");
  if (out == nullptr) return false;
  std::fprintf(out, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fclose(out);
  MoveFileA(part.c_str(), ready.c_str());
  const std::string taken = dir + "/" + name + ".taken";
  for (int i = 0; i < 600 && !Exists(taken); ++i) {
    if (pump) Pump(100); else Sleep(100);
  }
  return Exists(taken);
}

TEST(DISABLED_WindowScreenshots, ShuffleShellAndMessageBox) {
  const char* dir = std::getenv("KORVEX_SCREENSHOT_DIR");
  ASSERT_NE(dir, nullptr) << "set KORVEX_SCREENSHOT_DIR";
  StartEventEngine();
  RegisterSimpleControls();
  RegisterListAndSheetControls();
  WindowObject window;
  std::string detail;
  ASSERT_EQ(OpenWindow(window, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), 0) << detail;
  SetWindowTextA(window.hwnd(), "Record shuffle");
  Pump(500);
  EXPECT_TRUE(Announce(dir, "shuffle-window", window.hwnd(), true));

  const DWORD me = GetCurrentThreadId();
  std::thread helper([&] {
    HWND box = nullptr;
    for (int i = 0; i < 500 && box == nullptr; ++i) {
      EnumThreadWindows(
          me,
          [](HWND hwnd, LPARAM param) -> BOOL {
            char name[16] = {};
            GetClassNameA(hwnd, name, sizeof name);
            if (std::string(name) != "#32770" || !IsWindowVisible(hwnd)) return TRUE;
            *reinterpret_cast<HWND*>(param) = hwnd;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&box));
      if (box == nullptr) Sleep(20);
    }
    if (box == nullptr) return;
    Sleep(300);
    Announce(dir, "message-box", box, false);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), 0);
  });
  const uint32_t answer =
      ShowMessage("The record was changed by another station.|Do you want to save your changes & go on?",
                  "Update Record", {kMessageIconQuestion}, 2 | 4 | 64, 2);
  helper.join();
  EXPECT_EQ(answer, 4u);
  CloseWindow(window);
}

}  // namespace
}  // namespace korvex
