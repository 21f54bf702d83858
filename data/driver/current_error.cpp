#include "data/driver/current_error.h"

#include "data/driver/error_codes.h"

namespace korvex::driver {

namespace {
thread_local CurrentError current;
}  // namespace

const CurrentError& GetCurrentError() { return current; }

void PostError(int32_t code, std::string_view file_name, const void* file,
               std::string_view file_error_code, std::string_view file_error) {
  current.code = code;
  current.text = ErrorText(code);
  current.file_error_code.assign(file_error_code);
  current.file_error.assign(file_error);
  current.file_name.assign(file_name);
  current.file = file;
}

void ClearCurrentError() {
  // Every driver call clears, and most find nothing to clear: a fresh record
  // would cost four strings made and dropped each time.
  if (current.code == 0 && current.file == nullptr && current.text.empty() &&
      current.file_error_code.empty() && current.file_error.empty() && current.file_name.empty()) {
    return;
  }
  current = CurrentError();
}

}  // namespace korvex::driver
