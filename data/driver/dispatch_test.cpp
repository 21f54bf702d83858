#include "data/driver/dispatch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include <cstring>

#include "data/driver/current_error.h"
#include "data/driver/structure_dump.h"
#include "data/driver/driver_test_util.h"
#include "data/driver/trace.h"
#include "runtime/thread_number.h"

namespace korvex::driver {
namespace {

using testing::FakeDriver;
using testing::FakeState;
using testing::kCustomer;
using testing::kOrders;
using testing::ProfileScope;

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearCurrentError(); }
  void TearDown() override { InstallRemoteHooks(nullptr); }

  int32_t Run(int operation, const Arguments& args = {}) {
    return Dispatch(driver_, operation, fcb_, args);
  }

  FakeDriver driver_;
  std::vector<uint8_t> record_ = std::vector<uint8_t>(68, ' ');
  FileControlBlock fcb_{&kCustomer, record_.data(), record_.size()};
};

TEST_F(DispatchTest, QueryViewAnswersZeroAndTouchesNothing) {
  PostError(kErrRecordNotFound, "OTHER", nullptr);
  fcb_.last_error = 33;
  EXPECT_EQ(Run(kOpQueryView), 0);
  EXPECT_EQ(GetCurrentError().code, 35);
  EXPECT_EQ(GetCurrentError().file_name, "OTHER");
  EXPECT_EQ(fcb_.last_error, 33);
  EXPECT_EQ(fcb_.state, nullptr);  // answered before any state is made
  EXPECT_EQ(driver_.operations_run, 0);
}

TEST_F(DispatchTest, QueryKeyAnswersTheKeyOfTheCurrentOrder) {
  EXPECT_EQ(Run(kOpQueryKey), 0);
  EXPECT_EQ(Run(kOpSetKey, {Argument::Key(&kCustomer.keys[2])}), 0);
  EXPECT_EQ(Run(kOpQueryKey), 3);
  EXPECT_EQ(driver_.operations_run, 1);
}

TEST_F(DispatchTest, UnlistedOperationPosts80) {
  EXPECT_EQ(Run(kOpBuffer), kErrUnsupportedFunction);
  EXPECT_EQ(driver_.operations_run, 0);
  EXPECT_EQ(fcb_.last_error, 80);
  const CurrentError& error = GetCurrentError();
  EXPECT_EQ(error.code, 80);
  EXPECT_EQ(error.text, "Unsupported File Driver Function");
  EXPECT_EQ(error.file_name, "CUSTOMER");
  EXPECT_EQ(error.file, &fcb_);
  // Codes outside the table are unsupported too.
  EXPECT_EQ(Run(200), kErrUnsupportedFunction);
  EXPECT_EQ(Run(-3), kErrUnsupportedFunction);
}

TEST_F(DispatchTest, EofOnAFileNotOpenIsTrueAndPosts37) {
  EXPECT_EQ(Run(kOpEof), 1);
  EXPECT_EQ(GetCurrentError().code, kErrFileNotOpen);
  EXPECT_EQ(GetCurrentError().text, "File Not Open");
  EXPECT_EQ(Run(kOpOpen), 0);
  EXPECT_EQ(GetCurrentError().code, 0);  // each operation starts without an error
  EXPECT_EQ(Run(kOpEof), 0);
  EXPECT_EQ(Run(kOpNext), 0);
  EXPECT_EQ(Run(kOpNext), 0);
  EXPECT_EQ(Run(kOpEof), 1);
  EXPECT_EQ(GetCurrentError().code, 0);  // true at the end, without an error
  EXPECT_EQ(Run(kOpNext), kErrRecordNotAvailable);
}

TEST_F(DispatchTest, ClearErrorAnswerClearsTheFilesLastErrorAndPostsNothing) {
  EXPECT_EQ(Run(kOpNext), kErrFileNotOpen);
  EXPECT_EQ(fcb_.last_error, 37);
  EXPECT_EQ(Run(kOpOpen), 0);
  EXPECT_EQ(fcb_.last_error, 37);  // success alone leaves the file's last error
  EXPECT_EQ(Run(kOpPut), 0);       // the driver answered -1
  EXPECT_EQ(fcb_.last_error, 0);
  EXPECT_EQ(GetCurrentError().code, 0);
}

