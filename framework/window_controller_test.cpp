#include "framework/window_controller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "framework/browse_toolbar.h"
#include "framework/error_reporter.h"
#include "framework/fake_window.h"
#include "framework/recording_display.h"
#include "framework/text_translator.h"
#include "runtime/eval/evaluator.h"

namespace korvex::framework {
namespace {

class FakeBrowse : public WindowBrowse {
 public:
  void ChooseSortOrder(bool force) override {
    ++sorts;
    if (force) ++forced;
  }
  void RefreshControls() override { ++refreshes; }
  bool NeedsRefresh() override { return needs_refresh; }
  void HandleBrowseEvent() override { ++events; }
  void LoadSelectedRecord() override { ++loads; }
  void PrepareBrowseAlerts() override { ++alerts; }
  void SetSelecting(bool on) override { selecting = on; }
  void Kill() override { ++kills; }

  bool needs_refresh = false;
  int sorts = 0, forced = 0, refreshes = 0, events = 0, loads = 0, alerts = 0, kills = 0;
  bool selecting = false;
};

// A form's record: a log of the calls and scripted outcomes.
class FakeRecord : public FormRecord {
 public:
  Outcome MakeUsable() override { return Log("usable", usable); }
  void SaveLinkValues() override { log.push_back("links"); }
  uint16_t SaveState() override {
    log.push_back("save");
    states.insert(++next_state);
    return next_state;
  }
  void RestoreState(uint16_t* state, bool restore_position) override {
    if (*state == 0) return;
    log.push_back(restore_position ? "restore+pos" : "restore");
    states.erase(*state);
    *state = 0;
  }
  bool Unchanged(uint16_t) override { return unchanged; }
  Outcome Insert() override { return Log("insert", insert); }
  Outcome Update(bool ditto) override {
    Outcome o = updates.empty() ? kOutcomeDone : updates.front();
    if (!updates.empty()) updates.pop_front();
    return Log(ditto ? "update+ditto" : "update", o);
  }
  Outcome Delete(bool ask) override { return Log(ask ? "delete+ask" : "delete", remove); }
  Outcome CancelPrimedRecord() override { return Log("cancel", cancel); }
  Outcome PrepareNewRecord() override { return Log("prime", prime); }
  std::string Position() override { return "pos-7"; }
  Outcome ReGet(const std::string& position) override { return Log("reget " + position, kOutcomeDone); }

  Outcome Log(const std::string& what, Outcome o) {
    log.push_back(what);
    return o;
  }

  Outcome usable = 0, insert = 0, remove = 0, cancel = 0, prime = 0;
  std::deque<Outcome> updates;
  bool unchanged = true;
  std::vector<std::string> log;
  std::set<uint16_t> states;  // saved and not given back
  uint16_t next_state = 0;
};

class NullToolbarPort : public ToolbarPort {
 public:
  bool Exists(int32_t) const override { return true; }
  bool IsEnabled(int32_t) const override { return true; }
  void SetEnabled(int32_t, bool) override {}
  bool IsVisible(int32_t control) const override { return control == visible; }
  void SetTip(int32_t, std::string_view) override {}
  void PostEvent(EventCode event, int32_t control) override { posts.push_back({event, control, 0}); }
  void OpenHelp(uint32_t) override {}
  int32_t visible = 0;
  std::vector<WindowPost> posts;
};

class WindowControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    errors.Init(&display);
    wc.SetWindow(&loop, &window);
    wc.errors = &errors;
  }
  void TearDown() override { errors.Kill(); }

  // Init, then the form's record and these events, then the loop.
  void Run(std::initializer_list<ScriptedEvent> events) {
    for (const ScriptedEvent& e : events) loop.queue.push_back(e);
    wc.EventLoop();
  }
  std::vector<std::string> Titles() {
    std::vector<std::string> titles;
    for (const auto& shown : display.shown) titles.push_back(shown.title);
    return titles;
  }
  int Closes() {
    int n = 0;
    for (const WindowPost& p : window.posts) n += p.event == kEventCloseWindow ? 1 : 0;
    return n;
  }

  ScriptedEventSource loop;
  FakeWindowPort window{&loop};
  RecordingDisplay display;
  ErrorReporter errors;
  WindowController wc;
};

