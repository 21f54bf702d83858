#include "data/driver/record_details.h"

#include <cstdio>
#include <cstring>

#include "data/driver/file_control_block.h"
#include "runtime/date_time.h"
#include "runtime/numeric_field.h"
#include "runtime/type_codes.h"

namespace korvex::driver {

namespace {

constexpr const char* kEol = "\r\n";

template <typename T>
T Load(const uint8_t* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);  // stored forms are the platform's little-endian
  return value;
}

std::string Printf(const char* format, auto... values) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

std::string HexText(const uint8_t* bytes, uint32_t size) {
  std::string hex;
  for (uint32_t i = 0; i < size; ++i) hex += Printf("%02X", bytes[i]);
  return hex + "H";
}

// A number in decimal; bytes that hold no number show as they are stored.
std::string NumberText(const FieldDescriptor& field, const uint8_t* bytes, uint32_t size) {
  std::string text;
  if (NumericFieldToText(static_cast<TypeCode>(field.type), bytes, size, field.places, &text)) {
    return text;
  }
  return text.empty() ? HexText(bytes, size) : text;  // "inf", "nan" say it best
}

std::string Quoted(const uint8_t* bytes, size_t length) {
  std::string out = "'";
  out.append(reinterpret_cast<const char*>(bytes), length);
  out += "'";
  return out;
}

std::string StringText(const FieldDescriptor& field, const uint8_t* bytes, uint32_t size) {
  if (field.type == kTypePString) {
    size_t length = size > 0 ? bytes[0] : 0;
    if (length > size - 1u) length = size > 0 ? size - 1u : 0;
    return Quoted(bytes + 1, length);
  }
  // A STRING is written as far as its first zero byte, as "%s" would.
  const void* zero = std::memchr(bytes, 0, size);
  size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes)
                                  : size;
  return Quoted(bytes, length);
}

std::string DateText(uint32_t packed) {
  int32_t serial = PackedToDateSerial(packed);
  DateParts parts;
  if (serial <= 0 || !DateComponents(serial, &parts)) {
    return Printf("Invalid date (%ld)", static_cast<long>(static_cast<int32_t>(packed)));
  }
  return Printf("%02d %s %d (%ld)", parts.day, MonthName(parts.month), parts.year,
                static_cast<long>(serial));
}

std::string TimeText(uint32_t packed) {
  int32_t serial = PackedToTimeSerial(packed);
  TimeParts parts;
  if (serial <= 0 || !TimeComponents(serial, &parts)) {
    return Printf("Invalid time (%ld)", static_cast<long>(static_cast<int32_t>(packed)));
  }
  return Printf("%02d:%02d:%02d.%02d (%ld)", parts.hour, parts.minute, parts.second,
                parts.hundredths, static_cast<long>(serial));
}

void AppendLine(std::string* out, std::string_view label, const std::string& value) {
  out->append(Printf("%-18s:", std::string(label).c_str()));
  out->append(value);
  out->append(kEol);
}

// Writes field `index` (each element of it) when it lies within the record buffer.
void AppendField(std::string* out, const FileControlBlock& file, size_t index) {
  const FieldDescriptor& f = file.declaration().fields[index];
  const FieldPlacement& p = file.layout()[index];
  std::span<const uint8_t> record = file.record();
  if (static_cast<uint64_t>(p.offset) + p.total_size > record.size()) return;
  for (uint32_t e = 0; e < p.count; ++e) {
    const uint8_t* bytes = record.data() + p.offset + static_cast<size_t>(e) * p.element_size;
    std::string label(f.label);
    if (p.count > 1) label += Printf("[%lu]", static_cast<unsigned long>(e) + 1);
    AppendLine(out, label, FieldValueText(f, bytes, p.element_size));
  }
}

}  // namespace

std::string FieldValueText(const FieldDescriptor& field, const uint8_t* bytes, uint32_t size) {
  switch (field.type) {
    case kTypeByte:
      return size >= 1 ? Printf("%02XH", bytes[0]) : "";
    case kTypeShort:
    case kTypeUShort:
    case kTypeLong:
    case kTypeULong:
    case kTypeSReal:
    case kTypeReal:
    case kTypeDecimal:
    case kTypePDecimal:
    case kTypeBFloat4:
    case kTypeBFloat8:
      return NumberText(field, bytes, size);
    case kTypeDate:
      return size >= 4 ? DateText(Load<uint32_t>(bytes)) : "";
    case kTypeTime:
      return size >= 4 ? TimeText(Load<uint32_t>(bytes)) : "";
    case kTypeString:
    case kTypeCString:
    case kTypePString:
      return StringText(field, bytes, size);
    default:
      return HexText(bytes, size);  // a type the trace has no form for
  }
}

std::string RecordDetails(const FileControlBlock& file) {
  std::string out;
  const FileDeclaration& decl = file.declaration();
  if (file.layout().valid()) {
    for (size_t i = 0; i < decl.fields.size(); ++i) {
      if (decl.fields[i].type == kTypeGroup) continue;  // its members follow
      AppendField(&out, file, i);
    }
  }
  for (size_t m = 0; m < decl.memos.size() && m < file.memos.size(); ++m) {
    const MemoDeclaration& memo = decl.memos[m];
    if ((memo.flags & kMemoBlob) != 0) continue;
    out += MemoDump(memo.label, file.memos[m], (memo.flags & kMemoBinary) != 0);
  }
  return out;
}

std::string KeyDetails(const FileControlBlock& file, const KeyDeclaration& key) {
  std::string out;
  if (!file.layout().valid()) return out;
  size_t count = file.declaration().fields.size();
  for (int32_t component : key.components) {
    int64_t number = component < 0 ? -static_cast<int64_t>(component) : component;
    if (number < 1 || number > static_cast<int64_t>(count)) continue;
    AppendField(&out, file, static_cast<size_t>(number - 1));
  }
  return out;
}

std::string MemoDump(std::string_view label, std::span<const uint8_t> bytes, bool binary) {
  std::string out;
  AppendLine(&out, label, "");
  uint8_t filler = binary ? 0 : ' ';
  size_t length = bytes.size();
  while (length > 0 && bytes[length - 1] == filler) --length;
  for (size_t line = 0; line < length; line += 16) {
    size_t n = length - line < 16 ? length - line : 16;
    for (size_t i = 0; i < 16; ++i) {
      out += i < n ? Printf("%02X ", bytes[line + i]) : std::string("   ");
    }
    out += " | ";
    for (size_t i = 0; i < n; ++i) {
      uint8_t c = bytes[line + i];
      out.push_back(c >= 32 && c <= 126 ? static_cast<char>(c) : '.');
    }
    out += kEol;
  }
  return out;
}

}  // namespace korvex::driver
