#include <cstring>

#include "runtime/os/status.h"

namespace korvex::os {

std::string Status::Text() const {
  if (ok()) return "";
  if (native_ == 0) return "Unknown error";
  return std::strerror(native_);
}

}  // namespace korvex::os
