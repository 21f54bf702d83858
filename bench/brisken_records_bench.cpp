// Record-level work on a Brisken table and on SQLite side by side: the same
// customer records (LONG id, LONG order number, STRING(30) name, STRING(20)
// suburb and phone, DATE) with the same keys (id unique, order number unique,
// name with duplicates, case folded), and the same operations:
//
//   BM_BulkAdd      N records added inside one commit / one transaction
//   BM_FetchById    random ids read by key
//   BM_ScanByName   every record read in name order
//   BM_UpdateOrder  random records read by id and given a new order number
//                   (a key field), all in one commit / transaction
//   BM_DeleteRandom random records read by id and deleted, in one commit
//   BM_CommitEach   one order-number update per commit, for the cost of a
//                   durable commit on its own
//
// Each benchmark runs both engines on identical work and reports the rate of
// each (operations per second) and brisken_vs_sqlite = Brisken rate / SQLite
// rate (above 1: Brisken is faster). BM_BulkAdd also reports the file sizes in
// bytes per record and their ratio (above 1: the Brisken file is larger).
//
// SQLite runs with journal_mode=DELETE and synchronous=FULL, so its commit
// waits for the disk as Brisken's does. Its table is a rowid table with three
// indexes, as a Brisken table keeps its data records by record number and one
// entry set per key. Text goes to SQLite trimmed, as an application would
// store it.
//
// BRISKEN_BENCH_RECORDS sets N (default 100000). BRISKEN_BENCH_ONLY=1 leaves
// SQLite out (for profiling the Brisken side alone; the ratios are then 1). The benchmarks share one pair
// of files and run in order; each builds the pair (untimed) when run alone.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "data/brisken/brisken_file.h"
#include "data/brisken/table.h"
#include "data/driver/declarations.h"
#include "runtime/os/temp_dir.h"

