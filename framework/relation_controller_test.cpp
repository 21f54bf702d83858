#include "framework/relation_controller.h"

#include "framework/file_controller_test_util.h"

namespace korvex::framework::testing {
namespace {

class RelationControllerTest : public ControllerTest {
 protected:
  void Relate(uint8_t update_mode, uint8_t delete_mode) {
    InitClients();
    clients_.has_autoinc = false;
    InitItems();
    items_.has_autoinc = false;
    client_rel_.Init(&clients_, true);
    client_rel_.AddRelation(&item_rel_, update_mode, delete_mode, kItemByClient);
    ASSERT_TRUE(client_rel_.AddLink({&clients_block_, 0}, {&items_block_, 0}));
    item_rel_.Init(&items_, true);
    item_rel_.AddPlainRelation(&client_rel_);  // a cycle: parent and child know each other
  }
  // Clients 1 and 2 with items 1:a, 1:b, 1:c and 2:d.
  void Fill() {
    ASSERT_EQ(client_rel_.OpenWithRelated(false), kOutcomeDone);
    for (int i = 1; i <= 2; ++i) {
      SetClient(i, Numbered("Client", i));
      ASSERT_EQ(clients_.Insert(), kOutcomeDone);
    }
    int16_t line = 0;
    for (const char* what : {"a", "b", "c"}) {
      SetItem(1, "s", ++line, what);
      ASSERT_EQ(items_.Insert(), kOutcomeDone);
    }
    SetItem(2, "s", 1, "d");
    ASSERT_EQ(items_.Insert(), kOutcomeDone);
    ASSERT_EQ(client_rel_.CloseWithRelated(false), kOutcomeDone);
  }
  // The client ids of the stored items, in key order.
  std::vector<int32_t> ItemClients() {
    std::vector<int32_t> ids;
    for (auto& r : Records(kItem, items_block_.name, kItemByClient, sizeof item_)) {
      int32_t id;
      std::memcpy(&id, r.data(), 4);
      ids.push_back(id);
    }
    return ids;
  }
  size_t ClientCount() { return Records(kClient, clients_block_.name, kClientById, 28).size(); }
  // Opens the group and reads client id for change.
  void ReadClient(int32_t id) {
    ASSERT_EQ(client_rel_.OpenWithRelated(false), kOutcomeDone);
    SetClient(id, "");
    ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);
    client_rel_.SaveLinkValues();
  }

