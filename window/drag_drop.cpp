#include "window/drag_drop.h"

#include <shellapi.h>

#include <map>
#include <mutex>
#include <vector>

#include "window/core/drag_machine.h"
#include "window/core/event_codes.h"
#include "window/vel_events.h"

namespace korvex {

namespace {

constexpr UINT kForeignTimeoutMs = 500;
constexpr size_t kAtomTextMax = 255;

struct ControlIds {
  DragIdList drag;
  DragIdList drop;
};

struct DragDropGlobals {
  std::map<HWND, ControlIds> ids;
  DragMachine machine;
  HWND source = nullptr;          // the control a drag is armed or running from
  HWND dragTarget = nullptr;      // source side: the target at release, while EVENT:Drag runs
  bool dragTargetOwn = true;
  // Target side: what this program's target matched.
  HWND matchTarget = nullptr;
  DropMatch match;
  std::string currentId;          // dragId()
  std::string dropData;           // dropId()
  HWND lastDrop = nullptr;
  HCURSOR dropHere = nullptr;
  HCURSOR noDrop = nullptr;
  bool ownCursors = false;        // loaded from the program: destroy at shutdown
  HCURSOR programCursor = nullptr;
};

DragDropGlobals& G() {
  static DragDropGlobals g;
  return g;
}

const DragIdList kNoIds;

bool InThisProgram(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid == GetCurrentProcessId();
}

// Own windows are sent to directly; other programs' windows with a time-out that
// gives up on a hung program (answer 0).
LRESULT SendTo(HWND window, bool own, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (own) return SendMessageA(window, msg, wparam, lparam);
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(window, msg, wparam, lparam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                           kForeignTimeoutMs, &answer)) {
    return 0;
  }
  return static_cast<LRESULT>(answer);
}

bool HasCrossProgramIds(const DragIdList& ids) { return !IdsToOffer(ids, false).empty(); }

// May this window be asked at all? Other programs' windows only when the source
// offers a "~" id.
bool MayAsk(HWND window, bool own, const DragIdList& ids) {
  return window != nullptr && (own || HasCrossProgramIds(ids));
}

struct PointSearch {
  POINT pt;
  const DragIdList* ids;
  HWND firstAccepting = nullptr;
  HWND lastContaining = nullptr;
};

BOOL CALLBACK FindUnderPoint(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<PointSearch*>(param);
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  RECT r;
  if (!GetWindowRect(window, &r) || !PtInRect(&r, search->pt)) return TRUE;
  search->lastContaining = window;
  bool own = InThisProgram(window);
  if (search->firstAccepting == nullptr && MayAsk(window, own, *search->ids) &&
      SendTo(window, own, kMsgDragAccept, 0, 0) != 0) {
    search->firstAccepting = window;
  }
  return TRUE;
}

class Win32DragPort : public DragPort {
 public:
  explicit Win32DragPort(HWND source) : source_(source) {}

