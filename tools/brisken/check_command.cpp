// brisken check FILE: the integrity of a Brisken file. The tree and its pages
// first, then every table: its definition, each key's entries against the
// entries its data records call for, the counters, the memo pieces and the
// numbers issued. The exit status is 0 only for a sound file.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>

#include "data/brisken/key_encoding.h"
#include "data/brisken/memo_pieces.h"
#include "data/brisken/record_kinds.h"
#include "data/brisken/table_catalog.h"
#include "data/brisken/tree_check.h"
#include "data/driver/error_codes.h"
#include "runtime/char_tables.h"
#include "tools/brisken/command.h"
#include "tools/brisken/multiset_digest.h"
#include "tools/brisken/tool_support.h"

namespace korvex::tool {

namespace {

using brisken::ParsedHeader;

constexpr const char kUsage[] =
    "usage: brisken check [--table NAME] [--progress] FILE\n"
    "\n"
    "Checks a Brisken file and reports every fault it finds:\n"
    "  - the tree: page headers and compression, record order within and across\n"
    "    pages, index records, levels, page sizes, the size-class regions;\n"
    "  - each table: its stored definition, each key's entries against the\n"
    "    entries its data records call for (none missing, none stray, no repeated\n"
    "    value in a key without DUP), the record and key counters, the memo\n"
    "    pieces (complete, readable, of existing records), and that no table or\n"
    "    record number lies beyond the last number the file has issued;\n"
    "  - records of tables that have no name.\n"
    "\n"
    "  --table NAME   check the tree and this table only\n"
    "  --progress     a progress line on standard error every 5000 records\n"
    "                 (always when standard error is a terminal)\n"
    "\n"
    "Exit status: 0 for a sound file; 1 when a fault was found or the file\n"
    "cannot be read as a Brisken file; 2 for bad usage.\n";

constexpr int kFaultsShown = 50;

std::string Hex(std::string_view bytes, size_t most = 24) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < bytes.size() && i < most; ++i) {
    std::snprintf(b, sizeof b, "%02X", static_cast<unsigned char>(bytes[i]));
    out += b;
  }
  if (bytes.size() > most) out += "...";
  return out;
}

class Report {
 public:
  explicit Report(std::FILE* out) : out_(out) {}
  void Fault(const std::string& where, const std::string& what) {
    ++faults_;
    if (faults_ <= kFaultsShown) {
      std::fprintf(out_, "FAULT %s: %s\n", where.c_str(), what.c_str());
    } else if (faults_ == kFaultsShown + 1) {
      std::fprintf(out_, "(further faults are counted, not shown)\n");
    }
  }
  void Note(const std::string& line) { std::fprintf(out_, "%s\n", line.c_str()); }
  uint64_t faults() const { return faults_; }

 private:
  std::FILE* out_;
  uint64_t faults_ = 0;
};

struct Entry {
  std::string header;
  uint32_t record = 0;
  bool operator<(const Entry& other) const { return header < other.header; }
};

// A key's entries as the walk meets them, and the entries the table's data
// records call for (which come after them), each side summed up in a digest
// of (header, record number) elements: equal digests are equal sets. Only a
// key whose digests differ has its entries gathered again, as whole headers,
// and compared entry by entry; a sound file costs no memory per entry.
struct KeyEntries {
  uint64_t count = 0;        // entries in the file (of the right length)
  MultisetDigest found;      // the entries of the file
  MultisetDigest expected;   // the entries the records call for
  std::string scratch;       // an expected entry
};

struct TableState {
  std::string name;
  std::string where;  // "table NAME", as faults name it
  uint32_t number = 0;
  std::unique_ptr<brisken::Table> table;  // null when the definition is unreadable
  std::vector<brisken::KeyEncoder> keys;
  std::vector<bool> key_ok;
  std::vector<KeyEntries> entries;           // per key
  std::vector<uint32_t> records;             // data record numbers, ascending
  bool records_in_order = true;
  std::map<uint8_t, std::pair<uint32_t, uint32_t>> counters;  // counted kind -> count, second
  std::vector<uint16_t> definition_blocks;
  // The pieces of one memo come together, in order: each memo is checked when
  // its last piece has passed, and only its faults are kept for the report.
  std::pair<uint32_t, uint8_t> memo_owner;  // record, memo
  std::vector<std::pair<uint16_t, std::string>> memo_group;  // piece number, data
  std::vector<std::pair<std::string, std::string>> memo_faults;  // where, what
  uint64_t memo_pieces = 0;
};

