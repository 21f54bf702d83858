// Drag and drop ids: interned texts, a control's ordered list of them, and the
// rule by which a dragged id matches a drop id.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// An interned id: equal texts give the same pointer for the life of the process.
using DragId = const std::string*;

// Thread-safe; the empty text is never interned (returns nullptr).
DragId InternDragId(std::string_view text);
// The reserved id of files dropped from the shell.
DragId FileDropId();
constexpr std::string_view kFileDropText = "~FILE";

// Ids that begin with "~" may travel to other programs' windows.
inline bool IsCrossProgramId(std::string_view id) { return !id.empty() && id[0] == '~'; }

class DragIdList {
 public:
  // Inserts before `index` (0-based); an index past the end appends. Trailing blanks
  // of the text (fixed-length program strings) are dropped; an empty id is ignored.
  void insert(std::string_view text, size_t index);
  void append(std::string_view text) { insert(text, ids_.size()); }
  // Removes the id at `index`; nothing happens past the end.
  void remove(size_t index);
  // Assignment from the program: the list becomes this one id, or empty for an empty
  // (or all-blank) text, so that nothing can be dragged or dropped.
  void assign(std::string_view text);
  void clear() { ids_.clear(); }

  bool empty() const { return ids_.empty(); }
  size_t size() const { return ids_.size(); }
  DragId operator[](size_t i) const { return ids_[i]; }
  const std::vector<DragId>& ids() const { return ids_; }
  bool acceptsFiles() const;

 private:
  std::vector<DragId> ids_;
};

// Index of the first drop id that matches `dragged`, or -1. Ids compare exactly
// (case included); for a drag from another program a leading "~" is ignored on
// both sides.
int MatchDropId(const DragIdList& drop_ids, std::string_view dragged, bool from_other_program);

// The source's ids to offer to a window, in order: all of them to this program's
// windows, only the "~" ones to another program's.
std::vector<DragId> IdsToOffer(const DragIdList& drag_ids, bool target_in_this_program);

}  // namespace korvex
