#include "window/resource_lookup.h"

#include <vector>

#include "window/core/resource_name.h"

namespace korvex {

namespace {

std::vector<HMODULE>& ExtraModules() {
  static std::vector<HMODULE> modules;
  return modules;
}

}  // namespace

void RegisterResourceModule(HMODULE module) {
  for (HMODULE known : ExtraModules()) {
    if (known == module) return;
  }
  ExtraModules().push_back(module);
}

LookupResult FindWindowResource(const std::string& module_name, const std::string& label, FoundWindow* found,
                                std::string* detail) {
  const std::string resource_name = rsc::ResourceNameOf(module_name);
  std::vector<HMODULE> modules = {GetModuleHandleA(nullptr)};
  for (HMODULE module : ExtraModules()) {
    if (module != modules[0]) modules.push_back(module);
  }
  for (HMODULE module : modules) {
    HRSRC info = FindResourceExA(module, rsc::kResourceType, resource_name.c_str(),
                                 static_cast<WORD>(rsc::kResourceLanguage));
    if (info == nullptr) continue;
    HGLOBAL loaded = LoadResource(module, info);
    const DWORD size = SizeofResource(module, info);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) continue;
    auto image = std::make_unique<rsc::ResourceImage>();
    const rsc::LoadStatus status = image->Load(static_cast<const uint8_t*>(bytes), size, module_name);
    if (status == rsc::LoadStatus::kOtherModule) continue;
    if (status == rsc::LoadStatus::kDefective) {
      *detail = resource_name + ": " + image->defect();
      return LookupResult::kDefective;
    }
    const uint32_t record = image->FindWindowRecord(label);
    if (record == 0) continue;  // the buffer goes; the search goes on
    found->image = std::move(image);
    found->record = record;
    found->module = module;
    return LookupResult::kFound;
  }
  *detail = "no window " + label + " in " + resource_name;
  return LookupResult::kNotFound;
}

}  // namespace korvex
