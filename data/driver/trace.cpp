#include "data/driver/trace.h"

#include <cstdio>
#include <memory>

#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "runtime/os/file.h"

namespace korvex::driver {

std::string TraceLine(const TraceEvent& event) {
  std::string head = OperationName(event.operation);
  head += '(';
  head += event.file_name;
  if (IsKeyedOperation(event.operation) && !event.key_label.empty()) {
    char number[16];
    std::snprintf(number, sizeof number, "[%d]", event.key_number);
    head += ',';
    head += event.key_label;
    head += number;
  }
  char thread[24];
  std::snprintf(thread, sizeof thread, " %d) ", event.thread);
  head += thread;
  if (head.size() < 18) head.append(18 - head.size(), ' ');

  std::string line = head;
  if (event.code == kErrFileSystem) {
    line += "File Error: ";
    line += event.os_text;
  } else if (event.code != kNoError && event.code != kClearError) {
    line += "Error: ";
    line += ErrorText(event.code);
  }
  char taken[64];
  std::snprintf(taken, sizeof taken, "Time Taken: %lu.%02lu secs\r\n",
                static_cast<unsigned long>(event.hundredths / 100),
                static_cast<unsigned long>(event.hundredths % 100));
  line += taken;
  return line;
}

bool AppendTrace(const std::string& path, std::string_view text) {
  std::unique_ptr<os::File> file;
  if (!os::OpenFile(path, os::Access::ReadWrite, os::Share::DenyNone, os::Disposition::OpenAlways,
                    &file)
           .ok()) {
    return false;
  }
  uint64_t end = 0;
  if (!file->Size(&end).ok()) return false;
  return file->WriteAt(end, text.data(), text.size()).ok();
}

}  // namespace korvex::driver