TEST_F(DispatchTest, FileSystemErrorPostsTheSystemsText) {
  driver_.os_error = os::Status(os::ErrorKind::DiskFull, 28);
  EXPECT_EQ(Run(kOpFlush), kErrFileSystem);
  EXPECT_EQ(GetCurrentError().code, 90);
  EXPECT_EQ(GetCurrentError().text, "File System Error");
  EXPECT_EQ(GetCurrentError().file_error_code, "28");
  EXPECT_EQ(GetCurrentError().file_error, driver_.os_error.Text());
  EXPECT_FALSE(GetCurrentError().file_error.empty());
}

TEST_F(DispatchTest, StateIsMadeOnceAndDiscardedWhenTheDriverAsks) {
  driver_.fail_open = true;
  EXPECT_EQ(Run(kOpOpen), kErrFileNotFound);
  EXPECT_EQ(fcb_.state, nullptr);
  EXPECT_EQ(fcb_.flags & kFcbDiscardState, 0u);
  driver_.fail_open = false;
  EXPECT_EQ(Run(kOpOpen), 0);
  EXPECT_EQ(Run(kOpNext), 0);
  EXPECT_EQ(driver_.states_made, 2);
  EXPECT_EQ(Run(kOpClose), 0);
  EXPECT_EQ(fcb_.state, nullptr);
}

TEST_F(DispatchTest, LastOperationIsKeptOnlyWhenAsked) {
  Run(kOpOpen);
  EXPECT_EQ(fcb_.last_operation, 0);
  fcb_.flags |= kFcbRecordLastOp;
  Run(kOpNext);
  EXPECT_EQ(fcb_.last_operation, kOpNext);
  Run(kOpBuffer);
  EXPECT_EQ(fcb_.last_operation, kOpBuffer);
}

TEST_F(DispatchTest, MissingFileOrArguments) {
  EXPECT_EQ(Dispatch(driver_, kOpNext, nullptr, nullptr), kErrFileNotOpen);
  EXPECT_EQ(Dispatch(driver_, kOpEof, nullptr, nullptr), 1);
  // No arguments where the driver wants a key: it answers 78, no crash.
  EXPECT_EQ(Dispatch(driver_, kOpSetKey, &fcb_, nullptr), kErrInvalidParameterCount);
  EXPECT_EQ(Run(kOpSetKey, {Argument::Number(1)}), kErrInvalidParameterCount);
}

class FakeHooks : public RemoteHooks {
 public:
  bool Connect(FileControlBlock&) override { return connects; }
  bool OpenObject(FileControlBlock&) override { return object_found; }
  int32_t Forward(int operation, FileControlBlock&, const Arguments&, int32_t* answer) override {
    forwarded.push_back(operation);
    *answer = 1;
    return 0;
  }
  bool connects = true;
  bool object_found = true;
  std::vector<int> forwarded;
};

TEST_F(DispatchTest, RemoteFilesWithoutHooksAre80AndWithHooksAreForwarded) {
  fcb_.remote = true;
  EXPECT_EQ(Run(kOpOpen), kErrUnsupportedFunction);
  EXPECT_EQ(Run(kOpEof), 1);
  EXPECT_EQ(GetCurrentError().code, 80);
  EXPECT_EQ(driver_.operations_run, 0);

  FakeHooks hooks;
  InstallRemoteHooks(&hooks);
  hooks.connects = false;
  EXPECT_EQ(Run(kOpOpen), kErrServerNotFound);
  EXPECT_EQ(GetCurrentError().text, "Server Not Found");
  hooks.connects = true;
  hooks.object_found = false;
  EXPECT_EQ(Run(kOpOpen), kErrRemoteObjectNotFound);
  hooks.object_found = true;
  EXPECT_EQ(Run(kOpAdd), kErrUnsupportedFunction);
  EXPECT_EQ(Run(kOpDelete), kErrUnsupportedFunction);
  EXPECT_EQ(Run(kOpOpen), 0);
  EXPECT_EQ(Run(kOpEof), 1);
  EXPECT_EQ(hooks.forwarded, (std::vector<int>{kOpOpen, kOpEof}));
  EXPECT_EQ(driver_.operations_run, 0);
}

