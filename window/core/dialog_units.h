// Dialog units: window and control coordinates in resources are measured in
// quarters of the font's average character width and eighths of its height.
#pragma once

#include <cstdint>

namespace korvex::rsc {

inline constexpr int kHorizontalDivisor = 4;
inline constexpr int kVerticalDivisor = 8;

// a * b / c rounded half away from zero, in 64 bits; -1 when c is 0 or the
// result does not fit an int (as the Win32 MulDiv answers).
int MulDivRounded(int a, int b, int c);

// The average character width from the pixel width of the 52 letters
// "a".."z" "A".."Z", rounded to the nearest pixel.
int AverageCharWidth(int width_of_52_letters);

class DialogUnits {
 public:
  DialogUnits() = default;
  // base_x: average character width; base_y: font height, both in pixels.
  DialogUnits(int base_x, int base_y) : base_x_(base_x), base_y_(base_y) {}

  int base_x() const { return base_x_; }
  int base_y() const { return base_y_; }

  // Units to pixels; the default marker (0x80000000) converts to 0.
  int ToPixelsX(int32_t units) const;
  int ToPixelsY(int32_t units) const;
  // Pixels to units, the inverse.
  int ToUnitsX(int pixels) const;
  int ToUnitsY(int pixels) const;

 private:
  int base_x_ = 6;   // "MS Sans Serif" 8 points at 96 dpi
  int base_y_ = 13;
};

}  // namespace korvex::rsc
