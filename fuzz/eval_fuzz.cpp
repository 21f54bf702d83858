// Expression parsing, evaluation and writing back on arbitrary texts.
// A parsed expression written back must parse again to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/eval/evaluator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  static korvex::Evaluator* evaluator = [] {
    auto* ev = new korvex::Evaluator();
    ev->Bind("S", std::make_shared<korvex::ValueVariable>(korvex::Value::String("Hello, world")));
    ev->Bind("N", std::make_shared<korvex::ValueVariable>(korvex::Value::Integer(42)));
    ev->Bind("CUS:NAME", std::make_shared<korvex::ValueVariable>(korvex::Value::String("Smith")));
    std::vector<korvex::Value> cells(6, korvex::Value::Integer(7));
    ev->Bind("A", std::make_shared<korvex::ArrayVariable>(std::vector<int64_t>{2, 3}, cells));
    return ev;
  }();
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // GETINI reads files; keep the fuzzer off the disk.
  if (text.find("GETINI") != std::string_view::npos || text.find("getini") != std::string_view::npos) return 0;

  korvex::Expression expression;
  korvex::EvalStatus status = evaluator->Parse(text, &expression);
  if (status.ok() != expression.valid()) std::abort();
  if (!status.ok()) {
    if (status.code != korvex::kErrorInvalidExpression && status.code != korvex::kErrorNoBind) std::abort();
    return 0;
  }
  korvex::Value value;
  korvex::EvalStatus evaluated = expression.Evaluate(&value);
  if (!evaluated.ok() && evaluated.code != korvex::kErrorInvalidExpression) std::abort();

  std::string written = expression.ToText();
  korvex::Expression again;
  if (!evaluator->Parse(written, &again).ok()) std::abort();
  if (again.ToText() != written) std::abort();
  return 0;
}