namespace {

using namespace korvex::brisken;
using namespace korvex::driver;
using korvex::kTypeDate;
using korvex::kTypeLong;
using Clock = std::chrono::steady_clock;

const uint32_t kRecords = [] {
  const char* env = std::getenv("BRISKEN_BENCH_RECORDS");
  uint32_t n = env ? static_cast<uint32_t>(std::strtoul(env, nullptr, 10)) : 100000u;
  return n < 100 ? 100u : n;
}();
// Random reads, updates and deletes each touch a tenth of the records.
const uint32_t kTouched = kRecords / 10;
constexpr uint32_t kCommits = 50;

// --- The records -------------------------------------------------------------

constexpr FieldDescriptor kFields[] = {
    MakeField("CUS:CUSID", kTypeLong, 4),      // offset 0
    MakeField("CUS:ORDER", kTypeLong, 4),      // offset 4
    MakeString("CUS:NAME", 30),                // offset 8
    MakeString("CUS:SUBURB", 20),              // offset 38
    MakeString("CUS:PHONE", 20),               // offset 58
    MakeField("CUS:STARTDATE", kTypeDate, 4),  // offset 78
};
constexpr size_t kRecordSize = 82;
constexpr int32_t kIdFields[] = {1};
constexpr int32_t kOrderFields[] = {2};
constexpr int32_t kNameFields[] = {3};
constexpr KeyDeclaration kKeys[] = {
    {.label = "CUS:BYID", .flags = kKeyPrimary, .components = kIdFields},
    {.label = "CUS:BYORDER", .flags = 0, .components = kOrderFields},
    {.label = "CUS:BYNAME", .flags = kKeyDup | kKeyNoCase, .components = kNameFields},
};
constexpr int kKeyById = 1, kKeyByName = 3;
constexpr FileDeclaration kCustomer = {
    .label = "CUSTOMER",
    .driver = "BRISKEN",
    .attributes = kFileCreate,
    .keys = kKeys,
    .fields = kFields,
};

struct Customer {
  int32_t id = 0;
  int32_t order = 0;
  std::string name, suburb, phone;
  int32_t start = 0;
};

// Deterministic customers: ids 1..N, order numbers 10, 20, ..., names drawn
// from a few thousand mixed-case combinations (so the name key has duplicates).
std::vector<Customer> MakeCustomers(uint32_t n) {
  // Invented words, mixed case on purpose: the name key folds case.
  static const char* const kFirst[] = {"Arvo", "bel",  "Cyra", "dovin", "Elk",  "Fane",
                                       "gilo", "Hest", "Ivsa", "jat",   "Kelm", "lor",
                                       "Mirn", "nesk", "Orl",  "pavi",  "Quel", "Rusk"};
  static const char* const kLast[] = {"Abvarn", "BRELDOK", "Cimmot", "Dorvash", "Eskelt",
                                      "Fandrel", "Gormisk", "Haveld", "Istrov", "Jorrick",
                                      "Kelvane", "Lumbrit", "Morvast", "Nettrel", "Ostvar",
                                      "Pellick", "Quarvel", "Ruddox", "Sarnet", "Tovrin"};
  static const char* const kSuburbs[] = {"Northcote", "Richmond", "Brunswick", "Carlton",
                                         "Fitzroy",   "Kew",      "Hawthorn",  "Coburg"};
  std::mt19937 rng(7);
  std::vector<Customer> out(n);
  for (uint32_t i = 0; i < n; ++i) {
    Customer& c = out[i];
    c.id = static_cast<int32_t>(i + 1);
    c.order = static_cast<int32_t>((i + 1) * 10);
    c.name = std::string(kLast[rng() % 20]) + ", " + kFirst[rng() % 18] + " " +
             static_cast<char>('A' + rng() % 26) + ".";
    c.suburb = kSuburbs[rng() % 8];
    char phone[16];
    std::snprintf(phone, sizeof phone, "03 %04u %04u", static_cast<unsigned>(rng() % 10000),
                  static_cast<unsigned>(rng() % 10000));
    c.phone = phone;
    c.start = static_cast<int32_t>(70000 + rng() % 20000);  // day numbers around 1990-2045
  }
  return out;
}

void PutText(uint8_t* at, size_t width, const std::string& s) {
  std::memset(at, ' ', width);
  std::memcpy(at, s.data(), std::min(width, s.size()));
}

void ToBuffer(const Customer& c, std::vector<uint8_t>* b) {
  uint8_t* p = b->data();
  std::memcpy(p, &c.id, 4);
  std::memcpy(p + 4, &c.order, 4);
  PutText(p + 8, 30, c.name);
  PutText(p + 38, 20, c.suburb);
  PutText(p + 58, 20, c.phone);
  std::memcpy(p + 78, &c.start, 4);
}

// The same random ids for both engines.
std::vector<int32_t> RandomIds(uint32_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<int32_t> ids(count);
  for (auto& id : ids) id = static_cast<int32_t>(1 + rng() % kRecords);
  return ids;
}

// Distinct random ids (each record deleted once).
std::vector<int32_t> DistinctIds(uint32_t count, uint32_t seed) {
  std::vector<int32_t> all(kRecords);
  std::iota(all.begin(), all.end(), 1);
  std::shuffle(all.begin(), all.end(), std::mt19937(seed));
  all.resize(count);
  return all;
}

// CPU time of this process: on a shared machine it moves far less than the
// clock (waits for the disk are not in it).
double CpuNow() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// --- Brisken side ------------------------------------------------------------

class BriskenSide {
 public:
  explicit BriskenSide(std::string path) : path_(std::move(path)), buffer_(kRecordSize) {}

  bool Create() {
    return BriskenFile::Open(path_, 2 | mode::kDenyAll | mode::kCreate, &file_).ok() &&
           Table::Create(file_.get(), "CUSTOMER", kCustomer, &table_) == 0 &&
           file_->Commit().ok();
  }
  bool Add(const std::vector<Customer>& customers) {
    for (const Customer& c : customers) {
      ToBuffer(c, &buffer_);
      if (table_->Add({buffer_}) != 0) return false;
    }
    return file_->Commit().ok();
  }
  bool Fetch(int32_t id) {
    std::memcpy(buffer_.data(), &id, 4);
    return table_->GetByKey(kKeyById, {buffer_}) == 0;
  }
  bool Scan(uint32_t* seen, uint64_t* check) {
    if (table_->SetKey(kKeyByName) != 0) return false;
    int32_t code;
    while ((code = table_->Next({buffer_})) == 0) {
      ++*seen;
      *check += buffer_[8];
    }
    return code == 33;  // the end
  }
  bool SetOrder(int32_t id, int32_t order) {
    if (!Fetch(id)) return false;
    std::memcpy(buffer_.data() + 4, &order, 4);
    return table_->Put({buffer_}) == 0;
  }
  bool Delete(int32_t id) { return Fetch(id) && table_->Delete() == 0; }
  bool Commit() { return file_->Commit().ok(); }
  uint32_t Count() {
    uint32_t count = 0;
    return table_->Records(0, &count) == 0 ? count : 0;
  }
  uint64_t Bytes() const { return file_->header().DataLength(); }

