// The profile scope of the driver tests (no tests of its own). Apart from the
// headers so that the platform's macros stay out of the tests.
#include <cstdlib>
#include <fstream>

#include "data/driver/driver_test_util.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace korvex::driver::testing {

ProfileScope::ProfileScope() : dir_("driver-profile") {
  const char* old = std::getenv("KORVEX_PROFILE");
  had_old_ = old != nullptr;
  if (had_old_) old_ = old;
}

ProfileScope::~ProfileScope() {
#ifdef _WIN32
  WriteProfileStringA("VRBRISKEN", nullptr, nullptr);
#else
  if (had_old_) {
    setenv("KORVEX_PROFILE", old_.c_str(), 1);
  } else {
    unsetenv("KORVEX_PROFILE");
  }
#endif
}

void ProfileScope::Set(const std::string& key, const std::string& value) {
#ifdef _WIN32
  WriteProfileStringA("VRBRISKEN", key.c_str(), value.c_str());
#else
  entries_[key] = value;
  std::string path = dir_.File("profile.ini");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "[VRBRISKEN]\n";
  for (const auto& [k, v] : entries_) out << k << "=" << v << "\n";
  out.close();
  setenv("KORVEX_PROFILE", path.c_str(), 1);
#endif
}

}  // namespace korvex::driver::testing
