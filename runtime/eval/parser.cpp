// Tokens and the recursive-descent parser of expression texts, and the scopes
// of bound names that the parser resolves names in.
#include <cctype>
#include <cstdio>

#include "runtime/eval/evaluator.h"
#include "runtime/locale/locale.h"

namespace korvex {

namespace {

constexpr const char* kText800 = "Invalid expression for EVALUATE";
constexpr const char* kText801 = "No BIND on variable";
constexpr const char* kText802 = "Mismatched PUSHSCOPE/POPSCOPE";
// Deeper trees would make evaluating and writing them back recurse too far.
constexpr int kMaxDepth = 256;
constexpr int kMaxNesting = 64;  // brackets, calls and subscripts inside each other

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LocaleUpper(c);
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

enum class Tok : uint8_t {
  kEnd,
  kNumber,
  kString,
  kPicture,
  kVariable,
  kFunction,
  kKeyword,   // AND OR XOR NOT: op holds the operator code
  kOperator,  // op holds the character
  kOpen,
  kClose,
  kOpenBracket,
  kCloseBracket,
  kError,
};

struct Token {
  Tok type = Tok::kEnd;
  size_t pos = 0;
  std::string text;
  char op = 0;
  Value value;
  std::shared_ptr<const Variable> variable;
  const BuiltinFunction* function = nullptr;
};

struct Keyword {
  const char* name;
  uint8_t op;
};
constexpr Keyword kKeywords[] = {{"AND", kOpAnd}, {"NOT", kOpNot}, {"OR", kOpOr}, {"XOR", kOpXor}};

class Parser {
 public:
  Parser(const Evaluator& evaluator, std::string_view text) : ev_(evaluator), text_(text) {}

  EvalStatus Run(std::unique_ptr<ExprNode>* root) {
    Next();
    std::unique_ptr<ExprNode> tree = ParseExpression();
    if (tree && token_.type != Tok::kEnd) Fail("unexpected " + Describe(token_));
    if (!status_.ok()) return status_;
    *root = std::move(tree);
    return status_;
  }

 private:
  // ---- tokens ----

  void Next() {
    token_ = Token();
    size_t& i = pos_;
    while (i < text_.size() && (text_[i] == ' ' || text_[i] == '\t')) ++i;
    token_.pos = i;
    if (i >= text_.size()) return;
    char c = text_[i];
    if (IsDigit(c) || (c == '.' && i + 1 < text_.size() && IsDigit(text_[i + 1]))) return Number();
    if (c == '\'') return String();
    if (c == '@') return Picture();
    if (IsLetter(c) || c == '_' || c == '?') return Name();
    ++i;
    switch (c) {
      case '(': token_.type = Tok::kOpen; return;
      case ')': token_.type = Tok::kClose; return;
      case '[': token_.type = Tok::kOpenBracket; return;
      case ']': token_.type = Tok::kCloseBracket; return;
      case '+': case '-': case '*': case '/': case '%': case '^': case '&':
      case '=': case '<': case '>': case '~': case ',': case ':':
        token_.type = Tok::kOperator;
        token_.op = c;
        return;
      default:
        token_.type = Tok::kError;
        token_.text = std::string(1, c);
        return;
    }
  }

  void Number() {
    size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      size_t e = pos_ + 1;
      if (e < text_.size() && (text_[e] == '+' || text_[e] == '-')) ++e;
      if (e >= text_.size() || !IsDigit(text_[e])) {
        token_.type = Tok::kError;
        token_.text = std::string(text_.substr(start, e - start));
        return;
      }
      while (e < text_.size() && IsDigit(text_[e])) ++e;
      pos_ = e;
    }
    token_.text = std::string(text_.substr(start, pos_ - start));
    if (!ParseNumberValue(token_.text, &token_.value)) {
      token_.type = Tok::kError;
      return;
    }
    token_.type = Tok::kNumber;
  }

  void String() {
    std::string s;
    for (size_t i = pos_ + 1; i < text_.size(); ++i) {
      if (text_[i] == '\'') {
        if (i + 1 < text_.size() && text_[i + 1] == '\'') {
          s.push_back('\'');
          ++i;
          continue;
        }
        token_.type = Tok::kString;
        token_.value = Value::String(s);
        token_.text = std::string(text_.substr(pos_, i + 1 - pos_));
        pos_ = i + 1;
        return;
      }
      s.push_back(text_[i]);
    }
    token_.type = Tok::kError;
    token_.text = "unterminated string";
    pos_ = text_.size();
  }

