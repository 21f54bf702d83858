// The list FORMAT string: the validator and the parser agree on every text, and a
// valid format written back parses to the same structure and the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "window/core/list_format.h"
#include "window/core/list_hit.h"
#include "window/core/list_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  int checked = korvex::CheckListFormat(text);
  int stop = -1;
  auto format = korvex::ParseListFormat(text, &stop);
  if (format.has_value() != (checked == 0) || stop != checked) std::abort();
  if (checked < 0 || static_cast<size_t>(checked) > size + 1) std::abort();
  if (!format) return 0;
  std::string written = korvex::WriteListFormat(*format);
  auto again = korvex::ParseListFormat(written);
  if (!again || !(*again == *format)) std::abort();
  if (korvex::WriteListFormat(*again) != written) std::abort();
  // Layout and hit test of whatever the format describes stay in bounds.
  korvex::ListLayout layout(*format, korvex::ListMetrics{});
  if (layout.rowHeight() <= 0 || layout.columns().size() != format->columns.size()) std::abort();
  for (int scroll_x : {0, 37}) {
    korvex::ListView view{200, 200, 3, scroll_x, 1};
    for (int y : {-5, 0, 20, 199, 400}) {
      korvex::ListHit hit = korvex::HitTestList(layout, *format, view, 50, y);
      if (hit.column < 0 || hit.column > static_cast<int>(format->columns.size())) std::abort();
      if (hit.resizeColumn >= static_cast<int>(format->columns.size())) std::abort();
    }
  }
  return 0;
}
