// brisken eval EXPR: prints the value of an expression with no bound names.
#include <string>

#include "runtime/eval/evaluator.h"
#include "tools/brisken/command.h"

namespace korvex::tool {

namespace {

constexpr const char kUsage[] =
    "usage: brisken eval [--text] EXPRESSION...\n"
    "\n"
    "Prints the value of an expression: arithmetic, comparisons, strings,\n"
    "built-in functions, pictures and dates. Several arguments are joined\n"
    "with blanks. No names are bound, so only constants and functions work.\n"
    "\n"
    "  --text   print the expression as the evaluator writes it back, not its value\n"
    "\n"
    "examples:\n"
    "  brisken eval \"FORMAT(-1234,@n-14)\"\n"
    "  brisken eval \"DEFORMAT('JAN  1,1999',@D3)\"\n"
    "  brisken eval \"FORMAT(TODAY(),@D4)\"\n"
    "\n"
    "Exit status: 0 with the value printed; 1 when the expression is invalid or\n"
    "cannot be evaluated (the error goes to standard error); 2 for bad usage.\n";

int Run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  bool text_only = false;
  std::string expression;
  bool any = false;
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, out);
      return 0;
    }
    if (arg == "--text" && !any) {
      text_only = true;
      continue;
    }
    if (any) expression += ' ';
    expression += arg;
    any = true;
  }
  if (!any) {
    std::fputs("brisken eval: no expression given\n\n", err);
    std::fputs(kUsage, err);
    return 2;
  }
  Evaluator evaluator;
  Expression parsed;
  EvalStatus status = evaluator.Parse(expression, &parsed);
  Value value;
  if (status.ok() && !text_only) status = parsed.Evaluate(&value);
  if (!status.ok()) {
    std::fprintf(err, "brisken eval: error %d: %s (%s)\n", status.code, status.text.c_str(),
                 status.detail.c_str());
    return 1;
  }
  std::string shown = text_only ? parsed.ToText() : value.ToText();
  std::fwrite(shown.data(), 1, shown.size(), out);
  std::fputc('\n', out);
  return 0;
}

}  // namespace

Command EvalCommand() {
  return {"eval", "print the value of an expression (pictures, dates, filters)", kUsage, Run};
}

}  // namespace korvex::tool
