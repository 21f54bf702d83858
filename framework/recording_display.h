// A MessageDisplay for tests: records every message and halt, and answers
// from a script of button presses (the default button when the script is
// empty). Halt records the code and returns, so the code under test goes on.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "framework/message_display.h"

namespace korvex::framework {

class RecordingDisplay : public MessageDisplay {
 public:
  struct Shown {
    std::string text;
    std::string title;
    MessageIcon icon;
    uint32_t buttons;
    uint32_t default_button;
  };
  struct Halted {
    int exit_code;
    std::string message;
  };

  // The next ShowMessage answers button (in the order scripted).
  void PressNext(uint32_t button) { presses_.push_back(button); }

  uint32_t ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                       uint32_t buttons, uint32_t default_button) override {
    shown.push_back({text, title, icon, buttons, default_button});
    if (presses_.empty()) return default_button;
    uint32_t button = presses_.front();
    presses_.pop_front();
    return button;
  }

  void Halt(int exit_code, const std::string& message) override {
    halts.push_back({exit_code, message});
  }

  std::vector<Shown> shown;
  std::vector<Halted> halts;

 private:
  std::deque<uint32_t> presses_;
};

}  // namespace korvex::framework
