#include "tools/brisken/field_text.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "runtime/date_time.h"
#include "runtime/decimal.h"
#include "runtime/numeric_field.h"
#include "runtime/type_codes.h"

namespace korvex::tool {

using driver::FieldDescriptor;
using driver::FileDeclaration;
using driver::MemoDeclaration;
using driver::RecordLayout;

namespace {

constexpr size_t kShownValue = 40;  // longest value quoted in a reason

bool IsStringType(uint8_t type) {
  return type == kTypeString || type == kTypeCString || type == kTypePString;
}

// The index after field i and everything nested in it.
size_t SubtreeEnd(std::span<const FieldDescriptor> fields, size_t i) {
  size_t j = i + 1;
  if (fields[i].type == kTypeGroup) {
    for (uint16_t m = 0; m < fields[i].members && j < fields.size(); ++m) j = SubtreeEnd(fields, j);
  }
  return j;
}

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return u;
}

std::string_view WithoutPrefix(std::string_view label) {
  size_t colon = label.find(':');
  return colon == std::string_view::npos ? label : label.substr(colon + 1);
}

std::string Shown(std::string_view text) {
  std::string s = "'";
  if (text.size() > kShownValue) {
    s.append(text.substr(0, kShownValue));
    s.append("...");
  } else {
    s.append(text);
  }
  s.push_back('\'');
  return s;
}

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void WriteLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void AppendHex(std::string* out, const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < n; ++i) {
    out->push_back(kDigits[bytes[i] >> 4]);
    out->push_back(kDigits[bytes[i] & 15]);
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseHex(std::string_view text, std::string* bytes, std::string* reason) {
  if (text.size() % 2 != 0) {
    *reason = "hexadecimal text of odd length";
    return false;
  }
  bytes->clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) {
      *reason = Shown(text) + " is not hexadecimal";
      return false;
    }
    bytes->push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

// Reads exactly `digits` decimal digits (at least 1 when digits is 0: any count).
bool ReadNumber(std::string_view text, size_t* at, size_t min_digits, size_t max_digits,
                int* value) {
  size_t start = *at;
  int v = 0;
  while (*at < text.size() && *at - start < max_digits && text[*at] >= '0' && text[*at] <= '9') {
    v = v * 10 + (text[*at] - '0');
    ++*at;
  }
  if (*at - start < min_digits) return false;
  *value = v;
  return true;
}

bool DateFromText(std::string_view text, uint32_t* packed) {
  size_t at = 0;
  int year = 0, month = 0, day = 0;
  if (!ReadNumber(text, &at, 4, 4, &year) || at >= text.size() || text[at++] != '-' ||
      !ReadNumber(text, &at, 1, 2, &month) || at >= text.size() || text[at++] != '-' ||
      !ReadNumber(text, &at, 1, 2, &day) || at != text.size()) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  int32_t serial = Date(month, day, year);
  if (serial < kFirstDateSerial || serial > kLastDateSerial) return false;
  *packed = DateSerialToPacked(serial);
  return *packed != 0;
}

bool TimeFromText(std::string_view text, uint32_t* packed) {
  size_t at = 0;
  int hour = 0, minute = 0, second = 0, hundredths = 0;
  if (!ReadNumber(text, &at, 1, 2, &hour) || at >= text.size() || text[at++] != ':' ||
      !ReadNumber(text, &at, 2, 2, &minute)) {
    return false;
  }
  if (at < text.size()) {
    if (text[at++] != ':' || !ReadNumber(text, &at, 2, 2, &second)) return false;
    if (at < text.size()) {
      size_t before = at + 1;
      if (text[at++] != '.' || !ReadNumber(text, &at, 1, 2, &hundredths)) return false;
      if (at - before == 1) hundredths *= 10;  // one digit: tenths
    }
  }
  if (at != text.size() || hour > 23 || minute > 59 || second > 59) return false;
  int32_t serial = ((hour * 60 + minute) * 60 + second) * 100 + hundredths + 1;
  return TimeSerialToPacked(serial, packed);
}

// Digits after the point that are not trailing zeros; -1 for a text with an
// exponent (its places are not read off the text).
int SignificantPlaces(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos) return -1;
  size_t point = text.find('.');
  if (point == std::string_view::npos) return 0;
  size_t end = text.size();
  while (end > point + 1 && (text[end - 1] == ' ' || text[end - 1] == '0')) --end;
  return static_cast<int>(end - point - 1);
}

// DATE and TIME, integers too as stored numbers, have texts of their own here.
bool PlainIntegerInRange(uint8_t type, int64_t v) {
  switch (type) {
    case kTypeByte: return v >= 0 && v <= 255;
    case kTypeShort: return v >= -32768 && v <= 32767;
    case kTypeUShort: return v >= 0 && v <= 65535;
    case kTypeLong: return v >= INT32_MIN && v <= INT32_MAX;
    case kTypeULong: return v >= 0 && v <= int64_t{UINT32_MAX};
    default: return false;
  }
}

// The common case of an integer field, an optional minus and up to 18 digits
// in range, without the general number parser. False when the text is not of
// that plain form or out of range: the general path then decides (and words
// the reason).
bool PlainIntegerFromText(uint8_t type, uint32_t size, std::string_view text, uint8_t* bytes) {
  if (IntegerTypeSize(type) != size || text.empty()) return false;
  size_t at = text[0] == '-' ? 1 : 0;
  if (at == text.size() || text.size() - at > 18) return false;
  int64_t v = 0;
  for (size_t i = at; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
  }
  if (at == 1) v = -v;
  if (!PlainIntegerInRange(type, v)) return false;
  uint64_t u = static_cast<uint64_t>(v);
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(u >> (8 * i));
  return true;
}

bool PlainIntegerToText(uint8_t type, uint32_t size, const uint8_t* bytes, std::string* text) {
  if (IntegerTypeSize(type) != size) return false;
  int64_t v = 0;
  switch (type) {
    case kTypeByte: v = bytes[0]; break;
    case kTypeShort: v = static_cast<int16_t>(bytes[0] | bytes[1] << 8); break;
    case kTypeUShort: v = static_cast<uint16_t>(bytes[0] | bytes[1] << 8); break;
    case kTypeLong: v = static_cast<int32_t>(ReadLe32(bytes)); break;
    case kTypeULong: v = ReadLe32(bytes); break;
    default: return false;
  }
  char digits[24];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, v);
  text->assign(digits, static_cast<size_t>(end - digits));
  return ec == std::errc();
}

