// The error reporter's display, shown in real message boxes; Halt ends the
// program through the runtime's halt path.
#pragma once

#include "framework/message_display.h"

namespace korvex {

class MessageBoxDisplay : public framework::MessageDisplay {
 public:
  uint32_t ShowMessage(const std::string& text, const std::string& title, framework::MessageIcon icon,
                       uint32_t buttons, uint32_t default_button) override;
  void Halt(int exit_code, const std::string& message) override;
};

}  // namespace korvex
