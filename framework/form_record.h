// The record an update form inserts, changes or deletes, and the other files
// whose state a form keeps: what a window controller needs of them.
// RelationFormRecord (framework/relation_form_record.h) gives it over a
// relation controller and its file controller; tests fake it.
#pragma once

#include <cstdint>
#include <string>

#include "framework/outcome.h"

namespace korvex::framework {

class FormRecord {
 public:
  virtual ~FormRecord() = default;

  // Makes the file usable for a form (the browse mode of EnsureUsable).
  virtual Outcome MakeUsable() = 0;
  // Remembers the linking fields, so that an update can tell their change.
  virtual void SaveLinkValues() = 0;
  // Saves the record buffer and position; answers the state's id (never 0).
  virtual uint16_t SaveState() = 0;
  // Gives back a saved state (with the file position when restore_position)
  // and drops it; *state becomes 0. Nothing happens for id 0.
  virtual void RestoreState(uint16_t* state, bool restore_position) = 0;
  // Whether the record buffer still equals the one saved with state.
  virtual bool Unchanged(uint16_t state) = 0;
  // Adds the record, reporting failures.
  virtual Outcome Insert() = 0;
  // Rewrites the record with referential integrity; ditto: the message that
  // offers to recall the user's values.
  virtual Outcome Update(bool ditto) = 0;
  // Deletes the record with referential integrity, asking first when ask; a
  // failure is reported (with the offer to try again) by the file's side.
  virtual Outcome Delete(bool ask) = 0;
  // Removes a record that automatic numbering added for an abandoned insert.
  virtual Outcome CancelPrimedRecord() = 0;
  // Readies the buffer for another new record (automatic numbering included).
  virtual Outcome PrepareNewRecord() = 0;
  // The current record's position, and reading a record back by it.
  virtual std::string Position() = 0;
  virtual Outcome ReGet(const std::string& position) = 0;
};

}  // namespace korvex::framework
