// The running program itself.
#pragma once

#include <string>

namespace korvex::os {

// Full path of the running executable.
std::string ProgramPath();

}  // namespace korvex::os
