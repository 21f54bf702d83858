// Drag and drop with real list windows: the events, their order and the rows.
#include "window/drag_drop.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "window/vel_test_support.h"

namespace korvex {
namespace {

using namespace testing_support;

class DragDropTest : public ListWindowTest {
 protected:
  // A client point of `list` that lies on the screen at (x, y).
  static POINT ClientAtScreen(const VelList* list, int x, int y) {
    POINT p{x, y};
    ScreenToClient(list->hwnd(), &p);
    return p;
  }
  void DragRows(VelList* list, int from, int to) {
    HWND h = list->hwnd();
    Press(h, RowPoint(list, from));
    MoveTo(h, RowPoint(list, (from + to) / 2 == from ? to : (from + to) / 2));
    MoveTo(h, RowPoint(list, to));
    Release(h, RowPoint(list, to));
  }
};

TEST_F(DragDropTest, RowTwoToRowFourGivesDraggingDragThenDropOnce) {
  VelList* list = MakeList();
  HWND h = list->hwnd();
  Press(h, RowPoint(list, 2));
  MoveTo(h, RowPoint(list, 3));
  // Over a list that takes the id: the program's cursor 32513.
  bool from_program = false;
  EXPECT_EQ(GetCursor(), DragCursor(true, &from_program));
  EXPECT_TRUE(from_program);
  MoveTo(h, RowPoint(list, 4));
  Release(h, RowPoint(list, 4));
  EXPECT_EQ(events_.codes(), (std::vector<EventCode>{kEventNewSelection, kEventDragging, kEventDrag}));
  EXPECT_TRUE(events_.events[1].sent);  // EVENT:Dragging is sent, EVENT:Drag posted
  EXPECT_FALSE(events_.events[2].sent);
  EXPECT_EQ(events_.lastValue, static_cast<int32_t>(reinterpret_cast<intptr_t>(list->hwnd())));
  // The source supplies drop data while it handles EVENT:Drag; within the process
  // even a text longer than an atom passes whole.
  EXPECT_TRUE(SetDropData(std::string(300, 'x')));
  Pump();  // the drop follows once the program is done with EVENT:Drag
  EXPECT_EQ(events_.codes(), (std::vector<EventCode>{kEventNewSelection, kEventDragging,
                                                     kEventDrag, kEventDrop}));
  EXPECT_EQ(events_.events[3].field, 1);
  EXPECT_EQ(list->property(kPropPressRow), 2);
  EXPECT_EQ(list->property(kPropReleaseRow), 4);
  EXPECT_EQ(list->selected(), 1);  // the press selected the dragged row
  EXPECT_EQ(DragIdText(), "dragDrop");
  EXPECT_EQ(DropDataText().size(), 300u);
  EXPECT_EQ(LastDropTarget(), list->hwnd());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(SetDropData("late"));  // no drag any more
}

TEST_F(DragDropTest, NoDragWithEmptyIdsFromTheHeaderOrForASmallMove) {
  VelList* list = MakeList();
  HWND h = list->hwnd();
  AssignDragIds(h, "");
  EXPECT_TRUE(DragIdsOf(h).empty());
  DragRows(list, 2, 4);
  Pump();
  EXPECT_EQ(events_.codes(), std::vector<EventCode>{kEventNewSelection});

  events_.events.clear();
  AssignDragIds(h, "dragDrop  ");
  POINT header{RowPoint(list, 1).x, 2};
  Press(h, header);
  MoveTo(h, RowPoint(list, 4));
  Release(h, RowPoint(list, 4));
  Pump();
  EXPECT_TRUE(events_.events.empty());

  POINT p = RowPoint(list, 2);
  Press(h, p);
  MoveTo(h, POINT{p.x + 1, p.y + 1});  // within the system drag threshold
  Release(h, POINT{p.x + 1, p.y + 1});
  Pump();
  EXPECT_EQ(events_.codes(), std::vector<EventCode>{kEventNewSelection});
}

TEST_F(DragDropTest, ReleaseOutsideEscapeOrLostCaptureGiveDragOnly) {
  VelList* list = MakeList();
  HWND h = list->hwnd();
  Press(h, RowPoint(list, 2));
  MoveTo(h, RowPoint(list, 4));
  POINT outside = ClientAtScreen(list, 900, 700);  // beyond the test window
  MoveTo(h, outside);
  EXPECT_EQ(GetCursor(), DragCursor(false));  // 32514: no drop here
  Release(h, outside);
  Pump();
  EXPECT_EQ(events_.count(kEventDrag), 1);
  EXPECT_EQ(events_.count(kEventDrop), 0);
  EXPECT_EQ(events_.count(kEventDragging), 2);  // entering the list, then leaving it
  EXPECT_EQ(DragIdText(), "");

  events_.events.clear();
  Press(h, RowPoint(list, 2));
  MoveTo(h, RowPoint(list, 4));
  SendMessageA(h, WM_KEYDOWN, VK_ESCAPE, 0);
  Release(h, RowPoint(list, 4));
  Pump();
  EXPECT_EQ(events_.codes(), (std::vector<EventCode>{kEventNewSelection, kEventDragging, kEventDrag}));

  events_.events.clear();
  Press(h, RowPoint(list, 2));
  MoveTo(h, RowPoint(list, 4));
  ASSERT_EQ(GetCapture(), h);
  ReleaseCapture();
  Release(h, RowPoint(list, 4));
  Pump();
  EXPECT_EQ(events_.codes(), (std::vector<EventCode>{kEventNewSelection, kEventDragging, kEventDrag}));
}

TEST_F(DragDropTest, DropOnAnotherListRecordsItsReleaseRow) {
  VelList* source = MakeList(0, kShuffleFormat, {"dragDrop"}, {});
  ListSetup setup;
  setup.field = 2;
  setup.rect = RECT{20, 40, 520, 400};
  setup.format = kShuffleFormat;
  setup.dropIds = {"DragDrop", "dragDrop"};
  setup.rows = &rows_;
  // The target lies over the right half of the window; the source is moved left.
  MoveWindow(source->hwnd(), 10, 40, 250, 360, TRUE);
  setup.rect = RECT{280, 40, 540, 400};
  VelList* target = VelList::Create(window_, setup);
  ASSERT_NE(target, nullptr);
  UpdateWindow(window_);
  Pump();
  events_.events.clear();

  HWND h = source->hwnd();
  Press(h, RowPoint(source, 3));
  RECT row5 = target->rowRect(4);
  POINT over{60, (row5.top + row5.bottom) / 2};
  ClientToScreen(target->hwnd(), &over);
  POINT in_source = ClientAtScreen(source, over.x, over.y);
  MoveTo(h, in_source);
  Release(h, in_source);
  Pump();
  ASSERT_EQ(events_.events.size(), 4u);
  EXPECT_EQ(events_.events[2], (Recorded{1, kEventDrag, false}));
  EXPECT_EQ(events_.events[3], (Recorded{2, kEventDrop, false}));
  EXPECT_EQ(target->property(kPropReleaseRow), 5);
  EXPECT_EQ(DragIdText(), "dragDrop");  // matched exactly: "DragDrop" did not
}

TEST_F(DragDropTest, ShellFilesDropOnlyWhileFileIdIsListed) {
  VelList* list = MakeList(0, kShuffleFormat, {}, {});
  HWND h = list->hwnd();
  auto drop_files = [&] {
    static const char kFiles[] = "C:\\a.txt\0C:\\b b.txt\0C:\\dir\\c.txt\0";
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + sizeof kFiles);
    auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
    df->pFiles = sizeof(DROPFILES);
    df->pt = POINT{50, 60};
    df->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), kFiles, sizeof kFiles);
    GlobalUnlock(mem);
    SendMessageA(h, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
  };
  InsertDropId(h, "other", 0);
  InsertDropId(h, "~FILE", 5);
  EXPECT_NE(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  drop_files();
  EXPECT_EQ(events_.codes(), std::vector<EventCode>{kEventDrop});
  EXPECT_EQ(DragIdText(), "~FILE");
  EXPECT_EQ(DropDataText(), "C:\\a.txt,C:\\b b.txt,C:\\dir\\c.txt");

  events_.events.clear();
  RemoveDropId(h, 1);
  EXPECT_EQ(GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  drop_files();
  EXPECT_TRUE(events_.events.empty());
}

// ---- Another program's window ----
// DragPeer.ServeDrops runs in a second process (started by the test below): a list
// with the drop id "shared" that shows in its window title how often it was asked
// and what was dropped on it.

LONG_PTR peer_list_proc = 0;
int peer_asked = 0;
HWND peer_window = nullptr;

void ShowPeerState(int drops) {
  char title[512];
  std::snprintf(title, sizeof title, "asked=%d drops=%d id=%s data=%s", peer_asked, drops,
                DragIdText().c_str(), DropDataText().c_str());
  SetWindowTextA(peer_window, title);
}

LRESULT CALLBACK CountingListProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == kMsgDragAccept) {
    ++peer_asked;
    ShowPeerState(0);
  }
  return CallWindowProcA(reinterpret_cast<WNDPROC>(peer_list_proc), h, msg, w, l);
}