std::string KeyLabel(const TableState& t, size_t k) {
  if (t.table && k < t.table->declaration().keys.size()) {
    return std::string(t.table->declaration().keys[k].label);
  }
  return "key " + std::to_string(k + 1);
}

void Prepare(TableState* t, brisken::BriskenFile* file, Report* report) {
  int32_t code = brisken::Table::OpenStored(file, t->name, &t->table);
  if (code != 0) {
    report->Fault("table " + t->name, "its definition cannot be read (" + ErrorMessage(code) + ")");
    t->table.reset();
    return;
  }
  const driver::FileDeclaration& decl = t->table->declaration();
  t->keys.resize(decl.keys.size());
  t->key_ok.assign(decl.keys.size(), false);
  t->entries.resize(decl.keys.size());
  for (size_t k = 0; k < decl.keys.size(); ++k) {
    t->key_ok[k] = t->keys[k].Init(decl, t->table->layout(), decl.keys[k]) == 0;
  }
}

// Whether key k is compared with the records: a readable key kept in the file.
bool Compared(const TableState& t, size_t k) {
  return t.key_ok[k] && (t.table->declaration().keys[k].flags & driver::kKeyIndex) == 0;
}

// Adds the entry record r calls for (none for an empty OPT value) to the
// key's expected digest.
void ExpectEntry(const brisken::KeyEncoder& key, std::string_view data, uint32_t r,
                 const CharTables& tables, KeyEntries* e) {
  if (key.optional() && key.IsEmpty(data)) return;
  e->scratch.clear();
  key.Encode(data, tables, &e->scratch);
  if (key.allows_duplicates()) brisken::AppendBe32(&e->scratch, r);
  e->expected.Add(e->scratch, r);
}

// Checks the memo whose pieces were gathered: of an existing record and a
// declared memo, numbered from 0 without a gap, and joined into a valid memo.
void CheckMemo(TableState* t, const CharTables& tables) {
  std::vector<std::pair<uint16_t, std::string>> pieces;
  pieces.swap(t->memo_group);
  if (!t->table) return;
  const auto& [record, memo] = t->memo_owner;
  const driver::FileDeclaration& decl = t->table->declaration();
  const std::string where =
      t->where + " record " + std::to_string(record) + " memo " + std::to_string(memo + 1);
  auto fault = [&](const char* what) { t->memo_faults.emplace_back(where, what); };
  if (!std::binary_search(t->records.begin(), t->records.end(), record)) {
    fault("memo pieces of a record that does not exist");
    return;
  }
  if (memo >= decl.memos.size()) {
    fault("memo pieces of a memo the table does not declare");
    return;
  }
  std::vector<std::string> data;
  bool numbered = true;
  for (size_t p = 0; p < pieces.size(); ++p) {
    if (pieces[p].first != p) numbered = false;
    data.push_back(std::move(pieces[p].second));
  }
  const bool oem = (decl.attributes & driver::kFileOem) != 0;
  std::string content;
  if (!numbered) {
    fault("pieces are missing");
  } else if (!brisken::JoinMemo(data, decl.memos[memo], oem, tables, &content)) {
    fault("the pieces do not form a valid memo");
  }
}

