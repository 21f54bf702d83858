// Control factories for LIST, SHEET and TAB records: they make the list box
// and the sheet with its tabs from their records.
#pragma once

namespace korvex {

// Registers the LIST (14, list box form), SHEET (37) and TAB (38) factories.
void RegisterListAndSheetControls();

}  // namespace korvex