bool FieldFromText(const FieldDescriptor& f, uint32_t size, std::string_view text, uint8_t* bytes,
                   std::string* reason) {
  if (PlainIntegerFromText(f.type, size, text, bytes)) return true;
  // Only a refused value needs the type's name.
  auto type_text = [&] { return TypeText(f, size); };
  switch (f.type) {
    case kTypeString:
      if (text.size() > size) {
        *reason = Shown(text) + " has " + std::to_string(text.size()) + " characters; " + type_text() +
                  " holds " + std::to_string(size);
        return false;
      }
      std::memset(bytes, ' ', size);
      std::memcpy(bytes, text.data(), text.size());
      return true;
    case kTypeCString:
    case kTypePString: {
      // One byte goes to the terminator or the count.
      size_t room = size > 0 ? size - 1 : 0;
      if (f.type == kTypePString && room > 255) room = 255;
      if (text.find('\0') != std::string_view::npos) {
        *reason = "a zero byte cannot stand in " + type_text();
        return false;
      }
      if (text.size() > room) {
        *reason = Shown(text) + " has " + std::to_string(text.size()) + " characters; " + type_text() +
                  " holds " + std::to_string(room);
        return false;
      }
      std::memset(bytes, 0, size);
      if (f.type == kTypeCString) {
        std::memcpy(bytes, text.data(), text.size());
      } else {
        bytes[0] = static_cast<uint8_t>(text.size());
        std::memcpy(bytes + 1, text.data(), text.size());
      }
      return true;
    }
    case kTypeDate: {
      uint32_t packed = 0;
      if (!text.empty() && !DateFromText(text, &packed)) {
        *reason = Shown(text) + " is not a date YYYY-MM-DD between 1801-01-01 and 9999-12-31";
        return false;
      }
      WriteLe32(bytes, packed);
      return true;
    }
    case kTypeTime: {
      uint32_t packed = 0;
      if (!text.empty() && !TimeFromText(text, &packed)) {
        *reason = Shown(text) + " is not a time HH:MM:SS.hh";
        return false;
      }
      WriteLe32(bytes, packed);
      return true;
    }
    default:
      break;
  }
  if (!IsNumericFieldType(static_cast<TypeCode>(f.type))) {
    *reason = type_text() + " values cannot be imported";
    return false;
  }
  if (text.empty()) {
    std::memset(bytes, 0, size);
    NumericFieldFromText(static_cast<TypeCode>(f.type), "0", bytes, size, f.places);
    return true;
  }
  Decimal parsed;
  if (!Decimal::Parse(text, &parsed)) {
    *reason = Shown(text) + " is not a number";
    return false;
  }
  if (f.type == kTypeDecimal || f.type == kTypePDecimal) {
    // Rounding away digits the field has no room for would change the value.
    int places = SignificantPlaces(text);
    if (places > f.places) {
      *reason = Shown(text) + " has more decimal places than " + type_text() + " keeps";
      return false;
    }
  }
  std::string scratch(size, '\0');
  if (!NumericFieldFromText(static_cast<TypeCode>(f.type), text,
                            reinterpret_cast<uint8_t*>(scratch.data()), size, f.places)) {
    *reason = Shown(text) + " does not fit " + type_text();
    return false;
  }
  std::memcpy(bytes, scratch.data(), size);
  return true;
}

