#include "data/view/field_binding.h"

#include <algorithm>
#include <cstring>

#include "runtime/numeric_field.h"

namespace korvex::view {

namespace {

int64_t LittleEndian(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = n; i-- > 0;) v = (v << 8) | p[i];
  return static_cast<int64_t>(v);
}

class FieldVariable : public Variable {
 public:
  FieldVariable(const driver::FileControlBlock* file, int index) : file_(file), index_(index) {}
  Value Get() const override { return FieldValue(*file_, index_); }
  const driver::FileControlBlock* file() const { return file_; }
  int index() const { return index_; }

 private:
  const driver::FileControlBlock* file_;
  int index_;
};

}  // namespace

Value FieldValue(const driver::FileControlBlock& file, int index) {
  const driver::RecordLayout& layout = file.layout();
  const auto& fields = file.declaration().fields;
  if (!layout.valid() || index < 0 || static_cast<size_t>(index) >= layout.size() ||
      static_cast<size_t>(index) >= fields.size()) {
    return Value::Integer(0);
  }
  const driver::FieldPlacement& place = layout[static_cast<size_t>(index)];
  std::span<uint8_t> record = file.record();
  if (uint64_t{place.offset} + place.element_size > record.size()) return Value::Integer(0);
  const uint8_t* p = record.data() + place.offset;
  const uint32_t size = place.element_size;
  const driver::FieldDescriptor& f = fields[static_cast<size_t>(index)];
  switch (f.type) {
    case kTypeString: return Value::String(std::string(reinterpret_cast<const char*>(p), size));
    case kTypeCString: {
      const void* nul = std::memchr(p, 0, size);
      size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : size;
      return Value::String(std::string(reinterpret_cast<const char*>(p), n));
    }
    case kTypePString: {
      size_t n = size == 0 ? 0 : std::min<size_t>(p[0], size - 1);
      return Value::String(std::string(reinterpret_cast<const char*>(p) + 1, n));
    }
    case kTypeByte: return Value::Integer(p[0]);
    case kTypeShort: return Value::Integer(static_cast<int16_t>(LittleEndian(p, 2)));
    case kTypeUShort: return Value::Integer(static_cast<uint16_t>(LittleEndian(p, 2)));
    case kTypeLong: return Value::Integer(static_cast<int32_t>(LittleEndian(p, 4)));
    case kTypeULong: return Value::Integer(static_cast<uint32_t>(LittleEndian(p, 4)));
    default: break;
  }
  Decimal d;
  if (IsNumericFieldType(static_cast<TypeCode>(f.type)) &&
      NumericFieldToDecimal(static_cast<TypeCode>(f.type), p, size, f.places, &d)) {
    return Value::Exact(d);
  }
  return Value::Integer(0);
}

namespace {

bool Place(const driver::FileControlBlock& file, int index, uint8_t** p, uint32_t* size,
           const driver::FieldDescriptor** f) {
  const driver::RecordLayout& layout = file.layout();
  const auto& fields = file.declaration().fields;
  if (!layout.valid() || index < 0 || static_cast<size_t>(index) >= layout.size() ||
      static_cast<size_t>(index) >= fields.size()) {
    return false;
  }
  const driver::FieldPlacement& place = layout[static_cast<size_t>(index)];
  std::span<uint8_t> record = file.record();
  if (uint64_t{place.offset} + place.total_size > record.size()) return false;
  *p = record.data() + place.offset;
  *size = place.element_size;
  *f = &fields[static_cast<size_t>(index)];
  return true;
}

bool IsText(uint8_t type) {
  return type == kTypeString || type == kTypeCString || type == kTypePString;
}

}  // namespace

