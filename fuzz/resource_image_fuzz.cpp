// Window resource images from outside the program: the reader must refuse
// damaged images without reading outside the buffer, and everything it accepts
// must walk cleanly.
#include <cstddef>
#include <cstdint>

#include "window/core/resource_image.h"

namespace {

void Walk(const korvex::rsc::ResourceImage& image, uint32_t first, int depth) {
  for (uint32_t offset = first; offset != 0 && depth < 64;) {
    const korvex::rsc::ControlRecord c = image.Control(offset);
    image.Font(c.font);
    image.IdList(c.drop_ids);
    image.IdList(c.drag_ids);
    Walk(image, c.first_child, depth + 1);
    offset = c.next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korvex::rsc::ResourceImage image;
  // The stored module name is taken as the requested one, so every input is
  // validated rather than skipped as another module's.
  size_t name = 0;
  while (name < size && data[name] != 0) ++name;
  const std::string_view module(reinterpret_cast<const char*>(data), name);
  if (image.Load(data, size, module) != korvex::rsc::LoadStatus::kOk) return 0;
  for (uint32_t window : image.Windows()) {
    const korvex::rsc::WindowRecord w = image.Window(window);
    image.Font(w.font);
    image.IdList(w.open_list);
    image.FindWindowRecord(w.label);
    Walk(image, w.first_control, 0);
  }
  return 0;
}