void TakeRecord(TableState* t, const brisken::Record& r, const ParsedHeader& p,
                const CharTables& tables, Report* report) {
  const std::string& where = t->where;
  switch (p.kind) {
    case ParsedHeader::Kind::kKeyEntry: {
      size_t k = static_cast<size_t>(p.kind_byte) - 1;
      if (!t->table || k >= t->keys.size()) {
        if (t->table) {
          report->Fault(where, "an entry of key number " + std::to_string(p.kind_byte) +
                                   ", which the table does not declare (" + Hex(r.header()) + ")");
        }
        return;
      }
      const brisken::KeyEncoder& key = t->keys[k];
      size_t want = key.length() + (key.allows_duplicates() ? 4 : 0);
      size_t data = key.allows_duplicates() ? 0 : 4;
      if (p.rest.size() != want || r.data().size() != data) {
        report->Fault(where + " key " + KeyLabel(*t, k),
                      "an entry of the wrong length (" + Hex(r.header()) + ")");
        return;
      }
      KeyEntries& e = t->entries[k];
      ++e.count;
      // The walk meets them in strictly ascending order (it asks for the
      // header after the last one): as a set, they are the sorted list.
      if (Compared(*t, k)) e.found.Add(p.rest, brisken::KeyEntryRecordNumber(r));
      return;
    }
    case ParsedHeader::Kind::kData: {
      if (!t->records.empty() && t->records.back() >= p.record) {
        report->Fault(where, "data records out of order");
        t->records_in_order = false;
      }
      t->records.push_back(p.record);
      if (!t->table) return;
      if (r.data().size() != t->table->record_size()) {
        report->Fault(where, "record " + std::to_string(p.record) + " holds " +
                                 std::to_string(r.data().size()) + " bytes; the definition says " +
                                 std::to_string(t->table->record_size()));
        return;
      }
      for (size_t k = 0; k < t->keys.size(); ++k) {
        if (Compared(*t, k)) ExpectEntry(t->keys[k], r.data(), p.record, tables, &t->entries[k]);
      }
      return;
    }
    case ParsedHeader::Kind::kCounters: {
      uint32_t count = 0, second = 0;
      if (!brisken::ParseCounterData(r.data(), &count, &second)) {
        report->Fault(where, "a counter record of the wrong length (" + Hex(r.header()) + ")");
        return;
      }
      t->counters[p.counted_kind] = {count, second};
      return;
    }
    case ParsedHeader::Kind::kDefinition:
      t->definition_blocks.push_back(p.number);
      return;
    case ParsedHeader::Kind::kMarker:
      return;
    case ParsedHeader::Kind::kMemoPiece:
      ++t->memo_pieces;
      if (!t->memo_group.empty() && t->memo_owner != std::make_pair(p.record, p.memo)) {
        CheckMemo(t, tables);
      }
      t->memo_owner = {p.record, p.memo};
      t->memo_group.emplace_back(p.number, std::string(r.data()));
      return;
    default:
      report->Fault(where, "a record of an unknown kind (" + Hex(r.header()) + ")");
      return;
  }
}

// When every record has exactly one entry of the right length but some hold
// other bytes than this program's collation and case tables give, the key was
// built under another locale: the number of such entries, else 0.
size_t EntriesOfAnotherCollation(const std::vector<Entry>& found,
                                 const std::vector<Entry>& expected) {
  if (found.empty() || found.size() != expected.size()) return 0;
  std::map<uint32_t, const std::string*> wanted;
  for (const Entry& e : expected) {
    if (!wanted.emplace(e.record, &e.header).second) return 0;
  }
  size_t differing = 0;
  std::set<uint32_t> seen;
  for (const Entry& e : found) {
    auto w = wanted.find(e.record);
    if (w == wanted.end() || !seen.insert(e.record).second) return 0;
    if (w->second->size() != e.header.size()) return 0;
    if (*w->second != e.header) ++differing;
  }
  return differing;
}

