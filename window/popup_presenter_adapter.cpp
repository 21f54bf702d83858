#include "window/popup_presenter_adapter.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/thread_number.h"
#include "window/event_engine.h"
#include "window/event_source_adapter.h"
#include "window/popup_menu.h"
#include "window/popup_toolbox.h"
#include "window/runtime_lock.h"
#include "window/thread_start.h"
#include "window/toolbar_port_adapter.h"

namespace korvex {

namespace {

struct ToolboxStart {
  std::function<void()> body;
  HANDLE done;
};

// The thread procedure of a toolbox: its start record travels as text.
void RunToolboxThread(const std::string& address, const std::string&, const std::string&) {
  auto* start = reinterpret_cast<ToolboxStart*>(static_cast<uintptr_t>(std::strtoull(address.c_str(), nullptr, 16)));
  start->body();
  SetEvent(start->done);
  delete start;
}

}  // namespace

EnginePopupPresenter::~EnginePopupPresenter() {
  JoinToolboxThread();
  if (done_ != nullptr) CloseHandle(done_);
}

int EnginePopupPresenter::ShowPopup(const std::string& definition, int x, int y) {
  return ShowPopupMenu(definition, x, y);
}

int EnginePopupPresenter::CurrentThread() { return CurrentThreadNumber(); }

framework::WindowRef EnginePopupPresenter::CurrentWindow() {
  WindowEventState* w = ThreadWindow();
  return w != nullptr ? static_cast<framework::WindowRef>(w->handle) : 0;
}

framework::ControlLook EnginePopupPresenter::ReadControl(framework::WindowRef window, int control) {
  framework::ControlLook look;
  HWND parent = reinterpret_cast<HWND>(window);
  if (parent == nullptr || control == 0 || !IsWindow(parent)) return look;
  HWND hwnd = ControlToolbarPort::FindDescendant(parent, control);
  if (hwnd == nullptr) return look;
  look.exists = true;
  char text[1025] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  look.text = text;
  look.disabled = IsWindowEnabled(hwnd) == FALSE;
  return look;
}

void EnginePopupPresenter::PostEvent(uint16_t event, int control, int thread) {
  korvex::PostEvent(event, control, thread);
}

void EnginePopupPresenter::ClearKeyCode() { EngineEventSource().SetKeyCode(0); }

bool EnginePopupPresenter::StartToolboxThread(std::function<void()> body) {
  JoinToolboxThread();
  if (done_ == nullptr) done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (done_ == nullptr) return false;
  ResetEvent(done_);
  auto* start = new ToolboxStart{std::move(body), done_};
  char address[32];
  std::snprintf(address, sizeof address, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(start)));
  if (StartThread(&RunToolboxThread, 0, address) == 0) {
    delete start;
    return false;
  }
  started_ = true;
  return true;
}

void EnginePopupPresenter::JoinToolboxThread() {
  if (!started_) return;
  {
    // The toolbox thread needs the runtime lock to finish, and reads this
    // thread's controls (messages sent here are served while waiting).
    RuntimeLockRelease unlocked;
    while (MsgWaitForMultipleObjects(1, &done_, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
  }
  started_ = false;
}

std::unique_ptr<framework::ToolboxWindow> EnginePopupPresenter::OpenToolbox() { return EngineToolboxWindow::Open(); }

}  // namespace korvex
