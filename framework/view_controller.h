// The view controller: owns one VIEW and the sort orders under which it is read. Each sort
// order names a key of the primary file, an order text, an optional range limit on the key's
// leading components and named filters; the controller turns the current one into the VIEW's
// order and filter, opens it, reads it both ways through a screening hook and primes new
// records with the range values.
//
//   ViewController view;
//   view.Init(&customer_relations, &customer_view);
//   view.AddKeyOrder(&kByName);          // order text "UPPER(CUS:NAME)"
//   view.SetStandardFilter("CUS:SUBURB = 'Avalon'");
//   view.PositionViewAtStart();
//   while (view.Next() == kOutcomeDone) { ... }
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declarations.h"
#include "framework/outcome.h"
#include "framework/view_access.h"

namespace korvex::framework {

class FileController;
class RelationController;

// Kinds of range limit (LIMITTYPE).
inline constexpr uint8_t kRangeNone = 0;
inline constexpr uint8_t kRangeBetween = 3;  // fixed leading components, the last bounded low..high

// One limit value of a range: read when the filter is built, so the caller may change it.
struct RangeValue {
  std::function<std::string()> value;  // the value as text
  bool is_text = true;                 // string values are quoted in filters
};

struct NamedFilter {
  std::string id;    // ID (at most 30); the list is kept in id order
  std::string text;  // FILTER
};

// One sort order (an ORDER entry). A browse's sort order adds its own fields.
struct SortOrder {
  virtual ~SortOrder() = default;
  std::vector<NamedFilter> filters;           // FILTER
  int free_element = 0;                       // FREEELEMENT: field number (1-based) of the first free component
  uint8_t limit_type = kRangeNone;            // LIMITTYPE
  const driver::KeyDeclaration* main_key = nullptr;  // MAINKEY
  std::string order;                          // ORDER: the order text
  std::vector<RangeValue> range;              // RANGELIST: pair i limits key component i
};

class ViewController {
 public:
  // The filter text's room, and a component name's.
  static constexpr size_t kMaxFilterText = 5000;
  static constexpr size_t kMaxComponentName = 500;
  static constexpr uint8_t kViewAccessMode = 0x22;
  static constexpr char kStandardFilterId[] = "5 Standard";

  ViewController() = default;
  virtual ~ViewController();
  ViewController(const ViewController&) = delete;
  ViewController& operator=(const ViewController&) = delete;

  // REQUIRES: primary and view outlive the controller (until Kill).
  void Init(RelationController* primary, ViewAccess* view);
  // Adds a sort order over key (null: no key) and answers its number (from 1).
  int AddKeyOrder(const driver::KeyDeclaration* key);
  // Makes every file of the VIEW usable, stopping at the first that fails.
  Outcome OpenViewFiles();

  // --- The overridable operations ---------------------------------------------
  virtual void RefreshFilter();
  virtual void RefreshOrder();
  virtual bool NeedsRefresh();
  virtual void Close();
  virtual std::string FreeComponentName();
  virtual int FirstFreeComponent();
  virtual void Kill();
  virtual Outcome Next();
  virtual void Open();
  virtual Outcome Previous();
  virtual void PrepareRangeRecord(bool keep_buffer);
  virtual void PositionView(int components);
  virtual void PositionViewAtStart() { PositionView(0); }
  virtual void SetStandardFilter(std::string_view text) { SetNamedFilter(text, kStandardFilterId); }
  virtual void SetNamedFilter(std::string_view text, std::string_view id);
  virtual void ReplaceOrderText(std::string_view text);
  virtual bool UseSortOrder(int n);
  // Judges the record just read: 0 take it, 1 stop (the end of the view), else skip it.
  virtual int ScreenRecord() { return 0; }

  // The filter text the current sort order gives (also what RefreshFilter sets); false when
  // it does not fit its room.
  bool BuildFilterText(std::string* text);

  // --- Fields (their upper-case names in comments) ----------------------------
  bool dispose_order = true;     // DISPOSEORDER
  bool opened = false;           // OPENED
  uint16_t pages_ahead = 0;      // PAGESAHEAD
  uint16_t pages_behind = 0;     // PAGESBEHIND
  uint16_t page_size = 0;        // PAGESIZE
  uint16_t timeout = 0;          // TIMEOUT

  RelationController* primary() const { return primary_; }  // PRIMARY
  FileController* primary_file() const;
  ViewAccess* view() const { return view_; }                  // VIEW
  size_t sort_orders() const { return orders_.size(); }
  int current_order_number() const { return current_; }      // 1-based, 0 when none
  SortOrder* current_order();                                 // null when none
  SortOrder* sort_order(int n);                               // 1-based

 protected:
  // A browse keeps its own kind of sort order.
  virtual std::unique_ptr<SortOrder> MakeSortOrder() { return std::make_unique<SortOrder>(); }
  // Reads on in one direction, skipping what ScreenRecord rejects.
  Outcome Read(bool forward);
  // Snapshot of the current range's values, to tell when they change.
  std::vector<std::string> RangeValues();

 private:
  RelationController* primary_ = nullptr;
  ViewAccess* view_ = nullptr;
  std::vector<std::unique_ptr<SortOrder>> orders_;
  int current_ = 0;
  std::string applied_order_;      // what the VIEW was last given, to skip unchanged texts
  std::string applied_filter_;
  bool applied_ = false;           // applied_order_/applied_filter_ hold since the last Open
  std::vector<std::string> last_range_;
};

}  // namespace korvex::framework
