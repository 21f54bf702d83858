#include "framework/relation_form_record.h"

#include "framework/file_controller.h"
#include "framework/relation_controller.h"

namespace korvex::framework {

RelationFormRecord::RelationFormRecord(RelationController* relations)
    : relations_(relations), file_(relations->me()) {}

RelationFormRecord::RelationFormRecord(FileController* file) : file_(file) {}

Outcome RelationFormRecord::MakeUsable() { return file_->EnsureUsable(kUseBrowse); }

void RelationFormRecord::SaveLinkValues() {
  if (relations_ != nullptr) relations_->SaveLinkValues();
}

uint16_t RelationFormRecord::SaveState() {
  uint16_t state = file_->SaveFile();
  buffers_[state] = file_->SaveBuffer();
  return state;
}

void RelationFormRecord::RestoreState(uint16_t* state, bool restore_position) {
  if (*state == 0) return;
  auto it = buffers_.find(*state);
  if (it != buffers_.end()) {
    uint16_t buffer = it->second;
    buffers_.erase(it);
    file_->RestoreBuffer(&buffer, false);  // only dropped: the state's own copy is restored
  }
  file_->RestoreFile(state, restore_position);
}

bool RelationFormRecord::Unchanged(uint16_t state) {
  auto it = buffers_.find(state);
  return it != buffers_.end() && file_->BufferUnchanged(it->second);
}

Outcome RelationFormRecord::Insert() { return file_->Insert(); }

Outcome RelationFormRecord::Update(bool ditto) {
  if (relations_ != nullptr) return relations_->Update(ditto);
  return ditto ? file_->UpdateDitto() : file_->Update();
}

Outcome RelationFormRecord::Delete(bool ask) {
  if (relations_ != nullptr) return relations_->Delete(ask);
  if (ask && file_->Raise(kMsgConfirmDelete) != kOutcomeDone) return kOutcomeFailed;
  return file_->Call(driver::kOpDelete) == 0 ? kOutcomeDone : file_->Raise(kMsgDeleteError);
}

Outcome RelationFormRecord::CancelPrimedRecord() {
  return relations_ != nullptr ? relations_->CancelPrimedRecord() : file_->CancelPrimedRecord(nullptr);
}

Outcome RelationFormRecord::PrepareNewRecord() { return file_->PrepareNewRecord(false); }

std::string RelationFormRecord::Position() { return file_->Position(); }

Outcome RelationFormRecord::ReGet(const std::string& position) { return file_->ReGet(position); }

}  // namespace korvex::framework
