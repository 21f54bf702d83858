// Connects the toolbar controls 2000..2012 to the browse that is current in a
// window: one ToolbarTarget per browse, ordered by the browse's list control.
// Without a current target (or without toolbar controls) every call does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/toolbar_port.h"
#include "framework/toolbar_target.h"

namespace korvex::framework {

class BrowseToolbar {
 public:
  BrowseToolbar() = default;
  virtual ~BrowseToolbar() = default;
  BrowseToolbar(const BrowseToolbar&) = delete;
  BrowseToolbar& operator=(const BrowseToolbar&) = delete;

  // Starts with no targets. REQUIRES: port outlives the toolbar or its Kill.
  void Init(ToolbarPort* port);
  // Enables the toolbar controls for the current target.
  virtual void ShowButtons();
  // Drops every target.
  virtual void Kill();
  // A toolbar control was accepted: the current target acts on it.
  virtual void HandleToolbarEvent(int32_t control, ToolbarHost& host);

  // Takes the target for the browse whose list is list_control (a target already
  // there for that list is replaced). Returns the target, owned by the toolbar.
  ToolbarTarget* AddTarget(std::unique_ptr<ToolbarTarget> target, int32_t list_control);
  // Drops the target of a list (a browse that goes away before the toolbar).
  void RemoveTarget(int32_t list_control);
  // With a list control: its target becomes current and shows its tips. With 0:
  // the last target whose list is visible becomes current.
  void SetTarget(int32_t list_control);

  ToolbarTarget* current() const { return current_; }
  size_t target_count() const { return targets_.size(); }

 private:
  struct Entry {
    int32_t id;                             // the target's list control
    std::unique_ptr<ToolbarTarget> target;
  };
  ToolbarPort* port_ = nullptr;
  std::vector<Entry> targets_;              // ascending by id
  ToolbarTarget* current_ = nullptr;
};

}  // namespace korvex::framework
