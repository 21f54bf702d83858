// The order-number move on a file of 100 000 customers, and sequential reading
// through the file controller beside the raw driver:
//
//   BM_Move20Rows       one move of a customer across a page of 20 rows (21
//                       writes and one commit); reports flushes per move and
//                       the flushes of a single one-record commit for scale
//   BM_NextQuiet        100 000 records in key order through NextQuiet
//   BM_DriverNext       the same through the driver's NEXT directly
//
// nextquiet_vs_driver (from BM_NextQuiet) is the controller's time over the
// driver's for the same scan.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/data_dictionary.h"
#include "app/order_rotation.h"
#include "data/brisken/bkf_driver.h"
#include "data/driver/operation.h"
#include "framework/recording_display.h"
#include "framework/transaction.h"
#include "runtime/os/file.h"
#include "runtime/os/temp_dir.h"

namespace {

using namespace korvex;
using namespace korvex::app;
using Clock = std::chrono::steady_clock;

constexpr int kCustomers = 100000;
constexpr int kPageRows = 20;

std::atomic<int64_t> flushes{0};

// Counts the flushes of every file the driver opens.
class CountingFile : public os::File {
 public:
  explicit CountingFile(std::unique_ptr<os::File> inner) : inner_(std::move(inner)) {}
  os::Status ReadAt(uint64_t o, void* b, size_t n, size_t* got) override {
    return inner_->ReadAt(o, b, n, got);
  }
  os::Status WriteAt(uint64_t o, const void* d, size_t n) override { return inner_->WriteAt(o, d, n); }
  os::Status Flush() override {
    ++flushes;
    return inner_->Flush();
  }
  os::Status Truncate(uint64_t s) override { return inner_->Truncate(s); }
  os::Status Size(uint64_t* s) override { return inner_->Size(s); }
  os::Status TryLock(uint64_t o, uint64_t n) override { return inner_->TryLock(o, n); }
  os::Status Lock(uint64_t o, uint64_t n) override { return inner_->Lock(o, n); }
  os::Status Unlock(uint64_t o, uint64_t n) override { return inner_->Unlock(o, n); }

 private:
  std::unique_ptr<os::File> inner_;
};

// The data dictionary over a folder with kCustomers customers, numbered 10, 20 ...
struct World {
  os::TempDir dir{"order-move-bench"};
  framework::RecordingDisplay display;
  bool ok = false;

  World() {
    os::SetFileWrapper([](const std::string&, std::unique_ptr<os::File> f) {
      return std::unique_ptr<os::File>(new CountingFile(std::move(f)));
    });
    SetDataFolder(dir.path());
    ResetGlobals();
    AppErrors.Init(&display);
    InitDataDictionary();
    if (CustomerRelations.OpenWithRelated(false) != framework::kOutcomeDone) return;
    framework::FileTransaction tx;
    if (tx.Enrol(CustomerFile) != 0 || tx.Start() != 0) return;
    CustomerFile.has_autoinc = false;
    uint8_t* r = CustomerRecord();
    for (int i = 0; i < kCustomers; ++i) {
      std::memset(r, ' ', kCustomerRecordSize);
      const int32_t id = (i + 1) * 10;
      std::memcpy(r, &id, 4);
      std::string name = "Customer";
      name += std::to_string(1000000 + i);
      std::memcpy(r + 4, name.data(), name.size());
      std::memcpy(r + 24, "Northbank", 9);
      std::memcpy(r + 44, "555-0100", 8);
      if (CustomerFile.InsertQuiet() != framework::kOutcomeDone) return;
    }
    ok = tx.Commit() == 0;
  }
  ~World() {
    CustomerRelations.CloseWithRelated(false);
    KillDataDictionary();
    AppErrors.Kill();
    os::SetFileWrapper({});
  }
};

// Made at first use and taken down in main, while the driver's per-thread
// state still exists (a static destructor would run after it is gone).
std::unique_ptr<World>& WorldHolder() {
  static std::unique_ptr<World> world;
  return world;
}
World& TheWorld() {
  if (!WorldHolder()) WorldHolder() = std::make_unique<World>();
  return *WorldHolder();
}

void BM_Move20Rows(benchmark::State& state) {
  World& w = TheWorld();
  if (!w.ok) {
    state.SkipWithError("could not build the customer file");
    return;
  }
  std::vector<int32_t> page;
  for (int i = 0; i < kPageRows; ++i) page.push_back((kCustomers / 2 + i) * 10);
  RotationValues values;
  // For scale: the flushes of one single-record commit.
  std::memcpy(CustomerRecord(), &page[0], 4);
  CustomerFile.FetchQuiet(&kCusById);
  const int64_t before_single = flushes.load();
  CustomerFile.UpdateQuiet();
  const int64_t single = flushes.load() - before_single;

  int64_t moves = 0, failed = 0;
  const int64_t start_flushes = flushes.load();
  bool forward = true;
  for (auto _ : state) {
    const int drag = forward ? 1 : kPageRows, drop = forward ? kPageRows : 1;
    std::memcpy(CustomerRecord(), &page[static_cast<size_t>(drag - 1)], 4);
    CustomerFile.FetchQuiet(&kCusById);
    if (RotateOrderNumbers(CustomerFile, drag, drop, page, values) != framework::kOutcomeDone) {
      ++failed;
    }
    forward = !forward;
    ++moves;
  }
  state.counters["flushes_per_move"] = static_cast<double>(flushes.load() - start_flushes) /
                                       static_cast<double>(moves);
  state.counters["flushes_per_single_commit"] = static_cast<double>(single);
  state.counters["failed_moves"] = static_cast<double>(failed);
}
BENCHMARK(BM_Move20Rows)->Unit(benchmark::kMillisecond);

double ScanSeconds(bool through_controller) {
  World& w = TheWorld();
  auto start = Clock::now();
  int64_t n = 0;
  if (through_controller) {
    CustomerFile.Call(driver::kOpSetKey, {driver::Argument::Key(&kCusById)});
    while (CustomerFile.NextQuiet() == framework::kOutcomeDone) ++n;
  } else {
    driver::Arguments set{driver::Argument::Key(&kCusById)}, none;
    driver::FileControlBlock* fcb = &CustomerBlock();
    brisken::BkfEntry(driver::kOpSetKey, fcb, &set);
    while (brisken::BkfEntry(driver::kOpNext, fcb, &none) == 0) ++n;
  }
  (void)w;
  return n == kCustomers ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

void BM_NextQuiet(benchmark::State& state) {
  if (!TheWorld().ok) {
    state.SkipWithError("could not build the customer file");
    return;
  }
  double controller = 0, raw = 0;
  for (auto _ : state) {
    const double c = ScanSeconds(true);
    state.PauseTiming();
    const double r = ScanSeconds(false);
    state.ResumeTiming();
    if (c < 0 || r < 0) {
      state.SkipWithError("scan did not see every record");
      return;
    }
    controller += c;
    raw += r;
  }
  state.counters["nextquiet_vs_driver"] = controller / raw;
  state.SetItemsProcessed(state.iterations() * kCustomers);
}
BENCHMARK(BM_NextQuiet)->Unit(benchmark::kMillisecond);

void BM_DriverNext(benchmark::State& state) {
  if (!TheWorld().ok) {
    state.SkipWithError("could not build the customer file");
    return;
  }
  for (auto _ : state) {
    if (ScanSeconds(false) < 0) {
      state.SkipWithError("scan did not see every record");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kCustomers);
}
BENCHMARK(BM_DriverNext)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  WorldHolder().reset();
  benchmark::Shutdown();
  return 0;
}
