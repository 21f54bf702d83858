// The expression evaluator: expression texts ("CUS:NAME >= 'A' AND
// CUS:ORDER < 100") parsed into trees over bound names, evaluated, and
// written back as text.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/eval/value.h"

namespace korvex {

// Runtime error numbers of the evaluator.
inline constexpr int kErrorInvalidExpression = 800;  // "Invalid expression for EVALUATE"
inline constexpr int kErrorNoBind = 801;             // "No BIND on variable"
inline constexpr int kErrorScopeMismatch = 802;      // "Mismatched PUSHSCOPE/POPSCOPE"

struct EvalStatus {
  int code = 0;        // 0, or one of the error numbers above
  std::string text;    // the error's standard text
  std::string detail;  // what went wrong where, for people

  bool ok() const { return code == 0; }
};

// Something bound under a name: a program variable, a record field, an array.
// The evaluator reads it every time an expression uses it.
class Variable {
 public:
  virtual ~Variable() = default;
  virtual Value Get() const = 0;
  // Arrays: the number of dimensions, and an element by 1-based subscripts
  // (false when a subscript is out of range or their count is wrong).
  virtual int Dimensions() const { return 0; }
  virtual bool Element(const std::vector<int64_t>& subscripts, Value* out) const {
    (void)subscripts;
    (void)out;
    return false;
  }
  virtual bool IsNull() const { return false; }
};

// A variable that holds its own value.
class ValueVariable : public Variable {
 public:
  explicit ValueVariable(Value value = Value()) : value_(std::move(value)) {}
  Value Get() const override { return value_; }
  void Set(Value value) { value_ = std::move(value); }

 private:
  Value value_;
};

// An array held in row-major order.
class ArrayVariable : public Variable {
 public:
  // REQUIRES: values.size() is the product of dimensions, each at least 1.
  ArrayVariable(std::vector<int64_t> dimensions, std::vector<Value> values)
      : dimensions_(std::move(dimensions)), values_(std::move(values)) {}
  Value Get() const override { return values_.empty() ? Value() : values_[0]; }
  int Dimensions() const override { return static_cast<int>(dimensions_.size()); }
  bool Element(const std::vector<int64_t>& subscripts, Value* out) const override;
  std::vector<Value>& values() { return values_; }

 private:
  std::vector<int64_t> dimensions_;
  std::vector<Value> values_;
};

// Operator codes of the expression tree.
enum ExprOperator : uint8_t {
  kOpPower = 2,
  kOpMultiply = 3,
  kOpDivide = 4,
  kOpModulus = 5,
  kOpNegate = 6,
  kOpAdd = 7,
  kOpSubtract = 8,
  kOpConcat = 9,
  kOpEqual = 10,
  kOpNotEqual = 11,
  kOpLess = 12,
  kOpGreater = 13,
  kOpLessEqual = 14,
  kOpGreaterEqual = 15,
  kOpNot = 16,
  kOpAnd = 17,
  kOpOr = 18,
  kOpXor = 19,
  kOpComma = 20,
  kOpColon = 21,
};

// Result types of built-in functions.
enum class ResultType : uint8_t { kInteger = 1, kReal = 2, kString = 4 };

struct BuiltinFunction {
  const char* name;
  uint8_t number;
  uint8_t min_args;
  uint8_t max_args;  // kListArgs: any number
  ResultType result;
};
inline constexpr uint8_t kListArgs = 25;

// The table of built-in functions; nullptr for an unknown name (upper case).
const BuiltinFunction* FindBuiltin(std::string_view upper_name);
const std::vector<BuiltinFunction>& Builtins();

enum class NodeKind : uint8_t {
  kConstant,  // number or string
  kPicture,   // a picture constant: its text
  kVariable,
  kElement,   // variable[subscript, ...]
  kSlice,     // variable[from : to]
  kUnary,     // op kOpNegate or kOpNot
  kBinary,
  kFunction,
};

struct ExprNode {
  NodeKind kind = NodeKind::kConstant;
  uint8_t op = 0;                           // kUnary, kBinary
  Value value;                              // kConstant, kPicture
  std::string text;                         // constant as written, picture, or name
  std::shared_ptr<const Variable> variable; // kVariable, kElement, kSlice
  const BuiltinFunction* function = nullptr;
  std::vector<std::unique_ptr<ExprNode>> children;  // operands, subscripts, arguments
  int depth = 1;                            // levels from here down
};

// A parsed expression. Copying is disabled: the tree is owned once.
class Expression {
 public:
  Expression() = default;
  Expression(Expression&&) = default;
  Expression& operator=(Expression&&) = default;
  Expression(const Expression&) = delete;
  Expression& operator=(const Expression&) = delete;

  bool valid() const { return root_ != nullptr; }
  const ExprNode* root() const { return root_.get(); }
  // The expression written back as text that parses to the same tree.
  std::string ToText() const;
  // REQUIRES: valid(). Failures are code 800 with a detail.
  EvalStatus Evaluate(Value* out) const;

 private:
  friend class Evaluator;
  std::unique_ptr<ExprNode> root_;
};

// Bound names in a stack of scopes, and the parser that resolves them.
// Not thread-safe: callers hold the runtime lock.
class Evaluator {
 public:
  Evaluator();

  // Enters (or replaces) a name in the current scope. Names ignore case.
  void Bind(std::string_view name, std::shared_ptr<const Variable> variable);
  // Removes a name from the current scope; false when it is not there.
  bool Unbind(std::string_view name);
  // A new scope for names; with stop_search, lookups go no further down.
  void PushScope(bool stop_search);
  // Error 802 when no scope is pushed; callers halt with it.
  EvalStatus PopScope();
  int ScopeDepth() const { return static_cast<int>(scopes_.size()) - 1; }

  // Parses text; error 801 for a name bound nowhere, 800 for anything else wrong.
  EvalStatus Parse(std::string_view text, Expression* out) const;
  // EVALUATE: parse and evaluate.
  EvalStatus Evaluate(std::string_view text, Value* out) const;

  // The variable a name resolves to, or nullptr.
  std::shared_ptr<const Variable> Lookup(std::string_view name) const;

 private:
  struct Scope {
    std::map<std::string, std::shared_ptr<const Variable>> names;  // upper-case names
    bool stop_search = false;
  };
  std::vector<Scope> scopes_;  // [0] is the base scope, never popped
};

}  // namespace korvex
