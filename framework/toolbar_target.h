// One browse's side of the browse toolbar: which of its buttons exist, how the
// toolbar controls are enabled for it, and what a press of each does.
#pragma once

#include <cstdint>

#include "framework/toolbar_port.h"

namespace korvex::framework {

// The toolbar control numbers; the same numbers serve as navigation requests.
inline constexpr int32_t kToolbarInsert = 2000;
inline constexpr int32_t kToolbarChange = 2001;
inline constexpr int32_t kToolbarDelete = 2002;
inline constexpr int32_t kToolbarSelect = 2003;
inline constexpr int32_t kToolbarBottom = 2004;    // last page
inline constexpr int32_t kToolbarTop = 2005;       // first page
inline constexpr int32_t kToolbarPageDown = 2006;  // next page
inline constexpr int32_t kToolbarPageUp = 2007;    // prior page
inline constexpr int32_t kToolbarDown = 2008;      // next record
inline constexpr int32_t kToolbarUp = 2009;        // prior record
inline constexpr int32_t kToolbarLocate = 2010;
inline constexpr int32_t kToolbarHistory = 2011;   // ditto: the window controller's
inline constexpr int32_t kToolbarHelp = 2012;
inline constexpr int32_t kToolbarFirst = kToolbarInsert;
inline constexpr int32_t kToolbarLast = kToolbarHelp;

// The help call's command for the contents.
inline constexpr uint32_t kHelpContentsCommand = 0x70;

// What a toolbar press needs of the window controller.
class ToolbarHost {
 public:
  virtual ~ToolbarHost() = default;
  // Every browse re-reads its selected record into the record buffers.
  virtual void SyncBrowseRecords() = 0;
  // Sets the response and posts EVENT:CloseWindow to the window.
  virtual void CloseWithResponse(uint8_t response) = 0;
};

// The browse's buttons (control numbers, 0 none).
struct BrowseButtons {
  int32_t insert = 0;
  int32_t change = 0;
  int32_t remove = 0;  // the delete button
  int32_t select = 0;
  int32_t help = 0;
};

class ToolbarTarget {
 public:
  ToolbarTarget() = default;
  explicit ToolbarTarget(const BrowseButtons& buttons) : buttons_(buttons) {}
  virtual ~ToolbarTarget() = default;
  ToolbarTarget(const ToolbarTarget&) = delete;
  ToolbarTarget& operator=(const ToolbarTarget&) = delete;

  // Enables the toolbar controls that this browse can serve.
  virtual void EnableButtons();
  virtual void ShowTips();
  // Accepts when the browse's list is visible, and then shows its tips.
  virtual bool TryTarget();
  // Acts on a press of toolbar control `control`; others are ignored.
  virtual void HandleToolbarEvent(int32_t control, ToolbarHost& host);

  // Called by the toolbar when the target is added.
  void Attach(ToolbarPort* port, int32_t list_control) {
    port_ = port;
    control_ = list_control;
  }
  // Takes the browse's button numbers (those that are not 0).
  void TakeButtons(const BrowseButtons& buttons);

  int32_t control() const { return control_; }
  const BrowseButtons& buttons() const { return buttons_; }

 private:
  // Changes a toolbar control's state only when it differs (no repaint storms).
  void Show(int32_t toolbar_control, bool enabled);
  // The browse's button exists and is enabled.
  bool Usable(int32_t button) const;
  void Post(EventCode event, int32_t control);

  ToolbarPort* port_ = nullptr;  // set by the toolbar (not owned)
  int32_t control_ = 0;          // the browse's list
  BrowseButtons buttons_;
};

}  // namespace korvex::framework
