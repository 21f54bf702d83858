// The built-in functions of expressions.
#include "runtime/eval/builtins.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "runtime/date_time.h"
#include "runtime/locale/locale.h"
#include "runtime/os/profile.h"
#include "runtime/picture/picture.h"

namespace korvex {

namespace {

using R = ResultType;

// name, number, fewest and most arguments, result type.
const std::vector<BuiltinFunction> kBuiltins = {
    {"INT", 19, 1, 1, R::kInteger},      {"INSTRING", 3, 2, 4, R::kInteger},
    {"CENTER", 6, 1, 2, R::kString},     {"RANDOM", 22, 2, 2, R::kInteger},
    {"ASIN", 28, 1, 1, R::kReal},        {"LOWER", 12, 1, 1, R::kString},
    {"AGE", 41, 1, 2, R::kString},       {"LOG10", 21, 1, 1, R::kReal},
    {"ABS", 17, 1, 1, R::kReal},         {"LEFT", 10, 1, 2, R::kString},
    {"ACOS", 29, 1, 1, R::kReal},        {"LEN", 11, 1, 1, R::kInteger},
    {"ALL", 5, 1, 2, R::kString},        {"LOGE", 20, 1, 1, R::kReal},
    {"BOR", 32, 2, 2, R::kInteger},      {"MATCH", 45, 2, 3, R::kInteger},
    {"ATAN", 30, 1, 1, R::kReal},        {"MEMORY", 1, 0, 1, R::kInteger},
    {"BAND", 31, 2, 2, R::kInteger},     {"MONTH", 39, 1, 1, R::kInteger},
    {"BSHIFT", 34, 2, 2, R::kInteger},   {"NUMERIC", 13, 1, 1, R::kInteger},
    {"BXOR", 33, 2, 2, R::kInteger},     {"TAN", 27, 1, 1, R::kReal},
    {"DAY", 38, 1, 1, R::kInteger},      {"SIN", 25, 1, 1, R::kReal},
    {"CLOCK", 36, 0, 0, R::kInteger},    {"RIGHT", 14, 1, 2, R::kString},
    {"CHOOSE", 42, 2, kListArgs, R::kString}, {"ROUND", 23, 2, 2, R::kReal},
    {"CHR", 7, 1, 1, R::kString},        {"SQRT", 24, 1, 1, R::kReal},
    {"CLIP", 4, 1, 1, R::kString},       {"SUB", 2, 3, 3, R::kString},
    {"COS", 26, 1, 1, R::kReal},         {"VAL", 16, 1, 1, R::kInteger},
    {"DATE", 37, 3, 3, R::kInteger},     {"TODAY", 35, 0, 0, R::kInteger},
    {"INRANGE", 18, 3, 3, R::kInteger},  {"UPPER", 15, 1, 1, R::kString},
    {"DEFORMAT", 8, 1, 2, R::kString},   {"YEAR", 40, 1, 1, R::kInteger},
    {"FORMAT", 9, 2, 2, R::kString},     {"NULL", 46, 1, 1, R::kInteger},
    {"GETINI", 44, 2, 4, R::kString},    {"INLIST", 43, 2, kListArgs, R::kInteger},
};

}  // namespace

const std::vector<BuiltinFunction>& Builtins() { return kBuiltins; }

const BuiltinFunction* FindBuiltin(std::string_view upper_name) {
  for (const BuiltinFunction& f : kBuiltins) {
    if (upper_name == f.name) return &f;
  }
  return nullptr;
}

namespace eval_detail {

namespace {

std::string TrimRight(std::string s) {
  size_t end = s.find_last_not_of(' ');
  s.erase(end == std::string::npos ? 0 : end + 1);
  return s;
}

std::string TrimLeft(std::string s) {
  size_t start = s.find_first_not_of(' ');
  s.erase(0, start == std::string::npos ? s.size() : start);
  return s;
}

// A length argument: 0..kMaxStringLength.
bool LengthArg(EvalContext* c, const Value& v, size_t* out) {
  int64_t n = 0;
  if (!IntArg(c, v, &n)) return false;
  if (n > static_cast<int64_t>(kMaxStringLength)) return Fail(c, "string too long");
  *out = n < 0 ? 0 : static_cast<size_t>(n);
  return true;
}

bool Real(EvalContext* c, double v, Value* out) {
  std::string error;
  return RealResult(v, out, &error) || Fail(c, error);
}

int32_t Int32(int64_t v) {
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// "*" any run of characters, "?" any one; no backtracking blow-up.
bool Wildcard(std::string_view text, std::string_view pattern) {
  size_t t = 0, p = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++t;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The four-character sound code of a word: first letter, three digits.
std::string SoundCode(std::string_view word) {
  static const char kCodes[] = "01230120022455012623010202";  // A..Z
  std::string code;
  char last = 0;
  for (char ch : word) {
    char c = LocaleUpper(ch);
    if (c < 'A' || c > 'Z') continue;
    char digit = kCodes[c - 'A'];
    if (code.empty()) {
      code.push_back(c);
    } else if (digit != '0' && digit != last) {
      code.push_back(digit);
    }
    if (c != 'H' && c != 'W') last = digit;
    if (code.size() == 4) break;
  }
  if (!code.empty()) code.append(4 - code.size(), '0');
  return code;
}

std::mt19937_64& Generator() {
  static std::mt19937_64 generator{std::random_device{}()};
  return generator;
}

// An entry of an INI file; false when the file, section or entry is missing.
bool ReadIniFile(const std::string& file, const std::string& section, const std::string& entry,
                 std::string* value) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return false;
  std::ifstream in(file, std::ios::binary);
  std::string line, current;
  auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return LocaleUpper(x) == LocaleUpper(y);
           });
  };
  auto trim = [](std::string s) { return TrimLeft(TrimRight(s)); };
  size_t read = 0;
  while (read < kMaxStringLength && std::getline(in, line)) {
    read += line.size() + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string t = trim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t[0] == '[') {
      size_t close = t.find(']');
      current = trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos || !same(current, section)) continue;
    if (same(trim(t.substr(0, eq)), entry)) {
      *value = trim(t.substr(eq + 1));
      return true;
    }
  }
  return false;
}

}  // namespace

