#include "data/brisken/table_catalog.h"

#include "data/brisken/bytes.h"

namespace korvex::brisken {
namespace {

std::string TableHeader(uint32_t table, uint8_t kind) {
  std::string h(5, '\0');
  PutBe32(h.data(), table);
  h[4] = static_cast<char>(kind);
  return h;
}

std::string NameHeader(std::string_view name) {
  std::string h(1, static_cast<char>(kKindTableName));
  h.append(name);
  return h;
}

Record MakeRecord(std::string header, std::string_view data) {
  Record r;
  r.header_len = static_cast<uint16_t>(header.size());
  r.bytes = std::move(header);
  r.bytes.append(data);
  return r;
}

}  // namespace

std::string PlaceholderDefinitionStream(uint16_t record_length) {
  std::string s(10, '\0');
  PutLe16(s.data(), 1);              // version
  PutLe16(s.data() + 2, record_length);
  return s;                          // no fields, memos or keys
}

Status FindTable(BriskenFile* file, std::string_view name, uint32_t* table, bool* found) {
  Record r;
  Status s = file->Get(NameHeader(name), &r, found);
  if (!s.ok() || !*found) return s;
  if (r.data().size() != 4) return BriskenFile::Report(Status::Corrupt(check::kRecordEncoding));
  *table = GetBe32(r.data().data());
  return Status::Ok();
}

Status CreateTable(BriskenFile* file, std::string_view name, std::string_view definition,
                   uint32_t* table) {
  if (name.empty() || 1 + name.size() > kMaxRecordLength - 4) {
    return Status::Error(driver::kErrInvalidFilename);
  }
  uint32_t number = 0;
  Status s = file->NextNumber(&number);
  if (!s.ok()) return s;
  char be[4];
  PutBe32(be, number);
  bool inserted = false;
  s = file->Insert(MakeRecord(NameHeader(name), std::string_view(be, 4)), &inserted);
  if (!s.ok()) return s;
  if (!inserted) return Status::Error(driver::kErrAccessDenied);  // the name is taken
  for (size_t block = 0; block * kDefinitionBlock < definition.size() || block == 0; ++block) {
    std::string h = TableHeader(number, kKindDefinition);
    h.push_back(static_cast<char>(block >> 8));
    h.push_back(static_cast<char>(block & 0xFF));
    s = file->Insert(MakeRecord(std::move(h), definition.substr(std::min(definition.size(),
                                                                         block * kDefinitionBlock),
                                                                kDefinitionBlock)),
                     &inserted);
    if (!s.ok()) return s;
  }
  std::string h = TableHeader(number, kKindCounter);
  h.push_back(static_cast<char>(kKindData));
  s = file->Insert(MakeRecord(std::move(h), std::string(8, '\0')), &inserted);
  if (!s.ok()) return s;
  *table = number;
  return Status::Ok();
}

Status ReadDefinition(BriskenFile* file, uint32_t table, std::string* definition) {
  definition->clear();
  std::string prefix = TableHeader(table, kKindDefinition);
  std::string h = prefix;
  bool after = false;
  for (;;) {
    Record r;
    bool found = false;
    Status s = file->Seek(h, after, &r, &found);
    if (!s.ok()) return s;
    if (!found || r.header().substr(0, prefix.size()) != prefix) return Status::Ok();
    definition->append(r.data());
    h.assign(r.header());
    after = true;
  }
}

}  // namespace korvex::brisken