  void Picture() {
    size_t start = pos_, i = pos_ + 1;
    char kind = i < text_.size() ? LocaleUpper(text_[i]) : 0;
    if (kind == 'P' || kind == 'K') {
      // Runs to the closing letter, which may be followed by B.
      size_t close = i + 1;
      while (close < text_.size() && LocaleUpper(text_[close]) != kind) ++close;
      if (close >= text_.size()) {
        token_.type = Tok::kError;
        token_.text = "unterminated picture";
        pos_ = text_.size();
        return;
      }
      i = close + 1;
      if (i < text_.size() && (text_[i] == 'B' || text_[i] == 'b')) ++i;
    } else {
      int depth = 0;
      bool literal = false;
      for (; i < text_.size(); ++i) {
        char c = text_[i];
        if (c == '~' && kind == 'N') literal = !literal;
        if (literal) continue;
        if (c == '(') ++depth;
        else if (c == ')' && depth > 0) --depth;
        else if (depth == 0 && (c == ' ' || c == ',' || c == ')' || c == '\t')) break;
      }
    }
    token_.type = Tok::kPicture;
    token_.text = std::string(text_.substr(start, i - start));
    token_.value = Value::String(token_.text);
    pos_ = i;
  }

  void Name() {
    size_t start = pos_;
    ++pos_;
    while (pos_ < text_.size() &&
           (IsLetter(text_[pos_]) || IsDigit(text_[pos_]) || text_[pos_] == '_' || text_[pos_] == ':')) {
      ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == '#' || text_[pos_] == '$' || text_[pos_] == '"')) ++pos_;
    token_.text = std::string(text_.substr(start, pos_ - start));
    std::string upper = Upper(token_.text);
    // Bound names first, then the global table of functions and keywords.
    if ((token_.variable = ev_.Lookup(upper))) {
      token_.type = Tok::kVariable;
      return;
    }
    for (const Keyword& k : kKeywords) {
      if (upper == k.name) {
        token_.type = Tok::kKeyword;
        token_.op = static_cast<char>(k.op);
        return;
      }
    }
    if ((token_.function = FindBuiltin(upper))) {
      token_.type = Tok::kFunction;
      return;
    }
    if (status_.ok()) {
      status_ = {kErrorNoBind, kText801, "no variable bound as " + token_.text};
    }
    token_.type = Tok::kError;
  }

  // ---- errors ----

  static std::string Describe(const Token& t) {
    switch (t.type) {
      case Tok::kEnd: return "end of expression";
      case Tok::kOperator: return std::string("'") + t.op + "'";
      case Tok::kOpen: return "'('";
      case Tok::kClose: return "')'";
      case Tok::kOpenBracket: return "'['";
      case Tok::kCloseBracket: return "']'";
      case Tok::kError: return t.text.empty() ? "bad character" : "'" + t.text + "'";
      default: return "'" + t.text + "'";
    }
  }

  std::nullptr_t Fail(const std::string& what) {
    if (status_.ok()) {
      char where[32];
      std::snprintf(where, sizeof where, " at column %zu", token_.pos + 1);
      status_ = {kErrorInvalidExpression, kText800, what + where};
    }
    return nullptr;
  }

  bool IsOp(char c) const { return token_.type == Tok::kOperator && token_.op == c; }
  bool IsKeyword(uint8_t op) const {
    return token_.type == Tok::kKeyword && static_cast<uint8_t>(token_.op) == op;
  }

  // ---- tree building ----

  std::unique_ptr<ExprNode> Make(NodeKind kind, uint8_t op) {
    auto node = std::make_unique<ExprNode>();
    node->kind = kind;
    node->op = op;
    return node;
  }

  // Sets the node's depth from its children; false (failing) when too deep.
  bool Deep(ExprNode* node) {
    int depth = 0;
    for (const auto& c : node->children) depth = std::max(depth, c->depth);
    node->depth = depth + 1;
    if (node->depth > kMaxDepth) {
      Fail("expression nested too deeply");
      return false;
    }
    return true;
  }

  std::unique_ptr<ExprNode> Binary(uint8_t op, std::unique_ptr<ExprNode> a, std::unique_ptr<ExprNode> b) {
    if (!a || !b) return nullptr;
    auto node = Make(NodeKind::kBinary, op);
    node->children.push_back(std::move(a));
    node->children.push_back(std::move(b));
    if (!Deep(node.get())) return nullptr;
    return node;
  }

  struct Nest {
    explicit Nest(Parser* p) : parser(p) { ++parser->nesting_; }
    ~Nest() { --parser->nesting_; }
    Parser* parser;
  };

