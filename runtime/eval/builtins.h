// Internal to the evaluator: evaluation state and the built-in functions.
#pragma once

#include <string>

#include "runtime/eval/evaluator.h"

namespace korvex::eval_detail {

struct EvalContext {
  std::string detail;  // why evaluation failed
};

// False after setting the context's detail (the first one stands).
bool Fail(EvalContext* context, const std::string& detail);
bool Evaluate(const ExprNode& node, EvalContext* context, Value* out);
bool ToInt64(const Value& v, int64_t* out);
bool IntArg(EvalContext* context, const Value& v, int64_t* out);
bool CallBuiltin(const ExprNode& node, EvalContext* context, Value* out);

}  // namespace korvex::eval_detail
