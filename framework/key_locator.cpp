#include "framework/key_locator.h"

#include "runtime/char_tables.h"

namespace korvex::framework {

void KeyLocator::Kill() {
  free_element_ = nullptr;
  browse_ = nullptr;
}

void KeyLocator::Store(int32_t control, LocatorField* free_element, bool no_case, LocatorBrowse* browse) {
  control_ = control;
  free_element_ = free_element;
  no_case_ = no_case;
  browse_ = browse;
}

bool SteppingLocator::HandleTypedKey(uint8_t character) {
  if (character == 0 || free_element() == nullptr) return false;
  if (browse() != nullptr && browse()->HasRows()) {
    browse()->ScrollByRow(kEventScrollDown);
    browse()->LoadRowFields();
  }
  auto tables = CurrentCharTables();
  auto fold = [&](uint8_t c) { return no_case() ? tables->Upper(c) : c; };
  std::string current = free_element()->Text();
  // The next record begins with the typed character: stepping onto it is enough.
  if (!current.empty() && fold(static_cast<uint8_t>(current[0])) == fold(character)) return false;
  free_element()->Assign(std::string(1, static_cast<char>(character)));
  return true;
}

}  // namespace korvex::framework
