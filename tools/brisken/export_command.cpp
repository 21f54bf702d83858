// brisken export FILE[\!TABLE]: a table's records as CSV or JSON, in record
// order or in the order of a key, or through a view with a filter and an
// order given as expressions.
#include <cstdio>
#include <functional>

#include "data/brisken/bkf_driver.h"
#include "data/driver/declaration_builder.h"
#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "data/view/view_engine.h"
#include "runtime/type_codes.h"
#include "tools/brisken/command.h"
#include "tools/brisken/console.h"
#include "tools/brisken/csv.h"
#include "tools/brisken/field_text.h"
#include "tools/brisken/tool_support.h"

namespace korvex::tool {

namespace {

constexpr const char kUsage[] =
    "usage: brisken export [--table NAME] [--key KEY] [--filter EXPR] [--order EXPR]\n"
    "                      [--format csv|json] [--output PATH] [--progress]\n"
    "                      FILE[\\!TABLE]\n"
    "\n"
    "Writes the records of a table, read by the table's own stored definition.\n"
    "CSV (the default) has a header row of field labels and one row a record\n"
    "(RFC 4180: fields with a comma, quote or line end are quoted, rows end with\n"
    "CR LF). JSON is an array of objects keyed by the same labels. Formats of the\n"
    "values: see docs/brisken-tool.md (dates YYYY-MM-DD, times HH:MM:SS.hh,\n"
    "strings without trailing blanks, blobs in hexadecimal).\n"
    "\n"
    "  --table NAME      the table (default: the file's only table, else UNNAMED)\n"
    "  --key KEY         in the order of this key, e.g. CUS:BYNAME (default:\n"
    "                    record order); records a key leaves out (OPT) are left out\n"
    "  --filter EXPR     only the records for which the expression is true, e.g.\n"
    "                    \"CUS:STARTDATE > 70000 AND UPPER(SUBURB) = 'NORTH'\"\n"
    "  --order EXPR      in this order: expressions separated by commas, each\n"
    "                    with an optional + or - (descending), e.g.\n"
    "                    \"-UPPER(CUS:SUBURB),CUS:NAME\"; every record is written\n"
    "                    (not with --key). Fields are named by their labels, with\n"
    "                    or without the prefix.\n"
    "  --format FORMAT   csv or json\n"
    "  --output PATH     write to PATH instead of standard output\n"
    "  --progress        a progress line on standard error every 5000 records\n"
    "                    (always when standard error is a terminal)\n"
    "\n"
    "Exit status: 0 when every record was written; 1 when the file, table or key\n"
    "is missing or reading or writing failed; 2 for bad usage, a filter or an\n"
    "order that is not a valid expression among them.\n";

bool IsJsonNumber(std::string_view t) {
  size_t i = 0;
  if (i < t.size() && t[i] == '-') ++i;
  if (i >= t.size() || t[i] < '0' || t[i] > '9') return false;
  if (t[i] == '0' && i + 1 < t.size() && t[i + 1] >= '0' && t[i + 1] <= '9') return false;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  if (i < t.size() && t[i] == '.') {
    ++i;
    size_t digits = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    if (i == digits) return false;
  }
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t digits = i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
    if (i == digits) return false;
  }
  return i == t.size();
}

// Bytes above 127 are the program's code page, not UTF-8: each is written as
// the character with that byte's number, so no byte is lost.
void AppendJsonString(std::string* out, std::string_view text) {
  out->push_back('"');
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out->append("\\\""); break;
      case '\\': out->append("\\\\"); break;
      case '\n': out->append("\\n"); break;
      case '\r': out->append("\\r"); break;
      case '\t': out->append("\\t"); break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out->append(escape);
        } else {
          out->push_back(static_cast<char>(c));
        }
    }
  }
  out->push_back('"');
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args,
                 {"--table=", "--key=", "--filter=", "--order=", "--format=", "--output=",
                  "--progress"},
                 &parsed, &error)) {
    std::fprintf(err, "brisken export: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  if (parsed.words.size() != 1) {
    std::fprintf(err, "brisken export: give one file\n\n%s", kUsage);
    return kExitUsage;
  }
  std::string format = parsed.Has("format") ? parsed.Value("format") : "csv";
  if (format != "csv" && format != "json") {
    std::fprintf(err, "brisken export: unknown format '%s' (csv or json)\n", format.c_str());
    return kExitUsage;
  }
  const bool json = format == "json";
  const bool through_view = parsed.Has("filter") || parsed.Has("order");
  if (parsed.Has("key") && parsed.Has("order")) {
    std::fprintf(err, "brisken export: give --key or --order, not both\n");
    return kExitUsage;
  }
  Target target;
  if (!ParseTarget(parsed.words[0], parsed.Value("table"), &target, &error)) {
    std::fprintf(err, "brisken export: %s\n", error.c_str());
    return kExitUsage;
  }

  CorruptionCatcher catcher;
  std::unique_ptr<brisken::BriskenFile> file;
  std::unique_ptr<brisken::Table> table;
  if (!OpenForReading(target.path, &file, &error) ||
      !OpenTable(file.get(), &target, &table, &error)) {
    std::fprintf(err, "brisken export: %s\n", error.c_str());
    return kExitFailed;
  }
  const driver::FileDeclaration& decl = table->declaration();
  int key = 0;
  if (parsed.Has("key")) {
    key = FindKey(decl, parsed.Value("key"));
    if (key == 0) {
      std::string keys;
      for (const driver::KeyDeclaration& k : decl.keys) {
        keys += ' ';
        keys.append(k.label);
      }
      std::fprintf(err, "brisken export: table %s has no key '%s'; its keys:%s\n",
                   target.table.c_str(), parsed.Value("key").c_str(),
                   keys.empty() ? " (none)" : keys.c_str());
      return kExitFailed;
    }
    if (table->NeedsBuild(key)) {
      int32_t code = table->Build(key);
      if (code != 0) {
        std::fprintf(err, "brisken export: the index %s cannot be built (%s)\n",
                     std::string(decl.keys[static_cast<size_t>(key - 1)].label).c_str(),
                     ErrorMessage(code).c_str());
        return kExitFailed;
      }
    }
  }

  // Through a view: the table opened by the driver too (reading, sharing it
  // with this command's own handle), the texts checked before any output.
  std::vector<uint8_t> record(table->record_size());
  std::vector<std::vector<uint8_t>> memos = table->BlankMemos();
  const driver::RecordLayout layout = table->layout();
  // The driver opens the file alone (no lock for every read) with a copy of
  // the table's declaration, once this command's own handle is closed.
  std::unique_ptr<driver::OwnedDeclaration> owned;
  if (through_view) {
    owned = driver::OwnedDeclaration::CopyOf(decl);
    table.reset();
    file.reset();
  }
  const driver::FileDeclaration& shown = owned ? owned->declaration() : decl;
  std::unique_ptr<driver::FileControlBlock> block;
  view::ViewDeclaration view_declaration;
  std::unique_ptr<view::ViewControlBlock> view;
  if (through_view) {
    block = std::make_unique<driver::FileControlBlock>(&shown, record.data(), record.size());
    block->name = target.path + "\\!" + target.table;
    driver::Arguments open{driver::Argument::Number(0x10)};  // read, deny all
    int32_t code = brisken::BkfEntry(driver::kOpOpen, block.get(), &open);
    if (code == 0 && key != 0) {
      driver::Arguments set{driver::Argument::Key(&shown.keys[static_cast<size_t>(key - 1)])};
      code = brisken::BkfEntry(driver::kOpSetKey, block.get(), &set);
    }
    if (code != 0) {
      std::fprintf(err, "brisken export: %s cannot be read through a view (%s)\n",
                   target.path.c_str(), ErrorMessage(code).c_str());
      return kExitFailed;
    }
    view_declaration.primary.file = block.get();
    view_declaration.primary.entry = &brisken::BkfEntry;
    view = std::make_unique<view::ViewControlBlock>(&view_declaration);
    std::string why;
    if (view->SetOrder(parsed.Value("order"), &why) != 0 ||
        view->SetFilter(parsed.Value("filter"), &why) != 0) {
      std::fprintf(err, "brisken export: %s\n", why.c_str());
      brisken::BkfEntry(driver::kOpClose, block.get(), nullptr);
      return kExitUsage;
    }
    code = view::ViewEntry(driver::kOpOpen, view.get(), nullptr);
    if (code != 0) {
      std::fprintf(err, "brisken export: the view cannot be opened (%s)\n", ErrorMessage(code).c_str());
      brisken::BkfEntry(driver::kOpClose, block.get(), nullptr);
      return kExitFailed;
    }
  }
  struct CloseBlock {
    driver::FileControlBlock* block;
    ~CloseBlock() {
      if (block != nullptr) brisken::BkfEntry(driver::kOpClose, block, nullptr);
    }
  } close_block{block.get()};

  std::FILE* to = out;
  std::string output_path = parsed.Value("output");
  if (!output_path.empty()) {
    to = std::fopen(output_path.c_str(), "wb");
    if (to == nullptr) {
      std::fprintf(err, "brisken export: %s cannot be written\n", output_path.c_str());
      return kExitFailed;
    }
  } else {
    SetBinaryMode(out);
  }

  const std::vector<Column> columns = RecordColumns(shown, layout);
  brisken::RecordBuffers buffers{record, shown.memos.empty() ? nullptr : &memos};
  const std::vector<std::vector<uint8_t>>& memo_values = block ? block->memos : memos;
  auto current_record = [&]() -> unsigned long {
    if (!block) return table->current();
    int64_t n = 0;
    driver::Arguments pointer{driver::Argument::NumberAnswer(&n)};
    brisken::BkfEntry(driver::kOpPointerFile, block.get(), &pointer);
    return static_cast<unsigned long>(n);
  };

  constexpr size_t kChunk = 256 * 1024;
  std::string chunk;
  bool write_failed = false;
  auto flush = [&](bool always) {
    if (!always && chunk.size() < kChunk) return;
    if (!chunk.empty() && std::fwrite(chunk.data(), 1, chunk.size(), to) != chunk.size()) {
      write_failed = true;
    }
    chunk.clear();
  };

  // One buffer for the whole output, written in large pieces; the values
  // go into it straight from the record, through one reused text.
  chunk.reserve(kChunk + 4096);
  if (json) {
    chunk.append("[");
  } else {
    std::vector<std::string> header;
    for (const Column& c : columns) header.push_back(c.label);
    AppendCsvRecord(&chunk, header);
  }
  std::vector<JsonKind> kinds;
  // STRING columns go from the record into the CSV without a copy between:
  // their text is their bytes without the trailing blanks.
  std::vector<bool> plain_string;
  for (const Column& c : columns) {
    kinds.push_back(ColumnJsonKind(shown, c));
    plain_string.push_back(!json && c.memo < 0 && !c.raw &&
                           shown.fields[static_cast<size_t>(c.field)].type == kTypeString);
  }

  int32_t code = through_view ? 0 : key == 0 ? table->SetFile() : table->SetKey(key);
  uint64_t count = 0;
  uint64_t unreadable = 0;
  Progress progress("export", parsed.Has("progress"), err);
  std::string text;
  while (code == 0 && !write_failed) {
    code = through_view ? view::ViewEntry(driver::kOpNext, view.get(), nullptr) : table->Next(buffers);
    if (code != 0) break;
    if (json) chunk.append(count == 0 ? "\n{" : ",\n{");
    for (size_t i = 0; i < columns.size(); ++i) {
      const Column& c = columns[i];
      if (plain_string[i]) {
        const char* bytes = reinterpret_cast<const char*>(record.data()) + c.offset;
        size_t n = c.size;
        while (n > 0 && bytes[n - 1] == ' ') --n;
        if (i > 0) chunk.push_back(',');
        AppendCsvField(&chunk, std::string_view(bytes, n));
        continue;
      }
      if (!ColumnToText(shown, c, record, memo_values, &text)) {
        ++unreadable;
        std::fprintf(err, "brisken export: record %lu: %s holds no valid value; written empty\n",
                     current_record(), c.label.c_str());
      }
      if (json) {
        if (i > 0) chunk.push_back(',');
        AppendJsonString(&chunk, c.label);
        chunk.push_back(':');
        if (kinds[i] == JsonKind::kNumber && IsJsonNumber(text)) {
          chunk.append(text);
        } else {
          AppendJsonString(&chunk, text);
        }
      } else {
        if (i > 0) chunk.push_back(',');
        AppendCsvField(&chunk, text);
      }
    }
    if (json) {
      chunk.push_back('}');
    } else {
      chunk.append("\r\n");
    }
    ++count;
    progress.Step(count);
    flush(false);
  }
  progress.Done(count);
  if (json) chunk.append(count == 0 ? "]\n" : "\n]\n");
  flush(true);
  if (std::fflush(to) != 0) write_failed = true;
  if (to != out && std::fclose(to) != 0) write_failed = true;

  if (write_failed) {
    std::fprintf(err, "brisken export: writing %s failed\n",
                 output_path.empty() ? "standard output" : output_path.c_str());
    return kExitFailed;
  }
  if (code != driver::kErrRecordNotAvailable) {
    std::fprintf(err, "brisken export: reading stopped after %llu records (%s)\n",
                 static_cast<unsigned long long>(count), ErrorMessage(code).c_str());
    return kExitFailed;
  }
  if (unreadable > 0) {
    std::fprintf(err, "brisken export: %llu values could not be written\n",
                 static_cast<unsigned long long>(unreadable));
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

Command ExportCommand() {
  return {"export", "write a table's records as CSV or JSON", kUsage, Run};
}

}  // namespace korvex::tool