TEST(TraceLine, Formats) {
  TraceEvent event;
  event.operation = kOpNext;
  event.file_name = "CUSTOMER";
  event.hundredths = 0;
  EXPECT_EQ(TraceLine(event), "NEXT(CUSTOMER 1)  Time Taken: 0.00 secs\r\n");
  event.operation = kOpEof;
  event.file_name = "A";
  event.code = kErrFileNotOpen;
  event.hundredths = 1234;
  EXPECT_EQ(TraceLine(event), "EOF(A 1)          Error: File Not OpenTime Taken: 12.34 secs\r\n");
  event.operation = kOpGetFileKey;
  event.file_name = "CUSTOMER";
  event.key_label = "CUS:BYNAME";
  event.key_number = 1;
  event.thread = 12;
  event.code = kErrFileSystem;
  event.os_text = "Disk full";
  event.hundredths = 5;
  EXPECT_EQ(TraceLine(event),
            "GETfilekey(CUSTOMER,CUS:BYNAME[1] 12) File Error: Disk fullTime Taken: 0.05 secs\r\n");
  event.operation = kOpNext;  // not keyed: no key part
  event.code = kClearError;
  EXPECT_EQ(TraceLine(event), "NEXT(CUSTOMER 12) Time Taken: 0.05 secs\r\n");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Each "Time Taken: s.hh secs" becomes "Time Taken: T secs": timing is not repeatable.
std::string WithoutTimes(const std::string& text) {
  static const std::regex kTime("Time Taken: [0-9]+\\.[0-9][0-9] secs");
  return std::regex_replace(text, kTime, "Time Taken: T secs");
}

TEST(TraceSettings, ReadFromTheProfile) {
  ProfileScope profile;
  uint8_t record[68];
  FileControlBlock plain(&kCustomer, record, sizeof record);
  FileDriverRecord brisken;
  brisken.name = DriverName("BRISKEN");

  TraceSettings settings;
  ReadTraceSettings(brisken, plain, &settings);
  EXPECT_FALSE(settings.on);
  EXPECT_EQ(settings.file, "BRISKEN.LOG");
  EXPECT_FALSE(settings.details);

  profile.Set("Profile", "1");
  profile.Set("TraceFile", "");  // empty means the default too
  profile.Set("Details", "1");
  ReadTraceSettings(brisken, plain, &settings);
  EXPECT_TRUE(settings.on);
  EXPECT_EQ(settings.file, "BRISKEN.LOG");
  EXPECT_TRUE(settings.details);

  profile.Set("TraceFile", std::string(300, 'x'));
  ReadTraceSettings(brisken, plain, &settings);
  EXPECT_EQ(settings.file, std::string(260, 'x'));

  // A ciphered file shows its records only when its options allow it.
  FileDeclaration ciphered = kCustomer;
  ciphered.attributes = kFileEncrypt;
  FileControlBlock secret(&ciphered, record, sizeof record);
  ReadTraceSettings(brisken, secret, &settings);
  EXPECT_TRUE(settings.on);
  EXPECT_FALSE(settings.details);
  secret.options = "/allowdetails";
  ReadTraceSettings(brisken, secret, &settings);
  EXPECT_TRUE(settings.details);
}

class TraceTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    path_ = profile_.dir().File("trace.log");
    profile_.Set("Profile", "1");
    profile_.Set("TraceFile", path_);
  }
  void TearDown() override {
    SetCurrentThreadNumber(1);
    DispatchTest::TearDown();
  }
  ProfileScope profile_;
  std::string path_;
};

TEST_F(TraceTest, OneLinePerOperation) {
  Run(kOpOpen);
  Run(kOpEof);
  SetCurrentThreadNumber(3);
  Run(kOpGetFileKey, {Argument::Key(&kCustomer.keys[4])});
  driver_.os_error = os::Status(os::ErrorKind::DiskFull, 28);
  Run(kOpFlush);
  Run(kOpBuffer);
  Run(kOpQueryView);  // answered at once, never traced
  Run(kOpQueryKey);
  Run(kOpInternal87);
  Run(kOpInternal91);
  Run(kOpPut);
  EXPECT_EQ(WithoutTimes(ReadFile(path_)),
            "OPEN(CUSTOMER 1)  Time Taken: T secs\r\n"
            "EOF(CUSTOMER 1)   Time Taken: T secs\r\n"
            "GETfilekey(CUSTOMER,CUS:BYID[5] 3) Error: Record Not FoundTime Taken: T secs\r\n"
            "FLUSH(CUSTOMER 3) File Error: " + driver_.os_error.Text() +
                "Time Taken: T secs\r\n"
                "BUFFER(CUSTOMER 3) Error: Unsupported File Driver FunctionTime Taken: T secs\r\n"
                "PUT(CUSTOMER 3)   Time Taken: T secs\r\n");
}

