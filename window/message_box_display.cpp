#include "window/message_box_display.h"

#include "window/message_box.h"
#include "window/runtime_error.h"

namespace korvex {

uint32_t MessageBoxDisplay::ShowMessage(const std::string& text, const std::string& title,
                                        framework::MessageIcon icon, uint32_t buttons, uint32_t default_button) {
  MessageIcon box_icon;
  box_icon.code = static_cast<uint32_t>(icon);
  return korvex::ShowMessage(text, title, box_icon, buttons, default_button);
}

void MessageBoxDisplay::Halt(int exit_code, const std::string& /*message*/) { RuntimeHalt(exit_code); }

}  // namespace korvex