// Gathers key k's entries and the entries its data records call for again,
// as whole headers, for the comparison entry by entry. Entries of the wrong
// length and records of the wrong size were reported by the first pass.
void GatherKey(brisken::BriskenFile* file, const TableState& t, size_t k, const CharTables& tables,
               std::vector<Entry>* found, std::vector<Entry>* expected) {
  const brisken::KeyEncoder& key = t.keys[k];
  auto walk = [&](uint8_t kind,
                  const std::function<void(const brisken::Record&, const ParsedHeader&)>& take) {
    const std::string prefix = brisken::KindPrefix(t.number, kind);
    std::string at = prefix;
    bool after = false;
    brisken::Record r;
    for (;;) {
      bool got = false;
      if (!file->Seek(at, after, &r, &got).ok() || !got) return;
      if (r.header().substr(0, prefix.size()) != prefix) return;
      after = true;
      at.assign(r.header());
      take(r, brisken::ParseHeader(r.header()));
    }
  };
  walk(static_cast<uint8_t>(k + 1), [&](const brisken::Record& r, const ParsedHeader& p) {
    size_t want = key.length() + (key.allows_duplicates() ? 4 : 0);
    size_t data = key.allows_duplicates() ? 0 : 4;
    if (p.kind != ParsedHeader::Kind::kKeyEntry || p.rest.size() != want ||
        r.data().size() != data) {
      return;
    }
    found->push_back({std::string(r.header()), brisken::KeyEntryRecordNumber(r)});
  });
  walk(brisken::kind::kData, [&](const brisken::Record& r, const ParsedHeader& p) {
    if (p.kind != ParsedHeader::Kind::kData || r.data().size() != t.table->record_size()) return;
    brisken::Record entry;
    if (key.BuildEntry(r.data(), tables, t.number, static_cast<uint8_t>(k + 1), p.record,
                       &entry)) {
      expected->push_back({std::string(entry.header()), p.record});
    }
  });
}

// Compares a key's entries, as whole headers, with those its records call
// for, and reports every difference in the order of the key.
void CompareEntries(const TableState& t, size_t k, const std::vector<Entry>& found,
                    std::vector<Entry> expected, Report* report) {
  const std::string where = "table " + t.name + " key " + KeyLabel(t, k);
  const driver::KeyDeclaration& decl = t.table->declaration().keys[k];
  std::stable_sort(expected.begin(), expected.end());
  for (size_t i = 1; i < expected.size(); ++i) {
    if (expected[i].header == expected[i - 1].header) {
      report->Fault(where, "records " + std::to_string(expected[i - 1].record) + " and " +
                               std::to_string(expected[i].record) +
                               " share a value though the key allows no duplicates");
    }
  }
  const bool dup = (decl.flags & driver::kKeyDup) != 0;
  size_t stale = EntriesOfAnotherCollation(found, expected);
  if (stale > 0) {
    report->Fault(where, "keys were built with another collation: rebuild (" +
                             std::to_string(stale) + " of " + std::to_string(found.size()) +
                             " entries differ from what this program's collation and case "
                             "tables give)");
  }
  size_t i = 0, j = 0;
  while (stale == 0 && (i < found.size() || j < expected.size())) {
    int order = i >= found.size()      ? 1
                : j >= expected.size() ? -1
                                       : found[i].header.compare(expected[j].header);
    if (order == 0) {
      if (!dup && found[i].record != expected[j].record) {
        report->Fault(where, "the entry of record " + std::to_string(expected[j].record) +
                                 " points at record " + std::to_string(found[i].record));
      }
      ++i;
      ++j;
    } else if (order < 0) {
      uint32_t r = found[i].record;
      bool exists = std::binary_search(t.records.begin(), t.records.end(), r);
      report->Fault(where, exists ? "an entry of record " + std::to_string(r) +
                                        " does not match the record's value"
                                  : "an entry points at record " + std::to_string(r) +
                                        ", which does not exist");
      ++i;
    } else {
      report->Fault(where, "record " + std::to_string(expected[j].record) + " has no entry");
      ++j;
    }
  }
}

