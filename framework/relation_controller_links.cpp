#include "framework/relation_controller_links.h"

#include <algorithm>
#include <cstring>

#include "framework/file_controller_fields.h"

namespace korvex::framework {

namespace {

const driver::FieldDescriptor& Decl(FieldRef f) {
  return f.file->declaration().fields[static_cast<size_t>(f.index)];
}

bool SameKind(FieldRef a, FieldRef b) {
  return Decl(a).type == Decl(b).type && Decl(a).size == Decl(b).size &&
         Decl(a).places == Decl(b).places;
}

bool Valid(FieldRef f) { return f.file != nullptr && !FieldBytes(*f.file, f.index).empty(); }

}  // namespace

std::string FieldValue(FieldRef field) {
  std::string text;
  FieldText(*field.file, field.index, &text);
  return text;
}

void SetFieldValue(FieldRef field, const std::string& value) {
  SetFieldText(*field.file, field.index, value);
}

void CopyField(FieldRef from, FieldRef to) {
  if (SameKind(from, to)) {
    std::span<uint8_t> a = FieldBytes(*from.file, from.index);
    std::span<uint8_t> b = FieldBytes(*to.file, to.index);
    std::memmove(b.data(), a.data(), std::min(a.size(), b.size()));
    return;
  }
  SetFieldValue(to, FieldValue(from));
}

bool FieldsEqual(FieldRef a, FieldRef b) {
  if (SameKind(a, b)) {
    std::span<uint8_t> x = FieldBytes(*a.file, a.index);
    std::span<uint8_t> y = FieldBytes(*b.file, b.index);
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
  }
  return FieldValue(a) == FieldValue(b);
}

bool LinkList::Add(FieldRef left, FieldRef right) {
  if (!Valid(left) || !Valid(right)) return false;
  pairs_.push_back({left, right, std::string()});
  return true;
}

bool LinkList::AllEqual() const {
  return std::all_of(pairs_.begin(), pairs_.end(),
                     [](const Pair& p) { return FieldsEqual(p.left, p.right); });
}

void LinkList::ClearRight() {
  for (const Pair& p : pairs_) ClearField(*p.right.file, p.right.index);
}
void LinkList::ClearLeft() {
  for (const Pair& p : pairs_) ClearField(*p.left.file, p.left.index);
}
void LinkList::CopyLeftToRight() {
  for (const Pair& p : pairs_) CopyField(p.left, p.right);
}
void LinkList::CopyRightToLeft() {
  for (const Pair& p : pairs_) CopyField(p.right, p.left);
}

bool SavedLinkList::Add(FieldRef left, FieldRef right) {
  if (!LinkList::Add(left, right)) return false;
  pairs_.back().saved = FieldValue(right);
  return true;
}

void SavedLinkList::SaveLeft() {
  for (Pair& p : pairs_) p.saved = FieldValue(p.left);
}
void SavedLinkList::SaveRight() {
  for (Pair& p : pairs_) p.saved = FieldValue(p.right);
}
void SavedLinkList::RestoreLeft() {
  for (const Pair& p : pairs_) SetFieldValue(p.left, p.saved);
}
void SavedLinkList::RestoreRight() {
  for (const Pair& p : pairs_) SetFieldValue(p.right, p.saved);
}
bool SavedLinkList::LeftEqualsSaved() const {
  return std::all_of(pairs_.begin(), pairs_.end(),
                     [](const Pair& p) { return FieldValue(p.left) == p.saved; });
}
bool SavedLinkList::RightEqualsSaved() const {
  return std::all_of(pairs_.begin(), pairs_.end(),
                     [](const Pair& p) { return FieldValue(p.right) == p.saved; });
}

}  // namespace korvex::framework
