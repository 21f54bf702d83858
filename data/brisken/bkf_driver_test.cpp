#include "data/brisken/bkf_driver.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "data/brisken/table_test_util.h"
#include "data/driver/current_error.h"
#include "data/driver/error_codes.h"
#include "data/driver/file_control_block.h"
#include "data/driver/operation.h"
#include "data/driver/properties.h"
#include "runtime/os/file.h"
#include "runtime/os/temp_dir.h"

namespace korvex::brisken {
namespace {

using namespace testing;

class BkfDriverTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }

  // A control block for kCustomer (or decl) under `name` in the scratch directory.
  std::unique_ptr<FileControlBlock> Block(const std::string& name,
                                          const FileDeclaration* decl = &kCustomer) {
    auto fcb = std::make_unique<FileControlBlock>(decl, record_, sizeof record_);
    fcb->name = dir_.File(name);
    return fcb;
  }
  int32_t Run(FileControlBlock& fcb, int op, Arguments args = {}) {
    return BkfEntry(op, &fcb, &args);
  }
  void Fill(const Customer& c) {
    std::vector<uint8_t> b = c.Buffer();
    std::memcpy(record_, b.data(), b.size());
  }
  Customer Read() { return Customer::From(std::vector<uint8_t>(record_, record_ + 68)); }

  os::TempDir dir_{"bkf-driver"};
  uint8_t record_[68] = {};
};

TEST_F(BkfDriverTest, CreateOpenAddGetCloseAndOpenAgain) {
  auto fcb = Block("CUSTOMER");
  FileDeclaration no_create = kCustomer;
  no_create.attributes = 0;
  auto plain = Block("CUSTOMER", &no_create);
  EXPECT_EQ(Run(*plain, kOpCreate), kErrNoCreateAttribute);
  // OPEN of a missing file fails without leaving a file behind.
  EXPECT_EQ(Run(*fcb, kOpOpen), kErrFileNotFound);
  EXPECT_EQ(GetCurrentError().code, kErrFileNotFound);
  EXPECT_FALSE(os::FileExists(dir_.File("CUSTOMER.BKF")));

  ASSERT_EQ(Run(*fcb, kOpCreate), 0);
  EXPECT_TRUE(os::FileExists(dir_.File("CUSTOMER.BKF")));
  ASSERT_EQ(Run(*fcb, kOpOpen, {Argument::Number(0x42)}), 0);
  EXPECT_EQ(Run(*fcb, kOpOpen), kErrFileAlreadyOpen);
  Fill({7, "Smith", "Kew", "555", 3});
  ASSERT_EQ(Run(*fcb, kOpAdd), 0);
  Fill({8, "smith"});
  EXPECT_EQ(Run(*fcb, kOpAdd), kErrDuplicateKey);
  EXPECT_EQ(fcb->last_error, kErrDuplicateKey);
  ASSERT_EQ(Run(*fcb, kOpClose), 0);
  EXPECT_EQ(fcb->state, nullptr);

  ASSERT_EQ(Run(*fcb, kOpOpen), 0);
  int64_t count = 0;
  ASSERT_EQ(Run(*fcb, kOpRecordsFile, {Argument::NumberAnswer(&count)}), 0);
  EXPECT_EQ(count, 1);
  Fill({0, "SMITH"});
  ASSERT_EQ(Run(*fcb, kOpGetFileKey, {Argument::Key(&kCustomerKeys[0])}), 0);
  EXPECT_EQ(Read().suburb, "Kew");
  int64_t pointer = 0;
  ASSERT_EQ(Run(*fcb, kOpPointerFile, {Argument::NumberAnswer(&pointer)}), 0);
  EXPECT_GT(pointer, 0);
  Fill({});
  ASSERT_EQ(Run(*fcb, kOpGetFilePtr, {Argument::Number(pointer)}), 0);
  EXPECT_EQ(Read().name, "Smith");
  ASSERT_EQ(Run(*fcb, kOpClose), 0);
  EXPECT_EQ(Run(*fcb, kOpClose), kErrFileNotOpen);
}

TEST_F(BkfDriverTest, OpenRefusesADifferentDeclarationAndUnopenedFilesAnswerSensibly) {
  auto fcb = Block("CUSTOMER");
  ASSERT_EQ(Run(*fcb, kOpCreate), 0);
  FieldDescriptor fields[] = {MakeField("X:ID", kTypeLong, 4)};
  FileDeclaration other = {.label = "X", .attributes = kFileCreate, .fields = fields};
  auto wrong = Block("CUSTOMER", &other);
  EXPECT_EQ(Run(*wrong, kOpOpen), kErrInvalidRecordDeclaration);
  EXPECT_EQ(wrong->state, nullptr);  // a failed OPEN leaves no state behind

  EXPECT_EQ(Run(*fcb, kOpEof), 1);  // not open: true, and 37 posted
  EXPECT_EQ(GetCurrentError().code, kErrFileNotOpen);
  EXPECT_EQ(Run(*fcb, kOpNext), kErrFileNotOpen);
  EXPECT_EQ(Run(*fcb, kOpLogout), kErrInvalidParameterCount);  // no files named
  EXPECT_EQ(Run(*fcb, kOpBuffer), kErrUnsupportedFunction);  // not in the driver's list
  EXPECT_EQ(Run(*fcb, kOpQueryView), 0);
}

