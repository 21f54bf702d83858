#include "data/view/sort_key.h"

#include <algorithm>
#include <cstring>

#include "data/view/field_binding.h"
#include "runtime/type_codes.h"

namespace korvex::view {

namespace {

bool IsText(uint8_t type) { return type == kTypeString || type == kTypeCString || type == kTypePString; }

constexpr size_t kIntegerWidth = 8;

}  // namespace

SortKeyReader::SortKeyReader(std::vector<OrderTerm> terms) : terms_(std::move(terms)) {
  const BuiltinFunction* upper = FindBuiltin("UPPER");
  for (const OrderTerm& t : terms_) {
    Field f;
    const ExprNode* node = t.expression != nullptr ? t.expression->root() : nullptr;
    bool upper_case = false;
    if (node != nullptr && node->kind == NodeKind::kFunction && node->function == upper &&
        node->children.size() == 1) {
      upper_case = true;
      node = node->children[0].get();
    }
    const driver::FileControlBlock* file = nullptr;
    int index = 0;
    if (node != nullptr && node->kind == NodeKind::kVariable &&
        BoundField(node->variable.get(), &file, &index)) {
      const driver::RecordLayout& layout = file->layout();
      const auto& fields = file->declaration().fields;
      if (layout.valid() && index >= 0 && static_cast<size_t>(index) < layout.size() &&
          static_cast<size_t>(index) < fields.size()) {
        const driver::FieldPlacement& place = layout[static_cast<size_t>(index)];
        const uint8_t type = fields[static_cast<size_t>(index)].type;
        // Read only what lies inside the buffer, as the field's value would be.
        if (uint64_t{place.offset} + place.element_size <= file->record().size()) {
          f.file = file;
          f.field_offset = place.offset;
          f.size = place.element_size;
          f.type = type;
          if (IsText(type)) {
            f.source = upper_case ? Source::kUpperText : Source::kText;
          } else if (const uint32_t n = IntegerTypeSize(type);
                     !upper_case && n != 0 && place.element_size >= n) {
            f.source = Source::kInteger;
          }
        }
      }
    }
    fields_.push_back(f);
  }
  Prepare(CurrentCharTables());
}

void SortKeyReader::Prepare(std::shared_ptr<const CharTables> tables) {
  tables_ = std::move(tables);
  std::memset(digraph_of_, 0, sizeof digraph_of_);
  for (size_t i = tables_->digraph_count; i-- > 0;) {
    digraph_of_[tables_->digraphs[i].character] = static_cast<uint8_t>(i + 1);  // the first one wins
  }
  for (size_t c = 0; c < 256; ++c) {
    weight_[c] = tables_->collation[c];
    upper_weight_[c] = tables_->collation[tables_->Upper(static_cast<uint8_t>(c))];
  }
  const size_t per_character = tables_->digraph_count > 0 ? 2 : 1;
  places_.assign(terms_.size(), Place{});
  width_ = 0;
  value_count_ = 0;
  for (size_t i = 0; i < terms_.size(); ++i) {
    Place& p = places_[i];
    const Field& f = fields_[i];
    p.offset = width_;
    switch (f.source) {
      case Source::kEvaluated: p.value = value_count_++; break;
      case Source::kInteger: p.encoded = true; p.width = kIntegerWidth; break;
      case Source::kText:
      case Source::kUpperText: {
        size_t characters = f.type == kTypePString ? (f.size == 0 ? 0 : f.size - 1) : f.size;
        p.encoded = true;
        p.width = characters * per_character;
        break;
      }
    }
    width_ += p.width;
  }
}

bool SortKeyReader::Encoded(size_t from, size_t to) const {
  for (size_t i = from; i < to && i < places_.size(); ++i) {
    if (!places_[i].encoded) return false;
  }
  return true;
}

bool SortKeyReader::Monotone(size_t from, size_t to, const std::vector<Value>& start) const {
  for (size_t i = from; i < to && i < places_.size(); ++i) {
    if (!places_[i].encoded || i >= start.size()) return false;
    const bool text = fields_[i].source != Source::kInteger;
    if (text != start[i].IsString()) return false;
  }
  return true;
}

void SortKeyReader::EncodeText(const Field& f, uint8_t* out, size_t width) const {
  const uint8_t* p = f.file->record().data() + f.field_offset;
  size_t n = f.size;
  if (f.type == kTypeCString) {
    const void* nul = std::memchr(p, 0, f.size);
    if (nul != nullptr) n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - p);
  } else if (f.type == kTypePString) {
    n = f.size == 0 ? 0 : std::min<size_t>(p[0], f.size - 1);
    ++p;
  }
  const CharTables& t = *tables_;
  const bool upper = f.source == Source::kUpperText;
  uint8_t* o = out;
  if (t.digraph_count == 0) {
    const uint8_t* weight = upper ? upper_weight_ : weight_;
    for (size_t i = 0; i < n; ++i) o[i] = weight[p[i]];
    o += n;
  } else {
    for (size_t i = 0; i < n; ++i) {
      uint8_t c = upper ? t.Upper(p[i]) : p[i];
      if (uint8_t d = digraph_of_[c]; d != 0) {
        *o++ = t.collation[t.digraphs[d - 1].first];
        *o++ = t.collation[t.digraphs[d - 1].second];
      } else {
        *o++ = t.collation[c];
      }
    }
  }
  // Texts compare as if padded with blanks.
  std::memset(o, t.collation[' '], width - static_cast<size_t>(o - out));
}

