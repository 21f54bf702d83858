// The move across a power loss at every write and flush, and an I/O error at
// every call, on disks kept in memory behind the real file names.
#include <cctype>
#include <map>
#include <memory>

#include "app/app_test_util.h"
#include "data/brisken/corruption_recorder_test_util.h"
#include "runtime/os/fault_injecting_file.h"
#include "runtime/os/file.h"

namespace korvex::app::testing {
namespace {

using framework::kOutcomeDone;

std::string BaseName(const std::string& path) {
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

std::string Slurp(const std::string& path) {
  std::unique_ptr<os::File> f;
  std::string bytes;
  if (!os::OpenFile(path, os::Access::Read, os::Share::DenyNone, os::Disposition::OpenExisting, &f)
           .ok()) {
    return bytes;
  }
  uint64_t size = 0;
  f->Size(&size);
  bytes.resize(size);
  size_t got = 0;
  f->ReadAt(0, bytes.data(), bytes.size(), &got);
  bytes.resize(got);
  return bytes;
}

class OrderRotationFaultTest : public DictionaryTest {
 protected:
  void SetUp() override {
    DictionaryTest::SetUp();
    AddCustomers({Customer(10, "Amber"), Customer(20, "Basil"), Customer(30, "Cedar"),
                  Customer(40, "Delta"), Customer(50, "Ember")});
    AddGoods(20, "Kettle");
    CustomerRelations.CloseWithRelated(false);
    before_ = CustomersIn(folder_);
    after_ = before_;
    // Drag row 2 to row 4.
    after_[1].name = "Cedar";
    after_[2].name = "Delta";
    after_[3].name = "Basil";
    for (CustomerRow& r : after_) r = Customer(r.id, r.name);
    customer_bytes_ = Slurp(folder_ + "/CUSTOMER.BKF");
    goods_bytes_ = Slurp(folder_ + "/GOODS.BKF");
    ASSERT_FALSE(customer_bytes_.empty());
  }
  void TearDown() override {
    os::SetFileWrapper({});
    ASSERT_EQ(CustomerRelations.OpenWithRelated(false), kOutcomeDone);
    DictionaryTest::TearDown();
  }

  // Fresh disks holding the files as they were before the move.
  void FreshDisks() {
    disks_.clear();
    disks_["CUSTOMER.BKF"] = std::make_shared<os::FaultDisk>(customer_bytes_);
    disks_["GOODS.BKF"] = std::make_shared<os::FaultDisk>(goods_bytes_);
    os::SetFileWrapper([this](const std::string& path, std::unique_ptr<os::File>) {
      auto& disk = disks_[BaseName(path)];
      if (!disk) disk = std::make_shared<os::FaultDisk>();
      return disk->Open();
    });
  }
  // Opens the files, reads the dragged customer and arms the customer disk.
  framework::Outcome Move(const std::function<void(os::FaultDisk&)>& arm) {
    EXPECT_EQ(CustomerRelations.OpenWithRelated(false), kOutcomeDone);
    std::vector<int32_t> page = {10, 20, 30, 40, 50};
    LoadRow(page, 2);
    os::FaultDisk& disk = *disks_["CUSTOMER.BKF"];
    disk.Reset();
    arm(disk);
    framework::Outcome o = RotateOrderNumbers(CustomerFile, 2, 4, page, values_);
    points_ = disk.points();
    calls_ = disk.calls();
    CustomerRelations.CloseWithRelated(false);
    return o;
  }

  os::FaultDisk& CustomerDisk() { return *disks_["CUSTOMER.BKF"]; }

  // A read after the power is gone (or one that fails) reaches the driver's
  // corruption exit, which would end the test program: record it instead.
  brisken::CorruptionRecorder corruption_;
  std::vector<CustomerRow> before_, after_;
  std::string customer_bytes_, goods_bytes_;
  std::map<std::string, std::shared_ptr<os::FaultDisk>> disks_;
  int64_t points_ = 0, calls_ = 0;
};

TEST_F(OrderRotationFaultTest, PowerLossAtEveryPointLeavesTheFileBeforeOrAfter) {
  FreshDisks();
  ASSERT_EQ(Move([](os::FaultDisk&) {}), kOutcomeDone);
  const int64_t points = points_;
  ASSERT_GT(points, 0);
  RecordProperty("write_points", static_cast<int>(points));
  // One commit: the writes of the move end in a single flush sequence.
  EXPECT_EQ(CustomersIn(folder_), after_);
  int saw_before = 0, saw_after = 0;
  for (int64_t n = 1; n <= points; ++n) {
    FreshDisks();
    const size_t shown = display_.shown.size();
    framework::Outcome o = Move([n](os::FaultDisk& d) { d.CrashAtPoint(n); });
    ASSERT_TRUE(CustomerDisk().powered_off()) << "point " << n;
    EXPECT_NE(o, kOutcomeDone) << "point " << n;
    EXPECT_EQ(display_.shown.size(), shown + 1) << "point " << n;
    CustomerDisk().PowerOn();
    const auto now = CustomersIn(folder_);
    if (now == before_) {
      ++saw_before;
    } else {
      ASSERT_EQ(now, after_) << "point " << n;
      ++saw_after;
    }
    EXPECT_EQ(CustomersIn(folder_, &kCusByName).size(), 5u) << "point " << n;
  }
  EXPECT_GT(saw_before, 0);
  RecordProperty("crashes_before", saw_before);
  RecordProperty("crashes_after", saw_after);
}

TEST_F(OrderRotationFaultTest, IoErrorAtEveryCallLeavesTheFileBeforeOrAfterAndReportsOnce) {
  FreshDisks();
  ASSERT_EQ(Move([](os::FaultDisk&) {}), kOutcomeDone);
  const int64_t calls = calls_;
  ASSERT_GT(calls, 0);
  RecordProperty("calls", static_cast<int>(calls));
  int failed = 0;
  for (int64_t n = 1; n <= calls; ++n) {
    FreshDisks();
    const size_t shown = display_.shown.size();
    framework::Outcome o = Move([n](os::FaultDisk& d) { d.FailCall(n); });
    CustomerDisk().Reset();
    const auto now = CustomersIn(folder_);
    if (o == kOutcomeDone) {
      EXPECT_EQ(now, after_) << "call " << n;
      EXPECT_EQ(display_.shown.size(), shown) << "call " << n;
      // The buffer holds the dragged customer with its new number.
      EXPECT_EQ(RowFrom(CustomerRecord()), Customer(40, "Basil"));
    } else {
      ++failed;
      EXPECT_TRUE(now == before_ || now == after_) << "call " << n;
      EXPECT_EQ(display_.shown.size(), shown + 1) << "call " << n;
      EXPECT_EQ(RowFrom(CustomerRecord()), Customer(20, "Basil")) << "call " << n;
    }
  }
  EXPECT_GT(failed, 0);
  RecordProperty("failed_moves", failed);
}

}  // namespace
}  // namespace korvex::app::testing
