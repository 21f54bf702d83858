// Evaluating expression trees and writing them back as text.
#include <cstdio>

#include "runtime/eval/builtins.h"
#include "runtime/eval/evaluator.h"

namespace korvex {

bool ArrayVariable::Element(const std::vector<int64_t>& subscripts, Value* out) const {
  if (subscripts.size() != dimensions_.size()) return false;
  size_t index = 0;
  for (size_t d = 0; d < subscripts.size(); ++d) {
    if (subscripts[d] < 1 || subscripts[d] > dimensions_[d]) return false;
    index = index * static_cast<size_t>(dimensions_[d]) + static_cast<size_t>(subscripts[d] - 1);
  }
  if (index >= values_.size()) return false;
  *out = values_[index];
  return true;
}

namespace eval_detail {

bool Fail(EvalContext* context, const std::string& detail) {
  if (context->detail.empty()) context->detail = detail;
  return false;
}

bool ToInt64(const Value& v, int64_t* out) {
  Value n = v.ToNumber();
  switch (n.kind()) {
    case Value::Kind::kInteger: *out = n.integer(); return true;
    case Value::Kind::kDecimal: return n.decimal().ToInt64(out);
    default: {
      double d = n.ToDouble();
      if (!(d > -9.2e18 && d < 9.2e18)) return false;
      *out = static_cast<int64_t>(d);
      return true;
    }
  }
}

bool IntArg(EvalContext* context, const Value& v, int64_t* out) {
  if (ToInt64(v, out)) return true;
  return Fail(context, "number out of range");
}

bool Evaluate(const ExprNode& node, EvalContext* context, Value* out) {
  switch (node.kind) {
    case NodeKind::kConstant:
    case NodeKind::kPicture:
      *out = node.value;
      return true;
    case NodeKind::kVariable:
      *out = node.variable->Get();
      return true;
    case NodeKind::kElement: {
      std::vector<int64_t> subscripts;
      for (const auto& child : node.children) {
        Value v;
        int64_t i = 0;
        if (!Evaluate(*child, context, &v) || !IntArg(context, v, &i)) return false;
        subscripts.push_back(i);
      }
      if (!node.variable->Element(subscripts, out)) {
        return Fail(context, "subscript out of range for " + node.text);
      }
      return true;
    }
    case NodeKind::kSlice: {
      Value from_v, to_v;
      int64_t from = 0, to = 0;
      if (!Evaluate(*node.children[0], context, &from_v) || !IntArg(context, from_v, &from) ||
          !Evaluate(*node.children[1], context, &to_v) || !IntArg(context, to_v, &to)) {
        return false;
      }
      // Characters from..to (1-based), kept inside the string.
      std::string s = node.variable->Get().ToText();
      int64_t length = static_cast<int64_t>(s.size());
      if (from < 1) from = 1;
      if (to > length) to = length;
      *out = Value::String(from > to ? "" : s.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1)));
      return true;
    }
    case NodeKind::kUnary: {
      Value v;
      if (!Evaluate(*node.children[0], context, &v)) return false;
      if (node.op == kOpNot) {
        *out = Value::Bool(!v.IsTrue());
        return true;
      }
      std::string error;
      return Negate(v, out, &error) || Fail(context, error);
    }
    case NodeKind::kBinary: {
      Value a, b;
      if (!Evaluate(*node.children[0], context, &a)) return false;
      // AND and OR stop as soon as the answer is known.
      if (node.op == kOpAnd && !a.IsTrue()) {
        *out = Value::Bool(false);
        return true;
      }
      if (node.op == kOpOr && a.IsTrue()) {
        *out = Value::Bool(true);
        return true;
      }
      if (!Evaluate(*node.children[1], context, &b)) return false;
      std::string error;
      bool ok = true;
      switch (node.op) {
        case kOpAdd: ok = Add(a, b, out, &error); break;
        case kOpSubtract: ok = Subtract(a, b, out, &error); break;
        case kOpMultiply: ok = Multiply(a, b, out, &error); break;
        case kOpDivide: ok = Divide(a, b, out, &error); break;
        case kOpModulus: ok = Modulus(a, b, out, &error); break;
        case kOpPower: ok = Power(a, b, out, &error); break;
        case kOpConcat: {
          std::string s = a.ToText();
          std::string t = b.ToText();
          if (s.size() + t.size() > kMaxStringLength) return Fail(context, "string too long");
          *out = Value::String(s + t);
          break;
        }
        case kOpEqual: *out = Value::Bool(Compare(a, b) == 0); break;
        case kOpNotEqual: *out = Value::Bool(Compare(a, b) != 0); break;
        case kOpLess: *out = Value::Bool(Compare(a, b) < 0); break;
        case kOpGreater: *out = Value::Bool(Compare(a, b) > 0); break;
        case kOpLessEqual: *out = Value::Bool(Compare(a, b) <= 0); break;
        case kOpGreaterEqual: *out = Value::Bool(Compare(a, b) >= 0); break;
        case kOpAnd: case kOpOr: *out = Value::Bool(b.IsTrue()); break;
        case kOpXor: *out = Value::Bool(a.IsTrue() != b.IsTrue()); break;
        default: return Fail(context, "unknown operator");
      }
      return ok || Fail(context, error);
    }
    case NodeKind::kFunction:
      return CallBuiltin(node, context, out);
  }
  return Fail(context, "unknown node");
}

}  // namespace eval_detail