 private:
  std::string path_;
  std::unique_ptr<BriskenFile> file_;
  std::unique_ptr<Table> table_;
  std::vector<uint8_t> buffer_;
};

// --- SQLite side -------------------------------------------------------------

class SqliteSide {
 public:
  explicit SqliteSide(std::string path) : path_(std::move(path)) {}
  ~SqliteSide() {
    for (sqlite3_stmt* s : {insert_, by_id_, scan_, update_, delete_}) sqlite3_finalize(s);
    sqlite3_close(db_);
  }
  SqliteSide(const SqliteSide&) = delete;
  SqliteSide& operator=(const SqliteSide&) = delete;

  bool Create() {
    return sqlite3_open(path_.c_str(), &db_) == SQLITE_OK &&
           Exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
                "CREATE TABLE customer(id INTEGER NOT NULL, ord INTEGER NOT NULL,"
                " name TEXT NOT NULL, suburb TEXT NOT NULL, phone TEXT NOT NULL,"
                " startdate INTEGER NOT NULL);"
                "CREATE UNIQUE INDEX by_id ON customer(id);"
                "CREATE UNIQUE INDEX by_order ON customer(ord);"
                "CREATE INDEX by_name ON customer(name COLLATE NOCASE);") &&
           Prepare("INSERT INTO customer VALUES(?,?,?,?,?,?)", &insert_) &&
           Prepare("SELECT id, ord, name, suburb, phone, startdate FROM customer WHERE id=?",
                   &by_id_) &&
           Prepare("SELECT id, ord, name, suburb, phone, startdate FROM customer"
                   " ORDER BY name COLLATE NOCASE",
                   &scan_) &&
           Prepare("UPDATE customer SET ord=? WHERE id=?", &update_) &&
           Prepare("DELETE FROM customer WHERE id=?", &delete_);
  }
  bool Begin() { return Exec("BEGIN"); }
  bool Commit() { return Exec("COMMIT"); }
  bool Add(const std::vector<Customer>& customers) {
    if (!Begin()) return false;
    for (const Customer& c : customers) {
      sqlite3_bind_int(insert_, 1, c.id);
      sqlite3_bind_int(insert_, 2, c.order);
      sqlite3_bind_text(insert_, 3, c.name.data(), static_cast<int>(c.name.size()), SQLITE_STATIC);
      sqlite3_bind_text(insert_, 4, c.suburb.data(), static_cast<int>(c.suburb.size()),
                        SQLITE_STATIC);
      sqlite3_bind_text(insert_, 5, c.phone.data(), static_cast<int>(c.phone.size()),
                        SQLITE_STATIC);
      sqlite3_bind_int(insert_, 6, c.start);
      if (!StepDone(insert_)) return false;
    }
    return Commit();
  }
  bool Fetch(int32_t id) {
    sqlite3_bind_int(by_id_, 1, id);
    bool found = sqlite3_step(by_id_) == SQLITE_ROW;
    if (found) Copy(by_id_);
    sqlite3_reset(by_id_);
    return found;
  }
  bool Scan(uint32_t* seen, uint64_t* check) {
    int code;
    while ((code = sqlite3_step(scan_)) == SQLITE_ROW) {
      Copy(scan_);
      ++*seen;
      *check += row_.name[0];
    }
    sqlite3_reset(scan_);
    return code == SQLITE_DONE;
  }
  bool SetOrder(int32_t id, int32_t order) {
    sqlite3_bind_int(update_, 1, order);
    sqlite3_bind_int(update_, 2, id);
    return StepDone(update_) && sqlite3_changes(db_) == 1;
  }
  bool Delete(int32_t id) {
    sqlite3_bind_int(delete_, 1, id);
    return StepDone(delete_) && sqlite3_changes(db_) == 1;
  }
  uint32_t Count() {
    sqlite3_stmt* s = nullptr;
    uint32_t count = 0;
    if (Prepare("SELECT count(*) FROM customer", &s) && sqlite3_step(s) == SQLITE_ROW) {
      count = static_cast<uint32_t>(sqlite3_column_int64(s, 0));
    }
    sqlite3_finalize(s);
    return count;
  }
  uint64_t Bytes() const {
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path_, ec);
    return ec ? 0 : size;
  }

 private:
  bool Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  bool Prepare(const char* sql, sqlite3_stmt** out) {
    return sqlite3_prepare_v2(db_, sql, -1, out, nullptr) == SQLITE_OK;
  }
  static bool StepDone(sqlite3_stmt* s) {
    bool done = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
    return done;
  }
  // Takes the row's values out, as a Brisken read fills the record buffer.
  void Copy(sqlite3_stmt* s) {
    auto text = [s](int column) {
      const unsigned char* t = sqlite3_column_text(s, column);
      return std::string(t ? reinterpret_cast<const char*>(t) : "",
                         static_cast<size_t>(sqlite3_column_bytes(s, column)));
    };
    row_.id = sqlite3_column_int(s, 0);
    row_.order = sqlite3_column_int(s, 1);
    row_.name = text(2);
    row_.suburb = text(3);
    row_.phone = text(4);
    row_.start = sqlite3_column_int(s, 5);
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* by_id_ = nullptr;
  sqlite3_stmt* scan_ = nullptr;
  sqlite3_stmt* update_ = nullptr;
  sqlite3_stmt* delete_ = nullptr;
  Customer row_;
};

