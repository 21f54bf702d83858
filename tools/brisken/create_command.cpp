// brisken create FILE[\!TABLE] DECLARATION: a new, empty table from a
// declaration written in the structure-dump syntax.
#include <cstdio>

#include "data/driver/declaration_text.h"
#include "runtime/os/file.h"
#include "tools/brisken/command.h"
#include "tools/brisken/console.h"
#include "tools/brisken/tool_support.h"

namespace korvex::tool {

namespace {

constexpr const char kUsage[] =
    "usage: brisken create [--table NAME] [--replace] FILE[\\!TABLE] DECLARATION\n"
    "\n"
    "Creates an empty table in a Brisken file from a declaration in the\n"
    "structure-dump syntax (what `brisken declaration` prints), read from the\n"
    "file DECLARATION or, for \"-\", from standard input. A missing file is made;\n"
    "an existing Brisken file gets the table beside its others.\n"
    "\n"
    "  --table NAME   the table's name (default UNNAMED)\n"
    "  --replace      replace a table of that name, dropping its records\n"
    "\n"
    "example declaration:\n"
    "  CUSTOMER          FILE,DRIVER('BRISKEN'),CREATE\n"
    "  CUS:BYNAME          KEY(+CUS:NAME),OPT,NOCASE\n"
    "  CUS:BYID            KEY(+CUS:CUSID),OPT,NOCASE,PRIMARY\n"
    "                      RECORD\n"
    "  CUS:CUSID           LONG\n"
    "  CUS:NAME            STRING(20)\n"
    "                      END\n"
    "                      END\n"
    "\n"
    "Exit status: 0 when the table was created; 1 when the declaration is\n"
    "malformed or cannot be stored, the table exists, or the file cannot be\n"
    "written (the file is then left as it was); 2 for bad usage.\n";

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return u;
}

bool ReadText(const std::string& path, std::FILE* in, std::string* text, std::string* error) {
  std::FILE* f = in;
  if (path != "-") {
    if (!os::FileExists(path)) {
      *error = path + ": no such file";
      return false;
    }
    f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
      *error = path + ": cannot be opened";
      return false;
    }
  } else {
    SetBinaryMode(f);
  }
  char buffer[16384];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, got);
  bool failed = std::ferror(f) != 0;
  if (f != in) std::fclose(f);
  if (failed) {
    *error = path + ": cannot be read";
    return false;
  }
  return true;
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {"--table=", "--replace"}, &parsed, &error)) {
    std::fprintf(err, "brisken create: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  if (parsed.words.size() != 2) {
    std::fprintf(err, "brisken create: give a file and a declaration\n\n%s", kUsage);
    return kExitUsage;
  }
  Target target;
  if (!ParseTarget(parsed.words[0], parsed.Value("table"), &target, &error)) {
    std::fprintf(err, "brisken create: %s\n", error.c_str());
    return kExitUsage;
  }
  if (!target.table_given) target.table = "UNNAMED";

  const std::string& source = parsed.words[1];
  std::string text;
  if (!ReadText(source, stdin, &text, &error)) {
    std::fprintf(err, "brisken create: %s\n", error.c_str());
    return kExitFailed;
  }
  std::unique_ptr<driver::OwnedDeclaration> declaration;
  driver::DeclarationTextError parse_error;
  if (!driver::ParseDeclarationText(text, &declaration, &parse_error)) {
    std::fprintf(err, "brisken create: %s: %s\n", source == "-" ? "<stdin>" : source.c_str(),
                 parse_error.ToString().c_str());
    return kExitFailed;
  }
  const driver::FileDeclaration& decl = declaration->declaration();
  if (!decl.driver.empty() && Upper(decl.driver) != "BRISKEN") {
    std::fprintf(err, "brisken create: the declaration names the driver '%.*s'; only BRISKEN files "
                 "can be made\n", static_cast<int>(decl.driver.size()), decl.driver.data());
    return kExitFailed;
  }
  if ((decl.attributes & driver::kFileEncrypt) != 0) {
    // Making the file unenciphered would quietly drop what was asked for.
    std::fputs("brisken create: ENCRYPT is not supported by this tool; no file was made\n", err);
    return kExitFailed;
  }

  CorruptionCatcher catcher;
  std::unique_ptr<brisken::BriskenFile> file;
  bool created = false;
  if (!OpenForWriting(target.path, true, &file, &created, &error)) {
    std::fprintf(err, "brisken create: %s\n", error.c_str());
    return kExitFailed;
  }
  auto give_up = [&](const std::string& message) {
    std::fprintf(err, "brisken create: %s\n", message.c_str());
    file.reset();  // pending changes are dropped, never committed
    if (created) os::DeleteFile(target.path);
    return kExitFailed;
  };
  std::vector<std::string> names;
  int32_t code = brisken::Table::ListTables(file.get(), &names);
  if (code != 0) return give_up(target.path + ": " + ErrorMessage(code));
  for (const std::string& n : names) {
    if (n == target.table && !parsed.Has("replace")) {
      return give_up(target.path + " already has a table '" + target.table +
                     "' (--replace drops it and its records)");
    }
  }
  std::unique_ptr<brisken::Table> table;
  code = brisken::Table::Create(file.get(), target.table, decl, &table);
  if (code != 0) {
    return give_up("the declaration cannot be stored as a table (" + ErrorMessage(code) + ")");
  }
  size_t record_size = table->record_size();
  table.reset();
  brisken::Status s = file->Close();
  if (!s.ok()) return give_up(target.path + ": " + ErrorMessage(s.code()));
  std::fprintf(out, "%s: table %s created (%zu-byte records, %zu fields, %zu keys, %zu memos)\n",
               target.path.c_str(), target.table.c_str(), record_size, decl.fields.size(),
               decl.keys.size(), decl.memos.size());
  return kExitOk;
}

}  // namespace

Command CreateCommand() {
  return {"create", "create a table from a declaration (structure-dump syntax)", kUsage, Run};
}

}  // namespace korvex::tool