TEST_F(TraceTest, DetailsAddTheStructureOnceAndRecords) {
  profile_.Set("Details", "1");
  std::memcpy(record_.data() + 4, "Jones", 5);
  Run(kOpOpen);
  Run(kOpNext);
  Run(kOpSetKeyKey, {Argument::Key(&kCustomer.keys[0])});
  Run(kOpEof);
  std::string record_lines =
      "CUS:CUSID         :538976288\r\n"  // four blanks read as a LONG
      "CUS:NAME          :'Jones               '\r\n"
      "CUS:SUBURB        :'                    '\r\n"
      "CUS:PHONE         :'                    '\r\n"
      "CUS:STARTDATE     :538976288\r\n";
  EXPECT_EQ(WithoutTimes(ReadFile(path_)),
            StructureDump(kCustomer) +
                "OPEN(CUSTOMER 1)  Time Taken: T secs\r\n"
                "NEXT(CUSTOMER 1)  Time Taken: T secs\r\n" +
                record_lines +
                "SETkeykey(CUSTOMER,CUS:BYNAME[1] 1) Error: Record Not FoundTime Taken: T secs\r\n"
                "CUS:NAME          :'Jones               '\r\n"
                "EOF(CUSTOMER 1)   Time Taken: T secs\r\n");
}

TEST_F(TraceTest, CipheredFileWithoutAllowDetailsTracesNoContents) {
  profile_.Set("Details", "1");
  std::vector<uint8_t> record(98, 0);
  FileDeclaration no_details = kOrders;
  no_details.options = "/OTHER";
  FileControlBlock fcb(&no_details, record.data(), record.size());
  Dispatch(driver_, kOpOpen, fcb, {});
  Dispatch(driver_, kOpNext, fcb, {});
  EXPECT_EQ(WithoutTimes(ReadFile(path_)),
            "OPEN(orders.bkf 1) Time Taken: T secs\r\n"
            "NEXT(orders.bkf 1) Time Taken: T secs\r\n");
}

TEST_F(TraceTest, TracePropertiesTurnTracingOffAndOn) {
  std::string other = profile_.dir().File("other.log");
  Run(kOpOpen);
  std::string answer;
  Run(kOpGetProperty, {Argument::Number(0x7303), Argument::TextAnswer(&answer)});
  EXPECT_EQ(answer, path_);
  Run(kOpSetProperty, {Argument::Number(0x7303), Argument::Text("")});
  Run(kOpNext);  // not traced
  Run(kOpSetProperty, {Argument::Number(0x7303), Argument::Text(other)});
  Run(kOpNext);
  Run(kOpGetProperty, {Argument::Number(0x7303), Argument::TextAnswer(&answer)});
  EXPECT_EQ(answer, other);
  EXPECT_EQ(WithoutTimes(ReadFile(path_)),
            "OPEN(CUSTOMER 1)  Time Taken: T secs\r\n"
            "GET_PROPERTY(CUSTOMER 1) Time Taken: T secs\r\n"
            "SET_PROPERTY(CUSTOMER 1) Time Taken: T secs\r\n");
  EXPECT_EQ(WithoutTimes(ReadFile(other)),
            "NEXT(CUSTOMER 1)  Time Taken: T secs\r\n"
            "GET_PROPERTY(CUSTOMER 1) Time Taken: T secs\r\n");
}

TEST_F(TraceTest, CloseIsTracedAfterTheStateIsGone) {
  Run(kOpOpen);
  Run(kOpClose);
  EXPECT_EQ(fcb_.state, nullptr);
  EXPECT_EQ(WithoutTimes(ReadFile(path_)),
            "OPEN(CUSTOMER 1)  Time Taken: T secs\r\n"
            "CLOSE(CUSTOMER 1) Time Taken: T secs\r\n");
}

}  // namespace
}  // namespace korvex::driver