// Checks a key's entries against its records and its counter. The digests of
// the walk settle a sound key; any difference is looked at entry by entry.
void CompareKey(brisken::BriskenFile* file, const TableState& t, size_t k,
                const CharTables& tables, Report* report) {
  const KeyEntries& e = t.entries[k];
  if (!t.records_in_order || !(e.found == e.expected)) {
    std::vector<Entry> found, expected;
    GatherKey(file, t, k, tables, &found, &expected);
    CompareEntries(t, k, found, std::move(expected), report);
  }
  auto counter = t.counters.find(static_cast<uint8_t>(k + 1));
  uint32_t counted = counter == t.counters.end() ? 0 : counter->second.first;
  if (counted != e.count) {
    report->Fault("table " + t.name + " key " + KeyLabel(t, k),
                  "the counter says " + std::to_string(counted) + " entries; there are " +
                      std::to_string(e.count));
  }
}

void Finish(brisken::BriskenFile* file, const TableState& t, uint32_t last_number,
            const CharTables& tables, Report* report) {
  const std::string where = "table " + t.name;
  uint64_t before = report->faults();
  for (size_t b = 0; b < t.definition_blocks.size(); ++b) {
    if (t.definition_blocks[b] != b) {
      report->Fault(where, "definition blocks are not numbered 0, 1, 2 ...");
      break;
    }
  }
  if (!t.records.empty() && t.records.back() > last_number) {
    report->Fault(where, "record number " + std::to_string(t.records.back()) +
                             " lies beyond the last number issued, " + std::to_string(last_number));
  }
  auto data_counter = t.counters.find(brisken::kind::kData);
  if (data_counter == t.counters.end()) {
    report->Fault(where, "the record counter is missing");
  } else if (data_counter->second.first != t.records.size()) {
    report->Fault(where, "the counter says " + std::to_string(data_counter->second.first) +
                             " records; there are " + std::to_string(t.records.size()));
  }
  if (!t.table) return;
  const driver::FileDeclaration& decl = t.table->declaration();
  for (const auto& [kind, values] : t.counters) {
    if (kind != brisken::kind::kData && (kind == 0 || kind > decl.keys.size())) {
      report->Fault(where, "a counter for kind " + std::to_string(kind) +
                               ", which is neither the records nor a declared key");
    }
  }
  uint64_t entries = 0;
  for (size_t k = 0; k < decl.keys.size(); ++k) {
    entries += t.entries[k].count;
    if ((decl.keys[k].flags & driver::kKeyIndex) != 0) {
      // An index is built on demand and kept apart from the file.
      if (t.entries[k].count != 0) {
        report->Fault(where + " key " + KeyLabel(t, k), "an index has entries in the file");
      }
      continue;
    }
    if (!t.key_ok[k]) {
      report->Fault(where + " key " + KeyLabel(t, k), "its components cannot be read");
      continue;
    }
    CompareKey(file, t, k, tables, report);
  }
  for (const auto& [memo_where, what] : t.memo_faults) report->Fault(memo_where, what);
  if (report->faults() == before) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "table %s: %zu records, %zu keys with %llu entries, %llu memo pieces: ok",
                  t.name.c_str(), t.records.size(), decl.keys.size(),
                  static_cast<unsigned long long>(entries),
                  static_cast<unsigned long long>(t.memo_pieces));
    report->Note(line);
  }
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {"--table=", "--progress"}, &parsed, &error)) {
    std::fprintf(err, "brisken check: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  if (parsed.words.size() != 1) {
    std::fprintf(err, "brisken check: give one file\n\n%s", kUsage);
    return kExitUsage;
  }
  Target target;
  if (!ParseTarget(parsed.words[0], parsed.Value("table"), &target, &error)) {
    std::fprintf(err, "brisken check: %s\n", error.c_str());
    return kExitUsage;
  }

  CorruptionCatcher catcher;
  std::unique_ptr<brisken::BriskenFile> file;
  if (!OpenForReading(target.path, &file, &error)) {
    std::fprintf(err, "brisken check: %s\n", error.c_str());
    return kExitFailed;
  }
  Report report(out);
  const std::string& path = target.path;

  // The tree and the pages.
  brisken::TreeReport tree;
  brisken::Status s = brisken::CheckTree(&file->pager(), true, &tree);
  if (!s.ok() || !tree.problem.empty()) {
    report.Fault("tree", tree.problem.empty() ? ErrorMessage(s.code()) : tree.problem);
    report.Note(path + ": 1 fault; the tables were not checked");
    return kExitFailed;
  }
  report.Note("tree: " + std::to_string(tree.pages) + " pages, depth " +
              std::to_string(tree.depth) + ", " + std::to_string(tree.records) + " records: ok");
  const uint32_t last_number = file->header().last_number;

  // The tables by their names.
  std::vector<std::string> names;
  int32_t code = brisken::Table::ListTables(file.get(), &names);
  if (code != 0) {
    report.Fault("tables", ErrorMessage(code));
    return kExitFailed;
  }
  if (target.table_given && std::find(names.begin(), names.end(), target.table) == names.end()) {
    std::fprintf(err, "brisken check: no table '%s' in %s\n", target.table.c_str(), path.c_str());
    return kExitFailed;
  }
  std::map<uint32_t, TableState> states;
  for (const std::string& name : names) {
    uint32_t number = 0;
    bool found = false;
    s = brisken::FindTable(file.get(), name, &number, &found);
    if (!s.ok() || !found) {
      report.Fault("table " + name, "its name record cannot be read");
      continue;
    }
    if (number > last_number) {
      report.Fault("table " + name, "table number " + std::to_string(number) +
                                        " lies beyond the last number issued");
    }
    if (states.count(number) != 0) {
      report.Fault("table " + name, "shares its table number with table " + states[number].name);
      continue;
    }
    if (target.table_given && name != target.table) {
      states[number].name.clear();  // known, but not checked
      continue;
    }
    TableState& t = states[number];
    t.name = name;
    t.where = "table " + name;
    t.number = number;
    Prepare(&t, file.get(), &report);
  }

  // One pass over every record of the file.
  std::shared_ptr<const CharTables> tables = CurrentCharTables();
  std::map<uint32_t, uint64_t> unnamed;  // table number -> records of a table without a name
  Progress progress("check", parsed.Has("progress"), err);
  uint64_t walked = 0;
  std::string at;
  bool first = true;
  brisken::Record r;  // its storage serves every step
  for (;;) {
    bool found = false;
    s = file->Seek(at, !first, &r, &found);
    if (!s.ok()) {
      report.Fault("records", "reading stopped (" + ErrorMessage(s.code()) + ")");
      break;
    }
    if (!found) break;
    first = false;
    at.assign(r.header());
    progress.Step(++walked);
    ParsedHeader p = brisken::ParseHeader(r.header());
    if (p.kind == ParsedHeader::Kind::kTableName) continue;
    if (p.kind == ParsedHeader::Kind::kInvalid) {
      report.Fault("records", "a record with an impossible header (" + Hex(r.header()) + ")");
      continue;
    }
    auto t = states.find(p.table);
    if (t == states.end()) {
      ++unnamed[p.table];
      continue;
    }
    if (t->second.name.empty()) continue;  // another table than the one asked for
    TakeRecord(&t->second, r, p, *tables, &report);
  }
  progress.Done(walked);
  for (auto& [number, t] : states) {
    if (!t.name.empty() && !t.memo_group.empty()) CheckMemo(&t, *tables);
  }
  if (!target.table_given) {
    for (const auto& [number, count] : unnamed) {
      report.Fault("records", std::to_string(count) + " records of table number " +
                                  std::to_string(number) + ", which has no name");
    }
  }
  for (const auto& [number, t] : states) {
    if (!t.name.empty()) Finish(file.get(), t, last_number, *tables, &report);
  }

  if (report.faults() == 0) {
    report.Note(path + ": sound");
    return kExitOk;
  }
  report.Note(path + ": " + std::to_string(report.faults()) +
              (report.faults() == 1 ? " fault" : " faults"));
  return kExitFailed;
}

}  // namespace

Command CheckCommand() {
  return {"check", "check a Brisken file's integrity (exit status 0 only when sound)", kUsage,
          Run};
}

}  // namespace korvex::tool
