// Registers the factories of every control kind the window system has.
#pragma once

namespace korvex {

// The simple controls, the list box, the sheet and its tabs. Call once at
// start-up, before the first window opens; later calls change nothing.
void RegisterWindowControls();

}  // namespace korvex