TEST_F(WindowControllerTest, InitSetsTheDefaultsAndClearsARightClick) {
  wc.request = kRequestChange;
  wc.auto_refresh = 0;
  wc.dead = 1;
  wc.response = 1;
  loop.Queue(kEventAlertKey, 1, 0x82);
  ASSERT_FALSE(loop.AcceptNext());
  EXPECT_EQ(wc.Init(), kOutcomeDone);
  EXPECT_EQ(loop.KeyCode(), 0);
  EXPECT_EQ(wc.original_request, kRequestChange);
  EXPECT_EQ(wc.insert_action, 2);
  EXPECT_EQ(wc.delete_action, 2);
  EXPECT_EQ(wc.change_action, 1);
  EXPECT_EQ(wc.cancel_action, 3);
  EXPECT_EQ(wc.auto_toolbar, 1);
  EXPECT_EQ(wc.auto_refresh, 1);
  EXPECT_EQ(wc.dead, 0);
  EXPECT_EQ(wc.response, 0);
  EXPECT_EQ(wc.inited, 0);
}

TEST_F(WindowControllerTest, RunWindowAnswersTheResponseAndAlwaysKills) {
  FakeBrowse browse;
  loop.Queue(kEventOpenWindow);
  loop.Queue(kEventCloseWindow);
  EXPECT_EQ(wc.RunWindow(), kResponseCancelled);  // RESPONSE stayed 0
  EXPECT_EQ(wc.dead, 1);

  class Failing : public WindowController {
   public:
    Outcome Init() override {
      WindowController::Init();
      RegisterBrowse(browse);
      return kOutcomeNotUsable;
    }
    FakeBrowse* browse = nullptr;
  } failing;
  failing.browse = &browse;
  failing.SetWindow(&loop, &window);
  loop.Queue(kEventOpenWindow);
  EXPECT_EQ(failing.RunWindow(), kResponseCancelled);
  EXPECT_EQ(browse.kills, 1);   // Kill ran
  EXPECT_EQ(browse.events, 0);  // the loop did not
  EXPECT_EQ(loop.queue.size(), 1u);
  // A second Kill changes nothing.
  EXPECT_EQ(failing.Kill(), kOutcomeFailed);
  EXPECT_EQ(browse.kills, 1);
  // Kill before any Init has nothing to release.
  WindowController fresh;
  EXPECT_EQ(fresh.Kill(), kOutcomeFailed);
}

TEST_F(WindowControllerTest, ARegisteredButtonClosesWithItsResponse) {
  NullToolbarPort port;
  BrowseToolbar toolbar;
  int32_t navigation = 2008;
  wc.Init();
  wc.AttachToolbar(&toolbar, &port);
  wc.vcr_request = &navigation;
  wc.RegisterButton(9, kResponseCancelled);
  Run({{kEventAccepted, 9}});
  EXPECT_EQ(wc.response, kResponseCancelled);
  EXPECT_EQ(navigation, 0);
  ASSERT_EQ(loop.refused.size(), 1u);  // outcome 5
  EXPECT_EQ(loop.refused[0], (ScriptedEvent{kEventAccepted, 9, 0}));
  EXPECT_EQ(window.posts, (std::vector<WindowPost>{{kEventCloseWindow, 0, 0}}));
  EXPECT_EQ(loop.delivered.back().event, kEventCloseWindow);  // and the loop ended on it

  EXPECT_EQ(wc.RunWindow(), kResponseCancelled);
}

TEST_F(WindowControllerTest, ControlZeroIsNeverAMatch) {
  wc.Init();
  wc.RegisterButton(0, kResponseCompleted);
  // No OK button, no button for 7: a stray Accepted is neither.
  Run({{kEventAccepted, 7}, {kEventAccepted, 0}});
  EXPECT_TRUE(window.posts.empty());
  EXPECT_EQ(window.select_alls, 0);
  EXPECT_TRUE(loop.refused.empty());

  wc.ok_control = 7;
  Run({{kEventAccepted, 7}});  // ORIGINALREQUEST 0: completes at once
  EXPECT_EQ(window.posts, (std::vector<WindowPost>{{kEventCompleted, 0, 0}}));
  wc.request = kRequestChange;
  wc.Init();
  wc.ok_control = 7;
  Run({{kEventAccepted, 7}});
  EXPECT_EQ(window.select_alls, 1);
}

