// A form's record over the relation controller of its file (or, for the other
// files of a form, over a file controller alone).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "framework/form_record.h"

namespace korvex::framework {

class FileController;
class RelationController;

class RelationFormRecord : public FormRecord {
 public:
  // REQUIRES: relations (or file) outlive this object. With a file controller
  // alone, updates and deletes go to the file without related files.
  explicit RelationFormRecord(RelationController* relations);
  explicit RelationFormRecord(FileController* file);

  Outcome MakeUsable() override;
  void SaveLinkValues() override;
  uint16_t SaveState() override;
  void RestoreState(uint16_t* state, bool restore_position) override;
  bool Unchanged(uint16_t state) override;
  Outcome Insert() override;
  Outcome Update(bool ditto) override;
  Outcome Delete(bool ask) override;
  Outcome CancelPrimedRecord() override;
  Outcome PrepareNewRecord() override;
  std::string Position() override;
  Outcome ReGet(const std::string& position) override;

 private:
  RelationController* relations_ = nullptr;
  FileController* file_ = nullptr;
  // The buffer saved beside each state, which Unchanged compares with (a
  // state's own id is not a buffer id).
  std::map<uint16_t, uint16_t> buffers_;
};

}  // namespace korvex::framework
