#include "data/brisken/table_copy.h"

#include <algorithm>
#include <string>

#include "data/brisken/definition_stream.h"
#include "data/brisken/record_kinds.h"
#include "data/brisken/table.h"
#include "data/brisken/table_catalog.h"
#include "data/driver/error_codes.h"

namespace korvex::brisken {
namespace {

constexpr uint32_t kLastNumber = (uint32_t{kLastNumberLead} << 24) | 0xFFFFFFu;

void SetBe32(std::string* bytes, size_t at, uint32_t value) {
  std::string be;
  AppendBe32(&be, value);
  bytes->replace(at, 4, be);
}

}  // namespace

int32_t CopyTable(BriskenFile* source, std::string_view source_name, BriskenFile* target,
                  std::string_view target_name, bool move) {
  using namespace driver;
  if (source == target && source_name == target_name) return kErrAccessDenied;
  uint32_t from = 0;
  bool found = false;
  Status s = FindTable(source, source_name, &from, &found);
  if (!s.ok()) return s.code();
  if (!found) return kErrFileNotFound;
  if (!target->writable() || (move && !source->writable())) return kErrAccessDenied;
  std::string stream;
  s = ReadDefinition(source, from, &stream);
  if (!s.ok()) return s.code();

  uint32_t existing = 0;
  s = FindTable(target, target_name, &existing, &found);
  if (!s.ok()) return s.code();
  if (found) {
    if (move) return kErrAccessDenied;
    // The copy brings its own definition; the old table goes as a whole so that
    // no record is left under a definition it does not match.
    int32_t code = Table::Drop(target, target_name);
    if (code != kNoError) return code;
  }
  uint32_t to = 0;
  s = target->NextNumber(&to);
  if (!s.ok()) return s.code();
  bool inserted = false;
  s = target->Insert(TableNameRecord(target_name, to), &inserted);
  if (!s.ok()) return s.code();
  for (Record& r : DefinitionRecords(to, stream)) {
    s = target->Insert(std::move(r), &inserted);
    if (!s.ok()) return s.code();
  }

  const uint32_t offset = target->header().last_number;
  uint32_t highest = offset;
  // Moves a record number; false when it would pass the last number a file can issue.
  auto shift = [&](std::string* bytes, size_t at) {
    uint32_t r = ReadBe32(*bytes, at);
    if (r > kLastNumber - offset) return false;
    SetBe32(bytes, at, r + offset);
    highest = std::max(highest, r + offset);
    return true;
  };

  const std::string prefix = TablePrefix(from);
  std::string at = prefix;
  bool after = false;
  for (;;) {
    Record r;
    s = source->Seek(at, after, &r, &found);
    if (!s.ok()) return s.code();
    if (!found || r.header().substr(0, prefix.size()) != prefix) break;
    at.assign(r.header());
    after = true;
    ParsedHeader p = ParseHeader(r.header());
    if (p.kind == ParsedHeader::Kind::kDefinition) continue;  // written above
    Record copy = r;
    SetBe32(&copy.bytes, 0, to);
    bool ok = true;
    switch (p.kind) {
      case ParsedHeader::Kind::kKeyEntry:
        // Without DUP the record number is the data; with DUP it ends the header.
        ok = copy.data().size() == 4 ? shift(&copy.bytes, copy.header_len)
                                     : (copy.header_len >= 9 && shift(&copy.bytes, copy.header_len - 4u));
        break;
      case ParsedHeader::Kind::kData:
      case ParsedHeader::Kind::kMemoPiece:
        ok = shift(&copy.bytes, 5);
        break;
      case ParsedHeader::Kind::kCounters:
        // A key's second value is a record number; the data counter's is the flags.
        if (p.counted_kind != kind::kData && copy.data().size() == kCounterDataLength &&
            ReadBe32(copy.bytes, copy.header_len + 4u) != 0) {
          ok = shift(&copy.bytes, copy.header_len + 4u);
        }
        break;
      default:
        break;
    }
    if (!ok) return BriskenFile::Report(Status::Corrupt(check::kNumbersExhausted)).code();
    s = target->Insert(std::move(copy), &inserted);
    if (!s.ok()) return s.code();
  }
  if (highest > target->header().last_number) {
    target->pager().mutable_header().last_number = highest;
  }
  if (move) return Table::Drop(source, source_name);
  return kNoError;
}

}  // namespace korvex::brisken
