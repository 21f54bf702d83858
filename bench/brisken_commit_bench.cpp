// Durable commits of transactions over two files, Brisken beside SQLite:
//
//   BM_SmallTransactions  one record added to each of two files per commit
//   BM_LargeTransactions  500 records added to each of two files per commit
//
// Brisken runs the multi-file commit (control file entry, shadow pages in
// both files, commit point, completion); SQLite puts the two tables in one
// database with journal_mode=DELETE and synchronous=FULL, so both wait for the
// disk at every commit. Each reports commits per second of both engines and
// brisken_vs_sqlite (above 1: Brisken is faster).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "data/brisken/transaction.h"
#include "runtime/os/temp_dir.h"

namespace {

using namespace korvex::brisken;
using Clock = std::chrono::steady_clock;

Record Make(uint32_t n) {
  Record r;
  r.bytes.assign(5, '\0');
  r.bytes[0] = 0x01;
  PutBe32(r.bytes.data() + 1, n);
  r.header_len = 5;
  r.bytes.append(80, 'x');
  return r;
}

// Commits per second of `commits` Brisken transactions of `per_file` records in each file.
double BriskenRate(int commits, uint32_t per_file) {
  korvex::os::TempDir dir("brisken-commit-bench");
  std::string pa = dir.File("a.bkf"), pb = dir.File("b.bkf");
  std::unique_ptr<BriskenFile> a, b;
  if (!BriskenFile::Open(pa, 2 | mode::kDenyNone, &a).ok() ||
      !BriskenFile::Open(pb, 2 | mode::kDenyNone, &b).ok()) {
    return 0;
  }
  Transaction t;
  uint32_t next = 1;
  auto start = Clock::now();
  for (int c = 0; c < commits; ++c) {
    if (!t.Logout({{a.get(), pa}, {b.get(), pb}}).ok()) return 0;
    bool ok = false;
    for (uint32_t i = 0; i < per_file; ++i, ++next) {
      if (!a->Insert(Make(next), &ok).ok() || !b->Insert(Make(next), &ok).ok()) return 0;
    }
    if (!t.Commit().ok()) return 0;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  a->Close();
  b->Close();
  return commits / seconds;
}

double SqliteRate(int commits, uint32_t per_file) {
  korvex::os::TempDir dir("sqlite-commit-bench");
  sqlite3* db = nullptr;
  if (sqlite3_open(dir.File("t.db").c_str(), &db) != SQLITE_OK) return 0;
  auto exec = [&](const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; };
  if (!exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
            "CREATE TABLE a(id INTEGER PRIMARY KEY, v TEXT);"
            "CREATE TABLE b(id INTEGER PRIMARY KEY, v TEXT);")) {
    sqlite3_close(db);
    return 0;
  }
  sqlite3_stmt* ia = nullptr;
  sqlite3_stmt* ib = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO a VALUES(?, ?)", -1, &ia, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO b VALUES(?, ?)", -1, &ib, nullptr);
  const std::string value(80, 'x');
  uint32_t next = 1;
  bool ok = true;
  auto start = Clock::now();
  for (int c = 0; c < commits && ok; ++c) {
    ok = exec("BEGIN");
    for (uint32_t i = 0; i < per_file && ok; ++i, ++next) {
      for (sqlite3_stmt* s : {ia, ib}) {
        sqlite3_bind_int64(s, 1, next);
        sqlite3_bind_text(s, 2, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
        ok = ok && sqlite3_step(s) == SQLITE_DONE;
        sqlite3_reset(s);
      }
    }
    ok = ok && exec("COMMIT");
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sqlite3_finalize(ia);
  sqlite3_finalize(ib);
  sqlite3_close(db);
  return ok ? commits / seconds : 0;
}

void Report(benchmark::State& state, int commits, uint32_t per_file) {
  double brisken = 0, sqlite = 0;
  for (auto _ : state) {
    brisken = BriskenRate(commits, per_file);
    sqlite = SqliteRate(commits, per_file);
  }
  if (brisken == 0 || sqlite == 0) state.SkipWithError("a commit failed");
  state.counters["brisken_commits_per_s"] = brisken;
  state.counters["sqlite_commits_per_s"] = sqlite;
  state.counters["brisken_vs_sqlite"] = sqlite > 0 ? brisken / sqlite : 0;
}

void BM_SmallTransactions(benchmark::State& state) { Report(state, 200, 1); }
void BM_LargeTransactions(benchmark::State& state) { Report(state, 20, 500); }

BENCHMARK(BM_SmallTransactions)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeTransactions)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
