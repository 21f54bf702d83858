#include <cstring>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "data/brisken/bkf_driver.h"
#include "data/brisken/table_test_util.h"
#include "data/driver/error_codes.h"
#include "data/driver/file_control_block.h"
#include "data/driver/operation.h"
#include "runtime/os/file.h"
#include "runtime/os/temp_dir.h"

namespace korvex::brisken {
namespace {

using namespace testing;

class BkfTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }

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
  int64_t Records(FileControlBlock& fcb) {
    int64_t count = -1;
    EXPECT_EQ(Run(fcb, kOpRecordsFile, {Argument::NumberAnswer(&count)}), 0);
    return count;
  }
  // Creates and opens (shared for writing) two empty files.
  void OpenPair() {
    a_ = Block("A");
    b_ = Block("B");
    for (FileControlBlock* f : {a_.get(), b_.get()}) {
      ASSERT_EQ(Run(*f, kOpCreate), 0);
      ASSERT_EQ(Run(*f, kOpOpen, {Argument::Number(0x42)}), 0);
    }
  }
  int32_t Logout() {
    return Run(*a_, kOpLogout,
               {Argument::Number(2), Argument::File(a_.get()), Argument::File(b_.get())});
  }
  void AddToBoth() {
    Fill({1, "Alpha", "Kew"});
    ASSERT_EQ(Run(*a_, kOpAdd), 0);
    Fill({2, "Beta", "Kew"});
    ASSERT_EQ(Run(*b_, kOpAdd), 0);
  }
  // Closes both and counts their records through fresh opens.
  std::pair<int64_t, int64_t> CountAfterReopen() {
    EXPECT_EQ(Run(*a_, kOpClose), 0);
    EXPECT_EQ(Run(*b_, kOpClose), 0);
    EXPECT_EQ(Run(*a_, kOpOpen), 0);
    EXPECT_EQ(Run(*b_, kOpOpen), 0);
    std::pair<int64_t, int64_t> counts{Records(*a_), Records(*b_)};
    EXPECT_EQ(Run(*a_, kOpClose), 0);
    EXPECT_EQ(Run(*b_, kOpClose), 0);
    return counts;
  }
  std::string Bytes(const std::string& file) {
    std::ifstream in(dir_.File(file), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  os::TempDir dir_{"bkf-transaction"};
  uint8_t record_[68] = {};
  std::unique_ptr<FileControlBlock> a_, b_;
};

TEST_F(BkfTransactionTest, CommitWritesBothFiles) {
  OpenPair();
  ASSERT_EQ(Logout(), 0);
  EXPECT_EQ(Logout(), kErrLogoutActive);
  AddToBoth();
  // Pending, but this process reads its own changes.
  EXPECT_EQ(Records(*a_), 1);
  ASSERT_EQ(Run(*b_, kOpCommit), 0);
  EXPECT_EQ(Run(*a_, kOpCommit), kErrLogoutNotActive);
  EXPECT_EQ(CountAfterReopen(), std::make_pair(int64_t{1}, int64_t{1}));
}

TEST_F(BkfTransactionTest, RollbackDropsBothFilesChanges) {
  OpenPair();
  Fill({9, "Before", "Kew"});
  ASSERT_EQ(Run(*a_, kOpAdd), 0);  // committed at once: no transaction yet
  ASSERT_EQ(Logout(), 0);
  AddToBoth();
  ASSERT_EQ(Run(*a_, kOpRollback), 0);
  EXPECT_EQ(Records(*a_), 1);
  EXPECT_EQ(Records(*b_), 0);
  EXPECT_EQ(Run(*a_, kOpRollback), kErrLogoutNotActive);
  // After the transaction updates are committed at once again.
  Fill({3, "After", "Kew"});
  ASSERT_EQ(Run(*b_, kOpAdd), 0);
  EXPECT_EQ(CountAfterReopen(), std::make_pair(int64_t{1}, int64_t{1}));
}

TEST_F(BkfTransactionTest, LogoutNeedsOpenFilesAndCommitNeedsLogout) {
  OpenPair();
  EXPECT_EQ(Run(*a_, kOpCommit), kErrLogoutNotActive);
  EXPECT_EQ(Run(*a_, kOpRollback), kErrLogoutNotActive);
  auto closed = Block("C");
  EXPECT_EQ(Run(*a_, kOpLogout, {Argument::Number(2), Argument::File(closed.get())}),
            kErrFileNotOpen);
  // Nothing started by the failed LOGOUT.
  EXPECT_EQ(Run(*a_, kOpCommit), kErrLogoutNotActive);
}

TEST_F(BkfTransactionTest, ClosingAFileInsideTheTransactionKeepsItsChangesPending) {
  OpenPair();
  ASSERT_EQ(Logout(), 0);
  AddToBoth();
  ASSERT_EQ(Run(*a_, kOpClose), 0);
  ASSERT_EQ(Run(*b_, kOpRollback), 0);
  ASSERT_EQ(Run(*a_, kOpOpen), 0);
  EXPECT_EQ(CountAfterReopen(), std::make_pair(int64_t{0}, int64_t{0}));
}

TEST_F(BkfTransactionTest, EncipheredFileRoundTripsAndRefusesTheWrongOwner) {
  FileDeclaration secret = kCustomer;
  secret.owner = "s3cret";
  secret.attributes = kFileCreate | kFileEncrypt;
  auto fcb = Block("SECRET", &secret);
  ASSERT_EQ(Run(*fcb, kOpCreate), 0);
  ASSERT_EQ(Run(*fcb, kOpOpen), 0);
  Fill({5, "Zanzibarian", "Wollongong"});
  ASSERT_EQ(Run(*fcb, kOpAdd), 0);
  ASSERT_EQ(Run(*fcb, kOpClose), 0);
  std::string disk = Bytes("SECRET.BKF");
  ASSERT_FALSE(disk.empty());
  EXPECT_EQ(disk.find("Zanzibarian"), std::string::npos);
  EXPECT_EQ(disk.find("Wollongong"), std::string::npos);

  ASSERT_EQ(Run(*fcb, kOpOpen), 0);
  Fill({0, "ZANZIBARIAN"});
  ASSERT_EQ(Run(*fcb, kOpGetFileKey, {Argument::Key(&kCustomerKeys[0])}), 0);
  EXPECT_EQ(Customer::From(std::vector<uint8_t>(record_, record_ + 68)).suburb, "Wollongong");
  ASSERT_EQ(Run(*fcb, kOpClose), 0);

  FileDeclaration wrong = secret;
  wrong.owner = "guess";
  auto intruder = Block("SECRET", &wrong);
  EXPECT_NE(Run(*intruder, kOpOpen), 0);
  EXPECT_EQ(intruder->state, nullptr);
  FileDeclaration none = secret;
  none.attributes = 0;
  auto plain = Block("SECRET", &none);
  EXPECT_NE(Run(*plain, kOpOpen), 0);
  // The file is untouched by the failed opens.
  EXPECT_EQ(Bytes("SECRET.BKF"), disk);
}

TEST_F(BkfTransactionTest, OwnerWithoutEncryptLeavesTheFilePlain) {
  FileDeclaration owned = kCustomer;
  owned.owner = "s3cret";
  auto fcb = Block("OWNED", &owned);
  ASSERT_EQ(Run(*fcb, kOpCreate), 0);
  ASSERT_EQ(Run(*fcb, kOpOpen), 0);
  Fill({5, "Zanzibarian"});
  ASSERT_EQ(Run(*fcb, kOpAdd), 0);
  ASSERT_EQ(Run(*fcb, kOpClose), 0);
  EXPECT_NE(Bytes("OWNED.BKF").find("Zanzibarian"), std::string::npos);
}

}  // namespace
}  // namespace korvex::brisken