  std::unique_ptr<ExprNode> ParseExpression() {
    Nest nest(this);
    if (nesting_ > kMaxNesting) return Fail("expression nested too deeply");
    auto left = ParseConjunction();
    while (left && (IsKeyword(kOpOr) || IsKeyword(kOpXor))) {
      uint8_t op = static_cast<uint8_t>(token_.op);
      Next();
      left = Binary(op, std::move(left), ParseConjunction());
    }
    return left;
  }

  std::unique_ptr<ExprNode> ParseConjunction() {
    auto left = ParseNegation();
    while (left && IsKeyword(kOpAnd)) {
      Next();
      left = Binary(kOpAnd, std::move(left), ParseNegation());
    }
    return left;
  }

  std::unique_ptr<ExprNode> ParseNegation() {
    if (IsKeyword(kOpNot) || IsOp('~')) {
      Next();
      auto operand = ParseComparison();
      if (!operand) return nullptr;
      auto node = Make(NodeKind::kUnary, kOpNot);
      node->children.push_back(std::move(operand));
      if (!Deep(node.get())) return nullptr;
      return node;
    }
    return ParseComparison();
  }

  static uint8_t Negated(uint8_t op) {
    switch (op) {
      case kOpEqual: return kOpNotEqual;
      case kOpNotEqual: return kOpEqual;
      case kOpLess: return kOpGreaterEqual;
      case kOpGreater: return kOpLessEqual;
      case kOpLessEqual: return kOpGreater;
      default: return kOpLess;  // of >=
    }
  }

  // The relation at the current token (consumed), or 0 when there is none.
  uint8_t Relation() {
    if (IsKeyword(kOpNot) || IsOp('~')) {
      // NOT or "~" before a relation negates it; elsewhere it ends the comparison.
      size_t saved_pos = pos_;
      Token saved = token_;
      Next();
      uint8_t inner = Relation();
      if (inner) return Negated(inner);
      pos_ = saved_pos;
      token_ = saved;
      return 0;
    }
    if (IsOp('=')) {
      Next();
      if (IsOp('<')) { Next(); return kOpLessEqual; }
      if (IsOp('>')) { Next(); return kOpGreaterEqual; }
      return kOpEqual;
    }
    if (IsOp('<')) {
      Next();
      if (IsOp('>')) { Next(); return kOpNotEqual; }
      if (IsOp('=')) { Next(); return kOpLessEqual; }
      return kOpLess;
    }
    if (IsOp('>')) {
      Next();
      if (IsOp('=')) { Next(); return kOpGreaterEqual; }
      return kOpGreater;
    }
    return 0;
  }

  std::unique_ptr<ExprNode> ParseComparison() {
    auto left = ParseConcatenation();
    while (left) {
      uint8_t op = Relation();
      if (!op) break;
      left = Binary(op, std::move(left), ParseConcatenation());
    }
    return left;
  }

  std::unique_ptr<ExprNode> ParseConcatenation() {
    auto left = ParseSum();
    while (left && IsOp('&')) {
      Next();
      left = Binary(kOpConcat, std::move(left), ParseSum());
    }
    return left;
  }

  std::unique_ptr<ExprNode> ParseSum() {
    auto left = ParseProduct();
    while (left && (IsOp('+') || IsOp('-'))) {
      uint8_t op = IsOp('+') ? kOpAdd : kOpSubtract;
      Next();
      left = Binary(op, std::move(left), ParseProduct());
    }
    return left;
  }

  std::unique_ptr<ExprNode> ParseProduct() {
    auto left = ParsePower();
    while (left && (IsOp('*') || IsOp('/') || IsOp('%'))) {
      uint8_t op = IsOp('*') ? kOpMultiply : IsOp('/') ? kOpDivide : kOpModulus;
      Next();
      left = Binary(op, std::move(left), ParsePower());
    }
    return left;
  }

  // Left to right: 2^3^2 is (2^3)^2.
  std::unique_ptr<ExprNode> ParsePower() {
    auto left = ParseUnary();
    while (left && IsOp('^')) {
      Next();
      left = Binary(kOpPower, std::move(left), ParseUnary());
    }
    return left;
  }

  // A sign binds tighter than "^": -2^2 is (-2)^2.
  std::unique_ptr<ExprNode> ParseUnary() {
    if (IsOp('-')) {
      Next();
      auto operand = ParsePrimary();
      if (!operand) return nullptr;
      auto node = Make(NodeKind::kUnary, kOpNegate);
      node->children.push_back(std::move(operand));
      if (!Deep(node.get())) return nullptr;
      return node;
    }
    if (IsOp('+')) Next();
    return ParsePrimary();
  }

