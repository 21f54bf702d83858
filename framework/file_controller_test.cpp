#include "framework/file_controller.h"

#include <filesystem>

#include "data/driver/error_codes.h"
#include "framework/file_controller_test_util.h"
#include "runtime/eval/evaluator.h"
#include "framework/file_usage.h"
#include "runtime/os/file.h"

namespace korvex::framework::testing {
namespace {

using FileControllerTest = ControllerTest;

TEST_F(FileControllerTest, OpensAreCountedAndTheFileIsOpenedAtItsFirstUse) {
  InitClients();
  EXPECT_EQ(clients_.DisplayName(), clients_block_.name);
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  // Lazy: nothing on disk yet.
  EXPECT_FALSE(os::FileExists(dir_.File("CLIENT.BKF")));
  EXPECT_FALSE(clients_.State().used);
  // The first read creates the missing file and opens it; the buffer survives.
  SetClient(7, "Kept");
  EXPECT_EQ(clients_.Next(), kOutcomeFailed);  // empty: end of file, no message
  EXPECT_TRUE(clients_.AtEnd());
  EXPECT_TRUE(os::FileExists(dir_.File("CLIENT.BKF")));
  EXPECT_EQ(ClientName(), "Kept");
  EXPECT_TRUE(display_.shown.empty());
  EXPECT_EQ(clients_.Close(), kOutcomeDone);
  EXPECT_NE(clients_block_.state, nullptr);  // one user left
  EXPECT_EQ(clients_.Close(), kOutcomeDone);
  EXPECT_EQ(clients_block_.state, nullptr);
  EXPECT_EQ(clients_.State().opened, 0);
  EXPECT_EQ(clients_.Close(), kOutcomeDone);  // one close too many does nothing
}

TEST_F(FileControllerTest, UseBeforeOpenAndMissingFileWithoutCreateAreReported) {
  InitClients();
  EXPECT_NE(clients_.Next(), kOutcomeDone);
  ASSERT_EQ(Titles(), std::vector<std::string>{"File Usage Error"});
  EXPECT_EQ(display_.halts.size(), 1u);
  EXPECT_EQ(clients_.LastError(), kMsgFileNotOpen);

  clients_.create = false;
  clients_.lazy_open = false;
  EXPECT_NE(clients_.Open(), kOutcomeDone);
  EXPECT_EQ(Titles().back(), "File Access Error");
  EXPECT_NE(display_.shown.back().text.find("File Not Found"), std::string::npos);
  EXPECT_EQ(clients_.State().opened, 0);
  // The quiet form stores the message without showing it.
  const size_t shown = display_.shown.size();
  EXPECT_EQ(clients_.OpenQuiet(), kOutcomeFailed);
  EXPECT_EQ(display_.shown.size(), shown);
  EXPECT_EQ(clients_.LastError(), kMsgOpenFailed);
}

TEST_F(FileControllerTest, ReadOnlyFileFallsBackToReadingWithMessage2) {
  InitClients();
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  SetClient(0, "Alpha");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  clients_.Close();
  namespace fs = std::filesystem;
  const fs::path path = dir_.File("CLIENT.BKF");
  // Another program keeps others from writing: only reading is left.
  std::unique_ptr<os::File> other;
  ASSERT_TRUE(os::OpenFile(path.string(), os::Access::Read, os::Share::DenyWrite,
                           os::Disposition::OpenExisting, &other).ok());
  clients_.lazy_open = false;
  EXPECT_EQ(clients_.Open(), kOutcomeDone);
  EXPECT_EQ(Titles(), std::vector<std::string>{"Access Denied"});
  EXPECT_EQ(clients_.open_mode, 0x40);
  ASSERT_EQ(clients_.Call(kOpSetKey, {Argument::Key(kClientById)}), 0);
  EXPECT_EQ(clients_.Next(), kOutcomeDone);
  EXPECT_EQ(ClientName(), "Alpha");
  clients_.Close();
  // Already read-only: no further fall-back.
  clients_.open_mode = 0x40;
  other.reset();
  ASSERT_TRUE(os::OpenFile(path.string(), os::Access::Read, os::Share::DenyAll,
                           os::Disposition::OpenExisting, &other).ok());
  EXPECT_NE(clients_.Open(), kOutcomeDone);
  EXPECT_EQ(Titles().back(), "File Access Error");
}

TEST_F(FileControllerTest, NumberingStartsAtOneAndFollowsTheLastRecord) {
  InitClients();
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  ASSERT_EQ(clients_.PrepareNewRecord(false), kOutcomeDone);
  EXPECT_EQ(ClientId(), 1);
  // The primed record exists; the insert rewrites it by its record number even
  // after another record was read.
  std::memcpy(client_ + 4, "First               ", 20);
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  SetClient(40, "Forty");
  clients_.has_autoinc = false;
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  clients_.has_autoinc = true;
  ASSERT_EQ(clients_.PrepareNewRecord(false), kOutcomeDone);
  EXPECT_EQ(ClientId(), 41);
  std::memcpy(client_ + 4, "Primed              ", 20);
  SetClient(1, "");
  ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);  // reads "First"
  SetClient(41, "Filled in");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  auto all = Records(kClient, clients_block_.name, kClientById, sizeof client_);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(all[0].data()) + 4, 5), "First");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(all[2].data()) + 4, 9), "Filled in");
  EXPECT_TRUE(display_.shown.empty());
}

