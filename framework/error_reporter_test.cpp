#include "framework/error_reporter.h"

#include <gtest/gtest.h>

#include <thread>

#include "data/driver/current_error.h"
#include "data/driver/error_codes.h"
#include "framework/recording_display.h"
#include "runtime/thread_number.h"

namespace korvex::framework {
namespace {

class ErrorReporterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver::ClearCurrentError();
    reporter.Init(&display);
  }
  void TearDown() override {
    reporter.Kill();
    driver::ClearCurrentError();
  }
  // Adds one message with this id, severity and text.
  void Add(MessageId id, uint8_t severity, const std::string& text,
           const std::string& title = "Title") {
    reporter.AddMessages(WriteMessageTable({{id, severity, title, text}}));
  }
  std::string ExpandOf(MessageId id) {
    EXPECT_TRUE(reporter.Find(id));
    return reporter.Expand();
  }

  RecordingDisplay display;
  ErrorReporter reporter;
};

TEST_F(ErrorReporterTest, FatalOpenErrorShowsFileAndErrorThenHaltsWithCodeTwo) {
  EXPECT_EQ(reporter.Messages().size(), 40u);
  driver::PostError(driver::kErrInvalidDataFile, "CUSTOMER.BKF", nullptr);
  reporter.SetFileName("Customer");
  reporter.Raise(kMsgOpenFailed);
  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].text,
            "File (Customer) could not be opened.  Error: Invalid Data File (36).  Press OK to "
            "end this application");
  EXPECT_EQ(display.shown[0].title, "File Access Error");
  EXPECT_EQ(display.shown[0].icon, MessageIcon::kExclamation);
  EXPECT_EQ(display.shown[0].buttons, kButtonOk);
  EXPECT_EQ(display.shown[0].default_button, kButtonOk);
  ASSERT_EQ(display.halts.size(), 1u);
  EXPECT_EQ(display.halts[0].exit_code, 2);
  EXPECT_EQ(display.halts[0].message, "File Access Error");
}

TEST_F(ErrorReporterTest, ErrorTextOfFileSystemErrorCarriesTheDriversTextAndCode) {
  driver::PostError(driver::kErrFileSystem, "GOODS.BKF", nullptr, "112", "Disk full");
  reporter.SaveErrorState();
  Add(500, 0, "%ErrorText|%ErrorCode|%Error|%FileErrorCode|%FileError");
  EXPECT_EQ(ExpandOf(500), "Disk full (112)|90|File System Error|112|Disk full");
  driver::PostError(driver::kErrRecordHeld, "GOODS.BKF", nullptr, "112", "Disk full");
  reporter.SaveErrorState();
  EXPECT_EQ(ExpandOf(500), "Record Is Already Held (43)|43|Record Is Already Held|112|Disk full");
  // The state saved holds after the current error is cleared.
  driver::ClearCurrentError();
  EXPECT_EQ(ExpandOf(500).substr(0, 27), "Record Is Already Held (43)");
}

TEST_F(ErrorReporterTest, MacrosInAnyCaseButPreviousOnlyInItsOwn) {
  reporter.SetFileName("Cust");
  reporter.SetFieldName("CUS:NAME");
  reporter.SetMessageText("1 and 9");
  Add(500, 0, "%file/%FIELD/%message/%previous/%Nothing/%");
  EXPECT_EQ(ExpandOf(500), "Cust/CUS:NAME/1 and 9/%previous/%Nothing/%");
}

TEST_F(ErrorReporterTest, InsertedValuesAreNeverSearchedAgain) {
  reporter.SetFileName("A%File");
  reporter.SetFieldName("100%Error%Field");
  reporter.SetMessageText("%Previous");
  Add(500, 0, "%File %Field %Message %File");
  EXPECT_EQ(ExpandOf(500), "A%File 100%Error%Field %Previous A%File");
}

TEST_F(ErrorReporterTest, LaterTableOverridesAnIdAndPreviousBringsInTheEarlierText) {
  reporter.SetFileName("Goods");
  Add(kMsgInvalidKey, 5, "Rebuild now! %Previous (%File)", "Mine");
  EXPECT_EQ(ExpandOf(kMsgInvalidKey),
            "Rebuild now! Goods key file is invalid. Key must be rebuilt. (Goods)");
  EXPECT_EQ(reporter.Selected()->title, "Mine");
  // Without an earlier entry the macro goes away.
  Add(600, 5, "[%Previous]");
  EXPECT_EQ(ExpandOf(600), "[]");
}

TEST_F(ErrorReporterTest, ExpandedTextIsCutAt2000) {
  reporter.SetMessageText(std::string(255, 'm'));
  std::string text;
  for (int i = 0; i < 20; ++i) text += "%Message";
  Add(500, 0, text);
  Add(500, 0, "%Previous%Previous%Previous");
  EXPECT_EQ(ExpandOf(500), std::string(2000, 'm'));
}