  WindowRef windowUnder(DragPoint screen) override {
    POINT pt{screen.x, screen.y};
    HWND top = ChildWindowFromPointEx(GetDesktopWindow(), pt,
                                      CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    if (top == nullptr || top == GetDesktopWindow()) top = WindowFromPoint(pt);
    if (top == nullptr) return 0;
    PointSearch search{pt, &DragIdsOf(source_)};
    EnumChildWindows(top, FindUnderPoint, reinterpret_cast<LPARAM>(&search));
    HWND found = search.firstAccepting ? search.firstAccepting
                 : search.lastContaining ? search.lastContaining : top;
    return reinterpret_cast<WindowRef>(found);
  }

  WindowRef findTarget(WindowRef under, const DragIdList& ids, DragId* matched) override {
    for (HWND w = reinterpret_cast<HWND>(under); w != nullptr;) {
      bool own = InThisProgram(w);
      if (MayAsk(w, own, ids) && SendTo(w, own, kMsgDragAccept, 0, 0) != 0) {
        for (DragId id : IdsToOffer(ids, own)) {
          if (id->size() > kAtomTextMax) continue;  // cannot travel as an atom
          ATOM atom = GlobalAddAtomA(id->c_str());
          if (atom == 0) continue;
          LRESULT accepted = SendTo(w, own, kMsgDragAccept, own ? 1 : 0, atom);
          GlobalDeleteAtom(atom);
          if (accepted == 1) {
            *matched = id;
            G().dragTargetOwn = own;
            G().currentId = *id;
            return reinterpret_cast<WindowRef>(w);
          }
        }
      }
      if ((GetWindowLongA(w, GWL_STYLE) & WS_CHILD) == 0) break;
      w = GetParent(w);
    }
    return 0;
  }

  void leave(WindowRef target) override {
    HWND w = reinterpret_cast<HWND>(target);
    SendTo(w, InThisProgram(w), kMsgDragEnd, 0, 0);
    G().currentId.clear();
    G().dropData.clear();
  }

  void sendDragging() override { SendControlEvent(source_, kEventDragging); }

  void showCursor(bool drop_possible) override {
    DragDropGlobals& g = G();
    HCURSOR c = g.programCursor ? g.programCursor : drop_possible ? g.dropHere : g.noDrop;
    if (c) SetCursor(c);
  }

  void over(WindowRef target, DragPoint screen) override {
    HWND w = reinterpret_cast<HWND>(target);
    SendTo(w, InThisProgram(w), kMsgDragOver, 0,
           MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
  }

  void postDrag(WindowRef target) override {
    DragDropGlobals& g = G();
    g.dragTarget = reinterpret_cast<HWND>(target);
    if (target == 0) g.currentId.clear();
    g.dropData.clear();
    // Window handles keep their meaning in 32 bits, so the event can carry the target.
    PostControlEvent(source_, kEventDrag,
                     static_cast<int32_t>(reinterpret_cast<intptr_t>(g.dragTarget)));
  }

  void dropAfterDrag(WindowRef target) override {
    PostMessageA(source_, kMsgDropAfterDrag, static_cast<WPARAM>(target), 0);
  }

 private:
  HWND source_;
};

std::string AtomText(ATOM atom) {
  char buf[kAtomTextMax + 2] = {};
  UINT n = GlobalGetAtomNameA(atom, buf, sizeof buf);
  return std::string(buf, n);
}

void UpdateFileRegistration(HWND control, bool before) {
  bool now = DropIdsOf(control).acceptsFiles();
  if (now != before) DragAcceptFiles(control, now ? TRUE : FALSE);
}

DragIdList& MutableIds(HWND control, bool drag) {
  ControlIds& ids = G().ids[control];
  return drag ? ids.drag : ids.drop;
}

void FilesDropped(HWND control, HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  std::string joined;
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::string path(length + 1, '\0');
    UINT got = DragQueryFileA(drop, i, path.data(), length + 1);
    path.resize(got);
    if (!joined.empty()) joined.push_back(',');
    joined += path;
  }
  POINT pt{};
  DragQueryPoint(drop, &pt);
  DragFinish(drop);
  ClientToScreen(control, &pt);
  DragDropGlobals& g = G();
  g.currentId = std::string(kFileDropText);
  g.dropData = std::move(joined);
  g.lastDrop = control;
  SendMessageA(control, kMsgDropArrived, 0, MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
  PostControlEvent(control, kEventDrop);
}

}  // namespace

void StartDragDrop() {
  DragDropGlobals& g = G();
  if (g.dropHere) return;
  // Private copies (not the shared ones LoadCursor hands out), so that shutdown
  // can destroy them.
  HINSTANCE program = GetModuleHandleA(nullptr);
  auto load = [program](int id) {
    return static_cast<HCURSOR>(
        LoadImageA(program, MAKEINTRESOURCEA(id), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
  };
  g.dropHere = load(kCursorDropHere);
  g.noDrop = load(kCursorNoDrop);
  g.ownCursors = g.dropHere != nullptr && g.noDrop != nullptr;
  if (!g.ownCursors) {  // a program without the two cursors: the system's look-alikes
    if (g.dropHere) DestroyCursor(g.dropHere);
    if (g.noDrop) DestroyCursor(g.noDrop);
    g.dropHere = LoadCursorA(nullptr, IDC_ARROW);
    g.noDrop = LoadCursorA(nullptr, IDC_NO);
  }
  (void)FileDropId();  // interned before anyone compares with it
}

void ShutdownDragDrop() {
  DragDropGlobals& g = G();
  if (g.ownCursors) {
    DestroyCursor(g.dropHere);
    DestroyCursor(g.noDrop);
  }
  g.dropHere = g.noDrop = nullptr;
  g.ownCursors = false;
}

HCURSOR DragCursor(bool drop_possible, bool* from_program) {
  DragDropGlobals& g = G();
  if (from_program) *from_program = g.ownCursors;
  return drop_possible ? g.dropHere : g.noDrop;
}

const DragIdList& DragIdsOf(HWND control) {
  auto it = G().ids.find(control);
  return it == G().ids.end() ? kNoIds : it->second.drag;
}

const DragIdList& DropIdsOf(HWND control) {
  auto it = G().ids.find(control);
  return it == G().ids.end() ? kNoIds : it->second.drop;
}

void InsertDragId(HWND control, std::string_view id, size_t index) {
  MutableIds(control, true).insert(id, index);
}
void RemoveDragId(HWND control, size_t index) { MutableIds(control, true).remove(index); }
void AssignDragIds(HWND control, std::string_view id) { MutableIds(control, true).assign(id); }

void InsertDropId(HWND control, std::string_view id, size_t index) {
  bool before = DropIdsOf(control).acceptsFiles();
  MutableIds(control, false).insert(id, index);
  UpdateFileRegistration(control, before);
}
void RemoveDropId(HWND control, size_t index) {
  bool before = DropIdsOf(control).acceptsFiles();
  MutableIds(control, false).remove(index);
  UpdateFileRegistration(control, before);
}
void AssignDropIds(HWND control, std::string_view id) {
  bool before = DropIdsOf(control).acceptsFiles();
  MutableIds(control, false).assign(id);
  UpdateFileRegistration(control, before);
}

void ForgetDragDropWindow(HWND control) {
  DragDropGlobals& g = G();
  if (g.source == control) {
    g.machine = DragMachine();
    g.source = nullptr;
  }
  if (g.matchTarget == control) g.matchTarget = nullptr;
  if (g.dragTarget == control) g.dragTarget = nullptr;
  if (g.lastDrop == control) g.lastDrop = nullptr;
  g.ids.erase(control);
}

bool HandleDragMessage(HWND control, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  DragDropGlobals& g = G();
  switch (msg) {
    case kMsgDragAccept: {
      const DragIdList& drop = DropIdsOf(control);
      if (lparam == 0) {
        *result = drop.empty() ? 0 : 1;
        return true;
      }
      std::string dragged = AtomText(static_cast<ATOM>(lparam));
      POINT pt{};
      GetCursorPos(&pt);
      DropMatch match;
      bool from_other = wparam == 0;
      if (AcceptOffer(drop, dragged, from_other, 0, DragPoint{pt.x, pt.y}, &match)) {
        g.matchTarget = control;
        g.match = match;
        g.currentId = *match.matched;
        *result = 1;
      } else {
        *result = 0;
      }
      return true;
    }
    case kMsgDragEnd:
      *result = 0;
      if (wparam != 0 && g.matchTarget == control) {
        g.lastDrop = control;
        g.currentId = *g.match.matched;
        SendMessageA(control, kMsgDropArrived, 0,
                     MAKELPARAM(static_cast<WORD>(g.match.point.x), static_cast<WORD>(g.match.point.y)));
        PostControlEvent(control, kEventDrop);
      }
      if (g.matchTarget == control && wparam == 0) g.matchTarget = nullptr;
      return true;
    case kMsgDragOver:
      if (g.matchTarget == control) {
        g.match.point = DragPoint{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      }
      *result = 0;
      return true;
    case kMsgDropData:
      // Taken only from the source whose drag this control matched (another program's).
      if (g.matchTarget == control && lparam != 0) g.dropData = AtomText(static_cast<ATOM>(lparam));
      *result = 0;
      return true;
    case kMsgDropAfterDrag: {
      HWND target = reinterpret_cast<HWND>(wparam);
      if (target != nullptr && IsWindow(target)) {
        SendTo(target, InThisProgram(target), kMsgDragEnd, 1, 0);
      }
      if (g.dragTarget == target) g.dragTarget = nullptr;
      *result = 0;
      return true;
    }
    case WM_DROPFILES:
      if (DropIdsOf(control).acceptsFiles()) {
        FilesDropped(control, reinterpret_cast<HDROP>(wparam));
      } else {
        DragFinish(reinterpret_cast<HDROP>(wparam));
      }
      *result = 0;
      return true;
    default:
      return false;
  }
}

bool DragPress(HWND source, POINT screen, bool on_row) {
  DragDropGlobals& g = G();
  g.source = source;
  bool armed = g.machine.press(DragPoint{screen.x, screen.y}, on_row, DragIdsOf(source));
  if (!armed) g.source = nullptr;
  return armed;
}

void DragMove(HWND source, POINT screen) {
  DragDropGlobals& g = G();
  if (g.source != source) return;
  Win32DragPort port(source);
  g.machine.move(DragPoint{screen.x, screen.y}, GetSystemMetrics(SM_CXDRAG),
                 GetSystemMetrics(SM_CYDRAG), port);
}

bool DragRelease(HWND source) {
  DragDropGlobals& g = G();
  if (g.source != source) return false;
  Win32DragPort port(source);
  bool ended = g.machine.release(port);
  g.source = nullptr;
  return ended;
}

bool DragCancel(HWND source) {
  DragDropGlobals& g = G();
  if (g.source != source) return false;
  Win32DragPort port(source);
  bool ended = g.machine.cancel(port);
  g.source = nullptr;
  return ended;
}

bool DragBusy(HWND source) {
  return G().source == source && G().machine.phase() != DragMachine::Phase::kIdle;
}

bool DragStarted(HWND source) {
  return G().source == source && G().machine.phase() == DragMachine::Phase::kDragging;
}

std::string DragIdText() { return G().currentId; }
std::string DropDataText() { return G().dropData; }

bool SetDropData(std::string_view data) {
  DragDropGlobals& g = G();
  HWND target = g.dragTarget;
  if (target == nullptr || !IsWindow(target)) return false;
  if (g.dragTargetOwn && InThisProgram(target)) {
    g.dropData = std::string(data);  // within the process: passed whole
    return true;
  }
  if (data.size() > kAtomTextMax) return false;
  std::string text(data);
  ATOM atom = GlobalAddAtomA(text.c_str());
  if (atom == 0) return false;
  SendTo(target, false, kMsgDropData, reinterpret_cast<WPARAM>(g.source), atom);
  GlobalDeleteAtom(atom);
  return true;
}

void SetDragCursor(std::string_view cursor_name) {
  DragDropGlobals& g = G();
  if (cursor_name.empty()) {
    g.programCursor = nullptr;
    return;
  }
  std::string name(cursor_name);
  g.programCursor = LoadCursorA(GetModuleHandleA(nullptr), name.c_str());
}

HWND LastDropTarget() { return G().lastDrop; }

}  // namespace korvex
