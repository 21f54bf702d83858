// Every paging operation of the browse controller over a real CUSTOMER file read through the
// view engine in order of CUS:CUSID, with a 10-row list: on 1 000 customers and on 100 000
// (the second argument). A paging operation reads a bounded number of records, so the two
// sizes should cost about the same (goal: every operation under 5 ms, the large file within
// twice the small one).
//
//   BM_FirstPage      a forced reload from the start of the order (RebuildPage from the top)
//   BM_RowEdges       one row down on the last row, then one row up on the first (the page
//                     moves by one row each way); time per pair
//   BM_PageDownUp     a page down and a page up from the middle of the file; time per pair
//   BM_TopBottom      the last page then the first (ScrollToEnd both ways); time per pair
//   BM_Resync         ResyncFromFile on a random customer made current in the file
//   BM_Thumb          a thumb drag to a random position with a numeric step (ReloadFromThumb)
//   BM_LoadSelected   the selected row's record read again (WATCH + REGET)
//
// Run it optimised and without sanitizers: scripts/bench.sh browse
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/brisken/bkf_driver.h"
#include "data/brisken/brisken_file.h"
#include "data/brisken/table.h"
#include "data/driver/arguments.h"
#include "data/driver/declarations.h"
#include "data/driver/operation.h"
#include "data/view/view_declaration.h"
#include "framework/browse_controller.h"
#include "framework/engine_view.h"
#include "framework/error_reporter.h"
#include "framework/fake_window.h"
#include "framework/file_controller.h"
#include "framework/recording_display.h"
#include "framework/relation_controller.h"
#include "framework/scroll_step.h"
#include "framework/window_controller.h"
#include "runtime/os/temp_dir.h"
#include "runtime/queue.h"

namespace {

using namespace korvex;
using namespace korvex::framework;

constexpr int32_t kList = 1;
constexpr int kRows = 10;

constexpr driver::FieldDescriptor kFields[] = {
    driver::MakeField("CUS:CUSID", kTypeLong, 4),
    driver::MakeString("CUS:NAME", 20),
    driver::MakeString("CUS:SUBURB", 20),
    driver::MakeString("CUS:PHONE", 20),
    driver::MakeField("CUS:STARTDATE", kTypeLong, 4),
};
constexpr int32_t kById[] = {1};
constexpr driver::KeyDeclaration kKeys[] = {
    {.label = "CUS:BYID", .flags = driver::kKeyOpt | driver::kKeyPrimary, .components = kById},
};
constexpr driver::FileDeclaration kCustomer = {
    .label = "CUSTOMER", .driver = "BRISKEN", .attributes = driver::kFileCreate, .keys = kKeys,
    .fields = kFields};
constexpr size_t kRecordSize = 68;

// One file of `count` customers numbered 1..count, made once per size.
std::string FileOf(int64_t count) {
  static os::TempDir dir{"browse-bench"};
  static std::map<int64_t, std::string> made;
  auto found = made.find(count);
  if (found != made.end()) return found->second;
  std::string name = dir.File("CUSTOMER" + std::to_string(count) + ".BKF");
  std::unique_ptr<brisken::BriskenFile> file;
  std::unique_ptr<brisken::Table> table;
  if (!brisken::BriskenFile::Open(name, 2 | brisken::mode::kDenyAll | brisken::mode::kCreate, &file).ok() ||
      brisken::Table::Create(file.get(), "UNNAMED", kCustomer, &table) != 0) {
    return {};
  }
  std::vector<uint8_t> buffer(kRecordSize);
  char text[32];
  for (int32_t id = 1; id <= count; ++id) {
    std::memset(buffer.data(), ' ', kRecordSize);
    std::memcpy(buffer.data(), &id, 4);
    std::snprintf(text, sizeof text, "Customer %07d", static_cast<int>(id));
    std::memcpy(buffer.data() + 4, text, std::strlen(text));
    if (table->Add({buffer}) != 0) return {};
  }
  table.reset();
  if (!file->Close().ok()) return {};
  return made[count] = name;
}

// A browse over the file as a procedure sets it up, with a fake list of kRows rows.
struct Browse {
  uint8_t record[kRecordSize] = {};
  driver::FileControlBlock block{&kCustomer, record, kRecordSize};
  RecordingDisplay display;
  ErrorReporter errors;
  FileController file;
  RelationController relations;
  view::ViewDeclaration declaration;
  std::unique_ptr<EngineView> view;
  ScriptedEventSource events;
  FakeWindowPort port;
  WindowController window;
  Queue queue{{{"CUS:CUSID", kTypeLong, 4}, {"CUS:NAME", kTypeString, 20}, {"VIEWPOSITION", kTypeString, 1024}}};
  NumericScrollStep step{0};
  BrowseController browse;
  int64_t count;
  bool ok = false;
  const char* failure = "the file could not be made";