TEST_F(FileControllerTest, NumberingWithinGroupsComparesPrefixesWithoutCase) {
  InitItems();
  ASSERT_EQ(items_.Open(), kOutcomeDone);
  auto number = [&](int32_t client, const std::string& shelf) {
    SetItem(client, shelf, 0, "x");
    EXPECT_EQ(items_.PrepareNewRecord(true), kOutcomeDone);
    EXPECT_EQ(items_.Insert(), kOutcomeDone);
    return ItemLine();
  };
  EXPECT_EQ(number(5, "top"), 1);
  EXPECT_EQ(number(5, "top"), 2);
  EXPECT_EQ(number(5, "TOP"), 3);  // the key ignores case, so does the group
  EXPECT_EQ(number(5, "low"), 1);
  EXPECT_EQ(number(4, "top"), 1);
  EXPECT_EQ(number(6, "a"), 1);
  EXPECT_EQ(number(5, "top"), 4);
}

TEST_F(FileControllerTest, NumberingAsksAfterThreeFailedAddsAndNeverWraps) {
  InitClients();
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  SetClient(0, "Taken");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  // Every add repeats the unique name: three attempts, the question, three
  // more after Yes, the question again, No.
  display_.PressNext(kButtonYes);
  display_.PressNext(kButtonNo);
  SetClient(0, "TAKEN");
  EXPECT_EQ(clients_.PrepareNewRecord(true), kOutcomeFailed);
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Auto Increment Error", "Auto Increment Error"}));
  EXPECT_NE(display_.shown[0].text.find("Creates Duplicate Key"), std::string::npos);
  EXPECT_EQ(clients_.ReserveAutoNumberQuiet(), kOutcomeFailed);  // quiet: no question
  EXPECT_EQ(display_.shown.size(), 2u);

  clients_.has_autoinc = false;
  SetClient(2147483647, "Last");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  clients_.has_autoinc = true;
  SetClient(0, "Next");
  EXPECT_EQ(clients_.PrepareNewRecord(true), kOutcomeFailed);
  EXPECT_EQ(display_.shown.size(), 3u);
  EXPECT_EQ(Titles().back(), "Auto Increment Error");
  auto all = Records(kClient, clients_block_.name, kClientById, sizeof client_);
  EXPECT_EQ(all.size(), 2u);  // nothing added with a wrapped number
}