class PeerEvents : public RecordingEvents {
 public:
  void post(HWND control, EventCode code, int32_t value) override {
    RecordingEvents::post(control, code, value);
    if (code == kEventDrop) ShowPeerState(count(kEventDrop));
  }
};

TEST(DragPeer, ServeDrops) {
  if (std::getenv("KORVEX_DRAG_PEER") == nullptr) GTEST_SKIP() << "started by DragDropTest";
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KorvexDragPeer";
  RegisterClassA(&wc);
  StartDragDrop();
  peer_window = CreateWindowExA(0, "KorvexDragPeer", "starting", WS_OVERLAPPED | WS_VISIBLE, 700,
                                100, 300, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  PeerEvents events;
  SetControlEvents(&events);
  QueueRows rows = MakeRows(5);
  ListSetup setup;
  setup.field = 7;
  setup.rect = RECT{0, 0, 280, 260};
  setup.format = kShuffleFormat;
  setup.dropIds = {"shared"};
  setup.rows = &rows;
  VelList* list = VelList::Create(peer_window, setup);
  ASSERT_NE(list, nullptr);
  peer_list_proc = SetWindowLongPtrA(list->hwnd(), GWLP_WNDPROC,
                                     reinterpret_cast<LONG_PTR>(&CountingListProc));
  ShowPeerState(0);
  DWORD start = GetTickCount();
  while (events.count(kEventDrop) == 0 && GetTickCount() - start < 60000) Pump();
  for (int i = 0; i < 20; ++i) Pump();  // let the source read the title
  SetControlEvents(nullptr);
}

TEST_F(DragDropTest, AnotherProgramIsOfferedOnlyTildeIdsAndMatchesWithoutTheTilde) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string command = std::string("\"") + exe + "\" --gtest_filter=DragPeer.ServeDrops";
  SetEnvironmentVariableA("KORVEX_DRAG_PEER", "1");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &si, &pi);
  SetEnvironmentVariableA("KORVEX_DRAG_PEER", nullptr);
  ASSERT_TRUE(started);
  auto title = [](HWND w) {
    char text[512] = {};
    GetWindowTextA(w, text, sizeof text);
    return std::string(text);
  };
  HWND peer = nullptr;
  for (int i = 0; i < 600 && (peer == nullptr || title(peer).rfind("asked=", 0) != 0); ++i) {
    peer = FindWindowA("KorvexDragPeer", nullptr);
    Pump();
  }
  ASSERT_NE(peer, nullptr);

  VelList* list = MakeList(0, kShuffleFormat, {"plain"}, {});
  HWND h = list->hwnd();
  RECT peer_rect;
  GetWindowRect(peer, &peer_rect);
  POINT over = ClientAtScreen(list, peer_rect.left + 100, peer_rect.top + 100);
  // An id without "~" never reaches the other program: not even asked.
  Press(h, RowPoint(list, 2));
  MoveTo(h, over);
  Release(h, over);
  Pump();
  EXPECT_EQ(title(peer), "asked=0 drops=0 id= data=");
  EXPECT_EQ(events_.count(kEventDrag), 1);
  EXPECT_EQ(events_.count(kEventDrop), 0);

  // "~shared" is offered and matches the peer's "shared"; the drop data travels as an atom.
  AssignDragIds(h, "~shared");
  Press(h, RowPoint(list, 2));
  MoveTo(h, over);
  Release(h, over);
  EXPECT_TRUE(SetDropData("payload"));
  EXPECT_FALSE(SetDropData(std::string(300, 'x')));  // longer than an atom: refused, not cut
  for (int i = 0; i < 100 && title(peer).find("drops=1") == std::string::npos; ++i) Pump();
  std::string state = title(peer);
  EXPECT_NE(state.find("drops=1 id=shared data=payload"), std::string::npos) << state;
  EXPECT_NE(state.rfind("asked=0", 0), 0u) << state;
  EXPECT_EQ(DragIdText(), "~shared");
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace
}  // namespace korvex
