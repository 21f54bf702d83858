// The calling thread's current error: what the last failed file operation posted
// and what ERROR(), ERRORCODE(), ERRORFILE() and their kin report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex::driver {

struct CurrentError {
  int32_t code = 0;             // file error code; 0 = none
  std::string text;             // the code's text (error_codes.h)
  std::string file_error_code;  // the driver's own code as text ("" unless it gave one)
  std::string file_error;       // the driver's own text, e.g. the system's text behind 90
  std::string file_name;        // name of the file in error ("" when none)
  const void* file = nullptr;   // identity of that file's control block; never dereferenced
};

// The calling thread's current error (each thread has its own).
const CurrentError& GetCurrentError();

// Makes code the calling thread's current error, recording the file in error.
void PostError(int32_t code, std::string_view file_name, const void* file,
               std::string_view file_error_code = {}, std::string_view file_error = {});

// Back to "no error" on the calling thread.
void ClearCurrentError();

}  // namespace korvex::driver
