// The view engine beside the raw driver, on 100 000 customers (the application's
// CUSTOMER record: LONG id, STRING(20) name, suburb and phone, LONG start date;
// names unique, 100 suburbs of 1 000 customers each):
//
//   BM_RawNext          SET by CUS:BYNAME and NEXT through the whole file with
//                       the driver alone
//   BM_KeyServedNext    the same through a view ordered "UPPER(CUS:NAME)",
//                       which the key serves; view_vs_raw = view rate / raw rate
//   BM_SetViewPage      SETview on a random suburb of the order
//                       "UPPER(CUS:SUBURB),CUS:NAME" (the key serves the suburb,
//                       each suburb's run is sorted by name) and a page of 20 rows;
//                       ms_per_page, and sorted_runs_per_page
//                       (argument: the open mode, 64 shared, 16 alone: no
//                       locks at each read)
//   BM_SetViewPageServed the same on the order "UPPER(CUS:NAME)", which the key
//                       serves whole (no run is read ahead or sorted)
//   BM_RawSuburbRun     what bounds BM_SetViewPage: with the driver alone, SET
//                       by CUS:BYSUBURB to a random suburb and NEXT through its
//                       records (the run the view reads and sorts)
//   BM_ResetPage        RESETfile to the position of a random row of that order
//                       and a page of 20 rows
//   BM_ExportVsSqlite   `brisken export --order "-UPPER(CUS:SUBURB),CUS:NAME"
//                       --filter "CUS:STARTDATE > 70000"` against the sqlite3
//                       shell running the same query on the same rows (both
//                       writing CSV to /dev/null); brisken_vs_sqlite = sqlite
//                       time / brisken time (above 1: brisken is faster).
//                       Needs the brisken tool (BRISKEN_TOOL, default the one
//                       built beside this program) and sqlite3 on the PATH.
//
// Times are wall clock and, as *_cpu_ms, the CPU time of this thread (of the
// child processes for the export), which a loaded machine disturbs less.
//
// VIEW_BENCH_RECORDS sets the number of customers (default 100000).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "data/brisken/bkf_driver.h"
#include "data/brisken/brisken_file.h"
#include "data/brisken/table.h"
#include "data/driver/arguments.h"
#include "data/driver/declarations.h"
#include "data/driver/operation.h"
#include "data/view/view_engine.h"
#include "runtime/os/temp_dir.h"

