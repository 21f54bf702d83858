#include "data/driver/driver_record.h"

#include <algorithm>

namespace korvex::driver {

bool ListHolds(std::span<const uint8_t> counted, int code) {
  if (counted.empty() || code < 0 || code > 255) return false;
  size_t count = std::min<size_t>(counted[0], counted.size() - 1);
  for (size_t i = 1; i <= count; ++i) {
    if (counted[i] == code) return true;
  }
  return false;
}

}  // namespace korvex::driver
