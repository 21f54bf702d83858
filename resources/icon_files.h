// The program's own cursor and icon files (.cur, .ico), drawn from small
// pictures in the source.
#pragma once

#include <cstdint>
#include <vector>

namespace korvex::resources {

// 32 x 32 monochrome cursors: an arrow with a "+" (a drop is possible here)
// or with a barred circle (no drop here). Hot spot at the arrow's tip.
std::vector<uint8_t> DropCursorFile(bool drop_possible);

// A 32 x 32, 32-bit program icon.
std::vector<uint8_t> ProgramIconFile();

}  // namespace korvex::resources
