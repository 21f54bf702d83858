// Linking fields between two related files: pairs of (this file's field, the
// related file's field), with a saved value per pair so that a change of the
// linking fields can be detected and undone.
#pragma once

#include <string>
#include <vector>

#include "data/driver/file_control_block.h"

namespace korvex::framework {

// A field of a file's record buffer.
struct FieldRef {
  const driver::FileControlBlock* file = nullptr;
  int index = -1;  // 0-based into the declaration's fields
};

class LinkList {
 public:
  virtual ~LinkList() = default;

  // Adds a pair; false (nothing added) when either field does not exist.
  virtual bool Add(FieldRef left, FieldRef right);
  size_t size() const { return pairs_.size(); }
  bool AllEqual() const;  // every left equals its right
  void ClearRight();
  void ClearLeft();
  void CopyLeftToRight();
  void CopyRightToLeft();

 protected:
  struct Pair {
    FieldRef left, right;
    std::string saved;  // the saved value (SavedLinkList), as the field's text
  };
  std::vector<Pair> pairs_;
};

class SavedLinkList : public LinkList {
 public:
  bool Add(FieldRef left, FieldRef right) override;
  void SaveLeft();
  void SaveRight();
  void RestoreLeft();   // left fields from the saved values
  void RestoreRight();  // right fields from the saved values
  bool LeftEqualsSaved() const;
  bool RightEqualsSaved() const;
};

// Copies one field into another: bytes when both have the same type and size,
// else through the value's text. Compares two fields the same way.
void CopyField(FieldRef from, FieldRef to);
bool FieldsEqual(FieldRef a, FieldRef b);
std::string FieldValue(FieldRef field);
void SetFieldValue(FieldRef field, const std::string& value);

}  // namespace korvex::framework
