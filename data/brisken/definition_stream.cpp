#include "data/brisken/definition_stream.h"

#include <cstdlib>

#include "data/brisken/key_encoding.h"
#include "data/brisken/record_kinds.h"
#include "data/driver/error_codes.h"
#include "data/driver/record_layout.h"

namespace korvex::brisken {
namespace {

using driver::kErrInvalidDataFile;
using driver::kErrInvalidRecordDeclaration;
using driver::kErrUnsupportedDataType;
using driver::kNoError;

bool IsStringType(uint8_t type) {
  return type == kTypeString || type == kTypeCString || type == kTypePString;
}
bool IsDecimalType(uint8_t type) { return type == kTypeDecimal || type == kTypePDecimal; }

bool Fits16(uint64_t value) { return value <= 0xFFFF; }

// An optional text of a declaration: "" means none.
Definition::Text Optional(std::string_view text) {
  return Definition::Text{std::string(text), text.empty()};
}
Definition::Text Present(std::string_view text) { return Definition::Text{std::string(text), false}; }

bool Storable(const Definition::Text& t) { return t.text.find('\0') == std::string::npos; }

void PutLe16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}

void PutText(std::string* out, const Definition::Text& t) {
  if (t.missing) {
    out->append("\0\1", 2);
  } else if (t.text.empty()) {
    out->append("\0\0", 2);
  } else {
    out->append(t.text);
    out->push_back('\0');
  }
}

// Reads the stream front to back; any read past its end marks it bad.
class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}
  bool ok() const { return ok_; }
  bool at_end() const { return pos_ == s_.size(); }

  uint8_t U8() {
    if (!ok_ || pos_ >= s_.size()) return Fail();
    return static_cast<uint8_t>(s_[pos_++]);
  }
  uint16_t U16() {
    uint16_t lo = U8();
    uint16_t hi = U8();
    return static_cast<uint16_t>(lo | (hi << 8));
  }
  Definition::Text Text() {
    Definition::Text t;
    if (!ok_) return t;
    size_t zero = s_.find('\0', pos_);
    if (zero == std::string_view::npos) {
      Fail();
      return t;
    }
    if (zero > pos_) {
      t.text.assign(s_.substr(pos_, zero - pos_));
      pos_ = zero + 1;
      return t;
    }
    // A zero byte first: the next byte tells empty (0) from missing (1).
    pos_ = zero + 1;
    uint8_t which = U8();
    if (which > 1) Fail();
    t.missing = which == 1;
    return t;
  }

 private:
  uint8_t Fail() {
    ok_ = false;
    return 0;
  }
  std::string_view s_;
  size_t pos_ = 0;
  bool ok_ = true;
};

uint8_t StoredKeyFlags(uint16_t flags) {
  uint8_t stored = static_cast<uint8_t>(flags & (stored_key::kDup | stored_key::kOpt |
                                                 stored_key::kNoCase | stored_key::kPrimary |
                                                 stored_key::kFurther));
  if ((flags & driver::kKeyIndex) != 0) stored |= stored_key::kIndex;
  return stored;
}

uint16_t DeclaredKeyFlags(uint8_t stored) {
  uint16_t flags = stored & (stored_key::kDup | stored_key::kOpt | stored_key::kNoCase |
                             stored_key::kPrimary | stored_key::kFurther);
  if ((stored & stored_key::kIndex) != 0) flags |= driver::kKeyIndex;
  return flags;
}

}  // namespace

