#include "framework/message_display.h"

#include <cstdio>
#include <cstdlib>

namespace korvex::framework {

uint32_t ConsoleDisplay::ShowMessage(const std::string& text, const std::string& title,
                                     MessageIcon /*icon*/, uint32_t buttons,
                                     uint32_t default_button) {
  std::string shown = text;
  for (char& c : shown) {
    if (c == '|') c = '\n';
  }
  std::fprintf(stderr, "%s: %s\n", title.c_str(), shown.c_str());
  std::fflush(stderr);
  // No one to ask: the default button answers, else the first one shown.
  if (buttons == 0) return kButtonOk;
  if ((buttons & default_button) != 0 && (default_button & (default_button - 1)) == 0) {
    return default_button;
  }
  return buttons & (~buttons + 1);
}

void ConsoleDisplay::Halt(int exit_code, const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(nullptr);
  std::exit(exit_code);
}

}  // namespace korvex::framework
