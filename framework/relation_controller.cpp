#include "framework/relation_controller.h"

#include <atomic>
#include <set>

#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "framework/file_controller.h"
#include "framework/transaction.h"

namespace korvex::framework {

using namespace driver;

namespace {

// Stamps of relation walks: a walk does not enter a controller twice, which
// ends cycles of relations.
std::atomic<uint32_t> walk_counter{0};

// The transaction of the update or delete running on this thread; cascades
// end it (once) before they report.
thread_local FileTransaction* current_transaction = nullptr;

class TransactionScope {
 public:
  explicit TransactionScope(FileTransaction* tx) : previous_(current_transaction) {
    current_transaction = tx;
  }
  ~TransactionScope() { current_transaction = previous_; }

 private:
  FileTransaction* previous_;
};

void RollbackCurrent() {
  if (current_transaction != nullptr) current_transaction->Rollback();
}

}  // namespace

void RelationController::Init(FileController* me, bool use_logout) {
  me_ = me;
  relations_.clear();
  use_logout_ = use_logout;
  last_touched_ = 0;
}

void RelationController::Kill() {
  relations_.clear();
  me_ = nullptr;
}

void RelationController::AddRelation(RelationController* related, uint8_t update_mode,
                                     uint8_t delete_mode, const KeyDeclaration* related_key) {
  Relation r;
  r.file = related;
  r.fields = std::make_unique<SavedLinkList>();
  r.his_key = related_key;
  r.update_mode = update_mode;
  r.delete_mode = delete_mode;
  relations_.push_back(std::move(r));
}

bool RelationController::AddLink(FieldRef left, FieldRef right) {
  if (relations_.empty() || !relations_.back().fields) return false;
  return relations_.back().fields->Add(left, right);
}

void RelationController::AddPlainRelation(RelationController* related) {
  Relation r;
  r.file = related;
  relations_.push_back(std::move(r));
}

Outcome RelationController::CancelPrimedRecord() { return me_->CancelPrimedRecord(this); }

// --- Opening and closing together ------------------------------------------------------

Outcome RelationController::OpenWithRelated(bool nested) {
  if (nested && last_touched_ == walk_counter.load()) return kOutcomeDone;
  if (!nested) ++walk_counter;
  last_touched_ = walk_counter.load();
  Outcome o = me_->Open();
  // Every file of the group is made usable here, so a missing related file is
  // created along with the first (and fails now rather than in mid-change).
  if (o == kOutcomeDone) o = me_->EnsureUsable(kUseData);
  for (Relation& r : relations_) {
    if (o != kOutcomeDone) break;
    o = r.file->OpenWithRelated(true);
  }
  return o;
}

Outcome RelationController::CloseWithRelated(bool nested) {
  if (nested && last_touched_ == walk_counter.load()) return kOutcomeDone;
  if (!nested) ++walk_counter;
  last_touched_ = walk_counter.load();
  Outcome o = me_->Close();
  for (Relation& r : relations_) {
    if (o != kOutcomeDone) break;
    o = r.file->CloseWithRelated(true);
  }
  return o;
}

void RelationController::SetQuickScan(bool on, uint8_t scope) {
  me_->Call(kOpSend, {Argument::Text(on ? "QUICKSCAN=on" : "QUICKSCAN=off")});
  const uint8_t which = scope & 0x7F;
  if (which == kScanThisFile) return;
  if ((scope & 0x80) == 0) {
    ++walk_counter;
    last_touched_ = walk_counter.load();
  } else {
    if (last_touched_ == walk_counter.load()) return;
    last_touched_ = walk_counter.load();
  }
  for (Relation& r : relations_) {
    const bool child = r.his_key != nullptr;
    if ((which == kScanParents && child) || (which == kScanChildren && !child)) continue;
    if (r.file->last_touched() == walk_counter.load()) continue;
    r.file->SetQuickScan(on, static_cast<uint8_t>(which | 0x80));
  }
}

void RelationController::SaveLinkValues() {
  for (Relation& r : relations_) {
    if (r.fields) r.fields->SaveLeft();
  }
}

// --- Transactions ------------------------------------------------------------------------

int32_t RelationController::EnrolFiles(FileTransaction& tx, bool for_delete, uint32_t stamp) {
  if (last_touched_ == stamp) return kNoError;
  last_touched_ = stamp;
  int32_t code = tx.Enrol(*me_);
  if (code != kNoError) return code;
  for (Relation& r : relations_) {
    if (r.his_key == nullptr) continue;
    const uint8_t mode = for_delete ? r.delete_mode : r.update_mode;
    if (mode == kLinkCascade) {
      code = r.file->EnrolFiles(tx, for_delete, stamp);
    } else if (mode == kLinkClear) {
      code = r.file->EnrolFiles(tx, false, stamp);
    }
    if (code != kNoError) return code;
  }
  return kNoError;
}

Outcome RelationController::Frame(FileTransaction& tx, bool for_delete) {
  const uint32_t stamp = ++walk_counter;
  int32_t code = EnrolFiles(tx, for_delete, stamp);
  if (code == kErrUnsupportedFunction) {
    // A driver without transactions: the change goes on unframed, now and later.
    use_logout_ = false;
    return kOutcomeDone;
  }
  if (code == kNoError) code = tx.Start();
  if (code == kNoError) return kOutcomeDone;
  me_->Raise(kMsgTransactionFailed);
  return kOutcomeFailed;
}

// --- Update ------------------------------------------------------------------------------

Outcome RelationController::Update(bool ditto) {
  Outcome o = OpenWithRelated(false);
  if (o != kOutcomeDone) {
    CloseWithRelated(false);
    return o;
  }
  FileTransaction tx;
  TransactionScope scope(&tx);
  if (use_logout_) o = Frame(tx, false);
  if (o == kOutcomeDone) {
    o = me_->UpdateQuiet();
    if (o != kOutcomeDone) {
      tx.Rollback();
      MessageId& last = me_->State().last_error;
      if (ditto && last == kMsgRecordChanged) last = kMsgRecordChangedShown;
      if (o == kOutcomeFailed) me_->ReportLastError();
      o = last == kMsgRecordChanged || last == kMsgRecordChangedShown ? kOutcomeFailed
                                                                     : kOutcomeRejected;
    }
  }
  for (size_t i = 0; o == kOutcomeDone && i < relations_.size(); ++i) {
    Relation& r = relations_[i];
    if (!Active(r.update_mode) || !r.fields || r.his_key == nullptr) continue;
    if (r.fields->LeftEqualsSaved()) continue;
    o = r.file->CascadeUpdate(r.his_key, *r.fields, r.update_mode);
    if (o != kOutcomeDone) {
      tx.Rollback();
      r.fields->RestoreLeft();
    }
  }
  if (o == kOutcomeDone && tx.Commit() != kNoError) {
    me_->Raise(kMsgPutError);
    o = kOutcomeFailed;
  }
  CloseWithRelated(false);
  return o;
}

void RelationController::SeekGroup(const KeyDeclaration* key, size_t pairs) {
  me_->ClearKeyComponents(key, static_cast<int>(pairs) + 1, 255, false);
  me_->Call(kOpSetKeyKey, {Argument::Key(key)});
}

Outcome RelationController::UpdateChild() {
  for (Relation& r : relations_) {
    if (!Active(r.update_mode) || !r.fields || r.his_key == nullptr) continue;
    if (r.fields->LeftEqualsSaved()) continue;
    Outcome o = r.file->CascadeUpdate(r.his_key, *r.fields, r.update_mode);
    if (o != kOutcomeDone) {
      r.fields->RestoreLeft();
      return kOutcomeFailed;
    }
  }
  if (me_->UpdateQuiet() != kOutcomeDone) {
    RollbackCurrent();
    me_->ReportLastError();
    return kOutcomeFailed;
  }
  return kOutcomeDone;
}

Outcome RelationController::CascadeUpdate(const KeyDeclaration* key, SavedLinkList& links,
                                          uint8_t mode) {
  if (me_->EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  uint16_t state = me_->SaveFile();
  Outcome result = kOutcomeDone;
  // Each child changed leaves the group; the group is sought again from its
  // start after every change, and a record seen twice is not changed twice.
  std::set<int64_t> done;
  bool seek = true;
  for (;;) {
    if (seek) {
      me_->ClearBuffer();
      links.RestoreRight();
      SeekGroup(key, links.size());
      seek = false;
    }
    Outcome o = me_->NextQuiet();
    if (o == kOutcomeNotUsable) {
      RollbackCurrent();
      me_->ReportLastError();
      result = kOutcomeFailed;
      break;
    }
    if (o != kOutcomeDone || !links.RightEqualsSaved()) break;
    int64_t record = 0;
    me_->Call(kOpPointerFile, {Argument::NumberAnswer(&record)});
    if (!done.insert(record).second) continue;
    SaveLinkValues();
    if (mode == kLinkRestrict) {
      me_->SetError(kMsgRestrictUpdate);
      RollbackCurrent();
      me_->ReportLastError();
      links.RestoreLeft();
      result = kOutcomeFailed;
      break;
    }
    if (mode == kLinkClear) {
      links.ClearRight();
    } else if (mode == kLinkCascade) {
      links.CopyLeftToRight();
    } else {
      break;
    }
    if (UpdateChild() != kOutcomeDone) {
      result = kOutcomeFailed;
      break;
    }
    seek = true;
  }
  me_->RestoreFile(&state, true);
  return result;
}

// --- Delete ------------------------------------------------------------------------------

Outcome RelationController::Delete(bool ask) {
  if (ask && me_->Raise(kMsgConfirmDelete) != kOutcomeDone) return kOutcomeFailed;
  for (;;) {
    const std::string position = me_->Position();
    Outcome o = OpenWithRelated(false);
    if (o != kOutcomeDone) {
      CloseWithRelated(false);
      return o;
    }
    FileTransaction tx;
    TransactionScope scope(&tx);
    if (use_logout_) o = Frame(tx, true);
    if (o == kOutcomeDone && me_->ReGet(position) != kOutcomeDone) {
      // The record to delete is no longer there: nothing else may be deleted for it.
      tx.Rollback();
      me_->SetError(kMsgDeleteError);
      me_->ReportLastError();
      o = kOutcomeFailed;
    }
    for (size_t i = 0; o == kOutcomeDone && i < relations_.size(); ++i) {
      Relation& r = relations_[i];
      if (!Active(r.delete_mode) || !r.fields || r.his_key == nullptr) continue;
      o = r.file->CascadeDelete(r.his_key, *r.fields, r.delete_mode);
    }
    if (o != kOutcomeDone) {
      tx.Rollback();
      CloseWithRelated(false);
      return o;
    }
    int32_t code = me_->Call(kOpDelete);
    if (code == kNoError) code = tx.Commit();
    if (code != kNoError) {
      me_->SetError(kMsgDeleteError);
      tx.Rollback();
      me_->ReportLastError();
      o = kOutcomeFailed;
    }
    CloseWithRelated(false);
    if (o == kOutcomeDone) return o;
    if (me_->Raise(kMsgRetryDelete) != kOutcomeDone) return o;
  }
}

Outcome RelationController::CascadeDelete(const KeyDeclaration* key, SavedLinkList& links,
                                          uint8_t mode) {
  if (me_->EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  uint16_t state = me_->SaveFile();
  Outcome result = kOutcomeDone;
  std::set<int64_t> done;
  bool seek = true;
  for (;;) {
    if (seek) {
      me_->ClearBuffer();
      links.CopyLeftToRight();
      SeekGroup(key, links.size());
      seek = false;
    }
    Outcome o = me_->NextQuiet();
    if (o == kOutcomeNotUsable) {
      RollbackCurrent();
      me_->ReportLastError();
      result = kOutcomeFailed;
      break;
    }
    if (o != kOutcomeDone || !links.AllEqual()) break;
    int64_t record = 0;
    me_->Call(kOpPointerFile, {Argument::NumberAnswer(&record)});
    if (!done.insert(record).second) continue;
    if (mode == kLinkRestrict) {
      me_->SetError(kMsgRestrictDelete);
      RollbackCurrent();
      me_->ReportLastError();
      result = kOutcomeFailed;
      break;
    }
    if (mode == kLinkClear) {
      SaveLinkValues();
      links.ClearRight();
      if (UpdateChild() != kOutcomeDone) {
        result = kOutcomeFailed;
        break;
      }
    } else if (mode == kLinkCascade) {
      for (Relation& r : relations_) {
        if (!Active(r.delete_mode) || !r.fields || r.his_key == nullptr) continue;
        result = r.file->CascadeDelete(r.his_key, *r.fields, r.delete_mode);
        if (result != kOutcomeDone) break;
      }
      if (result != kOutcomeDone) break;
      if (me_->Call(kOpDelete) != kNoError) {
        me_->SetError(kMsgDeleteError);
        RollbackCurrent();
        me_->ReportLastError();
        result = kOutcomeFailed;
        break;
      }
    } else {
      break;
    }
    seek = true;
  }
  me_->RestoreFile(&state, true);
  return result;
}

}  // namespace korvex::framework