TEST_F(ErrorReporterTest, SeveritiesDecideWhatIsShownAndAnswered) {
  Add(500, 0, "silent");
  Add(501, 1, "question");
  Add(504, 4, "question too");
  Add(502, 2, "program error");
  Add(509, 9, "odd severity");

  EXPECT_EQ(reporter.Take(500), kOutcomeDone);
  EXPECT_TRUE(display.shown.empty());

  display.PressNext(kButtonYes);
  EXPECT_EQ(reporter.Take(501), kOutcomeDone);
  display.PressNext(kButtonNo);
  EXPECT_EQ(reporter.Take(504), kOutcomeDeclined);
  display.PressNext(0);  // closed without a button
  EXPECT_EQ(reporter.Take(501), kOutcomeDeclined);
  ASSERT_EQ(display.shown.size(), 3u);
  EXPECT_EQ(display.shown[0].icon, MessageIcon::kQuestion);
  EXPECT_EQ(display.shown[0].buttons, kButtonYes | kButtonNo);
  EXPECT_EQ(display.shown[0].default_button, kButtonYes);

  display.PressNext(kButtonYes);  // whatever the box answers, a notice is 5
  EXPECT_EQ(reporter.Take(kMsgNoRecords), kOutcomeFailed);
  EXPECT_EQ(display.shown.back().title, "No Records");
  EXPECT_EQ(display.shown.back().icon, MessageIcon::kExclamation);
  EXPECT_EQ(display.shown.back().buttons, kButtonOk);
  EXPECT_TRUE(display.halts.empty());

  reporter.Take(502);
  reporter.Take(509);
  ASSERT_EQ(display.halts.size(), 2u);
  EXPECT_EQ(display.shown.back().text, "odd severity  Press OK to end this application");
  EXPECT_EQ(display.halts[1].exit_code, 2);
}

TEST_F(ErrorReporterTest, UnknownIdIsANoticeNamingItAndAskAnswersZero) {
  EXPECT_EQ(reporter.Take(999), kOutcomeFailed);
  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_NE(display.shown[0].text.find("999"), std::string::npos);
  EXPECT_EQ(reporter.Selected(), nullptr);
  EXPECT_EQ(reporter.Expand(), "");
  EXPECT_EQ(reporter.Ask(999, kButtonYes | kButtonNo, kButtonNo), 0u);
  EXPECT_EQ(display.shown.size(), 1u);
  EXPECT_TRUE(display.halts.empty());
}

TEST_F(ErrorReporterTest, AskShowsTheGivenButtonsAndAnswersThePress) {
  display.PressNext(kButtonCancel);
  EXPECT_EQ(reporter.Ask(kMsgSaveRecord, kButtonYes | kButtonNo | kButtonCancel, kButtonYes),
            kButtonCancel);
  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].title, "Save Record");
  EXPECT_EQ(display.shown[0].icon, MessageIcon::kQuestion);
  EXPECT_EQ(display.shown[0].buttons, kButtonYes | kButtonNo | kButtonCancel);
}

TEST_F(ErrorReporterTest, RaiseWithTextCutsTheTextAndSavesTheCurrentError) {
  driver::PostError(driver::kErrDuplicateKey, "CUSTOMER.BKF", nullptr);
  reporter.RaiseWithText(kMsgDuplicateKey, std::string(300, 'k'));
  EXPECT_EQ(reporter.MessageText().size(), 255u);
  EXPECT_EQ(reporter.SavedErrorCode(), driver::kErrDuplicateKey);
  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].text,
            "Adding this record creates a duplicate entry for the key: " + std::string(255, 'k'));
}

TEST_F(ErrorReporterTest, ProcedureNamesArePerThreadAndLeaveInReverse) {
  reporter.SetProcedureName("Main");
  reporter.SetProcedureName("Picker");
  std::string seen_other;
  std::thread other([&] {
    SetCurrentThreadNumber(2);
    seen_other = reporter.CurrentProcedure();
    reporter.SetProcedureName("TplDragDrop");
  });
  other.join();
  EXPECT_EQ(seen_other, "");
  Add(500, 0, "in %Procedure");
  EXPECT_EQ(ExpandOf(500), "in Picker");
  reporter.SetProcedureName("", true);
  EXPECT_EQ(reporter.CurrentProcedure(), "Main");
  reporter.SetProcedureName("", true);
  reporter.SetProcedureName("", true);  // nothing left: no effect
  EXPECT_EQ(reporter.CurrentProcedure(), "");
  std::thread again([&] {
    SetCurrentThreadNumber(2);
    seen_other = reporter.CurrentProcedure();
  });
  again.join();
  EXPECT_EQ(seen_other, "TplDragDrop");
}

}  // namespace
}  // namespace korvex::framework
