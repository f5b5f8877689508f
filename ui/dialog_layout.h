// Arithmetic of the dialog framework: template units, the growth of an
// in-memory template, the text lines of the text dialogs and centring.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/geometry.h"

namespace brisk {

// The low and high words of the system's dialog base units.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// Pixels to dialog template units: MulDiv(width, 4, x) and MulDiv(height, 8, y).
Size TemplateUnitsFromPixels(Size pixels, DialogBaseUnits units);

// Capacity of an in-memory template block that must take `appended` more
// bytes after `used`: unchanged while they fit, otherwise the old capacity
// plus the appended size rounded down to a multiple of 1024, plus 1024. An
// empty block (capacity 0) gets its first allocation by the same rule.
std::size_t TemplateCapacityForAppend(std::size_t capacity, std::size_t used, std::size_t appended);

// The four fonts of a text dialog; kNormal also stands for "no font given".
enum class LineFont { kTitle, kNormal, kText, kSmall };

struct TextLineStep {
  int height = 0;        // of the line's control
  int advance = 0;       // how far the cursor moves down
  int contentWidth = 0;  // the dialog's content width after this line
};

// One line measured on the control's device context. A text with a line feed
// is five measured heights tall and never widens the content; otherwise a
// wider text widens the content to 110 % of its width in the title font and
// to 90 % in the others.
TextLineStep MeasuredTextLine(LineFont font, bool hasLineFeed, Size measured, int contentWidth);

// A line for which no device context could be had: no height, 18 pixels of
// advance, and the content at least as wide as the parent's client area.
TextLineStep UnmeasuredTextLine(int contentWidth, int parentClientWidth);

// Top-left corner of a window of `size` centred on `reference`, then pushed
// back inside `area`: first off its right and bottom edges, then, winning
// over those, onto its left and top edges.
Point CentredPosition(Size size, const Rect& reference, const Rect& area);

}  // namespace brisk