TEST_F(WindowControllerTest, WindowEventsPrepareAndResetTheBrowses) {
  FakeBrowse a, b;
  class Translator : public TextTranslator {
   public:
    std::string TranslateText(const std::string& t) override { return t; }
    void TranslateWindow(WindowPort&) override { ++windows; }
    int windows = 0;
  } translator;
  wc.Init();
  wc.translator = &translator;
  wc.first_field = 3;
  wc.RegisterBrowse(&a);
  wc.RegisterBrowse(&b);
  Run({{kEventOpenWindow}, {kEventSized}});
  EXPECT_EQ(translator.windows, 1);
  EXPECT_EQ(wc.inited, kInitedPrepared | kInitedSized);
  EXPECT_EQ(a.sorts, 1);  // PrepareWindow only: the first size event is swallowed
  EXPECT_EQ(b.refreshes, 1);
  EXPECT_EQ(window.selects, std::vector<int32_t>{3});
  Run({{kEventSized}, {kEventOpenWindow}});
  EXPECT_EQ(a.sorts, 2);
  EXPECT_EQ(translator.windows, 1);

  // Leaving and coming back forces the next reset, once, for every browse.
  wc.reset_on_gain_focus = 1;
  Run({{kEventLoseFocus}, {kEventGainFocus}, {kEventGainFocus}});
  EXPECT_EQ(a.forced, 1);
  EXPECT_EQ(b.forced, 1);
  EXPECT_EQ(a.sorts, 4);

  // Resets are held off while the window says so.
  window.SetProperty(0, kPropNoReset, "1");
  Run({{kEventGainFocus}});
  EXPECT_EQ(a.sorts, 4);
}

TEST_F(WindowControllerTest, ATabChangeResetsAndRetargetsTheToolbar) {
  FakeBrowse browse;
  NullToolbarPort port;
  BrowseToolbar toolbar;
  wc.Init();
  wc.AttachToolbar(&toolbar, &port);
  toolbar.AddTarget(std::make_unique<ToolbarTarget>(), 1);
  toolbar.AddTarget(std::make_unique<ToolbarTarget>(), 4);
  toolbar.SetTarget(1);
  port.visible = 4;
  wc.RegisterBrowse(&browse);
  window.types[2] = kControlTypeSheet;
  window.types[1] = kControlTypeList;
  Run({{kEventNewSelection, 1}});
  EXPECT_EQ(browse.sorts, 0);
  Run({{kEventNewSelection, 2}});
  EXPECT_EQ(browse.sorts, 1);
  ASSERT_NE(toolbar.current(), nullptr);
  EXPECT_EQ(toolbar.current()->control(), 4);
}

TEST_F(WindowControllerTest, OnlyAChangedBrowseIsReloaded) {
  FakeBrowse quiet, changed;
  wc.Init();
  wc.RegisterBrowse(&quiet);
  wc.RegisterBrowse(&changed);
  Run({{kEventAccepted, 5}, {kEventTimer}, {kEventMouseMove, 1}});
  EXPECT_EQ(quiet.events, 3);
  EXPECT_EQ(changed.events, 3);
  EXPECT_EQ(quiet.sorts + changed.sorts, 0);  // no view was read
  changed.needs_refresh = true;
  Run({{kEventTimer}});
  EXPECT_EQ(quiet.sorts, 1);
  EXPECT_EQ(changed.sorts, 1);
  wc.auto_refresh = 0;
  Run({{kEventTimer}});
  EXPECT_EQ(changed.sorts, 1);
}

TEST_F(WindowControllerTest, FieldEventOutcomesDriveTheLoop) {
  class Stopper : public WindowController {
   public:
    Outcome HandleFieldEvent() override { return Field() == 4 ? kOutcomeNotUsable : kOutcomeFailed; }
  } stopper;
  FakeBrowse browse;
  stopper.SetWindow(&loop, &window);
  stopper.Init();
  stopper.RegisterBrowse(&browse);
  loop.Queue(kEventDrag, 1);
  loop.Queue(kEventDrop, 4);
  loop.Queue(kEventDrop, 1);
  stopper.EventLoop();
  EXPECT_EQ(loop.refused.size(), 1u);  // outcome 5 refuses
  EXPECT_EQ(loop.queue.size(), 1u);    // outcome 3 ended the loop
  EXPECT_EQ(browse.events, 2);         // browses see the event whatever the outcome
}