EvalStatus Expression::Evaluate(Value* out) const {
  if (!root_) return {kErrorInvalidExpression, "Invalid expression for EVALUATE", "no expression"};
  eval_detail::EvalContext context;
  if (!eval_detail::Evaluate(*root_, &context, out)) {
    return {kErrorInvalidExpression, "Invalid expression for EVALUATE", context.detail};
  }
  return {};
}

// ---- writing back ----

namespace {

// Binding strength of a node; children weaker than their place needs get brackets.
int Level(const ExprNode& n) {
  if (n.kind == NodeKind::kUnary) return n.op == kOpNot ? 3 : 9;
  if (n.kind != NodeKind::kBinary) return 10;
  switch (n.op) {
    case kOpOr: case kOpXor: return 1;
    case kOpAnd: return 2;
    case kOpConcat: return 5;
    case kOpAdd: case kOpSubtract: return 6;
    case kOpMultiply: case kOpDivide: case kOpModulus: return 7;
    case kOpPower: return 8;
    default: return 4;  // relations
  }
}

const char* OperatorText(uint8_t op) {
  switch (op) {
    case kOpPower: return " ^ ";
    case kOpMultiply: return " * ";
    case kOpDivide: return " / ";
    case kOpModulus: return " % ";
    case kOpAdd: return " + ";
    case kOpSubtract: return " - ";
    case kOpConcat: return " & ";
    case kOpEqual: return " = ";
    case kOpNotEqual: return " <> ";
    case kOpLess: return " < ";
    case kOpGreater: return " > ";
    case kOpLessEqual: return " <= ";
    case kOpGreaterEqual: return " >= ";
    case kOpAnd: return " AND ";
    case kOpOr: return " OR ";
    case kOpXor: return " XOR ";
    default: return " ? ";
  }
}

// Text being written. A picture token runs on into a following "]", and into
// a ")" when it has an unclosed "(" of its own, so such a picture gets a blank after it.
struct Writer {
  std::string text;
  bool guard_bracket = false;
  bool guard_paren = false;

  void Add(std::string_view s) {
    if (!s.empty() && ((s[0] == ']' && guard_bracket) || (s[0] == ')' && guard_paren))) text.push_back(' ');
    guard_bracket = guard_paren = false;
    text += s;
  }
  void AddPicture(std::string_view s) {
    Add(s);
    int depth = 0;
    bool literal = false;
    for (char c : s) {
      if (c == '~') literal = !literal;
      if (literal) continue;
      if (c == '(') ++depth;
      else if (c == ')' && depth > 0) --depth;
    }
    guard_bracket = true;
    guard_paren = depth > 0 || literal;
  }
};

void Write(const ExprNode& n, Writer* out);

void WriteChild(const ExprNode& child, bool brackets, Writer* out) {
  if (brackets) out->Add("(");
  Write(child, out);
  if (brackets) out->Add(")");
}

void Write(const ExprNode& n, Writer* out) {
  switch (n.kind) {
    case NodeKind::kConstant:
    case NodeKind::kVariable:
      out->Add(n.text);
      return;
    case NodeKind::kPicture:
      out->AddPicture(n.text);
      return;
    case NodeKind::kElement:
    case NodeKind::kSlice:
      out->Add(n.text);
      out->Add("[");
      for (size_t i = 0; i < n.children.size(); ++i) {
        if (i > 0) out->Add(n.kind == NodeKind::kSlice ? " : " : ", ");
        Write(*n.children[i], out);
      }
      out->Add("]");
      return;
    case NodeKind::kUnary:
      if (n.op == kOpNot) {
        out->Add("NOT ");
        WriteChild(*n.children[0], Level(*n.children[0]) < 4, out);
      } else {
        out->Add("-");
        WriteChild(*n.children[0], Level(*n.children[0]) < 10, out);
      }
      return;
    case NodeKind::kBinary: {
      int level = Level(n);
      WriteChild(*n.children[0], Level(*n.children[0]) < level, out);
      out->Add(OperatorText(n.op));
      WriteChild(*n.children[1], Level(*n.children[1]) <= level, out);
      return;
    }
    case NodeKind::kFunction:
      out->Add(n.text);
      out->Add("(");
      for (size_t i = 0; i < n.children.size(); ++i) {
        if (i > 0) out->Add(", ");
        Write(*n.children[i], out);
      }
      out->Add(")");
      return;
  }
}

}  // namespace

std::string Expression::ToText() const {
  Writer out;
  if (root_) Write(*root_, &out);
  return out.text;
}

}  // namespace korvex
