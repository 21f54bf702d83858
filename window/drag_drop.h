// Drag and drop between controls, and files dropped from the shell.
//
// A control takes part by calling HandleDragMessage first in its window procedure
// (it answers the private messages below and WM_DROPFILES for its drop ids), and,
// as a source, by passing its left-button press, moves, release and lost capture
// to the Drag* functions. Ids are kept here per control window.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "window/core/drag_ids.h"

namespace korvex {

// Private messages between source and target windows (ids travel as global atoms
// so that other programs' windows can take part).
constexpr UINT kMsgDragAccept = 0x2417;      // wParam 0, lParam 0: any drop ids at all?
                                             // lParam atom: accept this id? wParam: same program
constexpr UINT kMsgDragEnd = 0x2418;         // wParam 0: the drag left; 1: dropped here
constexpr UINT kMsgDragOver = 0x2419;        // lParam: screen point (x low, y high word)
constexpr UINT kMsgDropData = 0x241A;        // wParam: source window, lParam: atom of the data
// To the source itself: the program has finished with EVENT:Drag, deliver the drop.
constexpr UINT kMsgDropAfterDrag = 0x2430;   // wParam: the target window
// To a target control just before its EVENT:Drop is posted: lParam = the screen point
// of the drop (x low, y high word), so that a list can record its mouse-up row.
constexpr UINT kMsgDropArrived = 0x2431;

// The drag cursors among the program's resources.
constexpr int kCursorDropHere = 32513;
constexpr int kCursorNoDrop = 32514;

// Loads the cursors (the program's own, else system ones); ShutdownDragDrop frees them.
void StartDragDrop();
void ShutdownDragDrop();
// The cursor shown while a drop is (or is not) possible; *from_program tells
// whether it came from the program's resources.
HCURSOR DragCursor(bool drop_possible, bool* from_program = nullptr);

// ---- Id lists of a control window ----
const DragIdList& DragIdsOf(HWND control);
const DragIdList& DropIdsOf(HWND control);
// Insert before `index` (past the end appends); remove at `index`; assign: the list
// becomes this one id, empty text empties it. "~FILE" among the drop ids registers
// the window for shell drops, and its removal unregisters it.
void InsertDragId(HWND control, std::string_view id, size_t index);
void RemoveDragId(HWND control, size_t index);
void AssignDragIds(HWND control, std::string_view id);
void InsertDropId(HWND control, std::string_view id, size_t index);
void RemoveDropId(HWND control, size_t index);
void AssignDropIds(HWND control, std::string_view id);
// The window is going away: its lists and any drag it takes part in are dropped.
void ForgetDragDropWindow(HWND control);

// ---- The target side ----
// Answers the private messages, kMsgDropAfterDrag and WM_DROPFILES; false for any
// other message (the caller goes on with it).
bool HandleDragMessage(HWND control, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* result);

// ---- The source side ----
// A left press at a screen point; arms a drag when `on_row` and the control has drag
// ids (the caller then holds the mouse capture). Answers whether it armed.
bool DragPress(HWND source, POINT screen, bool on_row);
void DragMove(HWND source, POINT screen);
// Answers true when a drag ended here (EVENT:Drag posted).
bool DragRelease(HWND source);
// Lost capture or Esc: EVENT:Drag without a target.
bool DragCancel(HWND source);
// A drag is armed or running from this control.
bool DragBusy(HWND source);
bool DragStarted(HWND source);

// ---- What the program reads and sets ----
// The id under which the current drag or drop matched ("~FILE" for shell files).
std::string DragIdText();
// The drop data: what the source supplied, or the dropped files' paths joined by ",".
std::string DropDataText();
// The source supplies drop data while it handles EVENT:Drag. Answers false when
// there is no target, or the target is another program's and the text is longer
// than an atom holds (it is refused, never cut).
bool SetDropData(std::string_view data);
// The program's own drag cursor (a cursor resource name), or empty to clear it.
void SetDragCursor(std::string_view cursor_name);

// Test view: the window the last drag was dropped on (0 = none).
HWND LastDropTarget();

}  // namespace korvex
