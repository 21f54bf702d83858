// Numbered runtime errors of the runtime and the window system, their texts
// and the checks made before a window opens.
#pragma once

#include <string>

namespace korvex {

inline constexpr int kRuntimeErrorExitCode = 2;

inline constexpr int kErrorFrameAlreadyActive = 526;
inline constexpr int kErrorFrameWhileModal = 527;
inline constexpr int kErrorFrameCreate = 528;
inline constexpr int kErrorWindowCreate = 529;
inline constexpr int kErrorMdiWithoutFrame = 530;
inline constexpr int kErrorMdiWhileModal = 531;
inline constexpr int kErrorMdiOnFrameThread = 532;
inline constexpr int kErrorMdiCreate = 533;
inline constexpr int kErrorWindowAlreadyOpen = 535;
inline constexpr int kErrorWindowNotOpen = 536;
inline constexpr int kErrorAcceptWithoutWindow = 537;
inline constexpr int kErrorAcceptWhileModal = 540;

// The text of a runtime error code, nullptr for an unknown code.
const char* RuntimeErrorText(int code);

// The report text: the code's text, then " : " and the detail when one is
// given. An unknown code reads "Runtime error <code>".
std::string RuntimeErrorMessage(int code, const char* detail);

enum class WindowKind { kWindow, kFrame, kMdiChild };

// What the runtime knows when a window is about to open.
struct OpenContext {
  WindowKind kind = WindowKind::kWindow;
  bool frameOpen = false;       // an application frame is open
  bool onFrameThread = false;   // the caller runs on the frame's thread
  int modalCount = 0;           // the global modal counter
};

// The runtime error that forbids the open, 0 when it may go ahead.
int CheckWindowOpen(const OpenContext& context);

}  // namespace korvex
