// What the window resizer needs of the window system: the current window's size
// and state, its controls with their rectangles and properties, and moving them.
// Coordinates are the window's (dialog units), signed 32-bit, all controls in the
// window's client coordinates. The Win32 side implements it; tests fake it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace korvex::framework {

struct ResizeRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const ResizeRect&, const ResizeRect&) = default;
};

class ResizeSurface {
 public:
  virtual ~ResizeSurface() = default;

  // The window's position with its client width and height; false when there is
  // no current window or it reports no size (e.g. while it is being destroyed).
  virtual bool WindowRect(ResizeRect* rect) const = 0;
  virtual bool IsMaximized() const = 0;
  virtual bool IsIconized() const = 0;
  // Puts the window into a state (neither flag: restored) and gives it a client
  // size, keeping its position.
  virtual void SetWindowState(bool maximized, bool iconized) = 0;
  virtual void SetClientSize(int32_t width, int32_t height) = 0;
  virtual void MakeResizable() = 0;
  virtual void SetMinimumSize(int32_t width, int32_t height) = 0;
  virtual void SetMaximumSize(int32_t width, int32_t height) = 0;

  // The window's controls in their order.
  virtual std::vector<int32_t> Controls() const = 0;
  virtual int32_t ControlType(int32_t control) const = 0;
  // The control's parent control (a TAB, a GROUP...), 0 when it sits on the window.
  virtual int32_t ParentControl(int32_t control) const = 0;
  // The control asks not to be moved by the resizer.
  virtual bool SkipsResize(int32_t control) const = 0;
  // A list that drops down (resized like an entry).
  virtual bool DropsDown(int32_t control) const = 0;
  // The control keeps its width when moved (only x, y and height are set).
  virtual bool KeepsWidth(int32_t control) const = 0;
  virtual bool IsTransparent(int32_t control) const = 0;
  virtual void SetTransparent(int32_t control) = 0;
  // False for a control that no longer exists.
  virtual bool ControlRect(int32_t control, ResizeRect* rect) const = 0;
  // Does nothing for a control that no longer exists.
  virtual void MoveControl(int32_t control, const ResizeRect& rect) = 0;

  // Batches the moves of one resize (room for `count` moves) so the window
  // repaints once when they end.
  virtual void BeginDeferredMoves(int32_t count) = 0;
  virtual void EndDeferredMoves() = 0;

  // Registers the handler of the window's EVENT:Sized; an empty one unregisters.
  virtual void SetSizedHandler(std::function<void()> handler) = 0;
};

}  // namespace korvex::framework
