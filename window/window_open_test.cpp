// Windows opened from the program's embedded window images (and from images
// made in the test), read back through Win32.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "runtime/os/child_process.h"
#include "window/control.h"
#include "window/core/event_runtime_errors.h"
#include "window/core/resource_image_builder.h"
#include "window/event_engine.h"
#include "window/list_sheet_factories.h"
#include "window/vel_list.h"
#include "window/vel_sheet.h"
#include "window/resource_lookup.h"
#include "window/runtime_error.h"
#include "window/simple_controls.h"
#include "window/window_object.h"
#include "window/window_open.h"

namespace korvex {
namespace {

class WindowOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEventEngine();
    RegisterSimpleControls();
  }
};

std::string TextOf(HWND hwnd) {
  char text[256] = {};
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

RECT ClientRectOfChild(HWND parent, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void ExpectControl(const WindowObject& w, int id, const char* win_class, const char* text, int x, int y) {
  HWND control = GetDlgItem(w.hwnd(), id);
  ASSERT_NE(control, nullptr) << id;
  EXPECT_STRCASEEQ(ClassOf(control).c_str(), win_class) << id;
  EXPECT_EQ(TextOf(control), text) << id;
  const RECT r = ClientRectOfChild(w.hwnd(), control);
  EXPECT_EQ(r.left, w.units().ToPixelsX(x)) << id;
  EXPECT_EQ(r.top, w.units().ToPixelsY(y)) << id;
  EXPECT_GT(r.right - r.left, 0) << id;
}

TEST_F(WindowOpenTest, ShuffleWindowShellFromTheEmbeddedImage) {
  WindowObject w;
  std::string detail;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  ASSERT_EQ(OpenWindow(w, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), 0) << detail;
  QueryPerformanceCounter(&end);
  std::printf("[ measure  ] opening P1$QUICKWINDOW took %.2f ms (dialog base units %d x %d)\n",
              1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
              w.units().base_x(), w.units().base_y());
  HWND hwnd = w.hwnd();
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(TextOf(hwnd), "");
  EXPECT_EQ(ClassOf(hwnd).rfind("VelWin", 0), 0u) << ClassOf(hwnd);
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0) << "no title, no caption";
  EXPECT_NE(style & WS_POPUP, 0);
  EXPECT_NE(style & WS_THICKFRAME, 0);
  EXPECT_NE(style & WS_CLIPCHILDREN, 0);
  // Width and height are the client size in the font's dialog units.
  RECT client{};
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, w.units().ToPixelsX(330));
  EXPECT_EQ(client.bottom, w.units().ToPixelsY(251));
  EXPECT_GT(w.units().base_x(), 3);
  EXPECT_GT(w.units().base_y(), 8);

  ExpectControl(w, 9, "Button", "OK", 251, 227);
  const RECT ok = ClientRectOfChild(hwnd, GetDlgItem(hwnd, 9));
  EXPECT_EQ(ok.right - ok.left, w.units().ToPixelsX(43));
  EXPECT_EQ(ok.bottom - ok.top, w.units().ToPixelsY(17));
  EXPECT_LE(ok.bottom, client.bottom) << "OK must not be clipped";
  // Texts on the tabs sit at their places in the window's client area.
  ExpectControl(w, 4, "Static", "Template is enabled  :-)", 125, 4);
  ExpectControl(w, 5, "Static", "Just Drag-and-Drop records", 33, 233);
  ExpectControl(w, 7, "Static", "Template is disabled :-(", 125, 4);
  ExpectControl(w, 8, "Static", "Don't even try to do it here", 33, 233);
  // The headline's own font: 11 points, bold.
  LOGFONTA lf{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(hwnd, 4), WM_GETFONT, 0, 0)), sizeof lf, &lf);
  EXPECT_EQ(lf.lfWeight, 700);
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(lf.lfHeight, -MulDiv(11, GetDeviceCaps(dc, LOGPIXELSY), 72));
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(w.ColourOf(w.FindControl(4)->record().font), RGB(0xFF, 0x00, 0xFF));
  EXPECT_EQ(w.ColourOf(w.FindControl(9)->record().font), RGB(0x00, 0x00, 0xFF)) << "the window font's colour";
  // Kinds nobody registered create nothing.
  for (int id : {1, 2, 3, 6}) {
    HWND control = GetDlgItem(hwnd, id);
    Control* object = w.FindControl(static_cast<uint32_t>(id));
    EXPECT_EQ(control != nullptr, object != nullptr) << id;
    if (object != nullptr) {
      EXPECT_EQ(object->hwnd(), control) << id;
    }
  }
  if (FindControlFactory(rsc::kTypeList) == nullptr) {
    EXPECT_EQ(GetDlgItem(hwnd, 1), nullptr);
  }
  EXPECT_EQ(w.events().timerPeriod, 100u);
  EXPECT_FALSE(w.events().modal);
  EXPECT_EQ(ThreadWindow(), &w.events());

  // A second open of an open window.
  EXPECT_EQ(OpenWindow(w, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), kErrorWindowAlreadyOpen);
  EXPECT_EQ(w.hwnd(), hwnd);

  // Closing takes the class with it; the window opens again afterwards.
  const std::string class_name = w.class_name();
  CloseWindow(w);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(w.IsOpen());
  WNDCLASSA info{};
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), class_name.c_str(), &info));
  QueryPerformanceCounter(&start);
  ASSERT_EQ(OpenWindow(w, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), 0) << detail;
  QueryPerformanceCounter(&end);
  std::printf("[ measure  ] opening it again took %.2f ms\n",
              1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
  EXPECT_NE(w.class_name(), class_name);
  // Destroyed behind the object's back, the window is not open, and opening
  // it again gives up the old class.
  const std::string second_class = w.class_name();
  DestroyWindow(w.hwnd());
  EXPECT_FALSE(w.IsOpen());
  ASSERT_EQ(OpenWindow(w, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), 0) << detail;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), second_class.c_str(), &info));
  CloseWindow(w);
}

