#include "data/brisken/record_kinds.h"

namespace korvex::brisken {

void AppendBe16(std::string* out, uint32_t value) {
  const char be[2] = {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
  out->append(be, 2);
}

void AppendBe32(std::string* out, uint32_t value) {
  const char be[4] = {static_cast<char>(value >> 24), static_cast<char>((value >> 16) & 0xFF),
                      static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
  out->append(be, 4);
}

uint32_t ReadBe16(std::string_view bytes, size_t at) {
  return (uint32_t{static_cast<uint8_t>(bytes[at])} << 8) | static_cast<uint8_t>(bytes[at + 1]);
}

uint32_t ReadBe32(std::string_view bytes, size_t at) {
  return (ReadBe16(bytes, at) << 16) | ReadBe16(bytes, at + 2);
}

bool NextNumber(uint32_t last, uint32_t* next) {
  // Past 0xFDFFFFFF the lead byte would collide with the table-name kind.
  if (last >= (uint32_t{kLastNumberLead} << 24 | 0xFFFFFFu)) return false;
  *next = last + 1;
  return true;
}

std::string TablePrefix(uint32_t table) {
  std::string h;
  AppendBe32(&h, table);
  return h;
}

std::string KindPrefix(uint32_t table, uint8_t kind) {
  std::string h = TablePrefix(table);
  h.push_back(static_cast<char>(kind));
  return h;
}

std::string DataHeader(uint32_t table, uint32_t record) {
  std::string h = KindPrefix(table, kind::kData);
  AppendBe32(&h, record);
  return h;
}

std::string CounterHeader(uint32_t table, uint8_t counted_kind) {
  std::string h = KindPrefix(table, kind::kCounters);
  h.push_back(static_cast<char>(counted_kind));
  return h;
}

std::string DefinitionHeader(uint32_t table, uint16_t block) {
  std::string h = KindPrefix(table, kind::kDefinition);
  AppendBe16(&h, block);
  return h;
}

std::string MarkerHeader(uint32_t table) {
  std::string h = KindPrefix(table, kind::kMarker);
  h.push_back('\x01');
  return h;
}

std::string MemoPieceHeader(uint32_t table, uint32_t record, uint8_t memo, uint16_t piece) {
  std::string h = KindPrefix(table, kind::kMemoPiece);
  AppendBe32(&h, record);
  h.push_back(static_cast<char>(memo));
  AppendBe16(&h, piece);
  return h;
}

std::string TableNameHeader(std::string_view name) {
  std::string h(1, static_cast<char>(kind::kTableName));
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

Record KeyEntry(uint32_t table, uint8_t key_number, std::string_view value, uint32_t record,
                bool duplicates_allowed) {
  std::string h = KindPrefix(table, key_number);
  h.append(value);
  std::string r;
  AppendBe32(&r, record);
  // With duplicates the record number makes equal values distinct headers.
  if (duplicates_allowed) return MakeRecord(h + r, {});
  return MakeRecord(std::move(h), r);
}

std::string CounterData(uint32_t count, uint32_t second) {
  std::string d;
  AppendBe32(&d, count);
  AppendBe32(&d, second);
  return d;
}

bool ParseCounterData(std::string_view data, uint32_t* count, uint32_t* second) {
  if (data.size() != kCounterDataLength) return false;
  *count = ReadBe32(data, 0);
  *second = ReadBe32(data, 4);
  return true;
}

Record CounterRecord(uint32_t table, uint8_t counted_kind, uint32_t count, uint32_t second) {
  return MakeRecord(CounterHeader(table, counted_kind), CounterData(count, second));
}

Record TableNameRecord(std::string_view name, uint32_t table) {
  return MakeRecord(TableNameHeader(name), TablePrefix(table));
}

ParsedHeader ParseHeader(std::string_view h) {
  ParsedHeader p;
  if (h.empty()) return p;
  if (static_cast<uint8_t>(h[0]) == kind::kTableName) {
    if (h.size() < 2) return p;
    p.kind = ParsedHeader::Kind::kTableName;
    p.rest = h.substr(1);
    return p;
  }
  if (h.size() < 5) return p;
  p.table = ReadBe32(h, 0);
  p.kind_byte = static_cast<uint8_t>(h[4]);
  using Kind = ParsedHeader::Kind;
  switch (p.kind_byte) {
    case kind::kData:
      if (h.size() != kDataHeaderLength) return p;
      p.record = ReadBe32(h, 5);
      p.kind = Kind::kData;
      return p;
    case kind::kCounters:
      if (h.size() != kCounterHeaderLength) return p;
      p.counted_kind = static_cast<uint8_t>(h[5]);
      p.kind = Kind::kCounters;
      return p;
    case kind::kDefinition:
      if (h.size() != kDefinitionHeaderLength) return p;
      p.number = static_cast<uint16_t>(ReadBe16(h, 5));
      p.kind = Kind::kDefinition;
      return p;
    case kind::kMarker:
      if (h.size() != kMarkerHeaderLength || h[5] != '\x01') return p;
      p.kind = Kind::kMarker;
      return p;
    case kind::kMemoPiece:
      if (h.size() != kMemoHeaderLength) return p;
      p.record = ReadBe32(h, 5);
      p.memo = static_cast<uint8_t>(h[9]);
      p.number = static_cast<uint16_t>(ReadBe16(h, 10));
      p.kind = Kind::kMemoPiece;
      return p;
    default:
      break;
  }
  if (p.kind_byte == 0 || p.kind_byte >= kind::kFirstNonKey) return p;
  p.kind = Kind::kKeyEntry;
  p.rest = h.substr(5);
  return p;
}

uint32_t KeyEntryRecordNumber(RecordView entry) {
  if (entry.bytes.size() < 4 + 5) return 0;
  return ReadBe32(entry.bytes, entry.bytes.size() - 4);
}

}  // namespace korvex::brisken