TEST_F(BkfDriverTest, SequentialProcessingThroughTheEntry) {
  auto fcb = Block("CUSTOMER");
  ASSERT_EQ(Run(*fcb, kOpCreate), 0);
  ASSERT_EQ(Run(*fcb, kOpOpen), 0);
  for (const char* n : {"Corvel", "Abvarn", "Brisel"}) {
    Fill({0, n});
    ASSERT_EQ(Run(*fcb, kOpAdd), 0);
  }
  const Arguments by_name{Argument::Key(&kCustomerKeys[0])};
  EXPECT_EQ(BkfEntry(kOpSetKey, fcb.get(), &by_name), 0);
  EXPECT_EQ(BkfEntry(kOpQueryKey, fcb.get(), &by_name), 1);
  EXPECT_EQ(Run(*fcb, kOpBof), 0);
  std::vector<std::string> names;
  while (Run(*fcb, kOpNext) == 0) names.push_back(Read().name);
  EXPECT_EQ(names, (std::vector<std::string>{"Abvarn", "Brisel", "Corvel"}));
  EXPECT_EQ(fcb->last_error, kErrRecordNotAvailable);
  EXPECT_EQ(Run(*fcb, kOpEof), 1);
  ASSERT_EQ(Run(*fcb, kOpPrevious), 0);
  EXPECT_EQ(Read().name, "Brisel");
  std::string position;
  ASSERT_EQ(Run(*fcb, kOpPositionKey, {Argument::Key(&kCustomerKeys[0]),
                                       Argument::TextAnswer(&position)}),
            0);
  EXPECT_EQ(position.size(), 24u);
  ASSERT_EQ(Run(*fcb, kOpSetFile), 0);
  EXPECT_EQ(BkfEntry(kOpQueryKey, fcb.get(), &by_name), 0);
  ASSERT_EQ(Run(*fcb, kOpSkip, {Argument::Number(1)}), 0);
  ASSERT_EQ(Run(*fcb, kOpNext), 0);
  EXPECT_EQ(Read().name, "Abvarn");
  ASSERT_EQ(Run(*fcb, kOpResetKey, {Argument::Key(&kCustomerKeys[0]), Argument::Text(position)}), 0);
  ASSERT_EQ(Run(*fcb, kOpNext), 0);
  EXPECT_EQ(Read().name, "Brisel");
  Fill({0, "B"});
  ASSERT_EQ(Run(*fcb, kOpSetKeyKey, {Argument::Key(&kCustomerKeys[0])}), 0);
  ASSERT_EQ(Run(*fcb, kOpNext), 0);
  EXPECT_EQ(Read().name, "Brisel");
  ASSERT_EQ(Run(*fcb, kOpDelete), 0);
  int64_t n = 0;
  ASSERT_EQ(Run(*fcb, kOpRecordsKey, {Argument::Key(&kCustomerKeys[0]), Argument::NumberAnswer(&n)}), 0);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(Run(*fcb, kOpClose), 0);
}

