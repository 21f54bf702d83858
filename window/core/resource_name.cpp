#include "window/core/resource_name.h"

namespace korvex::rsc {

std::string ResourceNameOf(std::string_view module_name) {
  const size_t dollar = module_name.find('$');
  if (dollar != std::string_view::npos) module_name.remove_prefix(dollar + 1);
  std::string name(module_name);
  name += "_RSC";
  return name;
}

}  // namespace korvex::rsc
