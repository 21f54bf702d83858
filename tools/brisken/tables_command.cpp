// brisken tables FILE: the tables a Brisken file holds.
#include <cstdio>

#include "tools/brisken/command.h"
#include "tools/brisken/tool_support.h"

namespace korvex::tool {

namespace {

constexpr const char kUsage[] =
    "usage: brisken tables [--long] FILE\n"
    "\n"
    "Lists the tables of a Brisken file, one name a line, in name order. A file\n"
    "name without an extension gets \".BKF\".\n"
    "\n"
    "  --long   also show each table's records, record size, fields, keys and memos\n"
    "\n"
    "Exit status: 0 with the list printed; 1 when the file is missing, is not a\n"
    "Brisken file or cannot be read; 2 for bad usage.\n";

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {"--long"}, &parsed, &error)) {
    std::fprintf(err, "brisken tables: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  if (parsed.words.size() != 1) {
    std::fprintf(err, "brisken tables: give one file\n\n%s", kUsage);
    return kExitUsage;
  }
  Target target;
  if (!ParseTarget(parsed.words[0], "", &target, &error)) {
    std::fprintf(err, "brisken tables: %s\n", error.c_str());
    return kExitUsage;
  }
  CorruptionCatcher catcher;
  std::unique_ptr<brisken::BriskenFile> file;
  if (!OpenForReading(target.path, &file, &error)) {
    std::fprintf(err, "brisken tables: %s\n", error.c_str());
    return kExitFailed;
  }
  std::vector<std::string> names;
  int32_t code = brisken::Table::ListTables(file.get(), &names);
  if (code != 0) {
    std::fprintf(err, "brisken tables: %s: %s\n", target.path.c_str(), ErrorMessage(code).c_str());
    return kExitFailed;
  }
  int status = kExitOk;
  for (const std::string& name : names) {
    if (!parsed.Has("long")) {
      std::fprintf(out, "%s\n", name.c_str());
      continue;
    }
    std::unique_ptr<brisken::Table> table;
    code = brisken::Table::OpenStored(file.get(), name, &table);
    uint32_t records = 0;
    if (code == 0) code = table->Records(0, &records);
    if (code != 0) {
      std::fprintf(out, "%-20s (cannot be opened: %s)\n", name.c_str(), ErrorMessage(code).c_str());
      status = kExitFailed;
      continue;
    }
    const driver::FileDeclaration& d = table->declaration();
    std::fprintf(out, "%-20s %10lu records of %zu bytes, %zu fields, %zu keys, %zu memos\n",
                 name.c_str(), static_cast<unsigned long>(records), table->record_size(),
                 d.fields.size(), d.keys.size(), d.memos.size());
  }
  return status;
}

}  // namespace

Command TablesCommand() { return {"tables", "list the tables of a Brisken file", kUsage, Run}; }

}  // namespace korvex::tool
