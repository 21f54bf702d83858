// Reads arbitrary bytes as a driver options string, with both readers, and checks
// that they agree, always end, and never read or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/driver_options.h"

using korvex::driver::HasAllowDetails;
using korvex::driver::NextDriverOption;
using korvex::driver::OptionRead;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the caller's buffer size, the rest is the options string.
  size_t buffer_size = data[0] % 24;
  std::string_view options(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<std::string> by_string;
  size_t cursor = 0;
  std::string option;
  while (NextDriverOption(options, &cursor, &option)) {
    if (option.empty() || cursor > options.size()) std::abort();
    by_string.push_back(option);
    if (by_string.size() > options.size()) std::abort();  // every option takes a separator
  }

  std::vector<std::string> by_buffer;
  std::vector<char> buffer(buffer_size);
  cursor = 0;
  for (;;) {
    size_t length = 0;
    size_t before = cursor;
    OptionRead read = NextDriverOption(options, &cursor, buffer.data(), buffer.size(), &length);
    if (read == OptionRead::kEnd) break;
    if (read == OptionRead::kTooLong) {
      if (cursor != before || length + 1 <= buffer.size()) std::abort();
      buffer.resize(length + 1);  // the reported length is enough
      continue;
    }
    if (buffer[length] != '\0') std::abort();
    by_buffer.emplace_back(buffer.data(), length);
    if (by_buffer.size() > by_string.size()) std::abort();
  }
  if (by_buffer != by_string) std::abort();
  HasAllowDetails(options);
  return 0;
}
