// The order text of a view: components separated by commas, each an optional
// "+" (ascending, the default) or "-" (descending) and an expression.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvex::view {

struct OrderComponent {
  bool descending = false;
  std::string expression;  // without the sign and the blanks before it
};

// Splits text into components. Commas inside parentheses, brackets or quoted
// strings belong to the expression (SUB(CUS:NAME,1,3) is one component).
// Blanks and tabs before a component are skipped. An empty text is no order.
// False with *error for an empty component, an unclosed quote or unbalanced
// parentheses.
bool ParseOrderText(std::string_view text, std::vector<OrderComponent>* out, std::string* error);

}  // namespace korvex::view
