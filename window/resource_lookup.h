// Finding a window's resource image among the program's modules.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "window/core/resource_image.h"

namespace korvex {

// Modules searched after the program's own, in the order registered.
void RegisterResourceModule(HMODULE module);

struct FoundWindow {
  std::unique_ptr<rsc::ResourceImage> image;  // validated, owned by the caller
  uint32_t record = 0;                         // the window record
  HMODULE module = nullptr;                    // the module it came from
};

enum class LookupResult {
  kFound,
  kNotFound,   // no module holds the resource with this label; *detail says what was sought
  kDefective,  // an image is damaged; *detail names the resource and the defect
};

// Looks for the resource of module_name (its name after the first '$' plus
// "_RSC", type "DABDUMP", language 1033) in the program's module, then in the
// registered ones. A resource of another module name, or one without a window
// labelled label, is passed over.
LookupResult FindWindowResource(const std::string& module_name, const std::string& label, FoundWindow* found,
                                std::string* detail);

}  // namespace korvex
