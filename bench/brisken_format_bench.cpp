// Bulk insertion into the Brisken record tree: one million small records
// (a 9-byte data-record header and 40 bytes of blank-padded fields), added in
// key order and in random order, committed every 1000 records, into a real
// file. Reports insertions per second and file bytes per record.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "runtime/os/temp_dir.h"

namespace {

using namespace korvex::brisken;

// BRISKEN_BENCH_RECORDS overrides the count (for quick runs and profiles).
const uint32_t kRecords = [] {
  const char* env = std::getenv("BRISKEN_BENCH_RECORDS");
  return env ? static_cast<uint32_t>(std::strtoul(env, nullptr, 10)) : 1000000u;
}();
constexpr uint32_t kCommitEvery = 1000;

Record SmallRecord(uint32_t n) {
  Record r;
  r.bytes.assign("\0\0\0\1\xF3", 5);
  char be[4];
  PutBe32(be, n);
  r.bytes.append(be, 4);
  r.header_len = 9;
  char fields[41];
  std::snprintf(fields, sizeof fields, "%-20s%-12s%08u", ("NAME" + std::to_string(n % 9973)).c_str(),
                "SUBURB", n);
  r.bytes.append(fields, 40);
  return r;
}

void Insert(benchmark::State& state, bool random_order) {
  std::vector<uint32_t> keys(kRecords);
  std::iota(keys.begin(), keys.end(), 1u);
  if (random_order) std::shuffle(keys.begin(), keys.end(), std::mt19937(42));
  for (auto _ : state) {
    korvex::os::TempDir dir("brisken-bench");
    std::string path = dir.File("BENCH.BKF");
    std::unique_ptr<BriskenFile> file;
    if (!BriskenFile::Open(path, 2 | mode::kDenyAll | mode::kCreate, &file).ok()) {
      state.SkipWithError("open failed");
      return;
    }
    bool inserted = false;
    for (uint32_t i = 0; i < kRecords; ++i) {
      if (!file->Insert(SmallRecord(keys[i]), &inserted).ok() ||
          ((i + 1) % kCommitEvery == 0 && !file->Commit().ok())) {
        state.SkipWithError("insert failed");
        return;
      }
    }
    uint64_t bytes = file->header().DataLength();
    if (!file->Close().ok()) state.SkipWithError("close failed");
    state.counters["inserts_per_s"] = benchmark::Counter(kRecords, benchmark::Counter::kIsRate);
    state.counters["bytes_per_record"] = static_cast<double>(bytes) / kRecords;
    state.counters["raw_bytes_per_record"] = 49;
  }
}

void BM_InsertKeyOrder(benchmark::State& state) { Insert(state, false); }
void BM_InsertRandomOrder(benchmark::State& state) { Insert(state, true); }

BENCHMARK(BM_InsertKeyOrder)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertRandomOrder)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