int32_t DefinitionOf(const driver::FileDeclaration& file, Definition* out) {
  *out = Definition();
  for (const driver::FieldDescriptor& f : file.fields) {
    if (!IsSupportedFieldType(f.type)) return kErrUnsupportedDataType;
  }
  driver::RecordLayout layout;
  if (!layout.Build(file.fields) || !Fits16(layout.record_size()) ||
      !Fits16(file.fields.size()) || !Fits16(file.memos.size()) ||
      file.keys.size() > static_cast<size_t>(kind::kMaxKeys)) {
    return kErrInvalidRecordDeclaration;
  }
  Definition d;
  d.record_length = static_cast<uint16_t>(layout.record_size());
  for (size_t i = 0; i < file.fields.size(); ++i) {
    const driver::FieldDescriptor& f = file.fields[i];
    const driver::FieldPlacement& p = layout[i];
    Definition::Field s;
    s.type = f.type;
    s.label = Present(f.label);
    s.offset = static_cast<uint16_t>(p.offset);  // below the record length, which fits
    if (!Fits16(p.count) || !Fits16(p.element_size) || !Fits16(f.length)) {
      return kErrInvalidRecordDeclaration;
    }
    s.elements = static_cast<uint16_t>(p.count);
    s.length = static_cast<uint16_t>(p.element_size);
    s.members = f.type == kTypeGroup ? f.members : 0;
    if (!f.over.empty()) {
      int target = driver::FindField(file.fields.first(i), f.over);
      if (target < 0) return kErrInvalidRecordDeclaration;
      s.over = static_cast<uint16_t>(target + 1);
    }
    if (IsDecimalType(f.type)) {
      s.digits = f.digits;
      s.places = f.places;
    }
    if (IsStringType(f.type)) {
      s.declared_length = static_cast<uint16_t>(f.length);
      s.picture = Optional(f.picture);
    }
    if (!Storable(s.label) || !Storable(s.picture)) return kErrInvalidRecordDeclaration;
    d.fields.push_back(std::move(s));
  }
  for (const driver::MemoDeclaration& m : file.memos) {
    Definition::Memo s;
    s.name = Optional(m.name);
    s.label = Present(m.label);
    if (!Fits16(m.max_size)) return kErrInvalidRecordDeclaration;
    s.max_length = static_cast<uint16_t>(m.max_size);
    s.flags = m.flags & (driver::kMemoBinary | driver::kMemoBlob);
    if ((m.flags & driver::kMemoBlob) != 0) d.version = kDefinitionVersionWithBlob;
    if (!Storable(s.name) || !Storable(s.label)) return kErrInvalidRecordDeclaration;
    d.memos.push_back(std::move(s));
  }
  for (const driver::KeyDeclaration& k : file.keys) {
    Definition::Key s;
    s.name = Optional(k.name);
    s.label = Present(k.label);
    s.flags = StoredKeyFlags(k.flags);
    if (!Storable(s.name) || !Storable(s.label) || k.components.empty() ||
        !Fits16(k.components.size())) {
      return kErrInvalidRecordDeclaration;
    }
    for (int32_t c : k.components) {
      int64_t field = c < 0 ? -static_cast<int64_t>(c) : c;
      if (field < 1 || field > static_cast<int64_t>(file.fields.size())) {
        return kErrInvalidRecordDeclaration;
      }
      s.components.push_back(Definition::Component{static_cast<uint16_t>(field),
                                                   c < 0 ? kComponentDescending : uint16_t{0}});
    }
    d.keys.push_back(std::move(s));
  }
  *out = std::move(d);
  return kNoError;
}

std::string EncodeDefinition(const Definition& d) {
  std::string out;
  PutLe16(&out, d.version);
  PutLe16(&out, d.record_length);
  PutLe16(&out, static_cast<uint32_t>(d.fields.size()));
  PutLe16(&out, static_cast<uint32_t>(d.memos.size()));
  PutLe16(&out, static_cast<uint32_t>(d.keys.size()));
  for (const Definition::Field& f : d.fields) {
    out.push_back(static_cast<char>(f.type));
    PutLe16(&out, f.offset);
    PutText(&out, f.label);
    PutLe16(&out, f.elements);
    PutLe16(&out, f.length);
    PutLe16(&out, f.members);
    PutLe16(&out, f.over);
    if (IsDecimalType(f.type)) {
      out.push_back(static_cast<char>(f.digits));
      out.push_back(static_cast<char>(f.places));
    }
    if (IsStringType(f.type)) {
      PutLe16(&out, f.declared_length);
      PutText(&out, f.picture);
    }
  }
  for (const Definition::Memo& m : d.memos) {
    PutText(&out, m.name);
    PutText(&out, m.label);
    PutLe16(&out, m.max_length);
    PutLe16(&out, m.flags);
  }
  for (const Definition::Key& k : d.keys) {
    PutText(&out, k.name);
    PutText(&out, k.label);
    out.push_back(static_cast<char>(k.flags));
    PutLe16(&out, static_cast<uint32_t>(k.components.size()));
    for (const Definition::Component& c : k.components) {
      PutLe16(&out, c.field);
      PutLe16(&out, c.flags);
    }
  }
  return out;
}