// --- The shared pair of files ----------------------------------------------------

struct Pair {
  korvex::os::TempDir dir{"brisken-records-bench"};
  BriskenSide brisken{dir.File("CUSTOMER.BKF")};
  SqliteSide sqlite{dir.File("customer.sqlite")};
  int32_t next_order = 0;  // order numbers above every stored one
};

std::unique_ptr<Pair> g_pair;

// SQLite's side is skipped (its times copied from Brisken's) when set.
const bool kBriskenOnly = [] {
  const char* env = std::getenv("BRISKEN_BENCH_ONLY");
  return env != nullptr && std::strcmp(env, "1") == 0;
}();

struct Timing {
  double brisken = 0, sqlite = 0;
  double brisken_cpu = 0, sqlite_cpu = 0;
};

// A fresh pair of empty files, loaded with the customers when timing is given.
bool Build(const std::vector<Customer>& customers, Timing* timing) {
  g_pair.reset();
  auto pair = std::make_unique<Pair>();
  if (!pair->dir.ok() || !pair->brisken.Create() || !pair->sqlite.Create()) return false;
  auto start = Clock::now();
  double cpu = CpuNow();
  if (!pair->brisken.Add(customers)) return false;
  double brisken = Seconds(start);
  double brisken_cpu = CpuNow() - cpu;
  start = Clock::now();
  cpu = CpuNow();
  if (!kBriskenOnly && !pair->sqlite.Add(customers)) return false;
  double sqlite = kBriskenOnly ? brisken : Seconds(start);
  double sqlite_cpu = kBriskenOnly ? brisken_cpu : CpuNow() - cpu;
  if (pair->brisken.Count() != customers.size() ||
      (!kBriskenOnly && pair->sqlite.Count() != customers.size())) {
    return false;
  }
  if (timing) *timing = {brisken, sqlite, brisken_cpu, sqlite_cpu};
  pair->next_order = static_cast<int32_t>(kRecords + 1) * 10;
  g_pair = std::move(pair);
  return true;
}

// The loaded pair the read and write benchmarks work on.
Pair* Loaded(benchmark::State& state) {
  if (!g_pair && !Build(MakeCustomers(kRecords), nullptr)) {
    state.SkipWithError("building the files failed");
    return nullptr;
  }
  return g_pair.get();
}

void Report(benchmark::State& state, uint32_t operations, Timing t) {
  double brisken = operations / t.brisken, sqlite = operations / t.sqlite;
  state.counters["brisken_per_s"] = brisken;
  state.counters["sqlite_per_s"] = sqlite;
  state.counters["brisken_vs_sqlite"] = brisken / sqlite;
  if (t.brisken_cpu > 0) state.counters["cpu_brisken_vs_sqlite"] = t.sqlite_cpu / t.brisken_cpu;
}

// Runs the same body over both engines, timing each.
template <typename Body>
bool TimeBoth(Pair* pair, Body body, Timing* t) {
  auto start = Clock::now();
  double cpu = CpuNow();
  if (!body(pair->brisken)) return false;
  t->brisken = Seconds(start);
  t->brisken_cpu = CpuNow() - cpu;
  if (kBriskenOnly) {
    t->sqlite = t->brisken;
    t->sqlite_cpu = t->brisken_cpu;
    return true;
  }
  start = Clock::now();
  cpu = CpuNow();
  if (!body(pair->sqlite)) return false;
  t->sqlite = Seconds(start);
  t->sqlite_cpu = CpuNow() - cpu;
  return true;
}

// --- The benchmarks ----------------------------------------------------------------

void BM_BulkAdd(benchmark::State& state) {
  std::vector<Customer> customers = MakeCustomers(kRecords);
  for (auto _ : state) {
    Timing t;
    if (!Build(customers, &t)) {
      state.SkipWithError("bulk add failed");
      return;
    }
    Report(state, kRecords, t);
    double brisken = static_cast<double>(g_pair->brisken.Bytes()) / kRecords;
    double sqlite = static_cast<double>(g_pair->sqlite.Bytes()) / kRecords;
    state.counters["brisken_bytes_per_record"] = brisken;
    state.counters["sqlite_bytes_per_record"] = sqlite;
    state.counters["size_brisken_vs_sqlite"] = brisken / sqlite;
  }
}

