// Reading a file's driver options string one option at a time.
//
// An option begins at a "/" or after a ","; it runs to the next "/" or "," that is
// not inside double quotes (quotes stay part of the option's text). Blanks and
// tabs around an option are dropped and empty options skipped. Text before the
// first "/" or "," begins no option and is ignored:
//   "/ALLOWDETAILS"                -> ALLOWDETAILS
//   "/A=1,B /TCF=\"x/y,z\""        -> A=1   B   TCF="x/y,z"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvex::driver {

enum class OptionRead {
  kOption,   // the next option was copied
  kTooLong,  // it did not fit: *length tells its size; the cursor stays put
  kEnd,      // no further option
};

// Reads the option after *cursor (start with 0) into buffer as a zero-terminated
// text and advances *cursor past it. *length receives the option's length in
// characters; it fits when buffer_size > *length. When it does not fit the
// buffer holds as much as fits (still terminated) and the cursor is not moved, so
// the caller may read it again with a larger buffer.
OptionRead NextDriverOption(std::string_view options, size_t* cursor, char* buffer,
                            size_t buffer_size, size_t* length);

// The same into a string; false at the end.
bool NextDriverOption(std::string_view options, size_t* cursor, std::string* option);

// True when the options hold ALLOWDETAILS: an option whose whole text (without
// a value) is that word, letters compared without regard to case. An option
// such as "ALLOWDETAILS=NO" is not it, so details stay off for ciphered files.
bool HasAllowDetails(std::string_view options);

}  // namespace korvex::driver