TEST_F(BkfDriverTest, TablesOfOneFileSendCommandsAndProperties) {
  auto orders = Block("SHOP\\!ORDERS");
  auto items = Block("SHOP\\!ITEMS");
  auto whole = Block("SHOP");
  ASSERT_EQ(Run(*orders, kOpCreate), 0);
  ASSERT_EQ(Run(*items, kOpCreate), 0);
  ASSERT_EQ(Run(*whole, kOpCreate), 0);  // replaces the file
  EXPECT_EQ(Run(*orders, kOpOpen), kErrFileNotFound);
  ASSERT_EQ(Run(*orders, kOpCreate), 0);
  ASSERT_EQ(Run(*items, kOpCreate), 0);
  ASSERT_EQ(Run(*orders, kOpOpen), 0);
  ASSERT_EQ(Run(*items, kOpOpen), 0);  // one open file serves both
  ASSERT_EQ(Run(*whole, kOpOpen), 0);
  Fill({1, "Abvarn"});
  ASSERT_EQ(Run(*orders, kOpAdd), 0);
  int64_t n = -1;
  ASSERT_EQ(Run(*items, kOpRecordsFile, {Argument::NumberAnswer(&n)}), 0);
  EXPECT_EQ(n, 0);

  std::string reply;
  auto send = [&](FileControlBlock& f, const std::string& command) {
    reply.assign(1, '?');
    EXPECT_EQ(Run(f, kOpSend, {Argument::Text(command), Argument::TextAnswer(&reply)}), 0);
    return reply;
  };
  EXPECT_EQ(send(*whole, "PNM="), "ITEMS");
  EXPECT_EQ(send(*whole, "PNM=ITEMS!"), "ORDERS");
  EXPECT_EQ(send(*whole, "PNM=ORDERS!"), "UNNAMED");
  EXPECT_EQ(send(*whole, "PNM=V"), "");
  EXPECT_EQ(send(*orders, "PNM="), "");  // only through the file's name alone
  EXPECT_EQ(send(*whole, "FLAGS"), "0");
  EXPECT_EQ(send(*whole, "FLAGS=77"), "77");
  EXPECT_EQ(send(*whole, "FULLBUILD"), "OFF");
  EXPECT_EQ(send(*whole, "FULLBUILD=ON"), "ON");
  EXPECT_EQ(send(*whole, "FULLBUILD=1"), "OFF");
  EXPECT_EQ(send(*whole, "register"), std::to_string(reinterpret_cast<uintptr_t>(&BkfDriverRecord())));
  EXPECT_EQ(send(*whole, "TCF=C:\\X.TCF"), "C:\\X.TCF");
  EXPECT_EQ(send(*whole, "TCF"), "C:\\X.TCF");
  EXPECT_EQ(send(*whole, "TCF="), "");

  std::string value;
  auto get = [&](FileControlBlock& f, uint32_t number) {
    value.assign(1, '?');
    EXPECT_EQ(Run(f, kOpGetProperty, {Argument::Number(number), Argument::TextAnswer(&value)}), 0);
    return value;
  };
  EXPECT_EQ(get(*orders, kPropKeyCount), "5");
  EXPECT_EQ(get(*orders, kPropHeld), "0");
  ASSERT_EQ(Run(*orders, kOpHoldFile), 0);
  Fill({1, "Abvarn"});
  ASSERT_EQ(Run(*orders, kOpGetFileKey, {Argument::Key(&kCustomerKeys[4])}), 0);
  EXPECT_EQ(get(*orders, kPropHeld), "1");
  ASSERT_EQ(Run(*orders, kOpRelease), 0);
  EXPECT_EQ(get(*orders, kPropHeld), "0");
  ASSERT_EQ(Run(*orders, kOpWatch), 0);
  EXPECT_EQ(get(*orders, kPropWatched), "1");
  EXPECT_EQ(Run(*orders, kOpSetProperty, {Argument::Number(kPropTransaction), Argument::Text("1")}), 0);

  for (auto* f : {orders.get(), items.get(), whole.get()}) ASSERT_EQ(Run(*f, kOpClose), 0);
}

TEST_F(BkfDriverTest, WatchedRecordChangedThroughAnotherBlockFailsWith89) {
  auto one = Block("CUSTOMER");
  ASSERT_EQ(Run(*one, kOpCreate), 0);
  ASSERT_EQ(Run(*one, kOpOpen), 0);
  Fill({1, "Abvarn", "Kew"});
  ASSERT_EQ(Run(*one, kOpAdd), 0);
  uint8_t other_record[68];
  FileControlBlock two(&kCustomer, other_record, sizeof other_record);
  two.name = one->name;
  ASSERT_EQ(Run(two, kOpOpen, {Argument::Number(0x42)}), 0);
  ASSERT_EQ(Run(*one, kOpWatch), 0);
  Fill({1});
  ASSERT_EQ(Run(*one, kOpGetFileKey, {Argument::Key(&kCustomerKeys[4])}), 0);
  std::vector<uint8_t> b = Customer{1, "Abvarn", "Carlton"}.Buffer();
  std::memcpy(other_record, b.data(), 68);
  ASSERT_EQ(Run(two, kOpGetFileKey, {Argument::Key(&kCustomerKeys[4])}), 0);
  std::memcpy(other_record, b.data(), 68);
  ASSERT_EQ(Run(two, kOpPut), 0);
  Fill({1, "Abvarn", "Hawthorn"});
  EXPECT_EQ(Run(*one, kOpPut), kErrRecordChanged);
  ASSERT_EQ(Run(*one, kOpGetFileKey, {Argument::Key(&kCustomerKeys[4])}), 0);
  EXPECT_EQ(Read().suburb, "Carlton");
  ASSERT_EQ(Run(two, kOpClose), 0);
  ASSERT_EQ(Run(*one, kOpClose), 0);
}

