// A scripted popup presenter for tests: records every menu text and post,
// answers the next scripted choice, keeps control looks in a map, and runs the
// toolbox on a real thread with a scripted sequence of button presses.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/popup_presenter.h"

namespace korvex::framework {

struct PostedEvent {
  uint16_t event = 0;
  int control = 0;
  int thread = 0;
  bool operator==(const PostedEvent&) const = default;
};

class FakePopupPresenter : public PopupPresenter {
 public:
  // Toolbox window whose presses come from the presenter's toolbox script; an
  // empty script waits until the window is closed.
  class Toolbox : public ToolboxWindow {
   public:
    explicit Toolbox(FakePopupPresenter* owner) : owner_(owner) {}
    ~Toolbox() override {
      std::lock_guard<std::mutex> lock(owner_->mutex_);
      owner_->toolbox_closed = true;
    }
    void SetTitle(const std::string& title) override {
      std::lock_guard<std::mutex> lock(owner_->mutex_);
      owner_->toolbox_title = title;
    }
    void AddButton(int number, const std::string& icon, const std::string& text) override {
      std::lock_guard<std::mutex> lock(owner_->mutex_);
      owner_->buttons.push_back(std::to_string(number) + ":" + icon + ":" + text);
    }
    void Layout() override {}
    void UpdateButton(int number, const std::string& icon, const std::string& text, bool enabled) override {
      std::lock_guard<std::mutex> lock(owner_->mutex_);
      owner_->updates.push_back(std::to_string(number) + ":" + icon + ":" + text + (enabled ? "" : ":off"));
    }
    int WaitForButton(const std::function<void()>& on_tick) override {
      on_tick();
      std::unique_lock<std::mutex> lock(owner_->mutex_);
      owner_->changed_.wait(lock, [&] { return closed_ || !owner_->presses.empty(); });
      if (closed_ || owner_->presses.empty()) return 0;
      int n = owner_->presses.front();
      owner_->presses.pop_front();
      return n;
    }
    void RequestClose() override {
      std::lock_guard<std::mutex> lock(owner_->mutex_);
      closed_ = true;
      owner_->changed_.notify_all();
    }

   private:
    FakePopupPresenter* owner_;
    bool closed_ = false;  // guarded by owner_->mutex_
  };

  ~FakePopupPresenter() override { JoinToolboxThread(); }

  int ShowPopup(const std::string& definition, int x, int y) override {
    std::lock_guard<std::mutex> lock(mutex_);
    shown.push_back(definition);
    positions.emplace_back(x, y);
    if (choices.empty()) return 0;
    int n = choices.front();
    choices.pop_front();
    return n;
  }
  int CurrentThread() override { return thread_number; }
  WindowRef CurrentWindow() override { return current_window; }
  ControlLook ReadControl(WindowRef window, int control) override {
    std::lock_guard<std::mutex> lock(mutex_);
    read_windows.push_back(window);
    auto it = controls.find(control);
    return it == controls.end() ? ControlLook() : it->second;
  }
  void PostEvent(uint16_t event, int control, int thread) override {
    std::lock_guard<std::mutex> lock(mutex_);
    posts.push_back({event, control, thread});
    changed_.notify_all();
  }
  void ClearKeyCode() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++key_code_clears;
  }
  bool StartToolboxThread(std::function<void()> body) override {
    if (refuse_thread) return false;
    thread_ = std::thread(std::move(body));
    return true;
  }
  void JoinToolboxThread() override {
    if (thread_.joinable()) thread_.join();
  }
  std::unique_ptr<ToolboxWindow> OpenToolbox() override { return std::make_unique<Toolbox>(this); }

  void SetControl(int control, ControlLook look) {
    std::lock_guard<std::mutex> lock(mutex_);
    controls[control] = std::move(look);
  }
  // Scripts a toolbox button press (thread-safe).
  void Press(int button) {
    std::lock_guard<std::mutex> lock(mutex_);
    presses.push_back(button);
    changed_.notify_all();
  }
  // Waits until at least n events have been posted; false after a second.
  bool WaitForPosts(size_t n) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(1), [&] { return posts.size() >= n; });
  }
  std::vector<PostedEvent> Posts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts;
  }

  // Script and record; read them after the toolbox thread is joined.
  int thread_number = 1;
  WindowRef current_window = 0x100;
  bool refuse_thread = false;
  std::deque<int> choices;
  std::deque<int> presses;
  std::map<int, ControlLook> controls;
  std::vector<std::string> shown;
  std::vector<std::pair<int, int>> positions;
  std::vector<WindowRef> read_windows;
  std::vector<PostedEvent> posts;
  std::vector<std::string> buttons;
  std::vector<std::string> updates;
  std::string toolbox_title;
  bool toolbox_closed = false;
  int key_code_clears = 0;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};

}  // namespace korvex::framework