TEST_F(WindowControllerTest, RejectedBeepsAndRegistrationsReachTheBrowses) {
  FakeBrowse browse;
  wc.request = kRequestSelect;
  wc.Init();
  wc.RegisterBrowse(&browse);
  EXPECT_TRUE(browse.selecting);
  Run({{kEventRejected, 6}});
  EXPECT_EQ(window.beeps, 1);
  EXPECT_EQ(window.displays, std::vector<int32_t>{6});
  EXPECT_EQ(window.selects, std::vector<int32_t>{6});
  wc.SyncBrowseRecords();
  EXPECT_EQ(browse.loads, 1);
  wc.PrepareAlerts();
  EXPECT_EQ(browse.alerts, 1);
  // The toolbar's select button: records synchronised, closed as completed.
  NullToolbarPort port;
  BrowseToolbar toolbar;
  wc.AttachToolbar(&toolbar, &port);
  toolbar.AddTarget(std::make_unique<ToolbarTarget>(BrowseButtons{0, 0, 0, 12, 0}), 1);
  toolbar.SetTarget(1);
  Run({{kEventAccepted, 2003}});
  EXPECT_EQ(browse.loads, 2);
  EXPECT_EQ(wc.response, kResponseCompleted);
}

TEST_F(WindowControllerTest, HistoryIsSavedOnCompletionAndRecalledByKey) {
  char name[6] = "Alpha";
  char town[5] = "Oslo";
  wc.Init();
  wc.history_key = 0x27;
  wc.AddHistoryField(3, name, 5);
  wc.AddHistoryField(4, town, 4);
  wc.AddHistoryField(5, town, 4);  // the same field shown twice
  wc.PrepareAlerts();
  EXPECT_EQ(window.Property(3, kPropAlertKey), "39");
  EXPECT_EQ(window.Property(5, kPropAlertKey), "39");
  loop.focus = 3;
  Run({{kEventAlertKey, 3, 0x27}});  // nothing saved yet: nothing to recall
  EXPECT_STREQ(name, "Alpha");
  Run({{kEventCompleted}});
  std::memcpy(name, "Bravo", 5);
  std::memcpy(town, "Rome", 4);
  Run({{kEventAlertKey, 3, 0x26}});  // another key
  EXPECT_STREQ(name, "Bravo");
  Run({{kEventAlertKey, 3, 0x27}});
  EXPECT_STREQ(name, "Alpha");
  // The toolbar's ditto button recalls the focused field.
  NullToolbarPort port;
  BrowseToolbar toolbar;
  wc.AttachToolbar(&toolbar, &port);
  loop.focus = 5;
  Run({{kEventAccepted, kDittoControl}});
  EXPECT_STREQ(town, "Oslo");
  EXPECT_EQ(window.displays.back(), 5);
}

// --- Update forms ---------------------------------------------------------------

class FormTest : public WindowControllerTest {
 protected:
  void Open(uint8_t request) {
    wc.request = request;
    wc.Init();
    wc.SetPrimary(&record);
    wc.ok_control = 10;
    wc.first_field = 2;
  }
  FakeRecord record;
};

TEST_F(FormTest, PrepareUpdateSavesStatesAndMayKeepTheWindowShut) {
  FakeRecord other;
  Open(kRequestInsert);
  wc.AddSavedFile(&other);
  EXPECT_EQ(wc.PrepareUpdate(), kOutcomeDone);
  EXPECT_EQ(record.log, (std::vector<std::string>{"usable", "links", "save"}));
  EXPECT_EQ(other.log, std::vector<std::string>{"save"});
  EXPECT_EQ(wc.response, kResponseCancelled);
  EXPECT_NE(wc.saved, 0);

  // A new record that its own code refuses keeps the window shut.
  class Refusing : public WindowController {
    void FillNewRecord() override { response = kResponseCancelled; }
  } refusing;
  refusing.request = kRequestInsert;
  refusing.Init();
  EXPECT_EQ(refusing.PrepareUpdate(), kOutcomeNotUsable);

  // A delete form deletes at once, asking first with action 2.
  Open(kRequestDelete);
  record.log.clear();
  EXPECT_EQ(wc.PrepareUpdate(), kOutcomeNotUsable);
  EXPECT_EQ(record.log[2], "delete+ask");
  EXPECT_EQ(wc.response, kResponseCompleted);
  record.remove = kOutcomeFailed;
  wc.delete_action = 4;
  record.log.clear();
  EXPECT_EQ(wc.PrepareUpdate(), kOutcomeNotUsable);
  EXPECT_EQ(record.log[2], "delete");
  EXPECT_EQ(wc.response, kResponseCancelled);

  // A file that cannot be used keeps the form shut.
  record.usable = kOutcomeNotUsable;
  EXPECT_EQ(wc.PrepareUpdate(), kOutcomeNotUsable);
  // A plain window has no steps that need a file.
  WindowController plain;
  plain.request = kRequestDelete;
  plain.Init();
  EXPECT_EQ(plain.PrepareUpdate(), kOutcomeDone);
}

