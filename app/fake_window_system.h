// A window system for tests of the application's procedures: windows that record what they
// are told and take their events from a script, and threads that are only recorded (a test
// runs a started procedure itself when it wants to).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_system.h"
#include "framework/fake_window.h"

namespace korvex::app::testing {

// A scripted loop that lets a test set the scene (mouse rows, the selected tab) just before
// each event is handed out.
class StagedEventSource : public framework::ScriptedEventSource {
 public:
  bool AcceptNext() override {
    if (ScriptedEventSource::AcceptNext()) return true;
    if (before_event) before_event(delivered.back());
    return false;
  }
  std::function<void(const framework::ScriptedEvent&)> before_event;
};

class FakeProcedureWindow : public ProcedureWindow {
 public:
  bool Build(std::string_view module, std::string_view label) override {
    this->module = std::string(module);
    this->label = std::string(label);
    return build_ok;
  }
  void BindQueue(int32_t list, const Queue* queue) override {
    bound_list = list;
    bound_queue = queue;
  }
  framework::Outcome Open() override {
    ++opens;
    return open_outcome;
  }
  framework::EventSource* events() override { return &loop; }
  framework::WindowPort* port() override { return &window; }
  framework::ToolbarPort* toolbar_port() override { return nullptr; }
  framework::ResizeSurface* resize_surface() override { return nullptr; }

  std::string module, label;
  bool build_ok = true;
  framework::Outcome open_outcome = framework::kOutcomeDone;
  int opens = 0;
  int32_t bound_list = 0;
  const Queue* bound_queue = nullptr;
  StagedEventSource loop;
  framework::FakeWindowPort window{&loop};
};

// What a procedure holds: the window itself stays with the system, so a test can look at it
// after the procedure has ended.
class ProcedureWindowProxy : public ProcedureWindow {
 public:
  explicit ProcedureWindowProxy(FakeProcedureWindow* window) : window_(window) {}
  bool Build(std::string_view module, std::string_view label) override { return window_->Build(module, label); }
  void BindQueue(int32_t list, const Queue* queue) override { window_->BindQueue(list, queue); }
  framework::Outcome Open() override { return window_->Open(); }
  framework::EventSource* events() override { return window_->events(); }
  framework::WindowPort* port() override { return window_->port(); }
  framework::ToolbarPort* toolbar_port() override { return window_->toolbar_port(); }
  framework::ResizeSurface* resize_surface() override { return window_->resize_surface(); }

 private:
  FakeProcedureWindow* window_;
};

class FakeWindowSystem : public WindowSystem {
 public:
  std::unique_ptr<ProcedureWindow> NewWindow() override {
    owned.push_back(std::make_unique<FakeProcedureWindow>());
    FakeProcedureWindow* window = owned.back().get();
    if (prepare) prepare(*window);
    windows.push_back(window);
    return std::make_unique<ProcedureWindowProxy>(window);
  }
  bool StartThread(std::function<void()> procedure, size_t stack_size) override {
    started.push_back(std::move(procedure));
    stacks.push_back(stack_size);
    return true;
  }

  // Called for each new window before the procedure uses it (script its events here).
  std::function<void(FakeProcedureWindow&)> prepare;
  std::vector<std::unique_ptr<FakeProcedureWindow>> owned;
  std::vector<FakeProcedureWindow*> windows;  // every window made, in order
  std::vector<std::function<void()>> started;
  std::vector<size_t> stacks;
};

}  // namespace korvex::app::testing
