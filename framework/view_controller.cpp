#include "framework/view_controller.h"

#include <algorithm>

#include "framework/file_controller.h"
#include "framework/file_controller_fields.h"
#include "framework/file_usage.h"
#include "framework/message_ids.h"
#include "framework/relation_controller.h"

namespace korvex::framework {

namespace {

constexpr int32_t kNoMoreRecords = 33;
constexpr size_t kMaxFilterId = 30;

void TrimRight(std::string* text) {
  while (!text->empty() && text->back() == ' ') text->pop_back();
}

// A range value written as a literal of the filter language.
std::string Literal(const RangeValue& value, std::string_view component_name) {
  std::string text = value.value ? value.value() : std::string();
  if (!value.is_text) {
    TrimRight(&text);
    return text.empty() ? "0" : text;
  }
  std::string quoted = "'";
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  quoted += '\'';
  if (component_name.starts_with("UPPER(")) return "UPPER(" + quoted + ")";
  return quoted;
}

}  // namespace

ViewController::~ViewController() = default;

void ViewController::Init(RelationController* primary, ViewAccess* view) {
  primary_ = primary;
  view_ = view;
  orders_.clear();
  current_ = 0;
  opened = false;
  applied_ = false;
}

FileController* ViewController::primary_file() const { return primary_ ? primary_->me() : nullptr; }

SortOrder* ViewController::current_order() { return sort_order(current_); }

SortOrder* ViewController::sort_order(int n) {
  if (n < 1 || static_cast<size_t>(n) > orders_.size()) return nullptr;
  return orders_[static_cast<size_t>(n) - 1].get();
}

int ViewController::AddKeyOrder(const driver::KeyDeclaration* key) {
  std::unique_ptr<SortOrder> order = MakeSortOrder();
  order->main_key = key;
  FileController* file = primary_file();
  if (key != nullptr && file != nullptr) order->free_element = file->ComponentField(key, 1);
  orders_.push_back(std::move(order));
  current_ = static_cast<int>(orders_.size());  // the entry just added is the current one
  ReplaceOrderText(key != nullptr && file != nullptr ? file->OrderText(key, 1) : std::string());
  return current_;
}

Outcome ViewController::OpenViewFiles() {
  for (const void* file : view_->Files()) {
    FileController* controller = FileUsageRegistry::Instance().Find(file);
    if (controller == nullptr) continue;
    Outcome outcome = controller->EnsureUsable(kUseData);
    if (outcome != kOutcomeDone) return outcome;
  }
  return kOutcomeDone;
}

bool ViewController::BuildFilterText(std::string* text) {
  text->clear();
  SortOrder* order = current_order();
  FileController* file = primary_file();
  if (order == nullptr) return true;
  auto name_of = [&](size_t i, std::string* name) {
    *name = file != nullptr ? file->ComponentName(order->main_key, static_cast<int>(i)) : std::string();
    return name->size() <= kMaxComponentName;
  };
  auto append = [&](std::string_view piece) {
    text->append(piece);
    TrimRight(text);
  };
  std::string name;
  const size_t k = order->range.size();
  if (order->limit_type == 1 || order->limit_type == 2 || order->limit_type == 4) {
    for (size_t i = 1; i <= k; ++i) {
      if (!name_of(i, &name)) return false;
      append((i == 1 ? "" : " AND ") + name + " = " + Literal(order->range[i - 1], name));
    }
  } else if (order->limit_type == kRangeBetween && k >= 2) {
    // Components fixed to one value each, then the last one between a low and a high bound.
    for (size_t i = 1; i + 2 <= k; ++i) {
      if (!name_of(i, &name)) return false;
      append((i == 1 ? "" : " AND ") + name + " = " + Literal(order->range[i - 1], name));
    }
    if (!name_of(k - 1, &name)) return false;
    append((text->empty() ? "" : " AND ") + name + " >= " + Literal(order->range[k - 2], name));
    append(" AND " + name + " <= " + Literal(order->range[k - 1], name));
  }
  for (const NamedFilter& filter : order->filters) {
    append((text->empty() ? "(" : " AND (") + filter.text + ")");
  }
  return text->size() <= kMaxFilterText;
}

std::vector<std::string> ViewController::RangeValues() {
  std::vector<std::string> values;
  if (SortOrder* order = current_order()) {
    for (const RangeValue& value : order->range) values.push_back(value.value ? value.value() : "");
  }
  return values;
}

void ViewController::RefreshFilter() {
  std::string text;
  last_range_ = RangeValues();
  if (!opened) return;  // Open applies it
  if (!BuildFilterText(&text)) {
    // A cut filter would select the wrong records: none at all, and the user is told.
    if (FileController* file = primary_file()) file->Raise(kMsgViewOpenFailed);
    text.clear();
  }
  if (applied_ && text == applied_filter_) return;  // unchanged: the view keeps its pipeline
  if (view_->SetFilter(text) != 0) {
    if (FileController* file = primary_file()) file->Raise(kMsgViewOpenFailed);
    return;
  }
  applied_filter_ = text;
}

void ViewController::RefreshOrder() {
  if (!opened) return;  // Open applies it
  SortOrder* order = current_order();
  std::string text = order != nullptr ? order->order : std::string();
  if (applied_ && text == applied_order_) return;
  if (view_->SetOrder(text) != 0) {
    if (FileController* file = primary_file()) file->Raise(kMsgViewOpenFailed);
    return;
  }
  applied_order_ = text;
}

bool ViewController::NeedsRefresh() { return RangeValues() != last_range_; }

void ViewController::Close() {
  if (opened) view_->Close();
  opened = false;
  applied_ = false;
}

int ViewController::FirstFreeComponent() {
  SortOrder* order = current_order();
  FileController* file = primary_file();
  if (order == nullptr || order->main_key == nullptr || file == nullptr) return 0;
  int n = static_cast<int>(order->range.size()) + (order->limit_type == kRangeBetween ? 0 : 1);
  return n > file->ComponentCount(order->main_key) ? 0 : n;
}

std::string ViewController::FreeComponentName() {
  int n = FirstFreeComponent();
  if (n == 0) return {};
  return primary_file()->ComponentName(current_order()->main_key, n);
}

void ViewController::Kill() {
  if (dispose_order) orders_.clear();
  current_ = 0;
  applied_ = false;
}

Outcome ViewController::Read(bool forward) {
  for (;;) {
    int32_t error = forward ? view_->Next() : view_->Previous();
    if (error == kNoMoreRecords) return kOutcomeFailed;
    if (error != 0) {
      if (FileController* file = primary_file()) file->Raise(kMsgAbortReading);
      return kOutcomeNotUsable;
    }
    int judged = ScreenRecord();
    if (judged == 0) return kOutcomeDone;
    if (judged == 1) return kOutcomeFailed;
  }
}

Outcome ViewController::Next() { return Read(true); }

Outcome ViewController::Previous() { return Read(false); }

void ViewController::Open() {
  if (opened) return;
  if (view_->Open(kViewAccessMode) != 0) {
    if (FileController* file = primary_file()) file->Raise(kMsgViewOpenFailed);
    return;
  }
  view_->Buffer(page_size, pages_behind, pages_ahead, timeout);
  opened = true;
  applied_ = false;  // a freshly opened view is given both texts
  RefreshOrder();
  RefreshFilter();
  applied_ = true;
}

void ViewController::PrepareRangeRecord(bool keep_buffer) {
  if (!keep_buffer) view_->ClearRecords();
  SortOrder* order = current_order();
  FileController* file = primary_file();
  if (order != nullptr && file != nullptr && file->file() != nullptr) {
    size_t count = order->range.size();
    if (order->limit_type == kRangeBetween) count = count >= 2 ? count - 2 : 0;
    else if (order->limit_type == kRangeNone) count = 0;
    for (size_t i = 1; i <= count; ++i) {
      int field = file->ComponentField(order->main_key, static_cast<int>(i));
      const RangeValue& value = order->range[i - 1];
      if (field > 0) SetFieldText(*file->file(), field - 1, value.value ? value.value() : "");
    }
  }
  if (file != nullptr) file->PrepareNewRecord(true);
}

void ViewController::PositionView(int components) {
  Open();
  if (view_->Set(components) != 0) {
    if (FileController* file = primary_file()) file->Raise(kMsgViewOpenFailed);
  }
}

void ViewController::SetNamedFilter(std::string_view text, std::string_view id) {
  SortOrder* order = current_order();
  if (order == nullptr) return;
  std::string key(id.substr(0, kMaxFilterId));
  auto& filters = order->filters;
  auto at = std::lower_bound(filters.begin(), filters.end(), key,
                             [](const NamedFilter& f, const std::string& k) { return f.id < k; });
  bool found = at != filters.end() && at->id == key;
  if (text.empty()) {
    if (found) filters.erase(at);
    return;
  }
  if (found) {
    at->text = std::string(text);
  } else {
    filters.insert(at, NamedFilter{key, std::string(text)});
  }
}

void ViewController::ReplaceOrderText(std::string_view text) {
  if (SortOrder* order = current_order()) order->order = std::string(text);
}

bool ViewController::UseSortOrder(int n) {
  if (n == 0) n = 1;
  if (n < 1 || static_cast<size_t>(n) > orders_.size()) return false;
  if (n == current_) return false;
  current_ = n;
  return true;
}

}  // namespace korvex::framework
