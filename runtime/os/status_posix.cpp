#include <cstring>

#include "runtime/os/status.h"

namespace korvex::os {

std::string Status::Text() const {
  if (ok()) return "";
  if (native_ == 0) return "Unknown error";
  // strerror_r, not strerror: several threads may describe errors at once.
  char buffer[256];
  return strerror_r(native_, buffer, sizeof buffer);  // GNU: returns the text
}

}  // namespace korvex::os