void BM_FetchById(benchmark::State& state) {
  Pair* pair = Loaded(state);
  if (!pair) return;
  std::vector<int32_t> ids = RandomIds(kTouched, 11);
  for (auto _ : state) {
    Timing t;
    bool ok = TimeBoth(pair, [&](auto& side) {
      for (int32_t id : ids) {
        if (!side.Fetch(id)) return false;
      }
      return true;
    }, &t);
    if (!ok) {
      state.SkipWithError("fetch failed");
      return;
    }
    Report(state, kTouched, t);
  }
}

void BM_ScanByName(benchmark::State& state) {
  Pair* pair = Loaded(state);
  if (!pair) return;
  for (auto _ : state) {
    Timing t;
    uint32_t seen[2] = {0, 0};
    uint64_t check[2] = {0, 0};
    int side_index = 0;
    bool ok = TimeBoth(pair, [&](auto& side) {
      int i = side_index++;
      return side.Scan(&seen[i], &check[i]);
    }, &t);
    // Both must have delivered every record, and the same ones.
    if (!ok || (!kBriskenOnly && (seen[0] != seen[1] || check[0] != check[1]))) {
      state.SkipWithError("scan failed or the engines disagree");
      return;
    }
    benchmark::DoNotOptimize(check);
    Report(state, seen[0], t);
  }
}

void BM_UpdateOrder(benchmark::State& state) {
  Pair* pair = Loaded(state);
  if (!pair) return;
  std::vector<int32_t> ids = RandomIds(kTouched, 13);
  for (auto _ : state) {
    Timing t;
    int32_t first_order = pair->next_order;
    bool ok = TimeBoth(pair, [&](auto& side) {
      int32_t order = first_order;
      if constexpr (std::is_same_v<std::decay_t<decltype(side)>, SqliteSide>) {
        if (!side.Begin()) return false;
      }
      for (int32_t id : ids) {
        if (!side.SetOrder(id, order)) return false;
        order += 10;
      }
      return side.Commit();
    }, &t);
    if (!ok) {
      state.SkipWithError("update failed");
      return;
    }
    pair->next_order = first_order + static_cast<int32_t>(kTouched) * 10;
    Report(state, kTouched, t);
  }
}

void BM_CommitEach(benchmark::State& state) {
  Pair* pair = Loaded(state);
  if (!pair) return;
  std::vector<int32_t> ids = RandomIds(kCommits, 17);
  for (auto _ : state) {
    Timing t;
    int32_t first_order = pair->next_order;
    bool ok = TimeBoth(pair, [&](auto& side) {
      int32_t order = first_order;
      for (int32_t id : ids) {
        if constexpr (std::is_same_v<std::decay_t<decltype(side)>, SqliteSide>) {
          if (!side.Begin()) return false;
        }
        if (!side.SetOrder(id, order) || !side.Commit()) return false;
        order += 10;
      }
      return true;
    }, &t);
    if (!ok) {
      state.SkipWithError("update and commit failed");
      return;
    }
    pair->next_order = first_order + static_cast<int32_t>(kCommits) * 10;
    Report(state, kCommits, t);
  }
}

void BM_DeleteRandom(benchmark::State& state) {
  Pair* pair = Loaded(state);
  if (!pair) return;
  std::vector<int32_t> ids = DistinctIds(kTouched, 19);
  for (auto _ : state) {
    Timing t;
    bool ok = TimeBoth(pair, [&](auto& side) {
      if constexpr (std::is_same_v<std::decay_t<decltype(side)>, SqliteSide>) {
        if (!side.Begin()) return false;
      }
      for (int32_t id : ids) {
        if (!side.Delete(id)) return false;
      }
      return side.Commit();
    }, &t);
    uint32_t left = kRecords - kTouched;
    if (!ok || pair->brisken.Count() != left || (!kBriskenOnly && pair->sqlite.Count() != left)) {
      state.SkipWithError("delete failed");
      return;
    }
    Report(state, kTouched, t);
    state.counters["brisken_bytes_per_record"] =
        static_cast<double>(pair->brisken.Bytes()) / left;
    state.counters["sqlite_bytes_per_record"] =
        static_cast<double>(pair->sqlite.Bytes()) / left;
  }
  g_pair.reset();  // the records are gone: a later run builds afresh
}

// One iteration each: every run is a full pass over both engines.
BENCHMARK(BM_BulkAdd)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchById)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanByName)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateOrder)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommitEach)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteRandom)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