TEST_F(BkfDriverTest, CopyRenameAndRemoveOfTablesAndFiles) {
  auto src = Block("SHOP\\!ORDERS");
  ASSERT_EQ(Run(*src, kOpCreate), 0);
  ASSERT_EQ(Run(*src, kOpOpen), 0);
  for (int i = 1; i <= 3; ++i) {
    Fill({i, std::string(1, 'A' + i)});
    ASSERT_EQ(Run(*src, kOpAdd), 0);
  }
  ASSERT_EQ(Run(*src, kOpClose), 0);
  // Table to a table of another file, then renamed inside that file.
  ASSERT_EQ(Run(*src, kOpCopy, {Argument::Text(dir_.File("OTHER.BKF\\!COPY"))}), 0);
  auto copy = Block("OTHER.BKF\\!COPY");
  ASSERT_EQ(Run(*copy, kOpRename, {Argument::Text(dir_.File("OTHER.BKF\\!MOVED"))}), 0);
  EXPECT_EQ(Run(*copy, kOpOpen), kErrFileNotFound);
  auto moved = Block("OTHER.BKF\\!MOVED");
  ASSERT_EQ(Run(*moved, kOpOpen), 0);
  std::vector<std::string> names;
  Arguments by_id{Argument::Key(&kCustomerKeys[4])};
  ASSERT_EQ(BkfEntry(kOpSetKey, moved.get(), &by_id), 0);
  while (Run(*moved, kOpNext) == 0) names.push_back(Read().name);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "C", "D"}));
  Fill({9, "E"});
  ASSERT_EQ(Run(*moved, kOpAdd), 0);  // numbers issued after the copied ones
  ASSERT_EQ(Run(*moved, kOpClose), 0);
  // A rename onto an existing table is refused.
  ASSERT_EQ(Run(*src, kOpCopy, {Argument::Text(dir_.File("OTHER.BKF\\!COPY"))}), 0);
  EXPECT_EQ(Run(*src, kOpRename, {Argument::Text(dir_.File("OTHER.BKF\\!COPY"))}),
            kErrAccessDenied);

  // Whole files.
  auto shop = Block("SHOP");
  ASSERT_EQ(Run(*shop, kOpCopy, {Argument::Text(dir_.File("SHOP2"))}), 0);
  EXPECT_TRUE(os::FileExists(dir_.File("SHOP2.BKF")));
  auto shop2 = Block("SHOP2");
  ASSERT_EQ(Run(*shop2, kOpRename, {Argument::Text(dir_.File("SHOP3.BKF"))}), 0);
  EXPECT_FALSE(os::FileExists(dir_.File("SHOP2.BKF")));
  auto in_copy = Block("SHOP3.BKF\\!ORDERS");
  ASSERT_EQ(Run(*in_copy, kOpOpen), 0);
  int64_t n = 0;
  ASSERT_EQ(Run(*in_copy, kOpRecordsFile, {Argument::NumberAnswer(&n)}), 0);
  EXPECT_EQ(n, 3);
  ASSERT_EQ(Run(*in_copy, kOpClose), 0);
  // REMOVE of a table keeps the file; REMOVE of the file deletes it.
  ASSERT_EQ(Run(*in_copy, kOpRemove), 0);
  EXPECT_TRUE(os::FileExists(dir_.File("SHOP3.BKF")));
  EXPECT_EQ(Run(*in_copy, kOpOpen), kErrFileNotFound);
  auto shop3 = Block("SHOP3");
  ASSERT_EQ(Run(*shop3, kOpRemove), 0);
  EXPECT_FALSE(os::FileExists(dir_.File("SHOP3.BKF")));
}

TEST_F(BkfDriverTest, TraceWithDetailsShowsTheRecord) {
  auto fcb = Block("CUSTOMER");
  ASSERT_EQ(Run(*fcb, kOpCreate), 0);
  ASSERT_EQ(Run(*fcb, kOpOpen), 0);
  const std::string log = dir_.File("trace.log");
  ASSERT_EQ(Run(*fcb, kOpSetProperty, {Argument::Number(kPropTraceFile), Argument::Text(log)}), 0);
  ASSERT_EQ(Run(*fcb, kOpSetProperty, {Argument::Number(kPropTraceDetails), Argument::Text("1")}), 0);
  Fill({5, "Smith"});
  ASSERT_EQ(Run(*fcb, kOpAdd), 0);
  EXPECT_EQ(Run(*fcb, kOpAdd), kErrDuplicateKey);
  ASSERT_EQ(Run(*fcb, kOpClose), 0);
  std::ifstream in(log, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string t = text.str();
  EXPECT_NE(t.find("CUSTOMER          FILE,DRIVER('BRISKEN')"), std::string::npos) << t;
  EXPECT_NE(t.find("ADD("), std::string::npos);
  EXPECT_NE(t.find("CUS:NAME          :'Smith"), std::string::npos) << t;
  EXPECT_NE(t.find("Error: Creates Duplicate Key"), std::string::npos);
}

}  // namespace
}  // namespace korvex::brisken