bool CallBuiltin(const ExprNode& node, EvalContext* c, Value* out) {
  std::vector<Value> a;
  a.reserve(node.children.size());
  for (const auto& child : node.children) {
    // NULL looks at its variable itself, not at the value.
    if (node.function->number == 46) break;
    Value v;
    if (!Evaluate(*child, c, &v)) return false;
    a.push_back(std::move(v));
  }
  auto text = [&a](size_t i) { return a[i].ToText(); };
  auto number = [&a](size_t i) { return a[i].ToNumber(); };
  auto real = [&a](size_t i) { return a[i].ToDouble(); };
  int64_t i0 = 0, i1 = 0, i2 = 0;
  size_t n = 0;

  switch (node.function->number) {
    case 1:  // MEMORY: no meaningful figure on these platforms
      *out = Value::Integer(0);
      return true;
    case 2: {  // SUB(string, start, length): a negative start counts from the end
      std::string s = text(0);
      if (!IntArg(c, a[1], &i1) || !IntArg(c, a[2], &i2)) return false;
      int64_t length = static_cast<int64_t>(s.size());
      int64_t start = i1 < 0 ? length + i1 + 1 : i1;
      start = std::clamp<int64_t>(start, 1, length + 1);
      int64_t end = start + std::clamp<int64_t>(i2, 0, length);  // one past the last
      if (end > length + 1) end = length + 1;
      *out = Value::String(end <= start ? "" : s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(end - start)));
      return true;
    }
    case 3: {  // INSTRING(sub, string [, step [, start]]): the step number where sub starts
      std::string sub = text(0), s = text(1);
      int64_t step = 1, start = 1;
      if (a.size() > 2 && !IntArg(c, a[2], &step)) return false;
      if (a.size() > 3 && !IntArg(c, a[3], &start)) return false;
      int64_t length = static_cast<int64_t>(s.size());
      step = std::clamp<int64_t>(step, -length - 1, length + 1);
      int64_t found = 0;
      if (step != 0 && !sub.empty() && start >= 1 && start <= length) {
        for (int64_t p = start; p >= 1 && p + static_cast<int64_t>(sub.size()) - 1 <= length; p += step) {
          if (s.compare(static_cast<size_t>(p - 1), sub.size(), sub) == 0) {
            found = (p - start) / step + 1;
            break;
          }
          if ((step > 0 && p > length - step) || (step < 0 && p <= -step)) break;
        }
      }
      *out = Value::Integer(found);
      return true;
    }
    case 4:  // CLIP
      *out = Value::String(TrimRight(text(0)));
      return true;
    case 5: {  // ALL(string [, length]): the string repeated to the length
      std::string s = text(0), r;
      n = 255;
      if (a.size() > 1 && !LengthArg(c, a[1], &n)) return false;
      if (!s.empty()) {
        r.reserve(n);
        while (r.size() < n) r += s;
        r.resize(n);
      }
      *out = Value::String(r);
      return true;
    }
    case 6:    // CENTER
    case 10:   // LEFT
    case 14: {  // RIGHT
      std::string s = text(0);
      n = s.size();
      if (a.size() > 1 && !LengthArg(c, a[1], &n)) return false;
      std::string body = TrimLeft(TrimRight(s));
      if (node.function->number == 10) body = TrimLeft(s);
      if (node.function->number == 14) body = TrimRight(s);
      if (body.size() > n) body.resize(n);
      size_t pad = n - body.size();
      size_t before = node.function->number == 6 ? pad / 2 : node.function->number == 14 ? pad : 0;
      *out = Value::String(std::string(before, ' ') + body + std::string(pad - before, ' '));
      return true;
    }
    case 7:  // CHR
      if (!IntArg(c, a[0], &i0)) return false;
      *out = Value::String(std::string(1, static_cast<char>(i0 & 0xFF)));
      return true;
    case 8: {  // DEFORMAT(text [, picture])
      std::string s = text(0);
      *out = Value::String(a.size() > 1 ? Deformat(s, Picture::Compile(text(1))) : Deformat(s));
      return true;
    }
    case 9: {  // FORMAT(value, picture)
      Picture picture = Picture::Compile(text(1));
      switch (a[0].kind()) {
        case Value::Kind::kInteger: *out = Value::String(FormatInteger(picture, a[0].integer())); break;
        case Value::Kind::kDecimal: *out = Value::String(FormatDecimal(picture, a[0].decimal())); break;
        case Value::Kind::kReal: *out = Value::String(FormatReal(picture, a[0].real())); break;
        case Value::Kind::kString: *out = Value::String(FormatString(picture, a[0].string())); break;
      }
      return true;
    }
    case 11:  // LEN
      *out = Value::Integer(static_cast<int64_t>(text(0).size()));
      return true;
    case 12:    // LOWER
    case 15: {  // UPPER
      std::string s = text(0);
      for (char& ch : s) ch = node.function->number == 12 ? LocaleLower(ch) : LocaleUpper(ch);
      *out = Value::String(s);
      return true;
    }
    case 13: {  // NUMERIC
      Value v;
      *out = Value::Bool(a[0].IsNumber() || ParseNumberValue(a[0].string(), &v));
      return true;
    }
    case 16: {  // VAL: the code of the first character
      std::string s = text(0);
      *out = Value::Integer(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
      return true;
    }
    case 17: {  // ABS
      Value v = number(0);
      if (Compare(v, Value::Integer(0)) >= 0) {
        *out = v;
        return true;
      }
      std::string error;
      return Negate(v, out, &error) || Fail(c, error);
    }
    case 18:  // INRANGE(value, low, high)
      *out = Value::Bool(Compare(a[0], a[1]) >= 0 && Compare(a[0], a[2]) <= 0);
      return true;
    case 19: {  // INT: toward zero
      Value v = number(0);
      if (v.kind() == Value::Kind::kDecimal) {
        *out = Value::Exact(v.decimal().Truncated(0));
      } else if (v.kind() == Value::Kind::kReal) {
        return Real(c, std::trunc(v.real()), out);
      } else {
        *out = v;
      }
      return true;
    }
    case 20: return Real(c, std::log(real(0)), out);    // LOGE
    case 21: return Real(c, std::log10(real(0)), out);  // LOG10
    case 22: {  // RANDOM(low, high)
      if (!IntArg(c, a[0], &i0) || !IntArg(c, a[1], &i1)) return false;
      if (i0 > i1) std::swap(i0, i1);
      *out = Value::Integer(std::uniform_int_distribution<int64_t>(i0, i1)(Generator()));
      return true;
    }
    case 23: {  // ROUND(value, order): to the nearest multiple of order
      Value v = number(0), order = number(1);
      if (Compare(order, Value::Integer(0)) == 0) {
        *out = v;
        return true;
      }
      if (v.kind() != Value::Kind::kReal && order.kind() != Value::Kind::kReal) {
        Decimal q, r;
        if (Decimal::Divide(v.ToDecimal(), order.ToDecimal(), 0, &q) &&
            Decimal::Multiply(q, order.ToDecimal(), &r) && !r.Overflowed()) {
          *out = Value::Exact(r);
          return true;
        }
      }
      double o = order.ToDouble();
      return Real(c, std::round(v.ToDouble() / o) * o, out);
    }
    case 24: return Real(c, std::sqrt(real(0)), out);
    case 25: return Real(c, std::sin(real(0)), out);
    case 26: return Real(c, std::cos(real(0)), out);
    case 27: return Real(c, std::tan(real(0)), out);
    case 28: return Real(c, std::asin(real(0)), out);
    case 29: return Real(c, std::acos(real(0)), out);
    case 30: return Real(c, std::atan(real(0)), out);
    case 31: case 32: case 33: {  // BAND BOR BXOR
      if (!IntArg(c, a[0], &i0) || !IntArg(c, a[1], &i1)) return false;
      int f = node.function->number;
      *out = Value::Integer(f == 31 ? (i0 & i1) : f == 32 ? (i0 | i1) : (i0 ^ i1));
      return true;
    }
    case 34: {  // BSHIFT(value, count): left for positive counts, right for negative
      if (!IntArg(c, a[0], &i0) || !IntArg(c, a[1], &i1)) return false;
      uint64_t u = static_cast<uint64_t>(i0);
      if (i1 >= 64 || i1 <= -64) *out = Value::Integer(i1 > 0 || i0 >= 0 ? 0 : -1);
      else if (i1 >= 0) *out = Value::Integer(static_cast<int64_t>(u << i1));
      else *out = Value::Integer(i0 >> -i1);
      return true;
    }
    case 35: *out = Value::Integer(Today()); return true;
    case 36: *out = Value::Integer(Clock()); return true;
    case 37:  // DATE(month, day, year)
      if (!IntArg(c, a[0], &i0) || !IntArg(c, a[1], &i1) || !IntArg(c, a[2], &i2)) return false;
      *out = Value::Integer(korvex::Date(Int32(i0), Int32(i1), Int32(i2)));
      return true;
    case 38: case 39: case 40: {  // DAY MONTH YEAR
      if (!IntArg(c, a[0], &i0)) return false;
      int32_t s = Int32(i0);
      int f = node.function->number;
      *out = Value::Integer(f == 38 ? Day(s) : f == 39 ? Month(s) : Year(s));
      return true;
    }
    case 41: {  // AGE(birth [, base])
      if (!IntArg(c, a[0], &i0)) return false;
      if (a.size() > 1 && !IntArg(c, a[1], &i1)) return false;
      *out = Value::String(Age(Int32(i0), Int32(i1)));
      return true;
    }
    case 42: {  // CHOOSE(n, values...): out of range chooses the last
      if (!IntArg(c, a[0], &i0)) return false;
      size_t count = a.size() - 1;
      size_t pick = (i0 >= 1 && i0 <= static_cast<int64_t>(count)) ? static_cast<size_t>(i0) : count;
      *out = a[pick];
      return true;
    }
    case 43: {  // INLIST(value, list...): position in the list, 0 when absent
      int64_t found = 0;
      for (size_t i = 1; i < a.size() && !found; ++i) {
        if (Compare(a[0], a[i]) == 0) found = static_cast<int64_t>(i);
      }
      *out = Value::Integer(found);
      return true;
    }
    case 44: {  // GETINI(section, entry [, default [, file]])
      std::string fallback = a.size() > 2 ? text(2) : "", value;
      if (a.size() > 3) {
        if (!ReadIniFile(text(3), text(0), text(1), &value)) value = fallback;
      } else {
        value = os::ProfileString(text(0), text(1), fallback);
      }
      *out = Value::String(value);
      return true;
    }
    case 45: {  // MATCH(text, pattern [, mode])
      int64_t mode = 0;
      if (a.size() > 2 && !IntArg(c, a[2], &mode)) return false;
      std::string s = TrimRight(text(0)), p = TrimRight(text(1));
      if (mode >= 10) {
        for (char& ch : s) ch = LocaleUpper(ch);
        for (char& ch : p) ch = LocaleUpper(ch);
        mode -= 10;
      }
      bool match = mode == 1 ? SoundCode(s) == SoundCode(p) : mode == 2 ? s == p : Wildcard(s, p);
      *out = Value::Bool(match);
      return true;
    }
    case 46: {  // NULL(variable)
      const ExprNode& arg = *node.children[0];
      *out = Value::Bool(arg.kind == NodeKind::kVariable && arg.variable->IsNull());
      return true;
    }
    default: break;
  }
  return Fail(c, std::string("function not available: ") + node.function->name);
}

}  // namespace eval_detail
}  // namespace korvex
