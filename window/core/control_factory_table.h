// The control factory table: one slot for each of the 26 control record types.
// Control modules register their factory into its slot at start-up; an empty
// slot, and any type without a slot, creates nothing.
#pragma once

#include <array>
#include <cstdint>

#include "window/core/resource_format.h"

namespace korvex::rsc {

template <typename Factory>
class ControlFactoryTable {
 public:
  // REQUIRES: nothing. Answers false when type has no slot.
  bool Register(uint8_t type, Factory factory) {
    const int slot = FactorySlotOf(type);
    if (slot < 0) return false;
    slots_[static_cast<size_t>(slot)] = factory;
    return true;
  }
  // The factory for type, or a value-initialised Factory (nullptr) when none.
  Factory Find(uint8_t type) const {
    const int slot = FactorySlotOf(type);
    return slot < 0 ? Factory{} : slots_[static_cast<size_t>(slot)];
  }

 private:
  std::array<Factory, kFactorySlotCount> slots_{};
};

}  // namespace korvex::rsc
