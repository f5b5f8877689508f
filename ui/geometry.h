// Plain rectangles and sizes for the layout arithmetic of the dialogs and the
// splash window; the same conventions as the system's RECT (right and bottom
// are exclusive).
#pragma once

#include <cmath>
#include <cstdint>

namespace brisk {

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Truncation toward zero, the rounding of every scaled margin.
inline int Trunc(double value) { return static_cast<int>(std::trunc(value)); }

// The system's MulDiv: a * b / c computed in 64 bits and rounded half away
// from zero; -1 when c is 0 or the result does not fit in 32 bits.
std::int32_t MulDivRounded(std::int32_t a, std::int32_t b, std::int32_t c);

}  // namespace brisk
