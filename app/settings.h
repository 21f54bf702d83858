// The program's INI settings object ("korvex.INI"), alive from start-up to shut-down.
#pragma once

#include "framework/ini_settings.h"

namespace korvex::app {

extern framework::IniSettings AppIni;

}  // namespace korvex::app
