// Real message boxes under Win32: a helper thread finds the box, reads it back
// and presses a button, types a key or closes it, while the test's thread runs
// the box.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/locale/locale.h"
#include "window/core/message_box_template.h"
#include "window/event_engine.h"
#include "window/message_box.h"
#include "window/message_box_display.h"

namespace korvex {
namespace {

struct SeenButton {
  int id;
  std::string caption;
  int x;
  bool is_default;
};

struct SeenBox {
  bool found = false;
  std::string title;
  std::string text;
  bool text_no_prefix = false;
  bool has_icon = false;
  std::vector<SeenButton> buttons;  // left to right
  int modal_count = -1;
  HWND focus_id_window = nullptr;
};

HWND FindBox(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND hwnd, LPARAM param) -> BOOL {
        char name[16] = {};
        GetClassNameA(hwnd, name, sizeof name);
        if (std::string(name) == "#32770" && IsWindowVisible(hwnd)) {
          *reinterpret_cast<HWND*>(param) = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string TextOf(HWND hwnd) {
  char text[512] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

// Runs show() on this thread; meanwhile another thread waits for the box,
// records it and calls act(box).
SeenBox RunBox(const std::function<uint32_t()>& show, const std::function<void(HWND)>& act, uint32_t* answer) {
  SeenBox seen;
  const DWORD me = GetCurrentThreadId();
  std::thread helper([&] {
    HWND box = nullptr;
    for (int i = 0; i < 500 && box == nullptr; ++i) {
      box = FindBox(me);
      if (box == nullptr) Sleep(20);
    }
    if (box == nullptr) return;
    seen.found = true;
    seen.modal_count = ModalCount();
    seen.title = TextOf(box);
    HWND text = GetDlgItem(box, mbox::kTextId);
    seen.text = TextOf(text);
    seen.text_no_prefix = (GetWindowLongA(text, GWL_STYLE) & SS_NOPREFIX) != 0;
    HWND icon = GetDlgItem(box, mbox::kIconId);
    seen.has_icon = icon != nullptr && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    for (int id = 1; id <= 9; ++id) {
      HWND button = GetDlgItem(box, id);
      if (button == nullptr) continue;
      RECT r{};
      GetWindowRect(button, &r);
      seen.buttons.push_back({id, TextOf(button), r.left, (GetWindowLongA(button, GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON});
    }
    std::sort(seen.buttons.begin(), seen.buttons.end(),
              [](const SeenButton& a, const SeenButton& b) { return a.x < b.x; });
    act(box);
    // A box that did not react is closed so that the test ends.
    for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);
    if (IsWindow(box)) PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  *answer = show();
  helper.join();
  return seen;
}

void Press(HWND box, int id) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// A key typed into the box's focused control (the dialog manager sees it).
void Key(HWND box, WPARAM key) {
  HWND target = GetDlgItem(box, 1);
  for (int id = 1; id <= 9 && target == nullptr; ++id) target = GetDlgItem(box, id);
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

std::vector<std::string> Captions(const SeenBox& box) {
  std::vector<std::string> captions;
  for (const auto& b : box.buttons) captions.push_back(b.caption);
  return captions;
}

class MessageBoxDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { StartEventEngine(); }
};

TEST_F(MessageBoxDialogTest, YesNoShowsBothInOrderAndNoAnswersFour) {
  uint32_t answer = 99;
  const int modal_before = ModalCount();
  const SeenBox box = RunBox([] { return ShowMessage("Save the changes?", "Question", {kMessageIconQuestion}, 6, 2); },
                             [](HWND b) { Press(b, 7); }, &answer);
  ASSERT_TRUE(box.found);
  EXPECT_EQ(answer, 4u);
  EXPECT_EQ(box.title, "Question");
  EXPECT_EQ(Captions(box), (std::vector<std::string>{"&Yes", "&No"}));
  EXPECT_TRUE(box.buttons[0].is_default);
  EXPECT_FALSE(box.buttons[1].is_default);
  EXPECT_TRUE(box.has_icon);
  // The box raised the modal counter while it ran, and lowered it after.
  EXPECT_EQ(box.modal_count, modal_before + 1);
  EXPECT_EQ(ModalCount(), modal_before);
}

TEST_F(MessageBoxDialogTest, EveryButtonInTableOrderAnswersItsBit) {
  const std::vector<std::string> all = {"OK", "&Yes", "&No", "&Abort", "&Retry", "&Ignore", "Cancel", "&Help"};
  const int ids[] = {1, 6, 7, 3, 4, 5, 2, 9};
  for (int i = 0; i < 8; ++i) {
    uint32_t answer = 0;
    const SeenBox box = RunBox([] { return ShowMessage("All", "All", {}, 0xFF, 0); },
                               [&](HWND b) { Press(b, ids[i]); }, &answer);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(answer, 1u << i) << all[static_cast<size_t>(i)];
    EXPECT_EQ(Captions(box), all);
    EXPECT_FALSE(box.has_icon);
  }
}

TEST_F(MessageBoxDialogTest, MaskZeroShowsOkAndEnterPressesTheDefault) {
  uint32_t answer = 0;
  SeenBox box = RunBox([] { return ShowMessage("Done", "Note", {kMessageIconInformation}, 0, 0); },
                       [](HWND b) { Key(b, VK_RETURN); }, &answer);
  ASSERT_TRUE(box.found);
  EXPECT_EQ(Captions(box), std::vector<std::string>{"OK"});
  EXPECT_EQ(answer, 1u);
  // The default named by the caller takes Enter; one not shown leaves the first.
  box = RunBox([] { return ShowMessage("Retry?", "Q", {}, 16 | 64, 64); },
               [](HWND b) { Key(b, VK_RETURN); }, &answer);
  EXPECT_TRUE(box.buttons[1].is_default);
  EXPECT_EQ(answer, 64u);
  box = RunBox([] { return ShowMessage("Retry?", "Q", {}, 16 | 64, 4); },
               [](HWND b) { Key(b, VK_RETURN); }, &answer);
  EXPECT_TRUE(box.buttons[0].is_default);
  EXPECT_EQ(answer, 16u);
}

TEST_F(MessageBoxDialogTest, EscapeOrCloseWithoutCancelAnswersZero) {
  uint32_t answer = 99;
  RunBox([] { return ShowMessage("Really?", "Q", {}, 6, 2); }, [](HWND b) { Key(b, VK_ESCAPE); }, &answer);
  EXPECT_EQ(answer, 0u);
  answer = 99;
  RunBox([] { return ShowMessage("Really?", "Q", {}, 6, 2); },
         [](HWND b) { PostMessageA(b, WM_SYSCOMMAND, SC_CLOSE, 0); }, &answer);
  EXPECT_EQ(answer, 0u);
  // With a Cancel button, Esc is Cancel.
  RunBox([] { return ShowMessage("Really?", "Q", {}, 1 | 64, 1); }, [](HWND b) { Key(b, VK_ESCAPE); }, &answer);
  EXPECT_EQ(answer, 64u);
}

TEST_F(MessageBoxDialogTest, BarsBreakLinesAndAmpersandsStay) {
  uint32_t answer = 0;
  const SeenBox box = RunBox([] { return ShowMessage("First line|Second line & more", "T", {kMessageIconNamed, "#32523"}, 1, 1); },
                             [](HWND b) { Press(b, 1); }, &answer);
  EXPECT_EQ(box.text, "First line\r\nSecond line & more");
  EXPECT_TRUE(box.text_no_prefix);
  EXPECT_TRUE(box.has_icon) << "the program's own icon, by name";
}

TEST_F(MessageBoxDialogTest, TextsReachTheBoxInUtf16FromTheProgramsCodePage) {
  // "Caf" + e-acute in the program's code page, whatever that page is.
  std::string cafe = "Caf";
  WCHAR acute = 0x00E9;
  char narrow[4] = {};
  const int length = WideCharToMultiByte(CP_ACP, 0, &acute, 1, narrow, sizeof narrow, nullptr, nullptr);
  ASSERT_GT(length, 0);
  cafe.append(narrow, static_cast<size_t>(length));
  std::wstring title, text;
  uint32_t answer = 0;
  RunBox([&] { return ShowMessage(cafe, cafe, {}, 1, 1); },
         [&](HWND b) {
           WCHAR buffer[64] = {};
           GetWindowTextW(b, buffer, 64);
           title = buffer;
           GetWindowTextW(GetDlgItem(b, mbox::kTextId), buffer, 64);
           text = buffer;
           Press(b, 1);
         },
         &answer);
  EXPECT_EQ(title, L"Caf\u00e9");
  EXPECT_EQ(text, L"Caf\u00e9");
}

TEST_F(MessageBoxDialogTest, LocaleCaptionsAndTheReporterDisplay) {
  const LocaleSettings saved = CurrentLocale();
  LocaleSettings german = saved;
  german.button_captions[1] = "&Ja";
  german.button_captions[2] = "&Nein";
  SetLocale(german);
  uint32_t answer = 0;
  MessageBoxDisplay display;
  const SeenBox box = RunBox(
      [&] { return display.ShowMessage("Frage", "Titel", framework::MessageIcon::kQuestion, 6, 4); },
      [](HWND b) { Press(b, 6); }, &answer);
  SetLocale(saved);
  EXPECT_EQ(Captions(box), (std::vector<std::string>{"&Ja", "&Nein"}));
  EXPECT_TRUE(box.buttons[1].is_default);
  EXPECT_TRUE(box.has_icon);
  EXPECT_EQ(answer, 2u);
}

}  // namespace
}  // namespace korvex