bool FieldToText(const FieldDescriptor& f, uint32_t size, const uint8_t* bytes, std::string* text) {
  if (PlainIntegerToText(f.type, size, bytes, text)) return true;
  text->clear();
  switch (f.type) {
    case kTypeString: {
      size_t n = size;
      while (n > 0 && bytes[n - 1] == ' ') --n;
      text->assign(reinterpret_cast<const char*>(bytes), n);
      return true;
    }
    case kTypeCString: {
      size_t n = 0;
      while (n < size && bytes[n] != 0) ++n;
      text->assign(reinterpret_cast<const char*>(bytes), n);
      return true;
    }
    case kTypePString: {
      size_t n = size > 0 ? bytes[0] : 0;
      if (n + 1 > size) n = size > 0 ? size - 1 : 0;
      text->assign(reinterpret_cast<const char*>(bytes) + 1, n);
      return true;
    }
    case kTypeDate: {
      uint32_t packed = ReadLe32(bytes);
      if (packed == 0) return true;
      DateParts parts;
      if (!DateComponents(PackedToDateSerial(packed), &parts)) return false;
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", static_cast<int>(parts.year),
                    parts.month, parts.day);
      text->assign(buffer);
      return true;
    }
    case kTypeTime: {
      uint32_t packed = ReadLe32(bytes);
      if (packed == 0) return true;
      TimeParts parts;
      int32_t serial = PackedToTimeSerial(packed);
      if (serial <= 0 || !TimeComponents(serial, &parts)) return false;
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%02d", parts.hour, parts.minute,
                    parts.second, parts.hundredths);
      text->assign(buffer);
      return true;
    }
    default:
      break;
  }
  if (!IsNumericFieldType(static_cast<TypeCode>(f.type))) return false;
  if (!NumericFieldToText(static_cast<TypeCode>(f.type), bytes, size, f.places, text)) {
    text->clear();
    return false;
  }
  return true;
}

void ClearField(std::span<const FieldDescriptor> fields, const RecordLayout& layout, size_t i,
                uint32_t base, std::span<uint8_t> record) {
  const FieldDescriptor& f = fields[i];
  const driver::FieldPlacement& p = layout[i];
  if (f.type != kTypeGroup) {
    std::memset(record.data() + base, f.type == kTypeString ? ' ' : 0,
                p.total_size);
    return;
  }
  for (uint32_t e = 0; e < p.count; ++e) {
    size_t j = i + 1;
    for (uint16_t m = 0; m < f.members && j < fields.size(); ++m) {
      if (fields[j].over.empty()) {
        ClearField(fields, layout, j, base + e * p.element_size + (layout[j].offset - p.offset),
                   record);
      }
      j = SubtreeEnd(fields, j);
    }
  }
}

}  // namespace

std::string TypeText(const FieldDescriptor& f, uint32_t element_size) {
  std::string text = TypeName(f.type);
  char buffer[48];
  if (f.type == kTypeDecimal || f.type == kTypePDecimal) {
    std::snprintf(buffer, sizeof buffer, "(%u,%u)", element_size > 0 ? 2 * element_size - 1 : 0u,
                  static_cast<unsigned>(f.places));
    text += buffer;
  } else if (IsStringType(f.type)) {
    if (!f.picture.empty()) {
      text += "(@";
      text.append(f.picture);
      text += ")";
    } else {
      std::snprintf(buffer, sizeof buffer, "(%u)", f.length != 0 ? f.length : element_size);
      text += buffer;
    }
  }
  return text;
}

std::vector<Column> RecordColumns(const FileDeclaration& file, const RecordLayout& layout) {
  std::vector<Column> columns;
  const auto& fields = file.fields;
  for (size_t i = 0; i < fields.size();) {
    const FieldDescriptor& f = fields[i];
    const driver::FieldPlacement& p = layout[i];
    if (!f.over.empty()) {  // its bytes belong to the field it overlays
      i = SubtreeEnd(fields, i);
      continue;
    }
    bool dimensioned = p.count > 1 || f.DimensionCount() > 0;
    if (f.type == kTypeGroup && p.count <= 1) {
      ++i;  // its members follow as columns
      continue;
    }
    for (uint32_t e = 0; e < p.count; ++e) {
      Column c;
      c.label = std::string(f.label);
      if (dimensioned) {
        c.label += '[';
        c.label += std::to_string(e + 1);
        c.label += ']';
      }
      c.field = static_cast<int>(i);
      c.offset = p.offset + e * p.element_size;
      c.size = p.element_size;
      c.raw = f.type == kTypeGroup;
      c.element = dimensioned ? static_cast<int>(e + 1) : 0;
      columns.push_back(std::move(c));
    }
    // The members of a dimensioned group are inside its raw columns.
    i = f.type == kTypeGroup ? SubtreeEnd(fields, i) : i + 1;
  }
  for (size_t m = 0; m < file.memos.size(); ++m) {
    Column c;
    c.label = std::string(file.memos[m].label);
    c.memo = static_cast<int>(m);
    columns.push_back(std::move(c));
  }
  return columns;
}