int32_t WriteDefinitionStream(const driver::FileDeclaration& file, std::string* out) {
  Definition d;
  int32_t code = DefinitionOf(file, &d);
  if (code != kNoError) return code;
  *out = EncodeDefinition(d);
  return kNoError;
}

int32_t ParseDefinition(std::string_view stream, Definition* out) {
  *out = Definition();
  Reader r(stream);
  Definition d;
  d.version = r.U16();
  d.record_length = r.U16();
  uint16_t fields = r.U16();
  uint16_t memos = r.U16();
  uint16_t keys = r.U16();
  if (!r.ok()) return kErrInvalidDataFile;
  // Items are read one by one, so a count larger than the stream fails early
  // instead of reserving room for it.
  for (uint32_t i = 0; i < fields && r.ok(); ++i) {
    Definition::Field f;
    f.type = r.U8();
    f.offset = r.U16();
    f.label = r.Text();
    f.elements = r.U16();
    f.length = r.U16();
    f.members = r.U16();
    f.over = r.U16();
    if (IsDecimalType(f.type)) {
      f.digits = r.U8();
      f.places = r.U8();
    }
    if (IsStringType(f.type)) {
      f.declared_length = r.U16();
      f.picture = r.Text();
    }
    if (!r.ok()) return kErrInvalidDataFile;
    if (!IsSupportedFieldType(f.type)) return kErrUnsupportedDataType;
    d.fields.push_back(std::move(f));
  }
  for (uint32_t i = 0; i < memos && r.ok(); ++i) {
    Definition::Memo m;
    m.name = r.Text();
    m.label = r.Text();
    m.max_length = r.U16();
    m.flags = r.U16();
    d.memos.push_back(std::move(m));
  }
  for (uint32_t i = 0; i < keys && r.ok(); ++i) {
    Definition::Key k;
    k.name = r.Text();
    k.label = r.Text();
    k.flags = r.U8();
    uint16_t count = r.U16();
    for (uint32_t c = 0; c < count && r.ok(); ++c) {
      Definition::Component component;
      component.field = r.U16();
      component.flags = r.U16();
      k.components.push_back(component);
    }
    d.keys.push_back(std::move(k));
  }
  if (!r.ok() || !r.at_end()) return kErrInvalidDataFile;
  // Bits and versions this driver does not know mean a definition it cannot
  // honour; reading on would misjudge the records.
  bool blob = false;
  for (const Definition::Memo& m : d.memos) {
    if ((m.flags & ~(driver::kMemoBinary | driver::kMemoBlob)) != 0) return kErrInvalidDataFile;
    blob = blob || (m.flags & driver::kMemoBlob) != 0;
  }
  if (d.version != (blob ? kDefinitionVersionWithBlob : kDefinitionVersion)) {
    return kErrInvalidDataFile;
  }
  constexpr uint8_t kKnownKeyFlags = stored_key::kDup | stored_key::kOpt | stored_key::kNoCase |
                                     stored_key::kPrimary | stored_key::kFurther |
                                     stored_key::kIndex;
  for (const Definition::Key& k : d.keys) {
    if ((k.flags & ~kKnownKeyFlags) != 0) return kErrInvalidDataFile;
    for (const Definition::Component& c : k.components) {
      if ((c.flags & ~kComponentDescending) != 0) return kErrInvalidDataFile;
    }
  }
  *out = std::move(d);
  return kNoError;
}

