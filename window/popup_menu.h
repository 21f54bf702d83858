// The runtime's popup menus: a menu built from a definition text
// (window/core/popup_definition.h), shown at a point, answering the number of
// the chosen item.
#pragma once

#include <windows.h>

#include <string_view>

#include "window/core/popup_definition.h"

namespace korvex {

// Builds the Win32 menu of a definition; items take their numbers as command
// ids. A column that reaches rows_per_column items starts a new column
// (rows_per_column 0: as many as the screen holds). The caller destroys it.
HMENU BuildPopupMenu(const PopupDefinition& definition, int rows_per_column = 0);

// Shows the popup at (x, y) in screen coordinates (0: the mouse position's
// coordinate) and answers the chosen item's number, 0 when it was dismissed.
// The runtime lock is given up while the menu runs.
int ShowPopupMenu(std::string_view definition, int x, int y);

}  // namespace korvex
