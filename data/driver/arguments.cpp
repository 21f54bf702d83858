#include "data/driver/arguments.h"

namespace korvex::driver {

bool Arguments::GetKey(size_t index, const KeyDeclaration** out) const {
  const KeyDeclaration* key = nullptr;
  if (!Get(index, &key) || key == nullptr) return false;
  *out = key;
  return true;
}

bool Arguments::GetNumberAnswer(size_t index, int64_t** out) const { return GetPointer(index, out); }
bool Arguments::GetTextAnswer(size_t index, std::string** out) const { return GetPointer(index, out); }
bool Arguments::GetFile(size_t index, FileControlBlock** out) const {
  return GetPointer(index, out);
}

}  // namespace korvex::driver
