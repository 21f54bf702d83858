#include "window/core/dialog_units.h"

#include <climits>

#include "window/core/resource_format.h"

namespace korvex::rsc {

int MulDivRounded(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  int64_t quotient = product / c;
  const int64_t remainder = product % c;
  // Round half away from zero.
  const int64_t twice = remainder < 0 ? -2 * remainder : 2 * remainder;
  const int64_t divisor = c < 0 ? -static_cast<int64_t>(c) : c;
  if (twice >= divisor) quotient += ((product < 0) != (c < 0)) ? -1 : 1;
  if (quotient > INT_MAX || quotient < INT_MIN) return -1;
  return static_cast<int>(quotient);
}

int AverageCharWidth(int width_of_52_letters) { return (width_of_52_letters / 26 + 1) / 2; }

int DialogUnits::ToPixelsX(int32_t units) const {
  return units == kDefaultCoordinate ? 0 : MulDivRounded(units, base_x_, kHorizontalDivisor);
}
int DialogUnits::ToPixelsY(int32_t units) const {
  return units == kDefaultCoordinate ? 0 : MulDivRounded(units, base_y_, kVerticalDivisor);
}
int DialogUnits::ToUnitsX(int pixels) const { return MulDivRounded(pixels, kHorizontalDivisor, base_x_); }
int DialogUnits::ToUnitsY(int pixels) const { return MulDivRounded(pixels, kVerticalDivisor, base_y_); }

}  // namespace korvex::rsc
