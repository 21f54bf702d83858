#include "data/driver/structure_dump.h"

#include <cstdio>
#include <vector>

#include "data/driver/driver_record.h"
#include "data/driver/file_control_block.h"
#include "runtime/type_codes.h"

namespace korvex::driver {

namespace {

constexpr const char* kEol = "\r\n";

void Padded(std::string* out, std::string_view label, size_t width) {
  out->append(label);
  if (label.size() < width) out->append(width - label.size(), ' ');
}

void AppendUnsigned(std::string* out, unsigned long value) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%lu", value);
  out->append(buffer);
}

bool IsStringType(uint8_t type) {
  return type == kTypeString || type == kTypeCString || type == kTypePString;
}

void AppendKey(std::string* out, const FileDeclaration& file, const KeyDeclaration& key) {
  Padded(out, key.label, 20);
  out->append((key.flags & kKeyIndex) != 0 ? "INDEX(" : "KEY(");
  for (size_t i = 0; i < key.components.size(); ++i) {
    if (i > 0) out->push_back(',');
    int32_t component = key.components[i];
    out->push_back(component < 0 ? '-' : '+');
    // A component naming no field is written with its sign alone.
    int64_t number = component < 0 ? -static_cast<int64_t>(component) : component;
    if (number >= 1 && number <= static_cast<int64_t>(file.fields.size())) {
      out->append(file.fields[static_cast<size_t>(number - 1)].label);
    }
  }
  out->push_back(')');
  if ((key.flags & kKeyDup) != 0) out->append(",DUP");
  if ((key.flags & kKeyOpt) != 0) out->append(",OPT");
  if ((key.flags & kKeyNoCase) != 0) out->append(",NOCASE");
  if ((key.flags & kKeyPrimary) != 0) out->append(",PRIMARY");
  if (!key.name.empty()) {
    out->append(",NAME('");
    out->append(key.name);
    out->append("')");
  }
  out->append(kEol);
}

void AppendMemo(std::string* out, const MemoDeclaration& memo) {
  Padded(out, memo.label, 20);
  if ((memo.flags & kMemoBlob) != 0) {
    out->append("BLOB");
  } else {
    out->append("MEMO(");
    AppendUnsigned(out, memo.max_size);
    out->push_back(')');
  }
  if (!memo.name.empty()) {
    out->append(",NAME('");
    out->append(memo.name);
    out->append("')");
  }
  if ((memo.flags & kMemoBinary) != 0) out->append(",BINARY");
  out->append(kEol);
}

void AppendField(std::string* out, const FieldDescriptor& f) {
  Padded(out, f.label, 20);
  out->append(TypeName(f.type));
  if (f.type == kTypeDecimal || f.type == kTypePDecimal) {
    out->push_back('(');
    AppendUnsigned(out, f.size > 0 ? 2ul * f.size - 1 : 0);
    out->push_back(',');
    AppendUnsigned(out, f.places);
    out->push_back(')');
  } else if (IsStringType(f.type)) {
    out->push_back('(');
    if (!f.picture.empty()) {
      out->push_back('@');
      out->append(f.picture);
    } else {
      AppendUnsigned(out, f.length != 0 ? f.length : f.size);
    }
    out->push_back(')');
  }
  int dims = f.DimensionCount();
  if (dims > 0) {
    out->append(", DIM(");
    for (int i = 0; i < dims; ++i) {
      if (i > 0) out->push_back(',');
      AppendUnsigned(out, f.dims[static_cast<size_t>(i)]);
    }
    out->push_back(')');
  }
  if (!f.over.empty()) {
    out->append(", OVER(");
    out->append(f.over);
    out->push_back(')');
  }
  if (!f.name.empty() && f.name != f.label) {
    out->append(",NAME('");
    out->append(f.name);
    out->append("')");
  }
  out->append(kEol);
}

void AppendEnd(std::string* out) {
  Padded(out, "", 20);
  out->append("END");
  out->append(kEol);
}

void AppendFields(std::string* out, std::span<const FieldDescriptor> fields) {
  // Members still to come of each open GROUP, innermost last.
  std::vector<uint32_t> open;
  for (const FieldDescriptor& f : fields) {
    if (!open.empty()) --open.back();
    AppendField(out, f);
    if (f.type == kTypeGroup) {
      open.push_back(f.members);
    }
    while (!open.empty() && open.back() == 0) {
      open.pop_back();
      AppendEnd(out);
    }
  }
  // A group cut short by the end of the list is still closed.
  for (size_t i = 0; i < open.size(); ++i) AppendEnd(out);
}

}  // namespace

std::string StructureDump(const FileDeclaration& file) {
  std::string out;
  Padded(&out, file.label, 18);
  out.append("FILE,DRIVER('");
  out.append(file.driver.empty() ? std::string_view(kBriskenDriverName) : file.driver);
  out.push_back('\'');
  if (!file.options.empty()) {
    out.append(",'");
    out.append(file.options);
    out.push_back('\'');
  }
  out.push_back(')');
  if (!file.owner.empty()) out.append(",OWNER(******)");
  if (!file.name.empty()) {
    out.append(",NAME('");
    out.append(file.name);
    out.append("')");
  }
  if ((file.attributes & kFileCreate) != 0) out.append(",CREATE");
  if ((file.attributes & kFileEncrypt) != 0) out.append(",ENCRYPT");
  if ((file.attributes & kFileReclaim) != 0) out.append(",RECLAIM");
  if ((file.attributes & kFileThread) != 0) out.append(",THREAD");
  out.append(kEol);

  for (const KeyDeclaration& key : file.keys) AppendKey(&out, file, key);
  for (const MemoDeclaration& memo : file.memos) AppendMemo(&out, memo);
  Padded(&out, "", 20);
  out.append("RECORD");
  out.append(kEol);
  AppendFields(&out, file.fields);
  AppendEnd(&out);  // the record
  AppendEnd(&out);  // the file
  out.append(kEol);
  return out;
}

std::string StructureDump(const FileControlBlock& file) {
  FileDeclaration now = file.declaration();
  now.name = file.name;
  now.owner = file.owner;
  now.options = file.options;
  now.attributes = file.attributes;
  return StructureDump(now);
}

}  // namespace korvex::driver
