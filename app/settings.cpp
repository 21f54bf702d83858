#include "app/settings.h"

namespace korvex::app {

framework::IniSettings AppIni;

}  // namespace korvex::app