TEST_F(FormTest, InsertClosesOrPreparesAnother) {
  Open(kRequestInsert);
  wc.PrepareUpdate();
  Run({{kEventAccepted, 10}});  // OK: the accept-all pass, then Completed
  EXPECT_EQ(window.select_alls, 1);
  EXPECT_EQ(wc.response, kResponseCompleted);
  EXPECT_EQ(loop.delivered.back().event, kEventCloseWindow);

  // A failed insert goes back to the first field and stays.
  Open(kRequestInsert);
  record.insert = kOutcomeFailed;
  Run({{kEventCompleted}});
  EXPECT_EQ(loop.refused.back().event, kEventCompleted);
  EXPECT_EQ(window.selects.back(), 2);

  // Action 4 asks; yes prepares another record under a fresh saved state.
  Open(kRequestInsert);
  record.states.clear();
  wc.PrepareUpdate();
  wc.insert_action = kInsertAsk;
  record.insert = kOutcomeDone;
  record.log.clear();
  display.PressNext(kButtonYes);
  // Closing after the second record was prepared: that record's number is
  // given back, the added record is read back, and the response is completed.
  Run({{kEventCompleted}, {kEventCloseWindow}});
  EXPECT_EQ(Titles().back(), "Record Added");
  EXPECT_EQ(record.log, (std::vector<std::string>{"insert", "restore", "usable", "prime", "save", "cancel",
                                                  "reget pos-7"}));
  EXPECT_EQ(wc.last_inserted_position, "pos-7");
  EXPECT_EQ(record.states.size(), 1u);
  EXPECT_EQ(wc.response, kResponseCompleted);
  // No to the question closes.
  Open(kRequestInsert);
  wc.insert_action = kInsertAsk;
  display.PressNext(kButtonNo);
  int closes = Closes();
  Run({{kEventCompleted}});
  EXPECT_EQ(Closes(), closes + 1);
  // When the next record cannot be numbered the window closes.
  Open(kRequestInsert);
  wc.insert_action = kInsertAnother;
  record.prime = kOutcomeFailed;
  closes = Closes();
  Run({{kEventCompleted}});
  EXPECT_EQ(Closes(), closes + 1);
}

TEST_F(FormTest, ChangeWritesOnlyAChangedRecordAndAsksOnRejection) {
  Open(kRequestChange);
  wc.PrepareUpdate();
  record.log.clear();
  Run({{kEventCompleted}});  // unchanged, no toolbar: stays cancelled
  EXPECT_EQ(record.log, std::vector<std::string>{});
  EXPECT_EQ(wc.response, kResponseCancelled);
  EXPECT_EQ(Closes(), 1);

  Open(kRequestChange);
  record.unchanged = false;
  record.updates = {kOutcomeRejected, kOutcomeRejected, kOutcomeDone};
  display.PressNext(kButtonYes);
  display.PressNext(kButtonYes);
  wc.history_key = 0x27;
  Run({{kEventCompleted}});
  EXPECT_EQ(record.log, (std::vector<std::string>{"update+ditto", "update+ditto", "update+ditto"}));
  EXPECT_EQ(Titles(), (std::vector<std::string>{"Record Update Error", "Record Update Error"}));
  EXPECT_EQ(wc.response, kResponseCompleted);
  EXPECT_EQ(window.wait_depth, 0);
  EXPECT_EQ(window.wait_cursors, 4);  // one for the unchanged record above

  // Cancel stays on the form; no closes it; another station's change (5) is
  // already reported and only goes back to the form.
  Open(kRequestChange);
  wc.cancel_action = 0;
  record.updates = {kOutcomeRejected, kOutcomeRejected, kOutcomeFailed};
  int closes = Closes();
  display.PressNext(kButtonCancel);
  Run({{kEventCompleted}});
  EXPECT_EQ(Closes(), closes);
  EXPECT_EQ(window.selects.back(), 2);
  display.PressNext(kButtonNo);
  Run({{kEventCompleted}});
  EXPECT_EQ(Closes(), closes + 1);
  size_t questions = display.shown.size();
  Run({{kEventCompleted}});
  EXPECT_EQ(display.shown.size(), questions);
  EXPECT_EQ(wc.response, kResponseCancelled);
}

