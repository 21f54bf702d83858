#include "data/brisken/key_encoding.h"

#include <algorithm>

#include "data/brisken/record_kinds.h"
#include "data/driver/driver_record.h"
#include "data/driver/error_codes.h"

namespace korvex::brisken {
namespace {

bool IsTextType(uint8_t type) {
  return type == kTypeString || type == kTypeCString || type == kTypePString ||
         type == kTypeGroup;
}

bool IsNegative(uint8_t type, std::string_view bytes) {
  if (bytes.empty()) return false;
  switch (type) {
    case kTypeSReal:
    case kTypeReal:
      return (static_cast<uint8_t>(bytes.back()) & 0x80) != 0;  // little-endian sign
    case kTypeDecimal:
      return (static_cast<uint8_t>(bytes.front()) & 0xF0) != 0;
    default:
      return false;
  }
}

void Complement(char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<char>(~static_cast<uint8_t>(p[i]));
}

}  // namespace

bool IsSupportedFieldType(uint8_t type) { return driver::ListHolds(driver::kBriskenTypes, type); }

void EncodeElement(uint8_t type, bool descending, bool no_case, bool oem, std::string_view bytes,
                   const CharTables& tables, std::string* out) {
  const size_t start = out->size();
  const size_t n = bytes.size();
  bool negative = IsNegative(type, bytes);
  switch (type) {
    case kTypeCString: {
      size_t used = std::min(n, bytes.find('\0'));
      out->append(bytes.substr(0, used));
      out->append(n - used, '\0');
      break;
    }
    case kTypePString: {
      // A count beyond the field is held to the field.
      size_t used = n == 0 ? 0 : std::min<size_t>(static_cast<uint8_t>(bytes[0]), n - 1);
      if (used > 0) out->append(bytes.substr(1, used));
      out->append(n - used, '\0');
      break;
    }
    case kTypeUShort:
    case kTypeULong:
    case kTypeDate:
    case kTypeTime:
    case kTypeShort:
    case kTypeLong:
    case kTypeSReal:
    case kTypeReal:
      out->append(bytes.rbegin(), bytes.rend());
      break;
    default:
      out->append(bytes);
      break;
  }
  char* p = out->data() + start;
  switch (type) {
    case kTypeShort:
    case kTypeLong:
      if (n > 0) p[0] = static_cast<char>(p[0] ^ 0x80);
      break;
    case kTypeSReal:
    case kTypeReal:
      if (n > 0 && !negative) p[0] = static_cast<char>(p[0] | 0x80);
      break;
    case kTypeDecimal:
      if (n > 0) p[0] = static_cast<char>((p[0] & 0x0F) ^ 0x80);
      break;
    default:
      break;
  }
  if (IsTextType(type)) {
    const ByteTable& collation = oem ? tables.oem_collation : tables.collation;
    for (size_t i = 0; i < n; ++i) {
      uint8_t c = static_cast<uint8_t>(p[i]);
      if (no_case) c = tables.Upper(c);
      if (oem) c = tables.ansi_to_oem[c];
      p[i] = static_cast<char>(collation[c]);
    }
  }
  // The complement of a negative real or decimal reverses its magnitude order; a
  // descending component reverses the whole order; both together cancel.
  if (descending != negative) Complement(p, n);
}

int32_t KeyEncoder::Init(const driver::FileDeclaration& file, const driver::RecordLayout& layout,
                         const driver::KeyDeclaration& key) {
  components_.clear();
  length_ = 0;
  duplicates_ = (key.flags & driver::kKeyDup) != 0;
  optional_ = (key.flags & driver::kKeyOpt) != 0;
  no_case_ = (key.flags & driver::kKeyNoCase) != 0;
  oem_ = (file.attributes & driver::kFileOem) != 0;
  if (!layout.valid() || layout.size() != file.fields.size() || key.components.empty()) {
    return driver::kErrInvalidRecordDeclaration;
  }
  uint64_t total = 0;
  for (int32_t number : key.components) {
    int64_t field = number < 0 ? -static_cast<int64_t>(number) : number;
    if (field < 1 || field > static_cast<int64_t>(file.fields.size())) {
      components_.clear();
      return driver::kErrInvalidRecordDeclaration;
    }
    const driver::FieldDescriptor& f = file.fields[static_cast<size_t>(field - 1)];
    const driver::FieldPlacement& place = layout[static_cast<size_t>(field - 1)];
    if (!IsSupportedFieldType(f.type)) {
      components_.clear();
      return driver::kErrUnsupportedDataType;
    }
    Component c;
    c.offset = place.offset;
    c.element_size = place.element_size;
    c.count = place.count;
    c.type = f.type;
    c.descending = number < 0;
    total += place.total_size;
    components_.push_back(c);
  }
  // T, key number, value and R must stay a record that fits a page.
  if (total + 5 + 4 > kMaxRecordLength) {
    components_.clear();
    return driver::kErrInvalidKeyLength;
  }
  length_ = static_cast<size_t>(total);
  return driver::kNoError;
}

void KeyEncoder::Encode(std::string_view record, const CharTables& tables, std::string* out) const {
  out->reserve(out->size() + length_);
  for (const Component& c : components_) {
    for (uint32_t e = 0; e < c.count; ++e) {
      std::string_view bytes =
          record.substr(c.offset + size_t{e} * c.element_size, c.element_size);
      EncodeElement(c.type, c.descending, no_case_, oem_, bytes, tables, out);
    }
  }
}

std::string KeyEncoder::Encode(std::string_view record, const CharTables& tables) const {
  std::string out;
  Encode(record, tables, &out);
  return out;
}

bool KeyEncoder::IsEmpty(std::string_view record) const {
  for (const Component& c : components_) {
    for (uint32_t e = 0; e < c.count; ++e) {
      std::string_view bytes =
          record.substr(c.offset + size_t{e} * c.element_size, c.element_size);
      switch (c.type) {
        case kTypeString:
        case kTypeGroup:
          if (bytes.find_first_not_of(' ') != std::string_view::npos) return false;
          break;
        case kTypeCString:
        case kTypePString:
          if (!bytes.empty() && bytes[0] != '\0') return false;
          break;
        default:
          if (bytes.find_first_not_of('\0') != std::string_view::npos) return false;
          break;
      }
    }
  }
  return true;
}

bool KeyEncoder::BuildEntry(std::string_view record, const CharTables& tables, uint32_t table,
                            uint8_t key_number, uint32_t record_number, Record* out) const {
  if (optional_ && IsEmpty(record)) return false;
  *out = KeyEntry(table, key_number, Encode(record, tables), record_number, duplicates_);
  return true;
}

}  // namespace korvex::brisken