  RelationController client_rel_;
  RelationController item_rel_;
};

TEST_F(RelationControllerTest, CyclicRelationsAreOpenedAndClosedOnceEach) {
  Relate(kLinkCascade, kLinkCascade);
  ASSERT_EQ(client_rel_.OpenWithRelated(false), kOutcomeDone);
  EXPECT_EQ(clients_.State().opened, 1);
  EXPECT_EQ(items_.State().opened, 1);
  // The related file is usable at once (a missing one is created with the first).
  EXPECT_TRUE(items_.State().used);
  ASSERT_EQ(client_rel_.CloseWithRelated(false), kOutcomeDone);
  EXPECT_EQ(clients_.State().opened, 0);
  EXPECT_EQ(items_.State().opened, 0);
  EXPECT_EQ(items_block_.state, nullptr);
  ASSERT_EQ(item_rel_.OpenWithRelated(false), kOutcomeDone);
  EXPECT_EQ(clients_.State().opened, 1);
  ASSERT_EQ(item_rel_.CloseWithRelated(false), kOutcomeDone);
  EXPECT_EQ(clients_.State().opened, 0);
}

TEST_F(RelationControllerTest, DeleteCascadesToTheChildrenInOneTransaction) {
  Relate(kLinkCascade, kLinkCascade);
  Fill();
  ReadClient(1);
  display_.PressNext(kButtonYes);
  EXPECT_EQ(client_rel_.Delete(true), kOutcomeDone);
  EXPECT_EQ(Titles(), std::vector<std::string>{"Confirm Delete"});
  client_rel_.CloseWithRelated(false);
  EXPECT_EQ(ItemClients(), std::vector<int32_t>{2});
  EXPECT_EQ(ClientCount(), 1u);
  EXPECT_EQ(clients_.State().opened, 0);

  // Answering No deletes nothing.
  ReadClient(2);
  display_.PressNext(kButtonNo);
  EXPECT_EQ(client_rel_.Delete(true), kOutcomeFailed);
  client_rel_.CloseWithRelated(false);
  EXPECT_EQ(ClientCount(), 1u);
}

TEST_F(RelationControllerTest, RestrictedDeleteRefusesAndShowsItsMessage) {
  Relate(kLinkCascade, kLinkRestrict);
  Fill();
  ReadClient(1);
  EXPECT_EQ(client_rel_.Delete(false), kOutcomeFailed);
  EXPECT_EQ(Titles(), std::vector<std::string>{"Referential Integrity Delete Error"});
  client_rel_.CloseWithRelated(false);
  EXPECT_EQ(ClientCount(), 2u);
  EXPECT_EQ(ItemClients(), (std::vector<int32_t>{1, 1, 1, 2}));
}

TEST_F(RelationControllerTest, UpdateCarriesTheNewIdIntoEveryChild) {
  Relate(kLinkCascade, kLinkCascade);
  Fill();
  ReadClient(1);
  SetClient(7, "Client1");
  EXPECT_EQ(client_rel_.Update(false), kOutcomeDone);
  EXPECT_TRUE(display_.shown.empty());
  client_rel_.CloseWithRelated(false);
  EXPECT_EQ(ItemClients(), (std::vector<int32_t>{2, 7, 7, 7}));
  // Clearing instead of carrying.
  client_rel_.Kill();
  client_rel_.Init(&clients_, true);
  client_rel_.AddRelation(&item_rel_, kLinkClear, kLinkCascade, kItemByClient);
  client_rel_.AddLink({&clients_block_, 0}, {&items_block_, 0});
  ReadClient(2);
  SetClient(9, "Client2");
  EXPECT_EQ(client_rel_.Update(false), kOutcomeDone);
  client_rel_.CloseWithRelated(false);
  EXPECT_EQ(ItemClients(), (std::vector<int32_t>{0, 7, 7, 7}));
}

TEST_F(RelationControllerTest, RestrictedUpdatePutsTheOldIdBackAndChangesNothing) {
  Relate(kLinkRestrict, kLinkCascade);
  Fill();
  ReadClient(1);
  SetClient(7, "Renamed");
  EXPECT_EQ(client_rel_.Update(false), kOutcomeFailed);
  EXPECT_EQ(Titles(), std::vector<std::string>{"Referential Integrity Update Error"});
  EXPECT_EQ(ClientId(), 1);  // the saved value, not the child's buffer
  EXPECT_EQ(ClientName(), "Renamed");
  client_rel_.CloseWithRelated(false);
  // The parent's write was rolled back with the refusal.
  auto clients = Records(kClient, clients_block_.name, kClientById, 28);
  ASSERT_EQ(clients.size(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(clients[0].data()) + 4, 7), "Client1");
  EXPECT_EQ(ItemClients(), (std::vector<int32_t>{1, 1, 1, 2}));
}

TEST_F(RelationControllerTest, ChangingOnlyOtherFieldsLeavesTheChildrenAlone) {
  Relate(kLinkRestrict, kLinkRestrict);
  Fill();
  ReadClient(1);
  SetClient(1, "New name");
  EXPECT_EQ(client_rel_.Update(false), kOutcomeDone);
  client_rel_.CloseWithRelated(false);
  EXPECT_TRUE(display_.shown.empty());
  EXPECT_EQ(ItemClients(), (std::vector<int32_t>{1, 1, 1, 2}));
}

}  // namespace
}  // namespace korvex::framework::testing

