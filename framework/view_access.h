// What the view and browse controllers need of a VIEW: its open and close, order and filter
// texts, positioning and reads, positions, and the files it reads. The view engine's adapter
// implements it over the driver operations; tests use a fake. Every call answers 0 or the file
// error code the operation posted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvex::framework {

class ViewAccess {
 public:
  virtual ~ViewAccess() = default;

  virtual int32_t Open(uint8_t access_mode) = 0;
  virtual void Close() = 0;
  // Read-ahead settings. Views do not buffer (they answer 80); the answer is not an error the
  // user hears of, so an implementation leaves no current error behind.
  virtual void Buffer(uint16_t page_size, uint16_t behind, uint16_t ahead, uint16_t timeout) = 0;
  // The order and filter texts (empty: none). A text that does not compile is refused
  // with an error and the previous text stays.
  virtual int32_t SetOrder(const std::string& text) = 0;
  virtual int32_t SetFilter(const std::string& text) = 0;
  // Positions before the first record whose first `components` order values equal those in
  // the record buffers (0: the start of the view).
  virtual int32_t Set(int components) = 0;
  virtual int32_t Next() = 0;      // 33: no further record
  virtual int32_t Previous() = 0;  // 33: no earlier record
  // The position of the record combination read last; empty when none.
  virtual std::string Position() = 0;
  // Positions at a combination by its position, so that the next read delivers it again.
  virtual int32_t Reset(const std::string& position) = 0;
  // Positions at the primary file's record that is in its record buffer.
  virtual int32_t ResetToPrimaryRecord() = 0;
  virtual int32_t Watch() = 0;
  // Reads a combination again by its position into the record buffers.
  virtual int32_t Reget(const std::string& position) = 0;
  virtual int32_t Flush() = 0;     // forgets read-ahead so that others' writes are seen
  virtual void ClearRecords() = 0;  // clears the record buffer of every file of the view
  // The declared files the view reads (their identities, as file controllers name them).
  virtual std::vector<const void*> Files() = 0;
};

}  // namespace korvex::framework
