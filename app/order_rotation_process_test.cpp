// Two programs moving customers in one shared CUSTOMER file at the same time.
#include <algorithm>
#include <random>
#include <set>

#include "app/app_test_util.h"
#include "data/brisken/brisken_file.h"
#include "data/brisken/tree_check.h"
#include "runtime/os/child_process.h"

namespace korvex::app::testing {
namespace {

using framework::kOutcomeDone;

constexpr int kCustomers = 24;
constexpr int kMovesPerProgram = 150;

// A second program: its own reporter, control block and controller (the
// child runs before the program's global objects are made).
int MoveCustomers(const std::vector<std::string>& args) {
  if (args.size() != 3) return 2;
  const std::string folder = args[0];
  std::mt19937 random(static_cast<uint32_t>(std::stoul(args[1])));
  framework::RecordingDisplay display;
  framework::ErrorReporter errors;
  errors.Init(&display);
  uint8_t record[kCustomerRecordSize] = {};
  FileControlBlock block(&kCustomerFile, record, sizeof record);
  block.name = folder + "/CUSTOMER";
  framework::FileController customers;
  customers.Init(&block, &errors);
  customers.AddKey(&kCusByName, 0, "CUS:ByName");
  customers.AddKey(&kCusById, 0, "CUS:ByID");
  if (customers.Open() != kOutcomeDone) return 3;
  os::WaitForFile(args[2], 20000);  // both start together
  int moved = 0;
  RotationValues values;
  for (int move = 0; move < kMovesPerProgram; ++move) {
    std::vector<int32_t> ids;
    for (const CustomerRow& r : CustomersIn(folder)) ids.push_back(r.id);
    if (ids.size() < 2) return 4;
    const int size = 2 + static_cast<int>(random() % 6);
    const int first = static_cast<int>(random() % (ids.size() - static_cast<size_t>(size) + 1));
    std::vector<int32_t> page(ids.begin() + first, ids.begin() + first + size);
    const int drag = 1 + static_cast<int>(random() % static_cast<unsigned>(size));
    int drop = 1 + static_cast<int>(random() % static_cast<unsigned>(size));
    if (drop == drag) drop = drag == size ? 1 : drag + 1;
    std::memcpy(record, &page[static_cast<size_t>(drag - 1)], 4);
    if (customers.FetchQuiet(&kCusById) != kOutcomeDone) continue;  // moved meanwhile
    if (RotateOrderNumbers(customers, drag, drop, page, values) == kOutcomeDone) ++moved;
  }
  customers.Close();
  customers.Kill();
  errors.Kill();
  return moved > 0 ? 0 : 5;
}
KORVEX_CHILD(MoveCustomers) { return MoveCustomers(args); }

using OrderRotationProcessTest = DictionaryTest;

TEST_F(OrderRotationProcessTest, TwoProgramsMovingAtOnceKeepEveryCustomerWhole) {
  std::vector<CustomerRow> rows;
  for (int i = 0; i < kCustomers; ++i) rows.push_back(Customer(100 + i * 7, Numbered("Shared", i)));
  AddCustomers(rows);
  CustomerRelations.CloseWithRelated(false);

  const std::string go = dir_.File("go");
  std::vector<std::unique_ptr<os::ChildProcess>> children;
  for (const char* seed : {"11", "29"}) {
    std::unique_ptr<os::ChildProcess> child;
    ASSERT_TRUE(os::ChildProcess::Start("MoveCustomers", {folder_, seed, go}, &child).ok());
    children.push_back(std::move(child));
  }
  ASSERT_TRUE(os::TouchFile(go).ok());
  for (auto& child : children) {
    int code = -1;
    ASSERT_TRUE(child->Wait(300000, &code));
    EXPECT_EQ(code, 0);
  }

  const auto now = CustomersIn(folder_);
  ASSERT_EQ(now.size(), rows.size());
  std::set<int32_t> ids_before, ids_after;
  std::set<std::string> names_before, names_after;
  for (const CustomerRow& r : rows) {
    ids_before.insert(r.id);
    names_before.insert(r.name);
  }
  for (const CustomerRow& r : now) {
    ids_after.insert(r.id);
    names_after.insert(r.name);
    EXPECT_EQ(r, Customer(r.id, r.name));  // name, suburb, phone and start date stay together
  }
  EXPECT_EQ(ids_after, ids_before);
  std::vector<std::string> order;
  for (const CustomerRow& r : now) order.push_back(r.name);
  std::vector<std::string> original;
  for (const CustomerRow& r : rows) original.push_back(r.name);
  EXPECT_NE(order, original);  // the programs did move customers
  EXPECT_EQ(names_after, names_before);
  EXPECT_EQ(CustomersIn(folder_, &kCusByName).size(), rows.size());

  std::unique_ptr<brisken::BriskenFile> file;
  ASSERT_TRUE(brisken::BriskenFile::Open(folder_ + "/CUSTOMER.BKF", 0x40, &file).ok());
  brisken::TreeReport report;
  EXPECT_TRUE(brisken::CheckTree(&file->pager(), true, &report).ok()) << report.problem;
  EXPECT_EQ(report.problem, "");
}

}  // namespace
}  // namespace korvex::app::testing