TEST_F(FileControllerTest, DuplicateInsertNamesTheKeyItRepeats) {
  InitClients();
  clients_.has_autoinc = false;
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  SetClient(1, "Alpha");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  SetClient(2, "Beta");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  // The name collides with the record just added, which is the current one.
  SetClient(3, "beta");
  EXPECT_EQ(clients_.Insert(), kOutcomeFailed);
  ASSERT_EQ(Titles(), std::vector<std::string>{"Duplicate Key Error"});
  EXPECT_EQ(display_.shown[0].text,
            "Adding this record creates a duplicate entry for the key: By name");
  EXPECT_EQ(ClientName(), "beta");  // the buffer is left as it was
  SetClient(1, "Gamma");
  EXPECT_EQ(clients_.Insert(), kOutcomeFailed);
  EXPECT_EQ(display_.shown[1].text.substr(display_.shown[1].text.size() - 5), "By id");
  EXPECT_EQ(clients_.InsertQuiet(), kOutcomeFailed);
  EXPECT_EQ(clients_.LastError(), kMsgDuplicateKey);
  EXPECT_EQ(display_.shown.size(), 2u);
}

TEST_F(FileControllerTest, ChangeByAnotherStationIsShownAndReadBack) {
  InitClients();
  clients_.has_autoinc = false;
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  SetClient(1, "Alpha");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  ASSERT_EQ(clients_.Call(kOpWatch), 0);
  ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);

  // A second controller over its own control block changes the record.
  uint8_t other_record[28];
  FileControlBlock other_block(&kClient, other_record, sizeof other_record);
  other_block.name = clients_block_.name;
  FileController other;
  other.Init(&other_block, &errors_);
  other.AddKey(kClientById, 0, "By id");
  ASSERT_EQ(other.Open(), kOutcomeDone);
  std::memcpy(other_record, client_, sizeof client_);
  ASSERT_EQ(other.FetchQuiet(kClientById), kOutcomeDone);
  std::memcpy(other_record + 4, "Changed", 7);
  ASSERT_EQ(other.Update(), kOutcomeDone);

  std::memcpy(client_ + 4, "Mine   ", 7);
  EXPECT_EQ(clients_.Update(), kOutcomeFailed);
  ASSERT_EQ(Titles(), std::vector<std::string>{"Record Was Not Updated"});
  EXPECT_EQ(clients_.LastError(), kMsgRecordChanged);
  EXPECT_EQ(ClientName(), "Changed");  // the other station's record is shown
  other.Close();
  other.Kill();
}

TEST_F(FileControllerTest, OrderTextAndKeyComponents) {
  InitClients();
  EXPECT_EQ(clients_.OrderText(kClientByStart, 0), "-CLI:START,UPPER(CLI:NAME)");
  EXPECT_EQ(clients_.OrderText(kClientByStart, 2), "UPPER(CLI:NAME)");
  EXPECT_EQ(clients_.OrderText(kClientById, 1), "CLI:ID");
  EXPECT_EQ(clients_.OrderText(nullptr, 1), "");
  EXPECT_EQ(clients_.ComponentCount(kClientByStart), 2);
  EXPECT_EQ(clients_.ComponentField(kClientByStart, 2), 2);
  EXPECT_EQ(clients_.ComponentName(kClientByStart, 3), "");
  EXPECT_EQ(clients_.primary_key, 3);
  EXPECT_TRUE(clients_.keys()[1].dups);
  EXPECT_FALSE(clients_.keys()[2].nocase);
  SetClient(5, "Name", 9);
  clients_.ClearKeyComponents(kClientByStart, 1, 22, false);
  int32_t start;
  std::memcpy(&start, client_ + 24, 4);
  EXPECT_EQ(start, 2147483647);  // descending: cleared high
  EXPECT_EQ(ClientName(), "");
  EXPECT_EQ(ClientId(), 5);
}

