#include "framework/file_controller_fields.h"

#include <algorithm>
#include <cstring>

#include "runtime/numeric_field.h"

namespace korvex::framework {

using driver::FieldDescriptor;
using driver::FileControlBlock;

bool IsTextField(const FieldDescriptor& field) {
  return field.type == kTypeString || field.type == kTypeCString || field.type == kTypePString;
}

std::span<uint8_t> FieldBytes(const FileControlBlock& file, int index) {
  const auto& layout = file.layout();
  if (!layout.valid() || index < 0 || static_cast<size_t>(index) >= layout.size()) return {};
  const driver::FieldPlacement& place = layout[static_cast<size_t>(index)];
  std::span<uint8_t> record = file.record();
  if (place.offset > record.size() || place.total_size > record.size() - place.offset) return {};
  return record.subspan(place.offset, place.total_size);
}

namespace {

const FieldDescriptor* Descriptor(const FileControlBlock& file, int index) {
  auto fields = file.declaration().fields;
  if (index < 0 || static_cast<size_t>(index) >= fields.size()) return nullptr;
  return &fields[static_cast<size_t>(index)];
}

bool Numeric(const FieldDescriptor& f) {
  return IsNumericFieldType(static_cast<TypeCode>(f.type));
}

}  // namespace

bool FieldText(const FileControlBlock& file, int index, std::string* text) {
  const FieldDescriptor* f = Descriptor(file, index);
  std::span<uint8_t> bytes = FieldBytes(file, index);
  if (f == nullptr || bytes.empty()) return false;
  if (Numeric(*f)) {
    return NumericFieldToText(static_cast<TypeCode>(f->type), bytes.data(),
                              static_cast<uint32_t>(f->size), f->places, text);
  }
  size_t begin = 0, end = bytes.size();
  if (f->type == kTypePString) {
    begin = 1;
    end = std::min<size_t>(bytes.size(), 1u + bytes[0]);
  } else if (f->type == kTypeCString) {
    end = std::find(bytes.begin(), bytes.end(), uint8_t{0}) - bytes.begin();
  }
  while (end > begin && bytes[end - 1] == ' ') --end;
  text->assign(reinterpret_cast<const char*>(bytes.data()) + begin, end - begin);
  return true;
}

bool SetFieldText(const FileControlBlock& file, int index, std::string_view text) {
  const FieldDescriptor* f = Descriptor(file, index);
  std::span<uint8_t> bytes = FieldBytes(file, index);
  if (f == nullptr || bytes.empty()) return false;
  if (Numeric(*f)) {
    return NumericFieldFromText(static_cast<TypeCode>(f->type), text, bytes.data(),
                                static_cast<uint32_t>(f->size), f->places);
  }
  if (f->type == kTypePString) {
    size_t n = std::min({text.size(), bytes.size() - 1, size_t{255}});
    std::memset(bytes.data(), 0, bytes.size());
    bytes[0] = static_cast<uint8_t>(n);
    std::memcpy(bytes.data() + 1, text.data(), n);
    return n == text.size();
  }
  if (f->type == kTypeCString) {
    size_t n = std::min(text.size(), bytes.size() - 1);
    std::memset(bytes.data(), 0, bytes.size());
    std::memcpy(bytes.data(), text.data(), n);
    return n == text.size();
  }
  size_t n = std::min(text.size(), bytes.size());
  std::memset(bytes.data(), ' ', bytes.size());
  std::memcpy(bytes.data(), text.data(), n);
  return n == text.size();
}

void ClearField(const FileControlBlock& file, int index) {
  const FieldDescriptor* f = Descriptor(file, index);
  std::span<uint8_t> bytes = FieldBytes(file, index);
  if (f == nullptr || bytes.empty()) return;
  if (f->type == kTypeDecimal || f->type == kTypePDecimal) {
    NumericFieldFromText(static_cast<TypeCode>(f->type), "0", bytes.data(),
                         static_cast<uint32_t>(f->size), f->places);
    return;
  }
  std::memset(bytes.data(), f->type == kTypeString ? ' ' : 0, bytes.size());
}

std::string HighestValueText(const FieldDescriptor& field) {
  switch (field.type) {
    case kTypeByte: return "255";
    case kTypeShort: return "32767";
    case kTypeUShort: return "65535";
    case kTypeLong: return "2147483647";
    case kTypeULong: return "4294967295";
    case kTypeDate: return "2994626";
    case kTypeTime: return "8640000";
    case kTypeSReal: return "3.4e38";
    case kTypeReal: return "1.7e308";
    case kTypeBFloat4:
    case kTypeBFloat8: return "1e38";
    case kTypeDecimal:
    case kTypePDecimal: {
      const uint32_t digits = field.digits != 0 ? field.digits : field.size * 2 - 1;
      std::string text(digits - field.places, '9');
      if (field.places > 0) {
        text.push_back('.');
        text.append(field.places, '9');
      }
      return text;
    }
    default: return "";
  }
}

void SetFieldHigh(const FileControlBlock& file, int index) {
  const FieldDescriptor* f = Descriptor(file, index);
  std::span<uint8_t> bytes = FieldBytes(file, index);
  if (f == nullptr || bytes.empty()) return;
  if (Numeric(*f)) {
    NumericFieldFromText(static_cast<TypeCode>(f->type), HighestValueText(*f), bytes.data(),
                         static_cast<uint32_t>(f->size), f->places);
    return;
  }
  std::memset(bytes.data(), 0xFF, bytes.size());
}

void ClearRecord(const FileControlBlock& file) {
  auto fields = file.declaration().fields;
  std::span<uint8_t> record = file.record();
  std::memset(record.data(), 0, record.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    if (!fields[i].over.empty() || fields[i].type == kTypeGroup) continue;
    ClearField(file, static_cast<int>(i));
  }
}

}  // namespace korvex::framework
