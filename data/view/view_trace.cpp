#include "data/view/view_trace.h"

#include <cinttypes>
#include <cstdio>

#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "runtime/os/profile.h"

namespace korvex::view {

ViewTraceSettings ReadViewTraceSettings() {
  ViewTraceSettings s;
  s.on = os::ProfileInt("VRVIEW", "Profile", 0) != 0;
  s.into_files = os::ProfileInt("VRVIEW", "TraceIntoFiles", 0) != 0;
  s.file = os::ProfileString("VRVIEW", "TraceFile", "VIEW.LOG");
  if (s.file.empty()) s.file = "VIEW.LOG";
  if (s.file.size() > kMaxViewTraceFileName) s.file.resize(kMaxViewTraceFileName);
  return s;
}

std::string ViewTraceLine(int operation, const void* view, int thread, int32_t code,
                          uint32_t hundredths) {
  char head[96];
  std::snprintf(head, sizeof head, "%s(VIEW:%lX: %d) ", driver::OperationName(operation),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(view)), thread);
  std::string line = head;
  if (line.size() < 24) line.append(24 - line.size(), ' ');
  if (code != driver::kNoError && code != driver::kClearError) {
    line += "Error: ";
    line += driver::ErrorText(code);
  }
  char taken[64];
  std::snprintf(taken, sizeof taken, "Time Taken: %lu.%02lu secs\r\n",
                static_cast<unsigned long>(hundredths / 100),
                static_cast<unsigned long>(hundredths % 100));
  line += taken;
  return line;
}

}  // namespace korvex::view