TEST_F(FileControllerTest, RestoredStateNeverShowsABufferOverAnotherRecord) {
  InitClients();
  clients_.has_autoinc = false;
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  for (int i = 1; i <= 3; ++i) {
    SetClient(i * 10, Numbered("Client", i));
    ASSERT_EQ(clients_.Insert(), kOutcomeDone);
  }
  ASSERT_EQ(clients_.Call(kOpSetKey, {Argument::Key(kClientById)}), 0);
  ASSERT_EQ(clients_.Next(), kOutcomeDone);  // 10
  ASSERT_EQ(clients_.Next(), kOutcomeDone);  // 20
  std::memcpy(client_ + 4, "Edited ", 7);
  uint16_t state = clients_.SaveFile();
  ASSERT_EQ(clients_.Next(), kOutcomeDone);  // 30
  clients_.RestoreFile(&state, true);
  EXPECT_EQ(state, 0);
  EXPECT_EQ(ClientId(), 20);
  EXPECT_EQ(ClientName().substr(0, 6), "Edited");
  ASSERT_EQ(clients_.Next(), kOutcomeDone);  // the position came back too
  EXPECT_EQ(ClientId(), 30);

  // The saved record disappears meanwhile: the buffer then shows the record
  // that is current, so an update cannot write the saved bytes over it.
  SetClient(20, "");
  ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);
  state = clients_.SaveFile();
  ASSERT_EQ(clients_.Call(kOpDelete), 0);
  SetClient(30, "");
  ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);
  clients_.RestoreFile(&state, true);
  ASSERT_EQ(clients_.Update(), kOutcomeDone);
  auto all = Records(kClient, clients_block_.name, kClientById, sizeof client_);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(all[1].data()) + 4, 7), "Client3");
  EXPECT_EQ(int32_t(all[1][0]), 30);
}

TEST_F(FileControllerTest, RegistryAndTrackerFollowTheControllers) {
  const size_t before = FileUsageRegistry::Instance().size();
  InitClients();
  EXPECT_EQ(FileUsageRegistry::Instance().Find(&kClient), &clients_);
  EXPECT_EQ(FileUsageRegistry::Instance().size(), before + 1);

  // A called procedure reading the file gives the caller its record back at its close.
  int caller, callee;
  clients_.has_autoinc = false;
  {
    ProcedureScope in_caller(&caller);
    ASSERT_EQ(clients_.Open(), kOutcomeDone);
    for (int i = 1; i <= 2; ++i) {
      SetClient(i, Numbered("C", i));
      ASSERT_EQ(clients_.Insert(), kOutcomeDone);
    }
    SetClient(1, "");
    ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);
    {
      ProcedureScope in_callee(&callee);
      ASSERT_EQ(clients_.Open(), kOutcomeDone);
      // The first use saves the caller's record; the callee then reads another.
      ASSERT_EQ(clients_.Call(kOpSetKey, {Argument::Key(kClientById)}), 0);
      ASSERT_EQ(clients_.PreviousQuiet(), kOutcomeDone);
      EXPECT_EQ(ClientName(), "C2");
      clients_.Close();
    }
    EXPECT_EQ(ClientName(), "C1");
    clients_.Close();
  }
  clients_.Kill();
  EXPECT_EQ(FileUsageRegistry::Instance().size(), before);
  EXPECT_EQ(FileUsageRegistry::Instance().Find(&kClient), nullptr);
}

}  // namespace
}  // namespace korvex::framework::testing

