// brisken import FILE[\!TABLE] CSV: adds the rows of a CSV file to a table as
// new records. A row that cannot become a record is reported with its line
// and reason and left out; the other rows are added.
#include <algorithm>
#include <cstdio>
#include <string>

#include "data/brisken/page_cache.h"
#include "data/driver/error_codes.h"
#include "runtime/os/file.h"
#include "tools/brisken/command.h"
#include "tools/brisken/console.h"
#include "tools/brisken/csv.h"
#include "tools/brisken/field_text.h"
#include "tools/brisken/tool_support.h"

namespace korvex::tool {

namespace {

constexpr const char kUsage[] =
    "usage: brisken import [--table NAME] [--progress] FILE[\\!TABLE] CSV\n"
    "\n"
    "Adds the rows of a CSV file (or of standard input, for \"-\") to a table as\n"
    "new records. The first row names the columns by field label (\"CUS:NAME\"\n"
    "or \"NAME\", letters without regard to case), in any order; fields the CSV\n"
    "does not name are left blank or zero. Values are written as `brisken export`\n"
    "writes them (see docs/brisken-tool.md).\n"
    "\n"
    "Each row that cannot be added is reported on standard error with its line\n"
    "and the reason (wrong number of fields, a value that is not valid for its\n"
    "field or does not fit it, a repeated value of a key without DUP), and the\n"
    "import goes on with the next row. The records are written when the whole\n"
    "CSV has been read, or in parts when the changes outgrow the memory set\n"
    "aside for them (KORVEX_BRISKEN_CACHE_MB; a 64th of the machine's memory\n"
    "by default); a failure of the file itself adds nothing after the last part\n"
    "written.\n"
    "\n"
    "  --table NAME   the table (default: the file's only table, else UNNAMED)\n"
    "  --progress     a progress line on standard error every 5000 rows\n"
    "                 (always when standard error is a terminal)\n"
    "\n"
    "Exit status: 0 when every row was added; 1 when some rows were rejected (the\n"
    "others are added), or nothing could be imported; 2 for bad usage.\n";

// Which key without DUP already holds the row's value; "" when none is found.
std::string RepeatedKey(brisken::Table* table, std::span<const uint8_t> record) {
  const driver::FileDeclaration& decl = table->declaration();
  std::vector<uint8_t> scratch(record.begin(), record.end());
  for (size_t k = 0; k < decl.keys.size(); ++k) {
    const driver::KeyDeclaration& key = decl.keys[k];
    if ((key.flags & (driver::kKeyDup | driver::kKeyIndex)) != 0) continue;
    std::copy(record.begin(), record.end(), scratch.begin());
    brisken::RecordBuffers b{scratch, nullptr};
    if (table->GetByKey(static_cast<int>(k + 1), b) == 0) return std::string(key.label);
  }
  return "";
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {"--table=", "--progress"}, &parsed, &error)) {
    std::fprintf(err, "brisken import: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  if (parsed.words.size() != 2) {
    std::fprintf(err, "brisken import: give a file and a CSV file\n\n%s", kUsage);
    return kExitUsage;
  }
  Target target;
  if (!ParseTarget(parsed.words[0], parsed.Value("table"), &target, &error)) {
    std::fprintf(err, "brisken import: %s\n", error.c_str());
    return kExitUsage;
  }
  const std::string& source = parsed.words[1];
  const std::string shown_source = source == "-" ? "<stdin>" : source;
  std::FILE* in = stdin;
  if (source != "-") {
    in = os::FileExists(source) ? std::fopen(source.c_str(), "rb") : nullptr;
    if (in == nullptr) {
      std::fprintf(err, "brisken import: %s: %s\n", source.c_str(),
                   os::FileExists(source) ? "cannot be opened" : "no such file");
      return kExitFailed;
    }
  } else {
    SetBinaryMode(stdin);
  }
  struct Closer {
    std::FILE* f;
    ~Closer() {
      if (f != stdin) std::fclose(f);
    }
  } closer{in};

  CorruptionCatcher catcher;
  std::unique_ptr<brisken::BriskenFile> file;
  std::unique_ptr<brisken::Table> table;
  bool created = false;
  if (!OpenForWriting(target.path, false, &file, &created, &error) ||
      !OpenTable(file.get(), &target, &table, &error)) {
    std::fprintf(err, "brisken import: %s\n", error.c_str());
    return kExitFailed;
  }
  const driver::FileDeclaration& decl = table->declaration();
  const std::vector<Column> columns = RecordColumns(decl, table->layout());

  // The header row decides which column each CSV field fills.
  CsvReader reader(in);
  std::vector<std::string> fields;
  CsvReader::Result result = reader.Next(&fields);
  if (result != CsvReader::Result::kRecord) {
    std::fprintf(err, "brisken import: %s: %s\n", shown_source.c_str(),
                 result == CsvReader::Result::kEnd        ? "no header row (the CSV is empty)"
                 : result == CsvReader::Result::kReadError ? "cannot be read"
                                                          : ("header row: " + reader.error()).c_str());
    return kExitFailed;
  }
  std::vector<int> column_of(fields.size(), -1);
  std::vector<bool> named(columns.size(), false);
  for (size_t i = 0; i < fields.size(); ++i) {
    int c = FindColumn(columns, fields[i]);
    if (c < 0) {
      std::string known;
      for (const Column& col : columns) known += " " + col.label;
      std::fprintf(err, "brisken import: %s: header column %zu '%s' names no field of table %s; "
                   "its columns:%s\n", shown_source.c_str(), i + 1, fields[i].c_str(),
                   target.table.c_str(), known.c_str());
      return kExitFailed;
    }
    if (named[static_cast<size_t>(c)]) {
      std::fprintf(err, "brisken import: %s: header names %s twice\n", shown_source.c_str(),
                   columns[static_cast<size_t>(c)].label.c_str());
      return kExitFailed;
    }
    named[static_cast<size_t>(c)] = true;
    column_of[i] = c;
  }
  const size_t width = fields.size();

  // Every row starts from the same cleared record and blank memos, made once.
  std::vector<uint8_t> blank(table->record_size());
  ClearRecord(decl, table->layout(), blank);
  const std::vector<std::vector<uint8_t>> blank_memos = table->BlankMemos();
  std::vector<uint8_t> record(blank.size());
  std::vector<std::vector<uint8_t>> memos;
  brisken::RecordBuffers buffers{record, decl.memos.empty() ? nullptr : &memos};
  uint64_t added = 0, rejected = 0, committed = 0;
  const size_t commit_above = brisken::PageCache::DefaultLimits().clean_bytes / 2;
  // Rows between looks at the pending bytes, at least and at most.
  constexpr uint64_t kLookEvery = 1024, kLookAtMost = 1 << 18;
  uint64_t next_look = kLookEvery;
  uint64_t looked_at = 0;     // rows added at the last look (or commit)
  size_t looked_pending = 0;  // the pending bytes then
  Progress progress("import", parsed.Has("progress"), err);
  std::string reason;
  auto reject = [&](const std::string& why) {
    ++rejected;
    std::fprintf(err, "brisken import: %s line %d: %s\n", shown_source.c_str(), reader.line(),
                 why.c_str());
  };
  for (;;) {
    result = reader.Next(&fields);
    if (result == CsvReader::Result::kEnd) break;
    if (result == CsvReader::Result::kReadError) {
      std::fprintf(err, "brisken import: %s: cannot be read; %s\n", shown_source.c_str(),
                   committed == 0 ? "nothing was imported"
                                  : ("only the first " + std::to_string(committed) +
                                     " rows added were written").c_str());
      return kExitFailed;
    }
    if (result == CsvReader::Result::kMalformed) {
      reject(reader.error());
      continue;
    }
    if (fields.size() != width) {
      reject(std::to_string(fields.size()) + (fields.size() > width ? " fields, more than" : " fields, fewer than") +
             " the " + std::to_string(width) + " of the header");
      continue;
    }
    std::copy(blank.begin(), blank.end(), record.begin());
    if (!blank_memos.empty()) memos = blank_memos;
    bool ok = true;
    for (size_t i = 0; i < width && ok; ++i) {
      const Column& c = columns[static_cast<size_t>(column_of[i])];
      if (!ColumnFromText(decl, c, fields[i], record, &memos, &reason)) {
        reject(c.label + ": " + reason);
        ok = false;
      }
    }
    if (!ok) continue;
    int32_t code = table->Add(buffers);
    if (code == driver::kErrDuplicateKey) {
      std::string key = RepeatedKey(table.get(), record);
      reject(key.empty() ? ErrorMessage(code)
                         : "the value of key " + key + " (which allows no duplicates) is taken");
      continue;
    }
    if (code != 0) {
      std::fprintf(err, "brisken import: %s line %d: %s; %s\n",
                   shown_source.c_str(), reader.line(), ErrorMessage(code).c_str(),
                   committed == 0 ? "nothing was imported"
                                  : ("only the first " + std::to_string(committed) +
                                     " rows added were written").c_str());
      return kExitFailed;
    }
    ++added;
    progress.Step(added);
    // Changed pages stay in memory until a commit: a long import commits
    // in parts so that its memory stays bounded. Summing the pending pages
    // visits each of them, so it is done only as often as the rate the
    // pending bytes grew at since the last look says they could reach the
    // limit, with a margin of two. That rate does not rise: a page changed
    // again adds nothing, and what the file grows by per row stays alike.
    if (added < next_look) continue;
    const size_t pending = file->pending_bytes();
    if (pending <= commit_above) {
      const double per_row = pending > looked_pending
                                 ? static_cast<double>(pending - looked_pending) /
                                       static_cast<double>(added - looked_at)
                                 : 0;
      const double ahead = per_row > 0 ? static_cast<double>(commit_above - pending) / per_row / 2
                                       : double{kLookAtMost};
      next_look = added + std::clamp<uint64_t>(static_cast<uint64_t>(ahead), kLookEvery,
                                               kLookAtMost);
      looked_at = added;
      looked_pending = pending;
    } else {
      brisken::Status s = file->Commit();
      if (!s.ok()) {
        std::fprintf(err, "brisken import: %s: the records could not be written (%s); "
                     "%llu rows written before\n", target.path.c_str(),
                     ErrorMessage(s.code()).c_str(), static_cast<unsigned long long>(committed));
        return kExitFailed;
      }
      committed = added;
      next_look = added + kLookEvery;
      looked_at = added;
      looked_pending = 0;
    }
  }
  progress.Done(added);
  table.reset();
  brisken::Status s = file->Close();
  if (!s.ok()) {
    std::fprintf(err, "brisken import: %s: the records could not be written (%s)\n",
                 target.path.c_str(), ErrorMessage(s.code()).c_str());
    return kExitFailed;
  }
  std::fprintf(err, "brisken import: %llu rows added, %llu rejected\n",
               static_cast<unsigned long long>(added), static_cast<unsigned long long>(rejected));
  return rejected == 0 ? kExitOk : kExitFailed;
}

}  // namespace

Command ImportCommand() {
  return {"import", "add the rows of a CSV file to a table", kUsage, Run};
}

}  // namespace korvex::tool
