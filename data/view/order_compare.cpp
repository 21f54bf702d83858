#include "data/view/order_compare.h"

#include "runtime/char_tables.h"

namespace korvex::view {

int CompareOrderValues(const Value& a, const Value& b, bool no_case) {
  if (a.IsString() && b.IsString()) {
    std::shared_ptr<const CharTables> tables = CurrentCharTables();
    if (!no_case) return tables->CompareText(a.string(), b.string());
    std::string x = a.string();
    std::string y = b.string();
    for (char& c : x) c = static_cast<char>(tables->Upper(static_cast<uint8_t>(c)));
    for (char& c : y) c = static_cast<char>(tables->Upper(static_cast<uint8_t>(c)));
    return tables->CompareText(x, y);
  }
  return Compare(a, b);
}

}  // namespace korvex::view
