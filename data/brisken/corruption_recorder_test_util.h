// Turns the corruption halt into something a test can observe: while alive,
// failed checks are recorded instead of ending the process.
#pragma once

#include <vector>

#include "data/brisken/corruption.h"

namespace korvex::brisken {

class CorruptionRecorder {
 public:
  CorruptionRecorder() : previous_(SetCorruptionHandler(&Record)) { checks().clear(); }
  ~CorruptionRecorder() { SetCorruptionHandler(previous_); }
  CorruptionRecorder(const CorruptionRecorder&) = delete;
  CorruptionRecorder& operator=(const CorruptionRecorder&) = delete;

  static std::vector<int>& checks() {
    static std::vector<int> recorded;
    return recorded;
  }

 private:
  static void Record(int check, const std::string&, const char*) { checks().push_back(check); }
  CorruptionHandler previous_;
};

}  // namespace korvex::brisken