TEST_F(FormTest, DeleteAsksOnlyThroughTheRelations) {
  Open(kRequestDelete);
  record.remove = kOutcomeFailed;  // declined or failed: the form stays open
  Run({{kEventCompleted}});
  EXPECT_EQ(record.log.back(), "delete+ask");
  EXPECT_TRUE(display.shown.empty());
  EXPECT_EQ(Closes(), 0);
  EXPECT_EQ(window.selects.back(), 2);
  record.remove = kOutcomeDone;
  Run({{kEventCompleted}});
  EXPECT_EQ(wc.response, kResponseCompleted);
  EXPECT_EQ(Closes(), 1);
}

TEST_F(FormTest, ClosingAChangedFormAsks) {
  Open(kRequestChange);
  wc.PrepareUpdate();
  record.unchanged = false;
  // Cancel: the close is refused.
  display.PressNext(kButtonCancel);
  Run({{kEventCloseWindow}});
  EXPECT_EQ(Titles().back(), "Save Record");
  EXPECT_EQ(loop.refused.back().event, kEventCloseWindow);
  EXPECT_EQ(window.selects.back(), 2);
  // Yes: OK is pressed for the user; the change is written and the form closes.
  display.PressNext(kButtonYes);
  Run({{kEventCloseWindow}});
  EXPECT_EQ(loop.delivered[loop.delivered.size() - 3], (ScriptedEvent{kEventAccepted, 10, 0}));
  EXPECT_EQ(loop.delivered.back().event, kEventCloseWindow);
  EXPECT_EQ(wc.response, kResponseCompleted);
  // No: closes without writing.
  Open(kRequestChange);
  record.log.clear();
  size_t refusals = loop.refused.size();
  display.PressNext(kButtonNo);
  Run({{kEventCloseWindow}});
  EXPECT_TRUE(record.log.empty());
  EXPECT_EQ(loop.refused.size(), refusals);
  // Bit 0 alone saves without asking; no OK button completes directly.
  Open(kRequestChange);
  wc.cancel_action = 1;
  wc.ok_control = 0;
  size_t questions = display.shown.size();
  int alls = window.select_alls;
  Run({{kEventCloseWindow}});
  EXPECT_EQ(display.shown.size(), questions);
  EXPECT_EQ(window.select_alls, alls + 1);
  // Without bit 0: "Changes will be lost!", no keeps the form.
  Open(kRequestChange);
  wc.cancel_action = 2;
  display.PressNext(kButtonNo);
  Run({{kEventCloseWindow}});
  EXPECT_EQ(Titles().back(), "Changes will be lost!");
  EXPECT_EQ(loop.refused.back().event, kEventCloseWindow);
}

TEST_F(FormTest, AnAbandonedInsertRemovesItsNumberedRecord) {
  Open(kRequestInsert);
  wc.PrepareUpdate();
  wc.cancel_action = 0;
  record.cancel = kOutcomeFailed;
  Run({{kEventCloseWindow}});
  EXPECT_EQ(record.log.back(), "cancel");
  EXPECT_EQ(loop.refused.back().event, kEventCloseWindow);
  record.cancel = kOutcomeDone;
  Run({{kEventCloseWindow}});
  EXPECT_EQ(loop.refused.size(), 1u);
  // Kill gives the saved states back without positions.
  FakeRecord other;
  wc.AddSavedFile(&other);
  other.states.insert(1);
  EXPECT_EQ(wc.Kill(), kOutcomeDone);
  EXPECT_TRUE(record.states.empty());
  EXPECT_EQ(record.log.back(), "restore");
}

TEST_F(WindowControllerTest, TheWindowScopesItsBoundNames) {
  Evaluator evaluator;
  wc.bindings = &evaluator;
  wc.Init();
  EXPECT_EQ(evaluator.ScopeDepth(), 1);
  wc.Kill();
  EXPECT_EQ(evaluator.ScopeDepth(), 0);
  wc.Kill();
  EXPECT_EQ(evaluator.ScopeDepth(), 0);
}

}  // namespace
}  // namespace korvex::framework
