// Runtime errors end the program with exit code 2 after their message box,
// checked from a second process.
#include "window/runtime_error.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/os/child_process.h"
#include "window/event_engine.h"

KORVEX_CHILD(AcceptWithoutWindow) {
  korvex::StartEventEngine();
  korvex::AcceptNext();
  return 0;  // never reached
}

KORVEX_CHILD(NormalEnd) {
  korvex::StartEventEngine();
  korvex::RuntimeHalt(0);
}

namespace korvex {
namespace {

BOOL CALLBACK CollectText(HWND child, LPARAM out) {
  char text[512] = {};
  DWORD_PTR length = 0;  // WM_GETTEXT is carried across processes
  SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, &length);
  *reinterpret_cast<std::string*>(out) += std::string(text) + "\n";
  return TRUE;
}

TEST(RuntimeError, AcceptWithoutAWindowShowsTheBoxAndExitsWith2) {
  std::unique_ptr<os::ChildProcess> child;
  ASSERT_TRUE(os::ChildProcess::Start("AcceptWithoutWindow", {}, &child).ok());
  HWND box = nullptr;
  for (int i = 0; i < 1500 && box == nullptr; ++i) {
    Sleep(10);
    box = FindWindowA(nullptr, "Runtime error");
  }
  ASSERT_NE(box, nullptr) << "no \"Runtime error\" box appeared";
  std::string texts;
  for (int i = 0; i < 500 && texts.find("ACCEPT") == std::string::npos; ++i) {
    Sleep(10);  // the box fills its text in after it appears
    texts.clear();
    EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&texts));
  }
  EXPECT_NE(texts.find("ACCEPT loop requires a window : CTLMAIN"), std::string::npos) << texts;
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  int code = -1;
  ASSERT_TRUE(child->Wait(20000, &code));
  EXPECT_EQ(code, 2);
}

TEST(RuntimeError, NormalEndExitsWith0AndTextsComeWithTheirDetail) {
  std::unique_ptr<os::ChildProcess> child;
  ASSERT_TRUE(os::ChildProcess::Start("NormalEnd", {}, &child).ok());
  int code = -1;
  ASSERT_TRUE(child->Wait(20000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(RuntimeErrorReport(532, nullptr), "Unable to open MDI window on APPLICATION's thread");
  EXPECT_EQ(RuntimeErrorReport(507, "CTLLIST"), "Internal error 07 : CTLLIST");
}

}  // namespace
}  // namespace korvex
