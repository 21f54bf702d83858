// The trace of file operations: one line per operation, appended to the trace file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex::driver {

struct TraceEvent {
  int operation = 0;
  std::string_view file_name;
  std::string_view key_label;  // keyed operations: the key's label ("" when none was given)
  int key_number = 0;          // the key's number in the file's key list, from 1
  int thread = 1;              // the runtime's thread number
  int32_t code = 0;            // the driver's answer
  std::string_view os_text;    // the system's text behind code 90
  uint32_t hundredths = 0;     // time the operation took
};

// The line: NAME(file[,key[n]] thread) padded to 18 columns, then "File Error: "
// and the system's text for 90 or "Error: " and the code's text for any other
// failure, then "Time Taken: s.hh secs" and CR LF.
std::string TraceLine(const TraceEvent& event);

// Appends text to the trace file at path, creating it when missing. False when
// the file cannot be written (tracing never makes an operation fail).
bool AppendTrace(const std::string& path, std::string_view text);

}  // namespace korvex::driver