  std::unique_ptr<ExprNode> ParsePrimary() {
    switch (token_.type) {
      case Tok::kNumber:
      case Tok::kString:
      case Tok::kPicture: {
        auto node = Make(token_.type == Tok::kPicture ? NodeKind::kPicture : NodeKind::kConstant, 0);
        node->value = token_.value;
        node->text = token_.text;
        Next();
        return node;
      }
      case Tok::kOpen: {
        Next();
        auto inner = ParseExpression();
        if (!inner) return nullptr;
        if (token_.type != Tok::kClose) return Fail("')' expected instead of " + Describe(token_));
        Next();
        return inner;
      }
      case Tok::kVariable: return ParseVariable();
      case Tok::kFunction: return ParseCall();
      default: return Fail("unexpected " + Describe(token_));
    }
  }

  std::unique_ptr<ExprNode> ParseVariable() {
    auto node = Make(NodeKind::kVariable, 0);
    node->text = token_.text;
    node->variable = token_.variable;
    Next();
    if (token_.type != Tok::kOpenBracket) return node;
    Nest nest(this);
    if (nesting_ > kMaxNesting) return Fail("expression nested too deeply");
    Next();
    auto first = ParseExpression();
    if (!first) return nullptr;
    node->children.push_back(std::move(first));
    if (IsOp(':')) {
      Next();
      auto last = ParseExpression();
      if (!last) return nullptr;
      node->children.push_back(std::move(last));
      node->kind = NodeKind::kSlice;
    } else {
      while (IsOp(',')) {
        Next();
        auto next = ParseExpression();
        if (!next) return nullptr;
        node->children.push_back(std::move(next));
      }
      node->kind = NodeKind::kElement;
    }
    if (token_.type != Tok::kCloseBracket) return Fail("']' expected instead of " + Describe(token_));
    Next();
    if (!Deep(node.get())) return nullptr;
    return node;
  }

  std::unique_ptr<ExprNode> ParseCall() {
    auto node = Make(NodeKind::kFunction, 0);
    node->function = token_.function;
    node->text = node->function->name;
    Next();
    if (token_.type != Tok::kOpen) return Fail("'(' expected after " + node->text);
    Nest nest(this);
    if (nesting_ > kMaxNesting) return Fail("expression nested too deeply");
    Next();
    if (token_.type != Tok::kClose) {
      while (true) {
        auto arg = ParseExpression();
        if (!arg) return nullptr;
        node->children.push_back(std::move(arg));
        if (!IsOp(',')) break;
        Next();
      }
    }
    if (token_.type != Tok::kClose) return Fail("')' expected instead of " + Describe(token_));
    size_t count = node->children.size();
    const BuiltinFunction& f = *node->function;
    if (count < f.min_args || (f.max_args != kListArgs && count > f.max_args)) {
      char what[96];
      std::snprintf(what, sizeof what, "%s takes %d to %d arguments, not %zu", f.name, f.min_args,
                    f.max_args == kListArgs ? 255 : f.max_args, count);
      return Fail(what);
    }
    Next();
    if (!Deep(node.get())) return nullptr;
    return node;
  }

  const Evaluator& ev_;
  std::string_view text_;
  size_t pos_ = 0;
  Token token_;
  EvalStatus status_;
  int nesting_ = 0;
};

}  // namespace

// ---- scopes ----

Evaluator::Evaluator() : scopes_(1) {}

void Evaluator::Bind(std::string_view name, std::shared_ptr<const Variable> variable) {
  scopes_.back().names[Upper(name)] = std::move(variable);
}

bool Evaluator::Unbind(std::string_view name) { return scopes_.back().names.erase(Upper(name)) > 0; }

void Evaluator::PushScope(bool stop_search) {
  scopes_.emplace_back();
  scopes_.back().stop_search = stop_search;
}

EvalStatus Evaluator::PopScope() {
  if (scopes_.size() <= 1) return {kErrorScopeMismatch, kText802, "POPSCOPE without PUSHSCOPE"};
  scopes_.pop_back();
  return {};
}

std::shared_ptr<const Variable> Evaluator::Lookup(std::string_view name) const {
  std::string upper = Upper(name);
  for (size_t i = scopes_.size(); i-- > 0;) {
    auto it = scopes_[i].names.find(upper);
    if (it != scopes_[i].names.end()) return it->second;
    if (scopes_[i].stop_search) break;
  }
  return nullptr;
}

EvalStatus Evaluator::Parse(std::string_view text, Expression* out) const {
  out->root_.reset();
  Parser parser(*this, text);
  return parser.Run(&out->root_);
}

EvalStatus Evaluator::Evaluate(std::string_view text, Value* out) const {
  Expression expression;
  EvalStatus status = Parse(text, &expression);
  if (!status.ok()) return status;
  return expression.Evaluate(out);
}

}  // namespace korvex
