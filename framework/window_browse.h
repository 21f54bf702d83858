// What a window controller asks of the browses and file-drop lists registered
// with it. A browse controller implements WindowBrowse; tests fake both.
#pragma once

#include <cstdint>

namespace korvex::framework {

class WindowBrowse {
 public:
  virtual ~WindowBrowse() = default;

  // Chooses the sort order (and loads a page when needed); force: reload even
  // when nothing seems to have changed.
  virtual void ChooseSortOrder(bool force) = 0;
  // Brings the list, its buttons and its locator up to date.
  virtual void RefreshControls() = 0;
  // Whether the page should be reloaded (the list's size, range or reset
  // fields changed).
  virtual bool NeedsRefresh() = 0;
  // The browse's share of the current event.
  virtual void HandleBrowseEvent() = 0;
  // Re-reads the selected row's record into the record buffers.
  virtual void LoadSelectedRecord() = 0;
  // Arms the list's keys and builds its popup menu.
  virtual void PrepareBrowseAlerts() = 0;
  // The window runs to select a record (request 4).
  virtual void SetSelecting(bool selecting) = 0;
  virtual void Kill() = 0;
};

class FileDropList {
 public:
  virtual ~FileDropList() = default;
  virtual void HandleEvent() = 0;
  virtual void Reset(bool force) = 0;
  virtual void Kill() = 0;
};

}  // namespace korvex::framework