namespace korvex::framework::testing {
namespace {

struct SendLog {
  static inline std::vector<std::string> sent;
  static int32_t Entry(int op, FileControlBlock* file, const Arguments* args) {
    std::string_view text;
    if (op == kOpSend && args->GetText(0, &text)) {
      std::string line(file->declaration().label);
      line += ':';
      line += text;
      sent.push_back(line);
    }
    return brisken::BkfEntry(op, file, args);
  }
};

TEST_F(RelationControllerTest, QuickScanReachesEachFileOfACycleOnce) {
  Relate(kLinkCascade, kLinkCascade);
  clients_.entry = &SendLog::Entry;
  items_.entry = &SendLog::Entry;
  SendLog::sent.clear();
  client_rel_.SetQuickScan(true, kScanAll);
  EXPECT_EQ(SendLog::sent,
            (std::vector<std::string>{"CLIENT:QUICKSCAN=on", "ITEM:QUICKSCAN=on"}));
  SendLog::sent.clear();
  client_rel_.SetQuickScan(false, kScanParents);  // the item file is a child here
  EXPECT_EQ(SendLog::sent, std::vector<std::string>{"CLIENT:QUICKSCAN=off"});
  SendLog::sent.clear();
  item_rel_.SetQuickScan(true, kScanParents);
  EXPECT_EQ(SendLog::sent,
            (std::vector<std::string>{"ITEM:QUICKSCAN=on", "CLIENT:QUICKSCAN=on"}));
}

TEST_F(RelationControllerTest, AbandonedInsertRemovesThePrimedRecordWithItsChildren) {
  Relate(kLinkCascade, kLinkCascade);
  clients_.has_autoinc = true;
  ASSERT_EQ(client_rel_.OpenWithRelated(false), kOutcomeDone);
  ASSERT_EQ(clients_.PrepareNewRecord(false), kOutcomeDone);
  ASSERT_EQ(ClientId(), 1);
  SetItem(1, "s", 1, "tmp");
  ASSERT_EQ(items_.Insert(), kOutcomeDone);
  SetClient(1, "");
  ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);
  EXPECT_EQ(client_rel_.CancelPrimedRecord(), kOutcomeDone);
  client_rel_.CloseWithRelated(false);
  EXPECT_EQ(ClientCount(), 0u);
  EXPECT_TRUE(ItemClients().empty());
}

}  // namespace
}  // namespace korvex::framework::testing

namespace korvex::framework::testing {
namespace {

// Shows nothing, but notes at each message whether this thread's transaction
// was still running then.
class TransactionProbeDisplay : public MessageDisplay {
 public:
  explicit TransactionProbeDisplay(FileControlBlock* file) : file_(file) {}
  uint32_t ShowMessage(const std::string&, const std::string& title, MessageIcon, uint32_t,
                       uint32_t default_button) override {
    // LOGOUT answers 56 while one runs; otherwise the probe's own is dropped at once.
    Arguments logout{Argument::Number(1), Argument::File(file_)};
    const int32_t code = brisken::BkfEntry(kOpLogout, file_, &logout);
    if (code == 0) {
      Arguments none;
      brisken::BkfEntry(kOpRollback, file_, &none);
    }
    shown.push_back(title);
    // 0: none ran (the probe could start its own); 56: one was still running.
    running.push_back(code != 0);
    return default_button;
  }
  void Halt(int, const std::string&) override {}

  std::vector<std::string> shown;
  std::vector<bool> running;

 private:
  FileControlBlock* file_;
};

TEST_F(RelationControllerTest, TransactionIsOverBeforeAnyMessageIsShown) {
  TransactionProbeDisplay probe(&clients_block_);
  errors_.Init(&probe);
  Relate(kLinkRestrict, kLinkRestrict);
  Fill();
  ReadClient(1);
  SetClient(7, "Client1");
  EXPECT_EQ(client_rel_.Update(false), kOutcomeFailed);
  ReadClient(1);
  EXPECT_EQ(client_rel_.Delete(false), kOutcomeFailed);
  client_rel_.CloseWithRelated(false);
  EXPECT_EQ(probe.shown, (std::vector<std::string>{"Referential Integrity Update Error",
                                                   "Referential Integrity Delete Error"}));
  EXPECT_EQ(probe.running, (std::vector<bool>{false, false}));
  EXPECT_EQ(ItemClients(), (std::vector<int32_t>{1, 1, 1, 2}));
}

}  // namespace
}  // namespace korvex::framework::testing
