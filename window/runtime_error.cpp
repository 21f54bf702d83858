#include "window/runtime_error.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

#include "window/event_engine.h"

namespace korvex {

namespace {
std::atomic<RuntimeErrorHandler> installed_handler{nullptr};
}  // namespace

void SetRuntimeErrorHandler(RuntimeErrorHandler handler) { installed_handler.store(handler); }

std::string RuntimeErrorReport(int code, const char* detail) {
  char text[256] = {};
  if (LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(code), text, sizeof text) <= 0) {
    return RuntimeErrorMessage(code, detail);  // a program without the string table
  }
  std::string report = text;
  if (detail != nullptr && *detail != '\0') {
    report += " : ";
    report += detail;
  }
  return report;
}

void RaiseRuntimeError(int code, const char* detail) {
  std::string text = RuntimeErrorReport(code, detail);
  if (RuntimeErrorHandler handler = installed_handler.load()) {
    handler(code, text);
  } else {
    ModalBoxScope modal;
    MessageBoxA(nullptr, text.c_str(), "Runtime error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  }
  RuntimeHalt(kRuntimeErrorExitCode);
}

void RuntimeHalt(int exit_code) {
  std::fflush(nullptr);
  ExitProcess(static_cast<UINT>(exit_code));
}

}  // namespace korvex
