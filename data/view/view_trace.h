// The view trace: settings from the profile section "VRVIEW" and one line per
// operation on a view, in the manner of the file trace.
#pragma once

#include <cstdint>
#include <string>

namespace korvex::view {

inline constexpr size_t kMaxViewTraceFileName = 260;

struct ViewTraceSettings {
  bool on = false;                // "Profile"
  bool into_files = false;        // "TraceIntoFiles"
  std::string file = "VIEW.LOG";  // "TraceFile"; empty or missing: VIEW.LOG
};

// Reads the settings from the user's profile.
ViewTraceSettings ReadViewTraceSettings();

// "NAME(VIEW:handle: thread) " padded to 24 columns, then "Error: " and the
// code's text for a failure (the system's text for 90 after "File Error: "),
// then "Time Taken: s.hh secs" and CR LF.
std::string ViewTraceLine(int operation, const void* view, int thread, int32_t code,
                          uint32_t hundredths);

}  // namespace korvex::view
