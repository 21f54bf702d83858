// A scripted ACCEPT loop and a fake open window for tests of the classes that
// drive a window. Events posted to the fake window join the loop's queue, the
// accept-all pass ends in EVENT:Completed, and an EVENT:CloseWindow or
// EVENT:CloseDown that the program did not refuse ends the loop, as the event
// engine does.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/event_source.h"
#include "framework/window_port.h"

namespace korvex::framework {

struct ScriptedEvent {
  EventCode event = 0;
  int32_t field = 0;
  uint16_t key = 0;
  bool operator==(const ScriptedEvent&) const = default;
};

class ScriptedEventSource : public EventSource {
 public:
  void Queue(EventCode event, int32_t field = 0, uint16_t key = 0) { queue.push_back({event, field, key}); }

  bool AcceptNext() override {
    bool was_close = current_.event == kEventCloseWindow || current_.event == kEventCloseDown;
    if (was_close && !refused_) {
      current_ = {};
      return true;
    }
    if (queue.empty()) {
      current_ = {};
      return true;
    }
    current_ = queue.front();
    queue.pop_front();
    refused_ = false;
    if (current_.key != 0) last_key_ = current_.key;
    delivered.push_back(current_);
    return false;
  }
  EventCode CurrentEvent() override { return current_.event; }
  int32_t CurrentField() override { return current_.field; }
  int32_t FocusField() override { return focus; }
  uint16_t KeyCode() override { return current_.event != 0 ? current_.key : last_key_; }
  void SetKeyCode(uint16_t key) override {
    current_.key = key;
    last_key_ = key;
  }
  void RefuseEvent() override {
    refused_ = true;
    refused.push_back(current_);
  }

  std::deque<ScriptedEvent> queue;      // events still to come
  std::vector<ScriptedEvent> delivered; // events handed out, in order
  std::vector<ScriptedEvent> refused;   // events whose default action was refused
  int32_t focus = 0;                    // the focused control

 private:
  ScriptedEvent current_;
  bool refused_ = false;
  uint16_t last_key_ = 0;
};

struct WindowPost {
  EventCode event = 0;
  int32_t control = 0;
  int thread = 0;  // 0: this window
  bool operator==(const WindowPost&) const = default;
};

class FakeWindowPort : public WindowPort {
 public:
  // With a loop, posts and the accept-all pass reach it, and selecting a
  // control moves its focus.
  explicit FakeWindowPort(ScriptedEventSource* loop = nullptr) : loop_(loop) {}

  void PostEvent(EventCode event, int32_t control) override {
    posts.push_back({event, control, 0});
    if (loop_ != nullptr) loop_->Queue(event, control);
  }
  void PostEventToThread(EventCode event, int32_t control, int thread) override {
    posts.push_back({event, control, thread});
  }
  void Select(int32_t control) override {
    selects.push_back(control);
    if (loop_ != nullptr) loop_->focus = control;
  }
  void SelectAll() override {
    ++select_alls;
    if (loop_ != nullptr) loop_->Queue(kEventCompleted);
  }
  void Display(int32_t control) override { displays.push_back(control); }
  int32_t ControlType(int32_t control) override {
    auto it = types.find(control);
    return it == types.end() ? 0 : it->second;
  }
  std::string Property(int32_t control, uint32_t property) override {
    auto it = properties.find({control, property});
    return it == properties.end() ? std::string() : it->second;
  }
  void SetProperty(int32_t control, uint32_t property, const std::string& value) override {
    properties[{control, property}] = value;
  }
  void Beep() override { ++beeps; }
  void BeginWaitCursor() override {
    ++wait_cursors;
    ++wait_depth;
  }
  void EndWaitCursor() override { --wait_depth; }

  std::vector<WindowPost> posts;
  std::vector<int32_t> selects;
  std::vector<int32_t> displays;
  std::map<int32_t, int32_t> types;
  std::map<std::pair<int32_t, uint32_t>, std::string> properties;
  int select_alls = 0;
  int beeps = 0;
  int wait_cursors = 0;  // how often the wait cursor was shown
  int wait_depth = 0;    // shown and not yet taken back

 private:
  ScriptedEventSource* loop_;
};

}  // namespace korvex::framework
