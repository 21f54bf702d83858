#include "data/driver/declarations.h"

#include <cctype>

namespace korvex::driver {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view WithoutPrefix(std::string_view label) {
  size_t colon = label.find(':');
  return colon == std::string_view::npos ? label : label.substr(colon + 1);
}

}  // namespace

int KeyNumber(const FileDeclaration& file, const KeyDeclaration* key) {
  if (key == nullptr) return 0;
  for (size_t i = 0; i < file.keys.size(); ++i) {
    if (&file.keys[i] == key) return static_cast<int>(i) + 1;
  }
  // A copy of the declaration (e.g. built at run time) still names the same key.
  for (size_t i = 0; i < file.keys.size(); ++i) {
    if (EqualNoCase(file.keys[i].label, key->label)) return static_cast<int>(i) + 1;
  }
  return 0;
}

int FindField(std::span<const FieldDescriptor> fields, std::string_view label) {
  if (label.empty()) return -1;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (EqualNoCase(fields[i].label, label)) return static_cast<int>(i);
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if (EqualNoCase(WithoutPrefix(fields[i].label), WithoutPrefix(label))) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int BlobCount(const FileDeclaration& file) {
  int n = 0;
  for (const MemoDeclaration& m : file.memos) n += (m.flags & kMemoBlob) != 0;
  return n;
}

int MemoCount(const FileDeclaration& file) {
  return static_cast<int>(file.memos.size()) - BlobCount(file);
}

}  // namespace korvex::driver