TEST_F(WindowOpenTest, ShuffleWindowWithItsListSheetAndTabs) {
  RegisterListAndSheetControls();
  WindowObject w;
  std::string detail;
  ASSERT_EQ(OpenWindow(w, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), 0) << detail;
  HWND hwnd = w.hwnd();
  VelList* list = VelList::FromHandle(GetDlgItem(hwnd, 1));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->format().columns.size(), 4u);
  const RECT list_rect = ClientRectOfChild(hwnd, list->hwnd());
  EXPECT_EQ(list_rect.left, w.units().ToPixelsX(17));
  EXPECT_EQ(list_rect.top, w.units().ToPixelsY(21));
  EXPECT_EQ(list_rect.right - list_rect.left, w.units().ToPixelsX(296));
  VelSheet* sheet = VelSheet::FromHandle(GetDlgItem(hwnd, 2));
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(TabCtrl_GetItemCount(sheet->tabControl()), 2);
  EXPECT_EQ(sheet->choice(), 1);
  // Tabs have no window of their own; the first tab's texts show, the second's not.
  EXPECT_EQ(GetDlgItem(hwnd, 3), nullptr);
  EXPECT_NE(w.FindControl(3), nullptr);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, 4)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, 5)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, 7)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, 8)));
  sheet->select(2);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, 4)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, 7)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, 9))) << "OK is on no tab";
  CloseWindow(w);
}

