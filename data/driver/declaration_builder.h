// A file declaration built at run time (from a table's stored definition or a
// declaration text) that owns its texts and lists.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declarations.h"

namespace korvex::driver {

class OwnedDeclaration {
 public:
  explicit OwnedDeclaration(std::string_view label);
  // Its texts are referred to from inside: neither copied nor moved (hold it by unique_ptr).
  OwnedDeclaration(const OwnedDeclaration&) = delete;
  OwnedDeclaration& operator=(const OwnedDeclaration&) = delete;

  // A deep copy of any declaration, e.g. a constant table's.
  static std::unique_ptr<OwnedDeclaration> CopyOf(const FileDeclaration& file);

  void set_label(std::string_view text);
  void set_name(std::string_view text);
  void set_driver(std::string_view text);
  void set_owner(std::string_view text);
  void set_options(std::string_view text);
  void set_attributes(uint32_t bits);

  // Appends a field (its texts copied); returns its field number, counted from 1.
  int AddField(const FieldDescriptor& field);
  // Appends a key (texts and components copied); returns its key number from 1.
  int AddKey(const KeyDeclaration& key);
  // Appends a memo or blob; returns its position from 1.
  int AddMemo(const MemoDeclaration& memo);

  // The declaration as drivers read it, valid while this object lives. An addition
  // may move the lists: copies of it taken before an addition must not be used.
  const FileDeclaration& declaration() const { return decl_; }

 private:
  std::string_view Keep(std::string_view text);
  void Refresh();

  std::deque<std::string> texts_;               // every text the declaration points at
  std::deque<std::vector<int32_t>> components_;  // one list per key
  std::vector<FieldDescriptor> fields_;
  std::vector<KeyDeclaration> keys_;
  std::vector<MemoDeclaration> memos_;
  FileDeclaration decl_;
};

}  // namespace korvex::driver
