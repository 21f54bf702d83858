// The view engine: one control block per VIEW and thread, reached through the
// file operation codes like a file. It keeps the filter, the order, the start
// values and a pending start, and builds its pipeline (combination source,
// then an order stage) lazily at the first read after a change.
//
//   ViewControlBlock view(&declaration);
//   Arguments order{Argument::Number(kPropOrder), Argument::Text("-CUS:NAME")};
//   ViewEntry(kOpSetProperty, &view, &order);
//   ViewEntry(kOpOpen, &view, nullptr);
//   while (ViewEntry(kOpNext, &view, nullptr) == 0) { ...the record buffers... }
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/arguments.h"
#include "data/driver/error_codes.h"
#include "data/view/view_declaration.h"
#include "data/view/view_stage.h"
#include "data/view/view_trace.h"
#include "runtime/eval/evaluator.h"

namespace korvex::view {

// View properties (SET_PROPERTY: number, value text[, n]; GET_PROPERTY:
// number, answer text[, n]).
inline constexpr uint32_t kPropFilter = 0x7CB8;
inline constexpr uint32_t kPropOrder = 0x7CE6;
inline constexpr uint32_t kPropStartValue = 0x7345;      // n from 1 to the order components
inline constexpr uint32_t kPropTraceIntoFiles = 0x7327;
inline constexpr uint32_t kPropFileCount = 0x7325;       // the files of the view
inline constexpr uint32_t kPropViewText = 0x7326;        // the declaration's text form

// A filter or order text that does not compile is refused with this code when
// it is set (the previous text stays): 76 "Invalid Index String". The
// evaluator's message is the current error's file error text.
inline constexpr int32_t kErrViewText = driver::kErrInvalidIndexString;

// Longest position POSITIONfile answers; it always fits a browse's field.
inline constexpr size_t kMaxViewPosition = 1024;

class ViewControlBlock {
 public:
  // REQUIRES: declaration and its files outlive the block.
  explicit ViewControlBlock(const ViewDeclaration* declaration);
  ViewControlBlock(const ViewControlBlock&) = delete;
  ViewControlBlock& operator=(const ViewControlBlock&) = delete;
  ~ViewControlBlock();

  // One operation; answers as a file driver does (0 or an error code).
  int32_t Run(int operation, const driver::Arguments& args);

  // The same as the properties, with the evaluator's message in *error.
  int32_t SetFilter(std::string_view text, std::string* error);
  int32_t SetOrder(std::string_view text, std::string* error);
  const std::string& filter() const { return filter_text_; }
  const std::string& order() const { return order_text_; }
  size_t order_components() const { return order_.size(); }
  bool trace_into_files() const { return trace_.into_files; }
  // The trace settings read when the block was made (tests may change them).
  ViewTraceSettings& trace() { return trace_; }
  // Writes the operation's trace line, and with the primary file's "Details"
  // the text form first and the record buffers after reads and writes.
  void Trace(int operation, int32_t code, uint32_t hundredths);
  uint32_t opened_at() const { return opened_at_; }

  // How the pipeline stands (tests and benchmarks): the key it reads by (0:
  // record order), how many order components that key serves, the source
  // reads and the sorted runs since it was built, and how often it was built.
  int source_key() const;
  bool source_reversed() const;
  size_t served_components() const { return served_; }
  uint64_t source_reads() const;
  uint64_t runs_sorted() const;
  uint64_t builds() const { return builds_; }
  // The text of the last error a view text gave.
  const std::string& last_error_detail() const { return error_detail_; }

 private:
  enum class Pending { kNone, kValues, kPosition };

  int32_t Open();
  int32_t Close();
  int32_t Build();
  int32_t Ready();  // builds when needed and applies a pending start
  int32_t Read(bool forward);
  int32_t SetView(const driver::Arguments& args);
  int32_t ResetViewFile(const driver::Arguments& args);
  int32_t Position(const driver::Arguments& args);
  int32_t ResetFile(const driver::Arguments& args, bool reget);
  int32_t Records(const driver::Arguments& args);
  int32_t Property(const driver::Arguments& args, bool set);
  int32_t PassToPrimary(int operation, const driver::Arguments& args);
  // How many leading order components key serves, read forwards or, with
  // reversed, from its end.
  size_t ServedBy(int key, bool reversed) const;
  // Keeps the delivered combination as the place the next read starts from.
  void KeepPlace();

  const ViewDeclaration* declaration_;
  std::vector<const ViewLevel*> levels_;
  Evaluator evaluator_;
  std::string filter_text_, order_text_;
  std::unique_ptr<Expression> filter_;
  std::vector<std::unique_ptr<Expression>> order_exprs_;
  std::vector<OrderComponent> order_;
  std::vector<std::unique_ptr<Expression>> join_exprs_;  // per join, depth-first
  std::vector<Value> start_values_;
  Pending pending_ = Pending::kNone;
  Combination pending_combo_;
  bool pending_after_ = false;  // a forward read moves past pending_combo_
  std::unique_ptr<Stage> stage_;
  bool rebuild_ = true;
  bool open_ = false;
  ViewTraceSettings trace_;
  bool text_traced_ = false;
  uint32_t opened_at_ = 0;  // tick count of OPEN, for CLOSE's line
  size_t served_ = 0;
  bool reversed_ = false;
  uint64_t builds_ = 0;
  Combination delivered_;  // the combination last delivered
  std::string error_detail_;
};

// The view's entry: an operation on the view with its argument words. Like a
// file's entry it clears the thread's current error and posts a failure. A
// null view answers 37.
int32_t ViewEntry(int operation, ViewControlBlock* view, const driver::Arguments* args);

// The position text of a combination: "V", its length in four digits, ":",
// the record numbers separated by ","; blanks after it change nothing. "" when
// it would pass kMaxViewPosition.
std::string EncodeViewPosition(const Combination& c);
// False for a text that is not such a position (or names another number of files).
bool DecodeViewPosition(std::string_view text, size_t levels, Combination* out);

}  // namespace korvex::view
