// The popup presenter of the window system: popups through the popup display,
// mimicked controls read from the window's control windows, events posted
// through the event engine. Toolboxes run on a thread from the runtime's
// thread table.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "framework/popup_presenter.h"

namespace korvex {

class EnginePopupPresenter : public framework::PopupPresenter {
 public:
  EnginePopupPresenter() = default;
  ~EnginePopupPresenter() override;
  EnginePopupPresenter(const EnginePopupPresenter&) = delete;
  EnginePopupPresenter& operator=(const EnginePopupPresenter&) = delete;

  int ShowPopup(const std::string& definition, int x, int y) override;
  int CurrentThread() override;
  // The calling thread's current window (its HWND).
  framework::WindowRef CurrentWindow() override;
  framework::ControlLook ReadControl(framework::WindowRef window, int control) override;
  void PostEvent(uint16_t event, int control, int thread) override;
  void ClearKeyCode() override;
  bool StartToolboxThread(std::function<void()> body) override;
  void JoinToolboxThread() override;
  // A toolbox window on the calling thread (window/popup_toolbox.h).
  std::unique_ptr<framework::ToolboxWindow> OpenToolbox() override;

 private:
  HANDLE done_ = nullptr;  // set when the toolbox thread's body has returned
  bool started_ = false;   // a toolbox thread was started and not joined
};

}  // namespace korvex