namespace {

using namespace korvex;
using driver::Argument;
using driver::Arguments;
using Clock = std::chrono::steady_clock;

const uint32_t kRecords = [] {
  const char* env = std::getenv("VIEW_BENCH_RECORDS");
  uint32_t n = env ? static_cast<uint32_t>(std::strtoul(env, nullptr, 10)) : 100000u;
  return n < 1000 ? 1000u : n;
}();
constexpr uint32_t kSuburbs = 100;
constexpr int kPages = 200;

constexpr driver::FieldDescriptor kFields[] = {
    driver::MakeField("CUS:CUSID", kTypeLong, 4),
    driver::MakeString("CUS:NAME", 20),
    driver::MakeString("CUS:SUBURB", 20),
    driver::MakeString("CUS:PHONE", 20),
    driver::MakeField("CUS:STARTDATE", kTypeLong, 4),
};
constexpr int32_t kByName[] = {2};
constexpr int32_t kBySuburb[] = {3};
constexpr int32_t kById[] = {1};
constexpr driver::KeyDeclaration kKeys[] = {
    {.label = "CUS:BYNAME", .flags = driver::kKeyOpt | driver::kKeyNoCase, .components = kByName},
    {.label = "CUS:BYSUBURB", .flags = driver::kKeyDup | driver::kKeyOpt | driver::kKeyNoCase,
     .components = kBySuburb},
    {.label = "CUS:BYID", .flags = driver::kKeyOpt | driver::kKeyPrimary, .components = kById},
};
constexpr driver::FileDeclaration kCustomer = {
    .label = "CUSTOMER", .driver = "BRISKEN", .attributes = driver::kFileCreate, .keys = kKeys,
    .fields = kFields};
constexpr size_t kRecordSize = 68;

struct Customer {
  int32_t id;
  std::string name, suburb, phone;
  int32_t start;
};

std::vector<Customer> MakeCustomers() {
  std::mt19937 rng(7);
  std::vector<uint32_t> names(kRecords);
  std::iota(names.begin(), names.end(), 0u);
  std::shuffle(names.begin(), names.end(), rng);
  std::vector<Customer> out;
  char text[32];
  for (uint32_t i = 0; i < kRecords; ++i) {
    Customer c;
    c.id = static_cast<int32_t>(i + 1);
    std::snprintf(text, sizeof text, "Name %06u", names[i]);
    c.name = text;
    std::snprintf(text, sizeof text, "Suburb %02u", static_cast<unsigned>(rng() % kSuburbs));
    c.suburb = text;
    std::snprintf(text, sizeof text, "555-%06u", i);
    c.phone = text;
    c.start = 60000 + static_cast<int32_t>(rng() % 20000);
    out.push_back(c);
  }
  return out;
}

void ToBuffer(const Customer& c, uint8_t* b) {
  std::memset(b, ' ', kRecordSize);
  std::memcpy(b, &c.id, 4);
  std::memcpy(b + 4, c.name.data(), c.name.size());
  std::memcpy(b + 24, c.suburb.data(), c.suburb.size());
  std::memcpy(b + 44, c.phone.data(), c.phone.size());
  std::memcpy(b + 64, &c.start, 4);
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// CPU seconds of this thread so far.
double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// CPU seconds of the finished child processes so far.
double ChildrenCpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The files, made once: CUSTOMER.BKF and the same rows in SQLite.
struct Files {
  os::TempDir dir{"view-bench"};
  std::string brisken, sqlite;
  bool ok = false;

  Files() {
    brisken = dir.File("CUSTOMER.BKF");
    sqlite = dir.File("customer.db");
    std::vector<Customer> customers = MakeCustomers();
    std::unique_ptr<brisken::BriskenFile> file;
    std::unique_ptr<brisken::Table> table;
    if (!brisken::BriskenFile::Open(brisken, 2 | brisken::mode::kDenyAll | brisken::mode::kCreate, &file).ok() ||
        brisken::Table::Create(file.get(), "UNNAMED", kCustomer, &table) != 0) {
      return;
    }
    std::vector<uint8_t> buffer(kRecordSize);
    for (const Customer& c : customers) {
      ToBuffer(c, buffer.data());
      if (table->Add({buffer}) != 0) return;
    }
    table.reset();
    if (!file->Close().ok()) return;

    sqlite3* db = nullptr;
    if (sqlite3_open(sqlite.c_str(), &db) != SQLITE_OK) return;
    sqlite3_exec(db,
                 "CREATE TABLE customer(cusid INTEGER PRIMARY KEY, name TEXT, suburb TEXT, phone TEXT, "
                 "startdate INTEGER); CREATE INDEX bysuburb ON customer(upper(suburb)); "
                 "CREATE INDEX byname ON customer(name COLLATE NOCASE); BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO customer VALUES(?,?,?,?,?)", -1, &insert, nullptr);
    for (const Customer& c : customers) {
      sqlite3_bind_int(insert, 1, c.id);
      sqlite3_bind_text(insert, 2, c.name.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(insert, 3, c.suburb.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_text(insert, 4, c.phone.c_str(), -1, SQLITE_STATIC);
      sqlite3_bind_int(insert, 5, c.start);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
  }
};

Files& TheFiles() {
  static Files files;
  return files;
}

// The CUSTOMER file opened through the driver, with a view over it.
struct Opened {
  uint8_t record[kRecordSize] = {};
  driver::FileControlBlock block{&kCustomer, record, kRecordSize};
  view::ViewDeclaration declaration;
  std::unique_ptr<view::ViewControlBlock> view;
  bool ok = false;

  // mode: 0x40 (read, deny none: shared, so every read takes the reader
  // lock) or 0x10 (read, deny all: the file alone, as the export opens it).
  explicit Opened(const std::string& order, int64_t mode = 0x40) {
    block.name = TheFiles().brisken;
    Arguments open{Argument::Number(mode)};
    if (brisken::BkfEntry(driver::kOpOpen, &block, &open) != 0) return;
    declaration.primary.file = &block;
    declaration.primary.entry = &brisken::BkfEntry;
    view = std::make_unique<view::ViewControlBlock>(&declaration);
    std::string error;
    ok = view->SetOrder(order, &error) == 0 && Run(driver::kOpOpen) == 0;
  }
  ~Opened() {
    view.reset();
    brisken::BkfEntry(driver::kOpClose, &block, nullptr);
  }
  int32_t Run(int op, Arguments args = {}) { return view::ViewEntry(op, view.get(), &args); }
};

double g_raw_rate = 0;
double g_raw_cpu_rate = 0;

void BM_RawNext(benchmark::State& state) {
  if (!TheFiles().ok) return state.SkipWithError("files not made");
  Opened o("");
  for (auto _ : state) {
    Arguments set{Argument::Key(&kKeys[0])};
    brisken::BkfEntry(driver::kOpSetKey, &o.block, &set);
    uint64_t n = 0;
    auto start = Clock::now();
    double cpu = ThreadCpu();
    while (brisken::BkfEntry(driver::kOpNext, &o.block, nullptr) == 0) ++n;
    g_raw_rate = static_cast<double>(n) / Seconds(start);
    g_raw_cpu_rate = static_cast<double>(n) / (ThreadCpu() - cpu);
    state.counters["raw_per_cpu_s"] = g_raw_cpu_rate;
    state.counters["records"] = static_cast<double>(n);
    state.counters["raw_per_s"] = g_raw_rate;
  }
}

void BM_KeyServedNext(benchmark::State& state) {
  if (!TheFiles().ok) return state.SkipWithError("files not made");
  Opened o("UPPER(CUS:NAME)");
  for (auto _ : state) {
    uint64_t n = 0;
    auto start = Clock::now();
    double cpu = ThreadCpu();
    while (o.Run(driver::kOpNext) == 0) ++n;
    double rate = static_cast<double>(n) / Seconds(start);
    double cpu_rate = static_cast<double>(n) / (ThreadCpu() - cpu);
    state.counters["view_per_cpu_s"] = cpu_rate;
    if (g_raw_cpu_rate > 0) state.counters["cpu_view_vs_raw"] = cpu_rate / g_raw_cpu_rate;
    state.counters["records"] = static_cast<double>(n);
    state.counters["view_per_s"] = rate;
    if (g_raw_rate > 0) state.counters["view_vs_raw"] = rate / g_raw_rate;
    state.counters["served_components"] = static_cast<double>(o.view->served_components());
  }
}

void BM_SetViewPage(benchmark::State& state) {
  if (!TheFiles().ok) return state.SkipWithError("files not made");
  Opened o("UPPER(CUS:SUBURB),CUS:NAME", state.range(0));
  std::mt19937 rng(11);
  for (auto _ : state) {
    o.Run(driver::kOpNext);  // builds the pipeline
    uint64_t runs_before = o.view->runs_sorted();
    auto start = Clock::now();
    double cpu = ThreadCpu();
    int rows = 0;
    for (int page = 0; page < kPages; ++page) {
      char suburb[32];
      std::snprintf(suburb, sizeof suburb, "SUBURB %02u", static_cast<unsigned>(rng() % kSuburbs));
      std::memset(o.record + 24, ' ', 20);
      std::memcpy(o.record + 24, suburb, std::strlen(suburb));
      o.Run(driver::kOpSetView, {Argument::Number(1)});
      for (int i = 0; i < 20 && o.Run(driver::kOpNext) == 0; ++i) ++rows;
    }
    double ms = Seconds(start) * 1000 / kPages;
    state.counters["ms_per_page"] = ms;
    state.counters["cpu_ms_per_page"] = (ThreadCpu() - cpu) * 1000 / kPages;
    state.counters["sorted_runs_per_page"] =
        static_cast<double>(o.view->runs_sorted() - runs_before) / kPages;
    state.counters["rows"] = rows;
    state.counters["served_components"] = static_cast<double>(o.view->served_components());
  }
}

void BM_SetViewPageServed(benchmark::State& state) {
  if (!TheFiles().ok) return state.SkipWithError("files not made");
  Opened o("UPPER(CUS:NAME)");
  std::mt19937 rng(12);
  for (auto _ : state) {
    auto start = Clock::now();
    double cpu = ThreadCpu();
    int rows = 0;
    for (int page = 0; page < kPages; ++page) {
      char name[32];
      std::snprintf(name, sizeof name, "NAME %06u", static_cast<unsigned>(rng() % kRecords));
      std::memset(o.record + 4, ' ', 20);
      std::memcpy(o.record + 4, name, std::strlen(name));
      o.Run(driver::kOpSetView, {Argument::Number(1)});
      for (int i = 0; i < 20 && o.Run(driver::kOpNext) == 0; ++i) ++rows;
    }
    state.counters["ms_per_page"] = Seconds(start) * 1000 / kPages;
    state.counters["cpu_ms_per_page"] = (ThreadCpu() - cpu) * 1000 / kPages;
    state.counters["rows"] = rows;
    state.counters["served_components"] = static_cast<double>(o.view->served_components());
  }
}

void BM_RawSuburbRun(benchmark::State& state) {
  if (!TheFiles().ok) return state.SkipWithError("files not made");
  Opened o("", state.range(0));
  std::mt19937 rng(11);
  for (auto _ : state) {
    auto start = Clock::now();
    double cpu = ThreadCpu();
    uint64_t records = 0;
    for (int page = 0; page < kPages; ++page) {
      char suburb[32];
      std::snprintf(suburb, sizeof suburb, "SUBURB %02u", static_cast<unsigned>(rng() % kSuburbs));
      std::memset(o.record + 24, ' ', 20);
      std::memcpy(o.record + 24, suburb, std::strlen(suburb));
      Arguments set{Argument::Key(&kKeys[1])};
      brisken::BkfEntry(driver::kOpSetKeyKey, &o.block, &set);
      while (brisken::BkfEntry(driver::kOpNext, &o.block, nullptr) == 0 &&
             strncasecmp(reinterpret_cast<const char*>(o.record + 24), suburb, std::strlen(suburb)) == 0) {
        ++records;
      }
    }
    state.counters["ms_per_run"] = Seconds(start) * 1000 / kPages;
    state.counters["cpu_ms_per_run"] = (ThreadCpu() - cpu) * 1000 / kPages;
    state.counters["records_per_run"] = static_cast<double>(records) / kPages;
  }
}

void BM_ResetPage(benchmark::State& state) {
  if (!TheFiles().ok) return state.SkipWithError("files not made");
  Opened o("UPPER(CUS:SUBURB),CUS:NAME");
  std::mt19937 rng(13);
  // Positions of random rows, taken by reading to them once.
  std::vector<std::string> positions;
  for (int i = 0; i < kPages; ++i) {
    o.Run(driver::kOpSetView, {Argument::Number(0)});
    std::memset(o.record + 24, ' ', 20);
    char suburb[32];
    std::snprintf(suburb, sizeof suburb, "SUBURB %02u", static_cast<unsigned>(rng() % kSuburbs));
    std::memcpy(o.record + 24, suburb, std::strlen(suburb));
    o.Run(driver::kOpSetView, {Argument::Number(1)});
    for (unsigned k = rng() % 200; k > 0; --k) o.Run(driver::kOpNext);
    o.Run(driver::kOpNext);
    std::string p;
    o.Run(driver::kOpPositionFile, {Argument::TextAnswer(&p)});
    positions.push_back(p);
  }
  for (auto _ : state) {
    uint64_t runs_before = o.view->runs_sorted();
    auto start = Clock::now();
    double cpu = ThreadCpu();
    int rows = 0;
    for (const std::string& p : positions) {
      o.Run(driver::kOpResetFile, {Argument::Text(p)});
      for (int i = 0; i < 20 && o.Run(driver::kOpNext) == 0; ++i) ++rows;
    }
    state.counters["ms_per_page"] = Seconds(start) * 1000 / kPages;
    state.counters["cpu_ms_per_page"] = (ThreadCpu() - cpu) * 1000 / kPages;
    state.counters["sorted_runs_per_page"] =
        static_cast<double>(o.view->runs_sorted() - runs_before) / kPages;
    state.counters["rows"] = rows;
  }
}

std::string ToolPath() {
  if (const char* env = std::getenv("BRISKEN_TOOL")) return env;
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path() / "tools" / "brisken" / "brisken").string();
}

void BM_ExportVsSqlite(benchmark::State& state) {
  if (!TheFiles().ok) return state.SkipWithError("files not made");
  const std::string tool = ToolPath();
  if (!std::filesystem::exists(tool)) return state.SkipWithError("the brisken tool is not built");
  if (std::system("sqlite3 -version >/dev/null 2>&1") != 0) return state.SkipWithError("no sqlite3 shell");
  const std::string brisken_command =
      "'" + tool + "' export --order '-UPPER(CUS:SUBURB),CUS:NAME' --filter 'CUS:STARTDATE > 70000' '" +
      TheFiles().brisken + "' > /dev/null";
  const std::string sqlite_command =
      "sqlite3 -csv -header '" + TheFiles().sqlite +
      "' 'SELECT cusid, name, suburb, phone, startdate FROM customer WHERE startdate > 70000 "
      "ORDER BY upper(suburb) DESC, name' > /dev/null";
  for (auto _ : state) {
    auto start = Clock::now();
    double cpu = ChildrenCpu();
    int a = std::system(brisken_command.c_str());
    double brisken_s = Seconds(start);
    double brisken_cpu = ChildrenCpu() - cpu;
    start = Clock::now();
    cpu = ChildrenCpu();
    int b = std::system(sqlite_command.c_str());
    double sqlite_s = Seconds(start);
    double sqlite_cpu = ChildrenCpu() - cpu;
    if (a != 0 || b != 0) return state.SkipWithError("a command failed");
    state.counters["brisken_ms"] = brisken_s * 1000;
    state.counters["sqlite_ms"] = sqlite_s * 1000;
    state.counters["brisken_vs_sqlite"] = sqlite_s / brisken_s;
    state.counters["brisken_cpu_ms"] = brisken_cpu * 1000;
    state.counters["sqlite_cpu_ms"] = sqlite_cpu * 1000;
    state.counters["cpu_brisken_vs_sqlite"] = brisken_cpu > 0 ? sqlite_cpu / brisken_cpu : 0;
  }
}

}  // namespace

BENCHMARK(BM_RawNext)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyServedNext)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetViewPage)->Arg(0x40)->Arg(0x10)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetViewPageServed)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSuburbRun)->Arg(0x40)->Arg(0x10)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResetPage)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportVsSqlite)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
