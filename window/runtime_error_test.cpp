// Runtime errors end the program with exit code 2 after their message box,
// checked from a second process.
#include "window/runtime_error.h"

#include <gtest/gtest.h>

#include <string>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "runtime/os/child_process.h"
#include "window/engine_test_window.h"
#include "window/event_engine.h"
#include "window/thread_start.h"

namespace {

// An installed handler takes the report instead of the box; the halt follows.
std::string report_path;
void WriteReport(int code, const std::string& text) {
  std::ofstream(report_path) << code << " " << text;
}

void StartWithReport(const std::vector<std::string>& args) {
  report_path = args.at(0);
  korvex::SetRuntimeErrorHandler(WriteReport);
  korvex::StartEventEngine();
}

void RaiseIfForbidden(korvex::WindowKind kind) {
  if (int error = korvex::WindowOpenError(kind)) korvex::RaiseRuntimeError(error);
}

void OpenMdiChild(const std::string&, const std::string&, const std::string&) {
  RaiseIfForbidden(korvex::WindowKind::kMdiChild);
}

}  // namespace

KORVEX_CHILD(MdiChildOnFrameThread) {
  StartWithReport(args);
  korvex::test::TestWindow frame;
  korvex::SetWindowTraits(&frame.state, false, true);
  RaiseIfForbidden(korvex::WindowKind::kMdiChild);  // allowed on other threads only
  return 0;
}

KORVEX_CHILD(SecondFrame) {
  StartWithReport(args);
  korvex::test::TestWindow frame;
  korvex::SetWindowTraits(&frame.state, false, true);
  RaiseIfForbidden(korvex::WindowKind::kFrame);
  return 0;
}

KORVEX_CHILD(MdiChildWhileBoxOpen) {
  StartWithReport(args);
  korvex::test::TestWindow frame;
  korvex::SetWindowTraits(&frame.state, false, true);
  korvex::StartThread(OpenMdiChild);
  korvex::ModalBoxScope box;  // the started thread runs while the box is up
  MessageBoxA(nullptr, "busy", "Busy", MB_OK);
  return 0;
}

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

// Runs a child role that must halt with 2 after reporting `code` to its handler.
void ExpectHaltWithReport(const char* role, int code, const char* text) {
  std::string path = std::string(std::getenv("TEMP") != nullptr ? std::getenv("TEMP") : ".") +
                     "\\korvex_report_" + role + ".txt";
  std::remove(path.c_str());
  std::unique_ptr<os::ChildProcess> child;
  ASSERT_TRUE(os::ChildProcess::Start(role, {path}, &child).ok());
  int exit_code = -1;
  ASSERT_TRUE(child->Wait(20000, &exit_code)) << role;
  EXPECT_EQ(exit_code, 2) << role;
  std::stringstream report;
  report << std::ifstream(path).rdbuf();
  EXPECT_EQ(report.str(), std::to_string(code) + " " + text) << role;
  std::remove(path.c_str());
}

TEST(RuntimeError, ForbiddenOpensHaltThroughTheInstalledHandler) {
  ExpectHaltWithReport("MdiChildOnFrameThread", 532, "Unable to open MDI window on APPLICATION's thread");
  ExpectHaltWithReport("SecondFrame", 526,
                       "Unable to open APPLICATION (APPLICATION already active)");
  ExpectHaltWithReport("MdiChildWhileBoxOpen", 531,
                       "Unable to open MDI window (system is MODAL)");
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