  Browse(int64_t records, bool with_step) : count(records) {
    block.name = FileOf(records);
    if (block.name.empty()) return;
    failure = "the file could not be opened";
    errors.Init(&display);
    file.Init(&block, &errors);
    file.AddKey(&kKeys[0], 0, "By id");
    // Opening is counted; the file is opened for real on its first use, as a procedure's does.
    if (file.Open() != kOutcomeDone || file.EnsureUsable(kUseBrowse) != kOutcomeDone) return;
    failure = "the first page was not read";
    relations.Init(&file, false);
    declaration.primary.file = &block;
    declaration.primary.entry = &brisken::BkfEntry;
    view = std::make_unique<EngineView>(&declaration);
    window.SetWindow(&events, &port);
    port.properties[{kList, kPropListItems}] = std::to_string(kRows);
    port.properties[{kList, kPropVisible}] = std::to_string(1);
    browse.Init(kList, &queue, "VIEWPOSITION", &window, &relations, view.get());
    browse.AppendSortOrder(with_step ? &step : nullptr, &kKeys[0]);
    browse.MapField(&block, 0, "CUS:CUSID");
    browse.MapField(&block, 1, "CUS:NAME");
    browse.ChooseSortOrder(false);
    ok = queue.Records() == static_cast<size_t>(kRows) && display.shown.empty();
  }
  ~Browse() {
    browse.Kill();
    view.reset();
    relations.Kill();
    file.Close();
    file.Kill();
    errors.Kill();
  }
  // Makes customer id current in the file, as an update procedure leaves it.
  void MakeCurrent(int32_t id) {
    std::memcpy(record, &id, 4);
    file.FetchQuiet(&kKeys[0]);
  }
  int32_t SelectedId() const {
    int32_t id;
    std::memcpy(&id, record, 4);
    return id;
  }
  // Puts the page in the middle of the file.
  void ToMiddle() {
    MakeCurrent(static_cast<int32_t>(count / 2));
    browse.current_choice = 5;
    browse.ResyncFromFile();
  }
};

bool Ready(benchmark::State& state, const Browse& b) {
  if (b.ok) return true;
  state.SkipWithError(b.failure);
  return false;
}

// items_per_second counts paging operations (a pair counts two).
void Done(benchmark::State& state, Browse& b, int operations_per_iteration) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * operations_per_iteration);
  if (!b.display.shown.empty()) state.SkipWithError("an error was reported");
}

void BM_FirstPage(benchmark::State& state) {
  Browse b(state.range(0), false);
  if (!Ready(state, b)) return;
  for (auto _ : state) {
    b.queue.Free();
    b.browse.ChooseSortOrder(true);
    benchmark::DoNotOptimize(b.SelectedId());
  }
  if (b.SelectedId() != 1) state.SkipWithError("wrong first row");
  Done(state, b, 1);
}

void BM_RowEdges(benchmark::State& state) {
  Browse b(state.range(0), false);
  if (!Ready(state, b)) return;
  b.ToMiddle();
  for (auto _ : state) {
    b.browse.current_choice = kRows;
    b.browse.HandleScroll(kEventScrollDown);
    b.browse.current_choice = 1;
    b.browse.HandleScroll(kEventScrollUp);
  }
  Done(state, b, 2);
}

void BM_PageDownUp(benchmark::State& state) {
  Browse b(state.range(0), false);
  if (!Ready(state, b)) return;
  b.ToMiddle();
  for (auto _ : state) {
    b.browse.HandleScroll(kEventPageDown);
    b.browse.HandleScroll(kEventPageUp);
  }
  Done(state, b, 2);
}

void BM_TopBottom(benchmark::State& state) {
  Browse b(state.range(0), false);
  if (!Ready(state, b)) return;
  for (auto _ : state) {
    b.browse.HandleScroll(kEventScrollBottom);
    b.browse.HandleScroll(kEventScrollTop);
  }
  Done(state, b, 2);
}

void BM_Resync(benchmark::State& state) {
  Browse b(state.range(0), false);
  if (!Ready(state, b)) return;
  std::mt19937 rng(11);
  for (auto _ : state) {
    state.PauseTiming();
    b.MakeCurrent(static_cast<int32_t>(rng() % b.count) + 1);
    b.browse.current_choice = 4;
    state.ResumeTiming();
    b.browse.ResyncFromFile();
  }
  Done(state, b, 1);
}

void BM_Thumb(benchmark::State& state) {
  Browse b(state.range(0), true);
  if (!Ready(state, b)) return;
  std::mt19937 rng(13);
  for (auto _ : state) {
    b.port.properties[{kList, kPropListThumb}] = std::to_string(2 + rng() % 97);
    b.events.Queue(kEventScrollDrag, kList);
    b.events.AcceptNext();
    b.browse.HandleBrowseEvent();
  }
  Done(state, b, 1);
}

void BM_LoadSelected(benchmark::State& state) {
  Browse b(state.range(0), false);
  if (!Ready(state, b)) return;
  b.ToMiddle();
  b.port.properties[{kList, kPropListSelected}] = std::to_string(7);
  for (auto _ : state) {
    if (b.browse.LoadSelected() != kOutcomeDone) state.SkipWithError("record not read");
  }
  Done(state, b, 1);
}

BENCHMARK(BM_FirstPage)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RowEdges)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageDownUp)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TopBottom)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Resync)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Thumb)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadSelected)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