TEST_F(WindowOpenTest, FrameHasItsTitleAndClientSize) {
  WindowObject w;
  std::string detail;
  ASSERT_EQ(OpenWindow(w, "korvex$KORVE001", "P1$APPFRAME", nullptr, &detail), 0) << detail;
  // The class icon is the program's own icon 32523.
  EXPECT_NE(GetClassLongPtrA(w.hwnd(), GCLP_HICON), 0);
  EXPECT_EQ(TextOf(w.hwnd()), "Korvex Record Template Demo");
  const LONG style = GetWindowLongA(w.hwnd(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_NE(style & WS_SYSMENU, 0);
  RECT client{};
  GetClientRect(w.hwnd(), &client);
  EXPECT_EQ(client.right, w.units().ToPixelsX(260));
  EXPECT_EQ(client.bottom, w.units().ToPixelsY(240));
  EXPECT_EQ(w.events().timerPeriod, 0u);
  EXPECT_TRUE(w.controls().empty());
  CloseWindow(w);
}

TEST_F(WindowOpenTest, MissingLabelOrResourceFailsCleanly) {
  WindowObject w;
  std::string detail;
  EXPECT_EQ(OpenWindow(w, "korvex$KORVE002", "P9$NOSUCH", nullptr, &detail), kErrorWindowCreate);
  EXPECT_NE(detail.find("P9$NOSUCH"), std::string::npos) << detail;
  EXPECT_FALSE(w.IsOpen());
  EXPECT_EQ(OpenWindow(w, "korvex$NOSUCH", "P1$QUICKWINDOW", nullptr, &detail), kErrorWindowCreate);
  EXPECT_NE(detail.find("NOSUCH_RSC"), std::string::npos) << detail;
  // A resource whose stored module name differs is passed over.
  EXPECT_EQ(OpenWindow(w, "other$KORVE002", "P1$QUICKWINDOW", nullptr, &detail), kErrorWindowCreate);
  FoundWindow found;
  EXPECT_EQ(FindWindowResource("AXPOPUP", "P10$W", &found, &detail), LookupResult::kFound);
  EXPECT_EQ(found.module, GetModuleHandleA(nullptr));
}

TEST_F(WindowOpenTest, ImageMadeInTheTestControlsAndAttributes) {
  rsc::ImageSpec spec;
  spec.module_name = "test$IMAGE";
  rsc::WindowSpec window;
  window.label = "W";
  window.title = "Made & titled";
  window.flags2 = rsc::kWin2Modal | rsc::kWin2Double;
  window.rect = {10, 10, 200, 100};
  window.font = rsc::FontSpec{"MS Sans Serif", 8, rsc::kInherit, rsc::kInherit};
  rsc::ControlSpec group{rsc::kTypeGroup};
  group.rect = {4, 4, 100, 50};
  group.text = "Group";
  rsc::ControlSpec prompt{rsc::kTypePrompt};
  prompt.rect = {8, 16, 40, 10};
  prompt.text = "&Name";
  rsc::ControlSpec unused{21};       // a slot that stays empty
  rsc::ControlSpec unregistered{39}; // a slot nobody registered here
  unregistered.rect = {1, 1, 5, 5};
  rsc::ControlSpec text{rsc::kTypeText};
  text.rect = {110, 4, 80, 40};
  rsc::ControlSpec button{rsc::kTypeButton};
  button.rect = {150, 80, 40, 14};
  button.text = "Go";
  button.flags = VelButton::kFlagDefault;
  window.controls = {group, prompt, unused, unregistered, text, button};
  spec.windows = {window};
  const std::vector<uint8_t> bytes = rsc::BuildResourceImage(spec);
  auto image = std::make_unique<rsc::ResourceImage>();
  ASSERT_EQ(image->Load(bytes.data(), bytes.size(), "test$IMAGE"), rsc::LoadStatus::kOk);
  const uint32_t record = image->FindWindowRecord("W");

  WindowObject w;
  std::string detail;
  ASSERT_EQ(OpenWindowFromImage(w, std::move(image), record, nullptr, &detail), 0) << detail;
  EXPECT_EQ(TextOf(w.hwnd()), "Made & titled");
  EXPECT_NE(GetWindowLongA(w.hwnd(), GWL_STYLE) & WS_DLGFRAME, 0);
  EXPECT_TRUE(w.events().modal);
  EXPECT_EQ(w.controls().size(), 4u);
  ExpectControl(w, 1, "Button", "Group", 4, 4);
  ExpectControl(w, 2, "Static", "&Name", 8, 16);
  EXPECT_EQ(GetDlgItem(w.hwnd(), 3), nullptr);
  EXPECT_EQ(GetDlgItem(w.hwnd(), 4), nullptr);
  ExpectControl(w, 5, "Edit", "", 110, 4);
  ExpectControl(w, 6, "Button", "Go", 150, 80);
  EXPECT_EQ(GetWindowLongA(GetDlgItem(w.hwnd(), 6), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongA(GetDlgItem(w.hwnd(), 2), GWL_STYLE) & SS_NOPREFIX, 0) << "a prompt's & is a mnemonic";
  // A window position given in the record is used.
  RECT outer{};
  GetWindowRect(w.hwnd(), &outer);
  EXPECT_EQ(outer.left, w.units().ToPixelsX(10));
  CloseWindow(w);
}

}  // namespace
}  // namespace korvex

// Raised open errors end the program after the report; checked from a child.
namespace {

std::string g_report_path;
void WriteReport(int code, const std::string& text) { std::ofstream(g_report_path) << code << " " << text; }

}  // namespace

KORVEX_CHILD(OpenShuffleTwice) {
  g_report_path = args.at(0);
  korvex::SetRuntimeErrorHandler(WriteReport);
  korvex::RegisterSimpleControls();
  korvex::WindowObject window;
  korvex::OpenWindowOrRaise(window, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr);
  korvex::OpenWindowOrRaise(window, "korvex$KORVE002", "P1$QUICKWINDOW", nullptr);
  return 0;
}

KORVEX_CHILD(OpenUnknownLabel) {
  g_report_path = args.at(0);
  korvex::SetRuntimeErrorHandler(WriteReport);
  korvex::WindowObject window;
  korvex::OpenWindowOrRaise(window, "korvex$KORVE002", "P7$NOWHERE", nullptr);
  return 0;
}

namespace korvex {
namespace {

std::string RunAndReport(const char* role) {
  const char* temp = std::getenv("TEMP");
  const std::string path = std::string(temp != nullptr ? temp : ".") + "\\korvex_open_" + role + ".txt";
  std::remove(path.c_str());
  std::unique_ptr<os::ChildProcess> child;
  if (!os::ChildProcess::Start(role, {path}, &child).ok()) return "no child";
  int exit_code = -1;
  if (!child->Wait(20000, &exit_code)) return "no exit";
  std::stringstream report;
  report << exit_code << ": " << std::ifstream(path).rdbuf();
  std::remove(path.c_str());
  return report.str();
}

TEST(WindowOpenErrors, SecondOpenAndUnknownLabelRaiseAndHalt) {
  EXPECT_EQ(RunAndReport("OpenShuffleTwice"), "2: 535 Window is already open");
  EXPECT_EQ(RunAndReport("OpenUnknownLabel"), "2: 529 Unable to open WINDOW : no window P7$NOWHERE in KORVE002_RSC");
}

}  // namespace
}  // namespace korvex

namespace korvex {
namespace {

TEST(ProgramResources, CursorsIconAndRuntimeErrorTextsAreEmbedded) {
  HINSTANCE program = GetModuleHandleA(nullptr);
  EXPECT_NE(LoadCursorA(program, MAKEINTRESOURCEA(32513)), nullptr);
  EXPECT_NE(LoadCursorA(program, MAKEINTRESOURCEA(32514)), nullptr);
  EXPECT_NE(LoadIconA(program, MAKEINTRESOURCEA(32523)), nullptr);
  char text[128] = {};
  ASSERT_GT(LoadStringA(program, 535, text, sizeof text), 0);
  EXPECT_STREQ(text, "Window is already open");
  ASSERT_GT(LoadStringA(program, 403, text, sizeof text), 0);
  EXPECT_STREQ(text, "Termination caused by signal.  (User break or Floating point)");
  // Every image is stored under U.S. English.
  for (const char* name : {"KORVE001_RSC", "KORVE002_RSC", "AXPOPUP_RSC", "AXQUERY_RSC"}) {
    EXPECT_NE(FindResourceExA(program, "DABDUMP", name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), nullptr)
        << name;
  }
}

}  // namespace
}  // namespace korvex
