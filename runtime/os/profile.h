// The user's system profile: the `intl` locale entries and the trace sections.
// On Windows this is the platform profile; elsewhere entries come from the INI
// file named by the environment variable KORVEX_PROFILE, or are defaults.
#pragma once

#include <string>

namespace korvex::os {

// Value of key in section, or fallback when the section or key is missing.
std::string ProfileString(const std::string& section, const std::string& key,
                          const std::string& fallback);
int ProfileInt(const std::string& section, const std::string& key, int fallback);

}  // namespace korvex::os
