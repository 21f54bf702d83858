// The move of a customer from one row of the shown page to another: the order
// numbers (CUS:CUSID, key CUS:ByID) of the rows from the drag row to the drop
// row rotate by one place, so the set of numbers in use stays the same. The
// dragged customer first parks at kParkingOrder, every record in between then
// takes the number its neighbour has just freed, and the dragged customer takes
// the last one; each intermediate state is free of duplicate keys.
//
// The whole move is one transaction on CUSTOMER: it ends with every record as
// before or every record as after, also across a crash, an I/O error or a
// second program moving customers at the same time.
#pragma once

#include <cstdint>
#include <span>

#include "framework/file_controller.h"
#include "framework/outcome.h"

namespace korvex::app {

inline constexpr int32_t kParkingOrder = 10000000;

// The working values the calling procedure keeps.
struct RotationValues {
  int32_t held_order = 0;       // the number carried to the next record
  int32_t next_held_order = 0;  // the number taken from the record just rewritten
  int32_t step_direction = 0;   // +1 or -1
};

// Moves the customer of drag_row (from 1) to drop_row of page (the order
// numbers of the rows shown, row 1 first). REQUIRES nothing: when a
// precondition does not hold (rows outside the page or equal, or the record
// buffer not holding the customer of drag_row) nothing happens and the answer
// is kOutcomeRejected, without a message.
//
// Done: the records are rewritten and committed, and the buffer holds the
// dragged customer with its new number. Failed (another program's change, a
// missing record, a refused or failed write): nothing is changed, the buffer
// holds the dragged customer as before, and the failure was reported once
// through the file controller; kOutcomeFailed.
framework::Outcome RotateOrderNumbers(framework::FileController& customers, int drag_row,
                                      int drop_row, std::span<const int32_t> page,
                                      RotationValues& values);

}  // namespace korvex::app
