// Names of window resources: which resource a procedure's module looks for.
#pragma once

#include <string>
#include <string_view>

namespace korvex::rsc {

// The custom resource type that holds window images.
inline constexpr const char* kResourceType = "DABDUMP";
// The language the images are stored under (U.S. English).
inline constexpr unsigned kResourceLanguage = 1033;

// "korvex$KORVE002" -> "KORVE002_RSC"; a name without '$' is used whole.
std::string ResourceNameOf(std::string_view module_name);

}  // namespace korvex::rsc
