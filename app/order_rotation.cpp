#include "app/order_rotation.h"

#include <cstring>
#include <vector>

#include "app/data_dictionary.h"
#include "data/driver/current_error.h"
#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "framework/file_controller_fields.h"
#include "framework/transaction.h"

namespace korvex::app {

using framework::FileController;
using framework::Outcome;

namespace {

constexpr int kIdField = kCusId - 1;

int32_t OrderOf(const FileController& customers) {
  std::span<uint8_t> b = framework::FieldBytes(*customers.file(), kIdField);
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                              static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
}

void SetOrder(const FileController& customers, int32_t order) {
  std::span<uint8_t> b = framework::FieldBytes(*customers.file(), kIdField);
  const auto u = static_cast<uint32_t>(order);
  for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(u >> (8 * i));
}

// The stored record equals the dragged one, its order number aside.
bool SameCustomer(const FileController& customers, const std::vector<uint8_t>& dragged) {
  std::span<uint8_t> now = customers.file()->record();
  const auto id = framework::FieldBytes(*customers.file(), kIdField);
  const size_t id_at = static_cast<size_t>(id.data() - now.data());
  for (size_t i = 0; i < now.size(); ++i) {
    if (i >= id_at && i < id_at + id.size()) continue;
    if (now[i] != dragged[i]) return false;
  }
  return true;
}

// A fetch that found nothing means another program changed the page's records.
void SetFetchError(FileController& customers) {
  const int32_t code = driver::GetCurrentError().code;
  customers.SetError(code == driver::kErrRecordNotFound || code == driver::kNoError
                         ? framework::kMsgRecordChanged
                         : framework::kMsgAbortReading);
}

class Move {
 public:
  Move(FileController& customers, std::span<const int32_t> page, RotationValues& values)
      : customers_(customers), page_(page), values_(values),
        dragged_(customers.file()->record().begin(), customers.file()->record().end()) {}

  Outcome Run(int drag_row, int drop_row) {
    if (!Begin(drag_row)) return Fail();
    // 1-2: the dragged record gives up its number.
    values_.held_order = OrderOf(customers_);
    SetOrder(customers_, kParkingOrder);
    if (customers_.UpdateQuiet() != framework::kOutcomeDone) return Fail();
    // 3-4: each record between takes the number its neighbour freed.
    values_.step_direction = drop_row > drag_row ? 1 : -1;
    for (int row = drag_row + values_.step_direction;; row += values_.step_direction) {
      SetOrder(customers_, page_[static_cast<size_t>(row - 1)]);
      if (customers_.FetchQuiet(&kCusById) != framework::kOutcomeDone) {
        SetFetchError(customers_);
        return Fail();
      }
      values_.next_held_order = OrderOf(customers_);
      SetOrder(customers_, values_.held_order);
      if (customers_.UpdateQuiet() != framework::kOutcomeDone) return Fail();
      values_.held_order = values_.next_held_order;
      if (row == drop_row) break;
    }
    // 5-6: the dragged record takes the last number.
    SetOrder(customers_, kParkingOrder);
    if (customers_.FetchQuiet(&kCusById) != framework::kOutcomeDone) {
      SetFetchError(customers_);
      return Fail();
    }
    if (!SameCustomer(customers_, dragged_)) {
      customers_.SetError(framework::kMsgRecordChanged);
      return Fail();
    }
    SetOrder(customers_, values_.held_order);
    if (customers_.UpdateQuiet() != framework::kOutcomeDone) return Fail();
    if (tx_.Commit() != driver::kNoError) {
      customers_.SetError(framework::kMsgPutError);
      return Fail(/*ended=*/true);
    }
    return framework::kOutcomeDone;
  }

 private:
  // Starts the transaction and reads the dragged record again inside it,
  // watched, so that a change by another program since the page was read
  // stops the move instead of being overwritten.
  bool Begin(int drag_row) {
    if (tx_.Enrol(customers_) != driver::kNoError) {
      reported_ = true;  // the file could not be made usable: that was reported
      return false;
    }
    if (tx_.Start() != driver::kNoError) {
      customers_.SetError(framework::kMsgTransactionFailed);
      return false;
    }
    customers_.Call(driver::kOpWatch);
    SetOrder(customers_, page_[static_cast<size_t>(drag_row - 1)]);
    if (customers_.FetchQuiet(&kCusById) != framework::kOutcomeDone) {
      SetFetchError(customers_);
      return false;
    }
    std::span<uint8_t> now = customers_.file()->record();
    if (!std::equal(now.begin(), now.end(), dragged_.begin(), dragged_.end())) {
      customers_.SetError(framework::kMsgRecordChanged);
      return false;
    }
    return true;
  }

  // Drops every change, puts the dragged customer back in the buffer (and as
  // the current record, when it can be read) and reports once.
  Outcome Fail(bool ended = false) {
    if (!ended) tx_.Rollback();
    std::span<uint8_t> record = customers_.file()->record();
    std::memcpy(record.data(), dragged_.data(), record.size());
    if (customers_.FetchQuiet(&kCusById) != framework::kOutcomeDone ||
        !std::equal(record.begin(), record.end(), dragged_.begin(), dragged_.end())) {
      std::memcpy(record.data(), dragged_.data(), record.size());
    }
    if (!reported_) customers_.ReportLastError();
    return framework::kOutcomeFailed;
  }

  FileController& customers_;
  std::span<const int32_t> page_;
  RotationValues& values_;
  const std::vector<uint8_t> dragged_;
  framework::FileTransaction tx_;
  bool reported_ = false;
};

}  // namespace

Outcome RotateOrderNumbers(FileController& customers, int drag_row, int drop_row,
                           std::span<const int32_t> page, RotationValues& values) {
  const int rows = static_cast<int>(page.size());
  if (drag_row < 1 || drop_row < 1 || drag_row > rows || drop_row > rows || drag_row == drop_row) {
    return framework::kOutcomeRejected;
  }
  if (OrderOf(customers) != page[static_cast<size_t>(drag_row - 1)]) {
    return framework::kOutcomeRejected;
  }
  return Move(customers, page, values).Run(drag_row, drop_row);
}

}  // namespace korvex::app