int32_t ReadDefinitionStream(std::string_view stream, std::string_view label,
                             std::unique_ptr<driver::OwnedDeclaration>* out) {
  out->reset();
  Definition d;
  int32_t code = ParseDefinition(stream, &d);
  if (code != kNoError) return code;
  if (d.keys.size() > static_cast<size_t>(kind::kMaxKeys)) return kErrInvalidDataFile;

  auto decl = std::make_unique<driver::OwnedDeclaration>(label);
  decl->set_driver("BRISKEN");
  for (size_t i = 0; i < d.fields.size(); ++i) {
    const Definition::Field& s = d.fields[i];
    driver::FieldDescriptor f;
    f.label = s.label.text;
    f.type = s.type;
    f.size = s.length;
    if (s.elements == 0) return kErrInvalidDataFile;
    if (s.elements > 1) f.dims = {s.elements, 0, 0, 0};
    if (s.members != 0 && s.type != kTypeGroup) return kErrInvalidDataFile;
    f.members = s.members;
    if (s.over != 0) {
      // Only an earlier field can be overlaid, and it must be found by its label.
      if (s.over > i || driver::FindField(decl->declaration().fields, d.fields[s.over - 1u].label.text) !=
                            static_cast<int>(s.over) - 1) {
        return kErrInvalidDataFile;
      }
      f.over = d.fields[s.over - 1u].label.text;
    }
    f.digits = s.digits;
    f.places = s.places;
    f.length = s.declared_length;
    f.picture = s.picture.text;
    decl->AddField(f);
  }
  for (const Definition::Memo& s : d.memos) {
    driver::MemoDeclaration m;
    m.name = s.name.text;
    m.label = s.label.text;
    m.flags = s.flags;
    m.max_size = s.max_length;
    decl->AddMemo(m);
  }
  for (const Definition::Key& s : d.keys) {
    std::vector<int32_t> components;
    for (const Definition::Component& c : s.components) {
      if (c.field == 0 || c.field > d.fields.size()) return kErrInvalidDataFile;
      components.push_back((c.flags & kComponentDescending) != 0 ? -int32_t{c.field}
                                                                 : int32_t{c.field});
    }
    if (components.empty() || components.size() > 255) return kErrInvalidDataFile;
    driver::KeyDeclaration k;
    k.name = s.name.text;
    k.label = s.label.text;
    k.flags = DeclaredKeyFlags(s.flags);
    k.components = components;
    decl->AddKey(k);
  }

  // The fields must lie exactly where the stream says they do.
  driver::RecordLayout layout;
  const driver::FileDeclaration& built = decl->declaration();
  if (!layout.Build(built.fields) || layout.record_size() != d.record_length) {
    return kErrInvalidDataFile;
  }
  for (size_t i = 0; i < d.fields.size(); ++i) {
    if (layout[i].offset != d.fields[i].offset || layout[i].element_size != d.fields[i].length) {
      return kErrInvalidDataFile;
    }
  }
  *out = std::move(decl);
  return kNoError;
}

int32_t CompareDefinition(std::string_view stored, const driver::FileDeclaration& declared) {
  Definition disk;
  int32_t code = ParseDefinition(stored, &disk);
  if (code != kNoError) return code;
  Definition mine;
  code = DefinitionOf(declared, &mine);
  if (code != kNoError) return code;

  const int32_t differ = kErrInvalidRecordDeclaration;
  if (disk.version != mine.version || disk.record_length != mine.record_length ||
      disk.fields.size() != mine.fields.size() || disk.memos.size() != mine.memos.size() ||
      disk.keys.size() != mine.keys.size()) {
    return differ;
  }
  for (size_t i = 0; i < disk.fields.size(); ++i) {
    const Definition::Field& a = disk.fields[i];
    const Definition::Field& b = mine.fields[i];
    if (a.type != b.type || a.offset != b.offset || a.elements != b.elements ||
        a.length != b.length || a.members != b.members || a.over != b.over ||
        a.digits != b.digits || a.places != b.places || a.declared_length != b.declared_length) {
      return differ;
    }
  }
  for (size_t i = 0; i < disk.memos.size(); ++i) {
    if (disk.memos[i].max_length != mine.memos[i].max_length ||
        disk.memos[i].flags != mine.memos[i].flags) {
      return differ;
    }
  }
  for (size_t i = 0; i < disk.keys.size(); ++i) {
    const Definition::Key& a = disk.keys[i];
    const Definition::Key& b = mine.keys[i];
    // PRIMARY only tells the program which key it prefers.
    if ((a.flags & ~stored_key::kPrimary) != (b.flags & ~stored_key::kPrimary) ||
        a.components.size() != b.components.size()) {
      return differ;
    }
    for (size_t c = 0; c < a.components.size(); ++c) {
      if (a.components[c].field != b.components[c].field ||
          a.components[c].flags != b.components[c].flags) {
        return differ;
      }
    }
  }
  return kNoError;
}

std::vector<Record> DefinitionRecords(uint32_t table, std::string_view stream) {
  std::vector<Record> records;
  size_t block = 0;
  do {
    size_t at = block * kDefinitionBlockLength;
    records.push_back(MakeRecord(DefinitionHeader(table, static_cast<uint16_t>(block)),
                                 stream.substr(std::min(at, stream.size()), kDefinitionBlockLength)));
    ++block;
  } while (block * kDefinitionBlockLength < stream.size());
  return records;
}

}  // namespace korvex::brisken
