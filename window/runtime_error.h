// Numbered runtime errors and the program's one halt path.
#pragma once

#include <string>

#include "window/core/event_runtime_errors.h"

namespace korvex {

// Takes over the report of a runtime error instead of the message box.
using RuntimeErrorHandler = void (*)(int code, const std::string& text);
void SetRuntimeErrorHandler(RuntimeErrorHandler handler);

// Reports runtime error `code` (its text from the program's string table,
// then " : detail" when given) to the installed handler or in a message box
// titled "Runtime error", then halts the program with exit code 2.
[[noreturn]] void RaiseRuntimeError(int code, const char* detail = nullptr);

// The text RaiseRuntimeError reports.
std::string RuntimeErrorReport(int code, const char* detail);

// Ends the program with exit_code: 0 for a normal end, 2 after a runtime error
// or a fatal message. Output is flushed first.
[[noreturn]] void RuntimeHalt(int exit_code);

}  // namespace korvex
