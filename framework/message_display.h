// How the error reporter reaches the user: show a message box and answer the
// button pressed, or end the program. The window system implements this with
// its message box and the runtime halt; tests use RecordingDisplay
// (framework/recording_display.h); tools use ConsoleDisplay.
#pragma once

#include <cstdint>
#include <string>

namespace korvex::framework {

// Button bits of a message box (a mask; Yes and No together are 6).
inline constexpr uint32_t kButtonOk = 1;
inline constexpr uint32_t kButtonYes = 2;
inline constexpr uint32_t kButtonNo = 4;
inline constexpr uint32_t kButtonAbort = 8;
inline constexpr uint32_t kButtonRetry = 16;
inline constexpr uint32_t kButtonIgnore = 32;
inline constexpr uint32_t kButtonCancel = 64;
inline constexpr uint32_t kButtonHelp = 128;

// The standard icons of a message box (their style codes).
enum class MessageIcon : uint32_t {
  kNone = 0,
  kStop = 0x10,
  kQuestion = 0x20,
  kExclamation = 0x30,
  kInformation = 0x40,
};

// Exit code of a program ended by a fatal message or a runtime error.
inline constexpr int kFatalExitCode = 2;

class MessageDisplay {
 public:
  virtual ~MessageDisplay() = default;

  // Shows text (a "|" stands for a line break) under title with icon and the
  // buttons of the mask; default_button is the bit that reacts to Enter.
  // Answers the bit of the button pressed, 0 when closed without one.
  virtual uint32_t ShowMessage(const std::string& text, const std::string& title,
                               MessageIcon icon, uint32_t buttons, uint32_t default_button) = 0;

  // Ends the program with exit_code; message says why (a fatal message's
  // title). Does not return in a program; a test's display may return, and the
  // caller then goes on as if the user had dismissed the message.
  virtual void Halt(int exit_code, const std::string& message) = 0;
};

// For programs without a window system: messages go to stderr, questions take
// their default button, Halt flushes and exits the process.
class ConsoleDisplay : public MessageDisplay {
 public:
  uint32_t ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                       uint32_t buttons, uint32_t default_button) override;
  void Halt(int exit_code, const std::string& message) override;
};

}  // namespace korvex::framework
