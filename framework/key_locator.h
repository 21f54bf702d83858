// Locators turn typed input into a key value of a browse's sort order; the browse
// then positions its view at the first record at or after that value.
//
// The locator reaches the browse and the key field only through the two narrow
// interfaces below, which the browse implements.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "window/core/event_codes.h"

namespace korvex::framework {

// The key field a locator sets: the sort order's first free key component.
class LocatorField {
 public:
  virtual ~LocatorField() = default;
  virtual std::string Text() const = 0;            // the field's value as text
  virtual void Assign(std::string_view text) = 0;  // converted to the field's type
};

// What a locator needs of its browse.
class LocatorBrowse {
 public:
  virtual ~LocatorBrowse() = default;
  virtual bool HasRows() const = 0;           // the page holds at least one row
  virtual void ScrollByRow(EventCode event) = 0;  // EVENT:ScrollUp / EVENT:ScrollDown
  virtual void LoadRowFields() = 0;           // the selected row back into the file fields
};

// The family's operations; each kind replaces what it does.
class KeyLocator {
 public:
  KeyLocator() = default;
  virtual ~KeyLocator() = default;
  KeyLocator(const KeyLocator&) = delete;
  KeyLocator& operator=(const KeyLocator&) = delete;

  // Drops the references to the field and the browse.
  virtual void Kill();
  virtual void Enable() {}
  virtual void Clear() {}
  virtual void AlertKeys() {}
  // The locator's entry control was accepted; true when the browse must reposition.
  virtual bool HandleAccepted() { return false; }
  // One typed character (0: none); true when the browse must reposition.
  virtual bool HandleTypedKey(uint8_t character) = 0;
  virtual void UpdateDisplay() { Clear(); }

  int32_t control() const { return control_; }
  LocatorField* free_element() const { return free_element_; }
  bool no_case() const { return no_case_; }

 protected:
  void Store(int32_t control, LocatorField* free_element, bool no_case, LocatorBrowse* browse);
  LocatorBrowse* browse() const { return browse_; }

 private:
  int32_t control_ = 0;                   // entry control, 0 none
  LocatorField* free_element_ = nullptr;  // the key field it sets (not owned)
  bool no_case_ = false;                  // compare characters upper-cased
  LocatorBrowse* browse_ = nullptr;       // the browse it positions (not owned)
};

// The stepping locator: a typed character steps to the next record that begins
// with it, or, when the next record does not, asks the browse to position at the
// first record at or after the character.
class SteppingLocator : public KeyLocator {
 public:
  // REQUIRES: free_element and browse outlive the locator or its Kill.
  void Init(int32_t control, LocatorField* free_element, bool no_case, LocatorBrowse* browse) {
    Store(control, free_element, no_case, browse);
  }
  bool HandleTypedKey(uint8_t character) override;
};

}  // namespace korvex::framework
