#include "window/core/event_runtime_errors.h"

#include <cstdio>

namespace korvex {

namespace {

struct ErrorText {
  int code;
  const char* text;
};

constexpr ErrorText kTexts[] = {
    {401, "Stack overflow"},
    {402, "Null pointer de-reference"},
    {403, "Termination caused by signal.  (User break or Floating point)"},
    {404, "Arithmetic Overflow"},
    {405, "Variable out of range"},
    {406, "No return value from function"},
    {407, "No matching Case Label"},
    {408, "Long Integer Divide By Zero"},
    {409, "Index out of range"},
    {410, "Pure Virtual Function Called"},
    {501, "Internal error 01"},
    {502, "Internal error 02"},
    {503, "Internal error 03"},
    {504, "Internal error 04"},
    {505, "Internal error 05"},
    {506, "Internal error 06"},
    {507, "Internal error 07"},
    {508, "Internal error 08"},
    {509, "Internal error 09"},
    {510, "Internal error 10"},
    {511, "Internal error 11"},
    {512, "Internal error 12"},
    {513, "Internal error 13"},
    {514, "Internal error 14"},
    {515, "Internal error 15"},
    {520, "Mismatch with VRVBX.DLL detected"},
    {521, "VBX control is too complex"},
    {522, "Event posted to a report control"},
    {523, "Metafile record too large in report"},
    {524, "Unexpected error opening printer device"},
    {525, "Report is already open"},
    {526, "Unable to open APPLICATION (APPLICATION already active)"},
    {527, "Unable to open APPLICATION (system is MODAL)"},
    {528, "Unable to open APPLICATION"},
    {529, "Unable to open WINDOW"},
    {530, "Unable to open MDI window (No APPLICATION active)"},
    {531, "Unable to open MDI window (system is MODAL)"},
    {532, "Unable to open MDI window on APPLICATION's thread"},
    {533, "Unable to open MDI WINDOW"},
    {534, "Too many keystrokes PRESSed"},
    {535, "Window is already open"},
    {536, "Window is not open"},
    {537, "ACCEPT loop requires a window"},
    {538, "PRINT must only be called for reports"},
    {539, "ENDPAGE must only be called for reports"},
    {540, "Unable to process ACCEPT (system is MODAL)"},
    {541, "Unable to create control (system is MODAL)"},
    {542, "Unable to complete operation (system is MODAL)"},
    {543, "Slider controls are only available in 32-bit programs"},
    {544, "Too Many VBX Hooks"},
    {601, "Invalid DDE channel"},
    {602, "DDE channel is not open"},
    {603, "DDEexecute - invalid command"},
    {604, "DDEpoke - invalid command"},
    {605, "DDE transaction timed out"},
};

}  // namespace

const char* RuntimeErrorText(int code) {
  for (const ErrorText& e : kTexts) {
    if (e.code == code) return e.text;
  }
  return nullptr;
}

std::string RuntimeErrorMessage(int code, const char* detail) {
  std::string message;
  if (const char* text = RuntimeErrorText(code)) {
    message = text;
  } else {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "Runtime error %d", code);
    message = buffer;
  }
  if (detail != nullptr && *detail != '\0') {
    message += " : ";
    message += detail;
  }
  return message;
}

int CheckWindowOpen(const OpenContext& context) {
  switch (context.kind) {
    case WindowKind::kFrame:
      if (context.frameOpen) return kErrorFrameAlreadyActive;
      if (context.modalCount != 0) return kErrorFrameWhileModal;
      return 0;
    case WindowKind::kMdiChild:
      if (!context.frameOpen) return kErrorMdiWithoutFrame;
      if (context.modalCount != 0) return kErrorMdiWhileModal;
      if (context.onFrameThread) return kErrorMdiOnFrameThread;
      return 0;
    case WindowKind::kWindow:
      return 0;
  }
  return 0;
}

}  // namespace korvex
