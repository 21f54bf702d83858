// brisken declaration FILE[\!TABLE]: a table's declaration, read from its
// stored definition and written in the structure-dump syntax.
#include <cstdio>

#include "data/brisken/file_name.h"
#include "data/driver/declaration_builder.h"
#include "data/driver/structure_dump.h"
#include "tools/brisken/command.h"
#include "tools/brisken/console.h"
#include "tools/brisken/tool_support.h"

namespace korvex::tool {

namespace {

constexpr const char kUsage[] =
    "usage: brisken declaration [--table NAME] [--label LABEL] FILE[\\!TABLE]\n"
    "\n"
    "Prints a table's declaration as the table's own stored definition gives it,\n"
    "in the structure-dump syntax (lines end with CR LF). The text can be given\n"
    "to `brisken create` to make an empty table of the same shape.\n"
    "\n"
    "  --table NAME    the table (default: the file's only table, else UNNAMED)\n"
    "  --label LABEL   the label on the FILE line (default: the table's name, or\n"
    "                  for the table UNNAMED the file's name without extension)\n"
    "\n"
    "The stored definition keeps no file attributes, owner, driver options or\n"
    "external field names, so the FILE line carries only the driver.\n"
    "\n"
    "Exit status: 0 with the declaration printed; 1 when the file or table is\n"
    "missing or unreadable; 2 for bad usage.\n";

// A label the declaration syntax reads back: letters, digits, "_" and ":".
std::string LabelFrom(std::string_view text) {
  std::string label;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    bool word = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':';
    label.push_back(word ? c : '_');
  }
  return label.empty() ? std::string("FILE1") : label;
}

std::string DefaultLabel(const Target& target) {
  if (target.table != brisken::kDefaultTable) return LabelFrom(target.table);
  std::string base = target.path;
  size_t slash = base.find_last_of("/\\:");
  if (slash != std::string::npos) base = base.substr(slash + 1);
  size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return LabelFrom(base);
}

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {"--table=", "--label="}, &parsed, &error)) {
    std::fprintf(err, "brisken declaration: %s\n\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (parsed.help) {
    std::fputs(kUsage, out);
    return kExitOk;
  }
  if (parsed.words.size() != 1) {
    std::fprintf(err, "brisken declaration: give one file\n\n%s", kUsage);
    return kExitUsage;
  }
  Target target;
  if (!ParseTarget(parsed.words[0], parsed.Value("table"), &target, &error)) {
    std::fprintf(err, "brisken declaration: %s\n", error.c_str());
    return kExitUsage;
  }
  CorruptionCatcher catcher;
  std::unique_ptr<brisken::BriskenFile> file;
  std::unique_ptr<brisken::Table> table;
  if (!OpenForReading(target.path, &file, &error) || !OpenTable(file.get(), &target, &table, &error)) {
    std::fprintf(err, "brisken declaration: %s\n", error.c_str());
    return kExitFailed;
  }
  std::unique_ptr<driver::OwnedDeclaration> copy =
      driver::OwnedDeclaration::CopyOf(table->declaration());
  copy->set_label(parsed.Has("label") ? parsed.Value("label") : DefaultLabel(target));
  copy->set_driver("BRISKEN");
  std::string text = driver::StructureDump(copy->declaration());
  SetBinaryMode(out);
  std::fwrite(text.data(), 1, text.size(), out);
  return kExitOk;
}

}  // namespace

Command DeclarationCommand() {
  return {"declaration", "print a table's declaration (structure-dump syntax)", kUsage, Run};
}

}  // namespace korvex::tool
