// Message tables as an application may add them: read, re-written, and every
// message taken through the reporter with values that look like macros.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/error_reporter.h"
#include "framework/message_table.h"
#include "framework/recording_display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvex::framework;
  std::string_view table(reinterpret_cast<const char*>(data), size);
  MessageTableRead read = ReadMessageTable(table);
  if (read.complete) {
    // A whole table reads back to the very bytes it came from.
    std::string written = WriteMessageTable(read.entries);
    if (written.size() > table.size() || table.substr(0, written.size()) != written) std::abort();
  }

  RecordingDisplay display;
  ErrorReporter reporter;
  reporter.Init(&display);
  if (reporter.AddMessages(table) != read.entries.size()) std::abort();
  reporter.SetFileName("A%File%Previous");
  reporter.SetFieldName("%Field%Message");
  reporter.SetMessageText("100%Error%ErrorText");
  reporter.SetErrorState(90, "%Error", "%FileErrorCode", "%FileError");
  size_t taken = 0;
  for (const MessageEntry& entry : read.entries) {
    if (++taken > 32) break;
    reporter.Take(entry.id);
    if (!reporter.Find(entry.id) || reporter.Expand().size() > ErrorReporter::kExpandedLimit) {
      std::abort();
    }
  }
  for (const auto& shown : display.shown) {
    if (shown.text.size() > ErrorReporter::kExpandedLimit + 40) std::abort();
  }
  reporter.Kill();
  return 0;
}