bool SetFieldValue(const driver::FileControlBlock& file, int index, const Value& v) {
  uint8_t* p = nullptr;
  uint32_t size = 0;
  const driver::FieldDescriptor* f = nullptr;
  if (!Place(file, index, &p, &size, &f) || size == 0) return false;
  if (IsText(f->type)) {
    std::string text = v.ToText();
    if (f->type == kTypeString) {
      std::memset(p, ' ', size);
      std::memcpy(p, text.data(), std::min<size_t>(text.size(), size));
    } else if (f->type == kTypeCString) {
      std::memset(p, 0, size);
      std::memcpy(p, text.data(), std::min<size_t>(text.size(), size - 1));
    } else {
      size_t n = std::min<size_t>({text.size(), size - 1, 255});
      p[0] = static_cast<uint8_t>(n);
      std::memcpy(p + 1, text.data(), n);
    }
    return true;
  }
  if (!IsNumericFieldType(static_cast<TypeCode>(f->type))) return false;
  Value number = v.ToNumber();
  Decimal d;
  if (number.kind() == Value::Kind::kReal) {
    d = Decimal::FromDouble(number.real());
  } else {
    d = number.ToDecimal();
  }
  return NumericFieldFromDecimal(static_cast<TypeCode>(f->type), d, p, size, f->places);
}

void SetFieldExtreme(const driver::FileControlBlock& file, int index, bool high) {
  uint8_t* p = nullptr;
  uint32_t size = 0;
  const driver::FieldDescriptor* f = nullptr;
  if (!Place(file, index, &p, &size, &f) || size == 0) return;
  auto put = [&](int64_t value) {
    for (uint32_t i = 0; i < size && i < 8; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
  };
  switch (f->type) {
    case kTypeString:
    case kTypeCString: std::memset(p, high ? 0xFF : 0x00, size); return;
    case kTypePString:
      std::memset(p, high ? 0xFF : 0x00, size);
      p[0] = high ? static_cast<uint8_t>(std::min<uint32_t>(size - 1, 255)) : 0;
      return;
    case kTypeByte: p[0] = high ? 0xFF : 0; return;
    case kTypeShort: put(high ? 32767 : -32768); return;
    case kTypeUShort: put(high ? 65535 : 0); return;
    case kTypeLong: put(high ? 2147483647LL : -2147483648LL); return;
    case kTypeULong:
    case kTypeDate:
    case kTypeTime: put(high ? 0xFFFFFFFFLL : 0); return;
    default: break;
  }
  // Other numbers: the largest magnitude their text form allows.
  std::string nines = std::string(high ? "" : "-") + std::string(std::min<uint32_t>(size * 2, 30), '9');
  Value v;
  if (ParseNumberValue(nines, &v)) {
    for (size_t cut = 0; cut < nines.size() && !SetFieldValue(file, index, v); ++cut) {
      nines.pop_back();
      if (!ParseNumberValue(nines, &v)) break;
    }
  }
}

void ClearRecord(const driver::FileControlBlock& file) {
  std::span<uint8_t> record = file.record();
  std::memset(record.data(), 0, record.size());
  const auto& fields = file.declaration().fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].type != kTypeString) continue;
    uint8_t* p = nullptr;
    uint32_t size = 0;
    const driver::FieldDescriptor* f = nullptr;
    if (Place(file, static_cast<int>(i), &p, &size, &f)) {
      std::memset(p, ' ', file.layout()[i].total_size);
    }
  }
}

void BindFields(Evaluator* evaluator, const driver::FileControlBlock* file) {
  const auto& fields = file->declaration().fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    const driver::FieldDescriptor& f = fields[i];
    if (f.type == kTypeGroup || f.label.empty()) continue;
    auto variable = std::make_shared<FieldVariable>(file, static_cast<int>(i));
    evaluator->Bind(f.label, variable);
    size_t colon = f.label.find(':');
    if (colon == std::string_view::npos || colon + 1 >= f.label.size()) continue;
    std::string_view bare = f.label.substr(colon + 1);
    if (evaluator->Lookup(bare) == nullptr) evaluator->Bind(bare, variable);
  }
}

bool BoundField(const Variable* variable, const driver::FileControlBlock** file, int* index) {
  const auto* field = dynamic_cast<const FieldVariable*>(variable);
  if (field == nullptr) return false;
  *file = field->file();
  *index = field->index();
  return true;
}

}  // namespace korvex::view
