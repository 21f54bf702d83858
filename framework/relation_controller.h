// The relation controller: sits beside a file controller and knows the files
// related to it. It opens and closes them together, and it keeps referential
// integrity when a record is changed or deleted (restrict, clear or cascade,
// recursively), framed in one transaction when told to use one.
//
// A relation with a key (his_key) points at a child, whose records refer to
// this file through the linking fields; one without points at a parent.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "data/driver/declarations.h"
#include "framework/outcome.h"
#include "framework/relation_controller_links.h"

namespace korvex::framework {

class FileController;
class FileTransaction;

// Update and delete modes of a relation.
inline constexpr uint8_t kLinkNone = 0;
inline constexpr uint8_t kLinkClear = 1;
inline constexpr uint8_t kLinkRestrict = 2;
inline constexpr uint8_t kLinkCascade = 3;

// SetQuickScan scopes.
inline constexpr uint8_t kScanThisFile = 0;
inline constexpr uint8_t kScanParents = 1;
inline constexpr uint8_t kScanChildren = 2;
inline constexpr uint8_t kScanAll = 3;

class RelationController {
 public:
  struct Relation {
    RelationController* file = nullptr;            // FILE
    std::unique_ptr<SavedLinkList> fields;         // FIELDS, none for a plain relation
    const driver::KeyDeclaration* his_key = nullptr;  // HISKEY
    uint8_t update_mode = kLinkNone;               // UPDATEMODE
    uint8_t delete_mode = kLinkNone;               // DELETEMODE
  };

  RelationController() = default;
  virtual ~RelationController() = default;
  RelationController(const RelationController&) = delete;
  RelationController& operator=(const RelationController&) = delete;

  void Init(FileController* me, bool use_logout);
  void AddRelation(RelationController* related, uint8_t update_mode, uint8_t delete_mode,
                   const driver::KeyDeclaration* related_key);
  // Adds a pair of linking fields (this file's, the related file's) to the
  // last relation added; false when there is none or a field does not exist.
  bool AddLink(FieldRef left, FieldRef right);
  void AddPlainRelation(RelationController* related);

  virtual Outcome CancelPrimedRecord();
  virtual Outcome CloseWithRelated(bool nested);
  // Deletes the current record with referential integrity; ask: confirm first.
  virtual Outcome Delete(bool ask);
  virtual Outcome CascadeDelete(const driver::KeyDeclaration* key, SavedLinkList& links,
                                uint8_t mode);
  virtual void Kill();
  virtual Outcome OpenWithRelated(bool nested);
  // Saves the linking fields of every relation (call when reading a record for change).
  virtual void SaveLinkValues();
  virtual void SetQuickScan(bool on, uint8_t scope);
  // Rewrites the current record with referential integrity; ditto: message 7 for
  // another station's change.
  virtual Outcome Update(bool ditto);
  virtual Outcome CascadeUpdate(const driver::KeyDeclaration* key, SavedLinkList& links,
                                uint8_t mode);

  FileController* me() const { return me_; }
  bool use_logout() const { return use_logout_; }
  uint32_t last_touched() const { return last_touched_; }
  const std::vector<Relation>& relations() const { return relations_; }

 private:
  static bool Active(uint8_t mode) { return mode >= kLinkClear && mode <= kLinkCascade; }
  // Enrols this file and the files a change may reach; 0, or 5 after message 21.
  Outcome Frame(FileTransaction& tx, bool for_delete);
  int32_t EnrolFiles(FileTransaction& tx, bool for_delete, uint32_t stamp);
  // Writes a child inside a cascade, carrying its own changed links on first.
  Outcome UpdateChild();
  // Positions the file at the first record whose key starts with the right
  // fields (components after the linking ones cleared low).
  void SeekGroup(const driver::KeyDeclaration* key, size_t pairs);

  FileController* me_ = nullptr;  // ME
  std::vector<Relation> relations_;  // RELATIONS
  bool use_logout_ = false;  // USELOGOUT
  uint32_t last_touched_ = 0;  // LASTTOUCHED
};

}  // namespace korvex::framework
