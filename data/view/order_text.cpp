#include "data/view/order_text.h"

namespace korvex::view {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool TakeComponent(std::string_view part, size_t number, std::vector<OrderComponent>* out,
                   std::string* error) {
  size_t i = 0;
  while (i < part.size() && IsBlank(part[i])) ++i;
  OrderComponent c;
  if (i < part.size() && (part[i] == '+' || part[i] == '-')) {
    c.descending = part[i] == '-';
    ++i;
  }
  size_t end = part.size();
  while (end > i && IsBlank(part[end - 1])) --end;
  if (end == i) {
    *error = "order component " + std::to_string(number) + " is empty";
    return false;
  }
  c.expression.assign(part.substr(i, end - i));
  out->push_back(std::move(c));
  return true;
}

}  // namespace

bool ParseOrderText(std::string_view text, std::vector<OrderComponent>* out, std::string* error) {
  out->clear();
  error->clear();
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  if (first == text.size()) return true;
  int depth = 0;
  char quote = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    char c = i < text.size() ? text[i] : ',';
    if (i == text.size() && (quote != 0 || depth != 0)) {
      *error = quote != 0 ? "a quote is not closed" : "a parenthesis is not closed";
      out->clear();
      return false;
    }
    if (quote != 0) {
      if (c == quote) quote = 0;  // a doubled quote closes and opens again
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '(' || c == '[') {
      ++depth;
    } else if (c == ')' || c == ']') {
      if (--depth < 0) {
        *error = "a closing parenthesis has no opening one";
        out->clear();
        return false;
      }
    } else if (c == ',' && depth == 0) {
      if (!TakeComponent(text.substr(start, i - start), out->size() + 1, out, error)) {
        out->clear();
        return false;
      }
      start = i + 1;
    }
  }
  return true;
}

}  // namespace korvex::view