int FindColumn(const std::vector<Column>& columns, std::string_view label) {
  std::string wanted = Upper(label);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (Upper(columns[i].label) == wanted) return static_cast<int>(i);
  }
  std::string bare(WithoutPrefix(wanted));
  for (size_t i = 0; i < columns.size(); ++i) {
    if (std::string(WithoutPrefix(Upper(columns[i].label))) == bare) return static_cast<int>(i);
  }
  return -1;
}

JsonKind ColumnJsonKind(const FileDeclaration& file, const Column& column) {
  if (column.memo >= 0 || column.raw) return JsonKind::kString;
  uint8_t type = file.fields[static_cast<size_t>(column.field)].type;
  if (type == kTypeDate || type == kTypeTime) return JsonKind::kString;
  return IsNumericFieldType(static_cast<TypeCode>(type)) ? JsonKind::kNumber : JsonKind::kString;
}

void ClearRecord(const FileDeclaration& file, const RecordLayout& layout,
                 std::span<uint8_t> record) {
  std::memset(record.data(), 0, layout.record_size());
  for (size_t i = 0; i < file.fields.size(); i = SubtreeEnd(file.fields, i)) {
    if (file.fields[i].over.empty()) ClearField(file.fields, layout, i, layout[i].offset, record);
  }
}

bool ColumnToText(const FileDeclaration& file, const Column& column,
                  std::span<const uint8_t> record, const std::vector<std::vector<uint8_t>>& memos,
                  std::string* text) {
  text->clear();
  if (column.memo >= 0) {
    const MemoDeclaration& m = file.memos[static_cast<size_t>(column.memo)];
    if (static_cast<size_t>(column.memo) >= memos.size()) return true;
    const std::vector<uint8_t>& content = memos[static_cast<size_t>(column.memo)];
    size_t n = content.size();
    if ((m.flags & driver::kMemoBlob) != 0) {
      AppendHex(text, content.data(), n);
    } else if ((m.flags & driver::kMemoBinary) != 0) {
      while (n > 0 && content[n - 1] == 0) --n;
      AppendHex(text, content.data(), n);
    } else {
      while (n > 0 && content[n - 1] == ' ') --n;
      text->assign(reinterpret_cast<const char*>(content.data()), n);
    }
    return true;
  }
  const uint8_t* bytes = record.data() + column.offset;
  if (column.raw) {
    AppendHex(text, bytes, column.size);
    return true;
  }
  return FieldToText(file.fields[static_cast<size_t>(column.field)], column.size, bytes, text);
}

bool ColumnFromText(const FileDeclaration& file, const Column& column, std::string_view text,
                    std::span<uint8_t> record, std::vector<std::vector<uint8_t>>* memos,
                    std::string* reason) {
  reason->clear();
  if (column.memo >= 0) {
    const MemoDeclaration& m = file.memos[static_cast<size_t>(column.memo)];
    bool blob = (m.flags & driver::kMemoBlob) != 0;
    bool binary = blob || (m.flags & driver::kMemoBinary) != 0;
    std::string content(text);
    if (binary && !ParseHex(text, &content, reason)) return false;
    if (!blob && content.size() > m.max_size) {
      *reason = "memo of " + std::to_string(content.size()) + " bytes; " + std::string(m.label) +
                " holds " + std::to_string(m.max_size);
      return false;
    }
    if (memos == nullptr || static_cast<size_t>(column.memo) >= memos->size()) return true;
    std::vector<uint8_t>& buffer = (*memos)[static_cast<size_t>(column.memo)];
    buffer.assign(content.begin(), content.end());
    if (!blob) buffer.resize(m.max_size, binary ? uint8_t{0} : uint8_t{' '});
    return true;
  }
  uint8_t* bytes = record.data() + column.offset;
  if (column.raw) {
    std::string raw;
    if (!ParseHex(text, &raw, reason)) return false;
    if (text.empty()) return true;  // the cleared group stays
    if (raw.size() != column.size) {
      *reason = "group element of " + std::to_string(raw.size()) + " bytes; it has " +
                std::to_string(column.size);
      return false;
    }
    std::memcpy(bytes, raw.data(), raw.size());
    return true;
  }
  return FieldFromText(file.fields[static_cast<size_t>(column.field)], column.size, text, bytes,
                       reason);
}

}  // namespace korvex::tool
