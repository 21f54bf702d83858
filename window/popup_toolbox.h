// The toolbox of a popup menu: a small window on the toolbox's own thread
// with one push button per item, driven by that thread's ACCEPT loop.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/popup_presenter.h"
#include "window/core/event_window_state.h"

namespace korvex {

class EngineToolboxWindow : public framework::ToolboxWindow {
 public:
  // Opens the window on the calling thread (it becomes the thread's current
  // window); nullptr when it cannot be made.
  static std::unique_ptr<EngineToolboxWindow> Open();
  ~EngineToolboxWindow() override;
  EngineToolboxWindow(const EngineToolboxWindow&) = delete;
  EngineToolboxWindow& operator=(const EngineToolboxWindow&) = delete;

  void SetTitle(const std::string& title) override;
  // Icons are not drawn: every button shows its text.
  void AddButton(int number, const std::string& icon, const std::string& text) override;
  void Layout() override;
  void UpdateButton(int number, const std::string& icon, const std::string& text, bool enabled) override;
  int WaitForButton(const std::function<void()>& on_tick) override;
  void RequestClose() override;

  HWND hwnd() const { return hwnd_; }

 private:
  EngineToolboxWindow() = default;

  HWND hwnd_ = nullptr;
  WindowEventState state_;
  int buttons_ = 0;
};

}  // namespace korvex