namespace korvex::framework::testing {
namespace {

// A driver entry in front of the Brisken driver that records what is sent and
// can refuse the next opens with access denied.
struct EntrySpy {
  static inline std::vector<std::string> sent;
  static inline int refuse_opens = 0;
  static int32_t Entry(int op, FileControlBlock* file, const Arguments* args) {
    if (op == kOpSend) {
      std::string_view text;
      if (args->GetText(0, &text)) sent.emplace_back(text);
    }
    if (op == kOpOpen && refuse_opens > 0) {
      --refuse_opens;
      return kErrAccessDenied;
    }
    return brisken::BkfEntry(op, file, args);
  }
};

TEST_F(FileControllerTest, LockedFileIsRetriedWithTheRecoverSettingFirst) {
  InitClients();
  clients_.entry = &EntrySpy::Entry;
  clients_.lazy_open = false;
  clients_.lock_recover = 7;
  EntrySpy::sent.clear();
  EntrySpy::refuse_opens = 1;
  EXPECT_EQ(clients_.Open(), kOutcomeDone);  // the retry after "Recover=" gets in
  EXPECT_EQ(EntrySpy::sent, std::vector<std::string>{"Recover=7"});
  EXPECT_TRUE(display_.shown.empty());
  EXPECT_EQ(clients_.open_mode, 0x42);
  clients_.Close();
}

TEST_F(FileControllerTest, AbandonedInsertRemovesThePrimedRecord) {
  InitClients();
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  for (const char* name : {"Kept", "Abandoned"}) {
    ASSERT_EQ(clients_.PrepareNewRecord(false), kOutcomeDone);
    std::memcpy(client_ + 4, name, std::strlen(name));
    if (std::strcmp(name, "Kept") == 0) {
      ASSERT_EQ(clients_.Insert(), kOutcomeDone);
    }
  }
  // Another record is read meanwhile; the primed one goes all the same.
  SetClient(1, "");
  ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);
  EXPECT_EQ(clients_.CancelPrimedRecord(nullptr), kOutcomeDone);
  EXPECT_FALSE(clients_.State().autoinc_done);
  EXPECT_EQ(clients_.CancelPrimedRecord(nullptr), kOutcomeDone);  // nothing left to remove
  auto all = Records(kClient, clients_block_.name, kClientById, sizeof client_);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(all[0].data()) + 4, 4), "Kept");
}

TEST_F(FileControllerTest, AliasNumbersThroughTheFileItStandsFor) {
  InitClients();
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  SetClient(0, "Original");
  ASSERT_EQ(clients_.Insert(), kOutcomeDone);  // number 1
  uint8_t alias_record[28];
  FileControlBlock alias_block(&kClient, alias_record, sizeof alias_record);
  alias_block.name = clients_block_.name;
  FileController alias;
  alias.Init(&alias_block, &errors_);
  alias.AddKey(kClientById, 1, "By id");
  alias.aliased_file = &clients_;
  ASSERT_EQ(alias.Open(), kOutcomeDone);
  std::memset(alias_record, ' ', sizeof alias_record);
  std::memcpy(alias_record + 4, "Through alias", 13);
  ASSERT_EQ(alias.PrepareNewRecord(true), kOutcomeDone);
  int32_t id;
  std::memcpy(&id, alias_record, 4);
  EXPECT_EQ(id, 2);
  EXPECT_TRUE(alias.State().autoinc_done);
  // The aliased controller got its own record and position back.
  EXPECT_EQ(ClientName(), "Original");
  // The insert through the alias fills in the record numbering added.
  std::memcpy(alias_record + 4, "Filled through alias", 20);
  EXPECT_EQ(alias.Insert(), kOutcomeDone);
  alias.Close();
  alias.Kill();
  auto all = Records(kClient, clients_block_.name, kClientById, sizeof client_);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(all[1].data()) + 4, 20), "Filled through alias");
}

}  // namespace
}  // namespace korvex::framework::testing

namespace korvex::framework::testing {
namespace {

TEST_F(FileControllerTest, OpenBindsTheFieldsForExpressions) {
  Evaluator evaluator;
  InitClients();
  clients_.bindings = &evaluator;
  ASSERT_EQ(clients_.Open(), kOutcomeDone);
  SetClient(41, "Zed", 3);
  Value v;
  ASSERT_TRUE(evaluator.Evaluate("cli:id + 1", &v).ok());
  EXPECT_EQ(v.ToText(), "42");
  ASSERT_TRUE(evaluator.Evaluate("CLI:NAME & '!'", &v).ok());
  EXPECT_EQ(v.ToText(), "Zed!");
  SetClient(7, "Ann", 3);  // read when evaluated, not when bound
  ASSERT_TRUE(evaluator.Evaluate("CLI:ID * CLI:START", &v).ok());
  EXPECT_EQ(v.ToText(), "21");
  clients_.Close();
}

}  // namespace
}  // namespace korvex::framework::testing
