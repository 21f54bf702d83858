// The outcome of every operation inside the Brisken layers: success, a file
// error code (the driver's numbers), or a failed internal consistency check.
// A failed check travels up as a value; the file's public operations report it
// once through the corruption halt (corruption.h).
#pragma once

#include <cstdint>

#include "data/driver/error_codes.h"

namespace korvex::brisken {

class Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  // A file error code such as 36 or 90.
  static Status Error(int32_t code) { return Status(code, 0); }
  // A failed consistency check with its number (522, 1602 ...).
  static Status Corrupt(int check) { return Status(driver::kErrInvalidDataFile, check); }

  bool ok() const { return code_ == 0; }
  bool corrupt() const { return check_ != 0; }
  // The file error code; a failed check answers 36 "Invalid Data File".
  int32_t code() const { return code_; }
  int check() const { return check_; }  // 0 unless corrupt()

 private:
  Status(int32_t code, int check) : code_(code), check_(check) {}
  int32_t code_ = 0;
  int check_ = 0;
};

// Numbers of the internal consistency checks.
namespace check {
inline constexpr int kLiteralCount = 522;      // compressed literal count beyond the expected bytes
inline constexpr int kRepeatCount = 530;       // compressed repeat count beyond the expected bytes
inline constexpr int kRecordTooLarge = 824;    // a record that cannot live alone in a page
inline constexpr int kHeaderRefresh = 1013;    // re-reading the file header failed
inline constexpr int kSplitTooFew = 1364;      // a page must split but holds fewer than two records
inline constexpr int kRecordAreaLength = 1602; // records do not end at the uncompressed size
inline constexpr int kShortRead = 2172;        // short header or page read
inline constexpr int kReadAlignment = 2272;    // read length not a multiple of 64
inline constexpr int kWriteAlignment = 2286;   // write length not a multiple of 64
// Checks of this implementation beyond the classic ones.
inline constexpr int kPageHeader = 1610;       // page header fields contradict the slot or each other
inline constexpr int kRecordEncoding = 1611;   // a record's flag, lengths or prefix are impossible
inline constexpr int kRecordOrder = 1612;      // records of a page not in ascending header order
inline constexpr int kPageAddress = 1620;      // a page address outside every region or off a slot
inline constexpr int kTreeShape = 1621;        // wrong level, page referred to twice, missing root
inline constexpr int kRegionTable = 1622;      // the header's region table is impossible
inline constexpr int kHeaderBounds = 1623;     // the header points beyond the file or the format's offsets
inline constexpr int kPageTooLarge = 1630;     // a page image beyond 15104 bytes or its planned size
inline constexpr int kNumbersExhausted = 1640; // the last issued number cannot grow any more
}  // namespace check

}  // namespace korvex::brisken
