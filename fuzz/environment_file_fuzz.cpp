// Environment files: every line applied to a locale; the tables that come out
// must stay usable (a collation that is a permutation, at most 16 digraphs).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/locale/environment_file.h"
#include "runtime/locale/locale_startup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const korvex::EnvironmentLine& line : korvex::ReadEnvironmentText(text)) {
    if (line.key.empty() || line.key.size() > 31 || line.value.size() > 1024) std::abort();
    korvex::EnvironmentList(line.value);
  }
  korvex::LocaleState state;
  korvex::ApplyEnvironment(text, &state);
  bool seen[256] = {};
  for (uint8_t weight : state.tables.collation) {
    if (seen[weight]) std::abort();
    seen[weight] = true;
  }
  if (state.tables.digraph_count > korvex::kMaxDigraphs) std::abort();
  for (int c = 0; c < 256; ++c) {
    // Comparing must be total: a text equals itself.
    char one[2] = {static_cast<char>(c), 'x'};
    std::string_view text_one(one, 2);
    if (state.tables.CompareText(text_one, text_one) != 0) std::abort();
  }
  return 0;
}
