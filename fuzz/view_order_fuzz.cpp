// Order and filter texts of a view over a small table held in memory: the
// text is split, compiled against the CUSTOMER fields and the view read both
// ways, positioned by SETview and by a saved position. Any text must end in an
// error code or a sound read, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "data/driver/arguments.h"
#include "data/driver/declarations.h"
#include "data/driver/error_codes.h"
#include "data/driver/file_control_block.h"
#include "data/driver/operation.h"
#include "data/view/order_text.h"
#include "data/view/view_engine.h"

namespace {

using namespace korvex;
using driver::Argument;
using driver::Arguments;

constexpr driver::FieldDescriptor kFields[] = {
    driver::MakeField("CUS:CUSID", kTypeLong, 4),
    driver::MakeString("CUS:NAME", 20),
    driver::MakeString("CUS:SUBURB", 20),
    driver::MakeField("CUS:STARTDATE", kTypeLong, 4),
};
constexpr int32_t kByName[] = {2};
constexpr int32_t kById[] = {-1};
constexpr driver::KeyDeclaration kKeys[] = {
    {.label = "CUS:BYNAME", .flags = driver::kKeyNoCase, .components = kByName},
    {.label = "CUS:BYID", .flags = driver::kKeyDup, .components = kById},
};
constexpr driver::FileDeclaration kFile = {.label = "CUSTOMER", .keys = kKeys, .fields = kFields};
constexpr size_t kRecord = 48;

// A table in memory that answers the operations a view uses, in record order
// whatever key is set (a key that does not really order the records is the
// worst case for the order stage's assumptions, and must still not crash it).
struct MemoryTable {
  std::vector<std::vector<uint8_t>> records;
  int64_t at = 0;       // 1-based current record; 0 before any read
  int64_t start = 0;    // after a SET: 0 from either end, else the record both reads start at
  bool started = true;  // a SET is pending
  uint8_t* buffer = nullptr;
};
MemoryTable* g_table = nullptr;

// Answers as the Brisken driver does: a SET positions the next NEXT or
// PREVIOUS (at record r itself after a SET to r), a failed read changes nothing.
int32_t Entry(int op, driver::FileControlBlock*, const Arguments* args) {
  MemoryTable& t = *g_table;
  const int64_t n = static_cast<int64_t>(t.records.size());
  int64_t number = 0;
  int64_t* answer = nullptr;
  auto deliver = [&](int64_t r) {
    std::memcpy(t.buffer, t.records[static_cast<size_t>(r - 1)].data(), kRecord);
    return 0;
  };
  switch (op) {
    case driver::kOpSetFile:
    case driver::kOpSetKey:
    case driver::kOpSetKeyKey:
      t.started = true;
      t.start = 0;
      return 0;
    case driver::kOpSetFilePtr:
    case driver::kOpSetKeyKeyPtr:
      args->GetNumber(op == driver::kOpSetFilePtr ? 0 : 1, &number);
      t.started = true;
      t.start = number;
      return 0;
    case driver::kOpNext:
    case driver::kOpPrevious: {
      const bool forward = op == driver::kOpNext;
      int64_t next = t.started ? (t.start != 0 ? t.start : (forward ? 1 : n)) : (forward ? t.at + 1 : t.at - 1);
      if (next < 1 || next > n) return driver::kErrRecordNotAvailable;
      t.started = false;
      t.at = next;
      return deliver(next);
    }
    case driver::kOpPointerFile:
      if (args->GetNumberAnswer(0, &answer)) *answer = t.at;
      return 0;
    case driver::kOpGetFilePtr:
      args->GetNumber(0, &number);
      if (number < 1 || number > n) return driver::kErrRecordNotFound;
      return deliver(number);
    case driver::kOpRecordsFile:
      if (args->GetNumberAnswer(0, &answer)) *answer = n;
      return 0;
    case driver::kOpRecordsKey:
      if (args->GetNumberAnswer(1, &answer)) *answer = n;
      return 0;
    case driver::kOpQueryKey: return 0;
    default: return driver::kErrUnsupportedFunction;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Layout: order text, a NUL, filter text, a NUL, then record bytes.
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t first = input.find('\0');
  std::string order(input.substr(0, first));
  std::string filter;
  std::string_view rest;
  if (first != std::string_view::npos) {
    size_t second = input.find('\0', first + 1);
    filter.assign(input.substr(first + 1, second == std::string_view::npos ? second : second - first - 1));
    if (second != std::string_view::npos) rest = input.substr(second + 1);
  }
  std::vector<view::OrderComponent> components;
  std::string error;
  if (view::ParseOrderText(order, &components, &error)) {
    for (const auto& c : components) {
      if (c.expression.empty()) __builtin_trap();
    }
  }

  MemoryTable table;
  uint8_t buffer[kRecord] = {};
  table.buffer = buffer;
  for (size_t i = 0; i < 12 && rest.size() >= (i + 1) * 8; ++i) {
    std::vector<uint8_t> r(kRecord, ' ');
    std::memcpy(r.data(), rest.data() + i * 8, 4);       // id
    std::memcpy(r.data() + 4, rest.data() + i * 8 + 4, 3);  // name
    std::memcpy(r.data() + 24, rest.data() + i * 8 + 7, 1);  // suburb
    table.records.push_back(std::move(r));
  }
  g_table = &table;
  driver::FileControlBlock file(&kFile, buffer, sizeof buffer);
  view::ViewDeclaration declaration;
  declaration.primary.file = &file;
  declaration.primary.entry = &Entry;
  view::ViewControlBlock v(&declaration);
  if (v.SetOrder(order, &error) != 0 && !components.empty() && error.empty()) __builtin_trap();
  v.SetFilter(filter, &error);
  view::ViewEntry(driver::kOpOpen, &v, nullptr);
  size_t forward = 0, backward = 0;
  while (view::ViewEntry(driver::kOpNext, &v, nullptr) == 0 && forward <= table.records.size() * 4) ++forward;
  while (view::ViewEntry(driver::kOpPrevious, &v, nullptr) == 0 && backward <= table.records.size() * 4) ++backward;
  if (forward > table.records.size() || backward > table.records.size()) __builtin_trap();
  Arguments set{Argument::Number(static_cast<int64_t>(size % 4))};
  view::ViewEntry(driver::kOpSetView, &v, &set);
  if (view::ViewEntry(driver::kOpNext, &v, nullptr) == 0) {
    std::string position;
    Arguments where{Argument::TextAnswer(&position)};
    if (view::ViewEntry(driver::kOpPositionFile, &v, &where) == 0) {
      Arguments back{Argument::Text(position)};
      view::ViewEntry(driver::kOpResetFile, &v, &back);
      view::ViewEntry(driver::kOpPrevious, &v, nullptr);
    }
  }
  int64_t count = 0;
  Arguments records{Argument::NumberAnswer(&count)};
  view::ViewEntry(driver::kOpRecordsFile, &v, &records);
  view::ViewEntry(driver::kOpClose, &v, nullptr);
  g_table = nullptr;
  return 0;
}
