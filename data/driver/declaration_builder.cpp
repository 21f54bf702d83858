#include "data/driver/declaration_builder.h"

namespace korvex::driver {

OwnedDeclaration::OwnedDeclaration(std::string_view label) { decl_.label = Keep(label); }

std::unique_ptr<OwnedDeclaration> OwnedDeclaration::CopyOf(const FileDeclaration& file) {
  auto copy = std::make_unique<OwnedDeclaration>(file.label);
  copy->set_name(file.name);
  copy->set_driver(file.driver);
  copy->set_owner(file.owner);
  copy->set_options(file.options);
  copy->set_attributes(file.attributes);
  for (const FieldDescriptor& f : file.fields) copy->AddField(f);
  for (const KeyDeclaration& k : file.keys) copy->AddKey(k);
  for (const MemoDeclaration& m : file.memos) copy->AddMemo(m);
  return copy;
}

// Texts live in a deque of strings: growing it never moves the earlier ones.
std::string_view OwnedDeclaration::Keep(std::string_view text) {
  if (text.empty()) return {};
  texts_.emplace_back(text);
  return texts_.back();
}

void OwnedDeclaration::set_label(std::string_view text) { decl_.label = Keep(text); }
void OwnedDeclaration::set_name(std::string_view text) { decl_.name = Keep(text); }
void OwnedDeclaration::set_driver(std::string_view text) { decl_.driver = Keep(text); }
void OwnedDeclaration::set_owner(std::string_view text) { decl_.owner = Keep(text); }
void OwnedDeclaration::set_options(std::string_view text) { decl_.options = Keep(text); }
void OwnedDeclaration::set_attributes(uint32_t bits) { decl_.attributes = bits; }

int OwnedDeclaration::AddField(const FieldDescriptor& field) {
  FieldDescriptor f = field;
  f.label = Keep(field.label);
  f.picture = Keep(field.picture);
  f.over = Keep(field.over);
  f.name = Keep(field.name);
  fields_.push_back(f);
  Refresh();
  return static_cast<int>(fields_.size());
}

int OwnedDeclaration::AddKey(const KeyDeclaration& key) {
  components_.emplace_back(key.components.begin(), key.components.end());
  KeyDeclaration k = key;
  k.name = Keep(key.name);
  k.label = Keep(key.label);
  k.components = components_.back();
  keys_.push_back(k);
  Refresh();
  return static_cast<int>(keys_.size());
}

int OwnedDeclaration::AddMemo(const MemoDeclaration& memo) {
  MemoDeclaration m = memo;
  m.name = Keep(memo.name);
  m.label = Keep(memo.label);
  memos_.push_back(m);
  Refresh();
  return static_cast<int>(memos_.size());
}

void OwnedDeclaration::Refresh() {
  decl_.fields = fields_;
  decl_.keys = keys_;
  decl_.memos = memos_;
}

}  // namespace korvex::driver
