// Makes a window's controls follow the window when its size changes. Init records
// the window's size and every control's rectangle and type, and gives each control
// a positioning rule per axis and a sizing rule (from its type and the application
// strategy); each EVENT:Sized then computes every control's rectangle from its
// captured one and its parent's captured and new rectangles, and moves it.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/resize_surface.h"

namespace korvex::framework {

// Positional rules, per axis (horizontal in the low byte, vertical in the high).
inline constexpr uint8_t kPlaceScale = 0;     // parent's new x + offset x scale
inline constexpr uint8_t kPlaceKeep = 1;      // the captured x
inline constexpr uint8_t kPlaceFromEnd = 2;   // keep the distance from the parent's right edge
inline constexpr uint8_t kPlaceFromStart = 3; // keep the distance from the parent's left edge
inline constexpr uint8_t kPlaceCentre = 4;    // keep the offset from the parent's centre
inline constexpr uint8_t kPlaceNearest = 5;   // 3 or 2, whichever edge is nearer

// Resize rules, bit flags.
inline constexpr uint16_t kSizeFixedWidth = 1;
inline constexpr uint16_t kSizeFixedHeight = 2;
inline constexpr uint16_t kSizeKeepRightGap = 4;
inline constexpr uint16_t kSizeKeepBottomGap = 8;

// Control types that the resizer knows by number.
inline constexpr int32_t kTypeEntryControl = 8;
inline constexpr int32_t kTypeListControl = 14;
inline constexpr int32_t kTypeTabControl = 38;

class WindowResizer {
 public:
  struct ControlRecord {
    int32_t id = 0;              // the control's number
    int32_t type = 0;            // its control type
    bool has_children = false;
    uint16_t positional = 0;     // positional rules (horizontal | vertical << 8)
    uint16_t resize = 0;         // kSize* flags
    ResizeRect pos;              // captured rectangle
    int32_t parent = 0;          // parent control, 0 for the window
  };
  struct Move {
    int64_t priority = 0;
    int32_t control = 0;
    int32_t type = 0;
    ResizeRect before;           // where the control is
    ResizeRect after;            // where it goes
  };

  WindowResizer() = default;
  // Unregisters from the surface, which must still be there (see Init).
  virtual ~WindowResizer() { Kill(); }
  WindowResizer(const WindowResizer&) = delete;
  WindowResizer& operator=(const WindowResizer&) = delete;

  // Registers for EVENT:Sized, captures the layout (with the control tree for
  // strategy 2) and optionally makes the captured size the window's minimum
  // and/or maximum. REQUIRES: surface outlives the resizer or its Kill.
  void Init(ResizeSurface* surface, uint8_t app_strategy, bool minimum_is_captured, bool maximum_is_captured);
  // Unregisters the handler and forgets the layout.
  void Kill();

  virtual int32_t ParentOf(int32_t control) const;
  virtual void CaptureLayout();
  virtual void Resize() { ResizeControls(0); }
  // Moves the children of parent (0: every control of the window).
  virtual void ResizeControls(int32_t parent);
  // The window back to its captured state and size, every control to its rectangle.
  virtual void RestoreLayout();
  virtual void BuildControlTree();
  virtual ResizeRect ComputeRectangle(const ControlRecord& control, const ResizeRect& captured,
                                      const ResizeRect& parent_captured, const ResizeRect& parent_new) const;

  // Makes child a child of parent (0: of the window). Refused (false) for a control
  // that is not in the list, a parent that is not, and an assignment that would
  // make a cycle.
  bool SetParent(int32_t child, int32_t parent);

  static uint16_t DefaultPositional(int32_t type, uint8_t strategy);
  static uint16_t DefaultResize(int32_t type, uint8_t strategy);

  // The EVENT:Sized handler. The window reports one size event right after it
  // opens, when the layout has just been captured: that one moves nothing.
  void HandleSized();

  // Settings the procedure may change after Init.
  bool auto_transparent = false;   // make prompts and types 1, 2 transparent at the first resize
  bool defer_moves = false;        // batch the moves of a resize; Init sets it
  bool skip_first_sized = false;   // the next EVENT:Sized moves nothing; Init sets it

  uint8_t app_strategy() const { return app_strategy_; }
  const ResizeRect& original_window() const { return original_window_; }
  const ResizeRect& previous_window() const { return previous_window_; }
  bool resize_called() const { return resize_called_; }
  const std::vector<ControlRecord>& controls() const { return controls_; }
  const ControlRecord* Find(int32_t control) const;
  // The moves of the last resize, in the order they were made.
  const std::vector<Move>& moves() const { return moves_; }

 private:
  ControlRecord* FindRecord(int32_t control);
  void AddMoves(int32_t parent, const ResizeRect& parent_captured, const ResizeRect& parent_new, size_t depth);
  void OrderMoves(const ResizeRect& previous, const ResizeRect& now);
  void RefreshHasChildren(int32_t control);

  ResizeSurface* surface_ = nullptr;
  uint8_t app_strategy_ = 0;          // 1, 2 or 3
  ResizeRect original_window_;        // window at capture: position, client size
  bool maximized_ = false;            // window state at capture
  bool iconized_ = false;
  ResizeRect previous_window_;        // window at the last resize
  bool resize_called_ = false;        // a resize has run since the capture
  std::vector<ControlRecord> controls_;
  std::vector<Move> moves_;
};

}  // namespace korvex::framework