void SortKeyReader::Read(uint8_t* key, Value* values) const {
  for (size_t i = 0; i < terms_.size(); ++i) {
    const Place& p = places_[i];
    const Field& f = fields_[i];
    if (!p.encoded) {
      Value& v = values[p.value];
      if (!terms_[i].expression->Evaluate(&v).ok()) v = Value();
      continue;
    }
    if (p.width == 0) continue;  // an empty text: every value is the same
    uint8_t* out = key + p.offset;
    if (f.source == Source::kInteger) {
      const uint8_t* b = f.file->record().data() + f.field_offset;
      int64_t v = 0;
      switch (f.type) {
        case kTypeByte: v = b[0]; break;
        case kTypeShort: v = static_cast<int16_t>(b[0] | (b[1] << 8)); break;
        case kTypeUShort: v = static_cast<uint16_t>(b[0] | (b[1] << 8)); break;
        case kTypeLong:
          v = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                   uint32_t{b[3]} << 24);
          break;
        default:
          v = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
          break;
      }
      uint64_t u = static_cast<uint64_t>(v) ^ (uint64_t{1} << 63);
      for (size_t k = 0; k < kIntegerWidth; ++k) out[k] = static_cast<uint8_t>(u >> (8 * (kIntegerWidth - 1 - k)));
    } else {
      EncodeText(f, out, p.width);
    }
    if (terms_[i].descending) {
      for (size_t k = 0; k < p.width; ++k) out[k] = static_cast<uint8_t>(~out[k]);
    }
  }
}

int SortKeyReader::CompareValues(const Value& a, const Value& b) const {
  if (a.IsString() && b.IsString()) return tables_->CompareText(a.string(), b.string());
  return korvex::Compare(a, b);
}

int SortKeyReader::Compare(const uint8_t* key_a, const Value* values_a, const uint8_t* key_b,
                           const Value* values_b, size_t from, size_t to) const {
  for (size_t i = from; i < to && i < places_.size(); ++i) {
    const Place& p = places_[i];
    if (p.encoded) {
      if (p.width == 0) continue;
      int c = std::memcmp(key_a + p.offset, key_b + p.offset, p.width);
      if (c != 0) return c < 0 ? -1 : 1;  // the direction is in the bytes
      continue;
    }
    int c = CompareValues(values_a[p.value], values_b[p.value]);
    if (c != 0) return terms_[i].descending ? -c : c;
  }
  return 0;
}

Value SortKeyReader::Evaluate(size_t term) const {
  Value v;
  if (!terms_[term].expression->Evaluate(&v).ok()) v = Value();
  return v;
}

}  // namespace korvex::view
