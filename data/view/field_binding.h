// The fields of a file's record buffer as names of the expression evaluator,
// so that filter, order and join texts read the current record.
#pragma once

#include <string>

#include "data/driver/file_control_block.h"
#include "runtime/eval/evaluator.h"

namespace korvex::view {

// The value of field `index` (0-based) as it stands in the record buffer:
// strings as text (CSTRING up to its NUL, PSTRING by its length byte),
// numbers exactly (DATE and TIME as their serial numbers). A field the layout
// cannot place, or bytes that hold no number, read as 0.
Value FieldValue(const driver::FileControlBlock& file, int index);

// Writes v into field `index` as an assignment would: strings blank-padded or
// cut (CSTRING and PSTRING by their rules), numbers converted to the field's
// type. False when v does not fit or the field cannot be written.
bool SetFieldValue(const driver::FileControlBlock& file, int index, const Value& v);

// Fills field `index` with the lowest (high false) or highest value a key
// can hold for it, so that a key position from it comes before (after) every
// record with the same leading components.
void SetFieldExtreme(const driver::FileControlBlock& file, int index, bool high);

// Clears the record buffer as CLEAR does: strings blank, everything else zero.
void ClearRecord(const driver::FileControlBlock& file);

// Binds every field of file under its label ("CUS:NAME") and, unless the name
// is bound already in the current scope, under the label without its prefix
// ("NAME"). GROUPs are left out. REQUIRES: file outlives every expression
// parsed with these names.
void BindFields(Evaluator* evaluator, const driver::FileControlBlock* file);

// The file and field (0-based) that a name bound by BindFields reads; false
// for any other variable.
bool BoundField(const Variable* variable, const driver::FileControlBlock** file, int* index);

}  // namespace korvex::view
