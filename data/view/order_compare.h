// Comparison of order values as the Brisken keys order them: texts by the
// collation of the character tables (upper-cased first without case), numbers
// by value.
#pragma once

#include "runtime/eval/value.h"

namespace korvex::view {

// Negative, 0 or positive.
int CompareOrderValues(const Value& a, const Value& b, bool no_case = false);

}  // namespace korvex::view
