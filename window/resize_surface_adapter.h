// The window resizer's surface over a real window: its controls are child
// windows whose Win32 id is their field number, measured and moved in the
// window's dialog units. Moves of one resize are batched with deferred window
// positioning; the EVENT:Sized handler is registered with the event engine.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "framework/resize_surface.h"
#include "window/core/dialog_units.h"

namespace korvex {

class WindowEventState;
class WindowObject;

class ControlResizeSurface : public framework::ResizeSurface {
 public:
  // window: the procedure's window; units: its dialog units.
  ControlResizeSurface(HWND window, const rsc::DialogUnits& units);
  ~ControlResizeSurface() override;
  ControlResizeSurface(const ControlResizeSurface&) = delete;
  ControlResizeSurface& operator=(const ControlResizeSurface&) = delete;

  // The surface of an open window with every control it made, in window order.
  static std::unique_ptr<ControlResizeSurface> ForWindow(const WindowObject& window);

  // Adds a control in window order. parent: the field of its SHEET, TAB or
  // other parent control, 0 for the window.
  void AddControl(int32_t field, int32_t type, HWND hwnd, int32_t parent = 0, bool drops_down = false);
  // Marks a control that the resizer leaves alone, or that keeps its width.
  void SetSkipsResize(int32_t field) { skips_.insert(field); }
  void SetKeepsWidth(int32_t field) { keeps_width_.insert(field); }

  bool WindowRect(framework::ResizeRect* rect) const override;
  bool IsMaximized() const override;
  bool IsIconized() const override;
  void SetWindowState(bool maximized, bool iconized) override;
  void SetClientSize(int32_t width, int32_t height) override;
  void MakeResizable() override;
  void SetMinimumSize(int32_t width, int32_t height) override;
  void SetMaximumSize(int32_t width, int32_t height) override;
  std::vector<int32_t> Controls() const override;
  int32_t ControlType(int32_t control) const override;
  int32_t ParentControl(int32_t control) const override;
  bool SkipsResize(int32_t control) const override { return skips_.count(control) != 0; }
  bool DropsDown(int32_t control) const override;
  bool KeepsWidth(int32_t control) const override { return keeps_width_.count(control) != 0; }
  bool IsTransparent(int32_t control) const override;
  void SetTransparent(int32_t control) override;
  bool ControlRect(int32_t control, framework::ResizeRect* rect) const override;
  void MoveControl(int32_t control, const framework::ResizeRect& rect) override;
  void BeginDeferredMoves(int32_t count) override;
  void EndDeferredMoves() override;
  void SetSizedHandler(std::function<void()> handler) override;

  // The handler the event engine calls for EVENT:Sized.
  static int OnSized(void* surface);

 private:
  struct Entry {
    int32_t field;
    int32_t type;
    HWND hwnd;
    int32_t parent;
    bool drops_down;
  };
  struct PendingMove {
    HWND hwnd;
    RECT pixels;  // left, top, width, height
  };
  const Entry* Find(int32_t field) const;
  RECT ToPixels(const framework::ResizeRect& rect) const;
  void Apply(const std::vector<PendingMove>& moves);
  static LRESULT CALLBACK LimitsProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR data);
  void InstallLimits();

  HWND window_;
  rsc::DialogUnits units_;
  std::vector<Entry> entries_;
  std::set<int32_t> skips_;
  std::set<int32_t> keeps_width_;
  std::set<int32_t> transparent_;
  int defer_depth_ = 0;                  // nested batches: only the outermost moves
  std::vector<PendingMove> pending_;
  std::function<void()> sized_;
  WindowEventState* registered_with_ = nullptr;
  bool limits_installed_ = false;
  POINT minimum_{0, 0};                  // outer window size in pixels, 0: none
  POINT maximum_{0, 0};
};

}  // namespace korvex
