#include "ui/dialog_layout.h"

namespace brisk {

Size TemplateUnitsFromPixels(Size pixels, DialogBaseUnits units) {
  return {MulDivRounded(pixels.width, 4, units.x), MulDivRounded(pixels.height, 8, units.y)};
}

std::size_t TemplateCapacityForAppend(std::size_t capacity, std::size_t used, std::size_t appended) {
  if (capacity != 0 && used + appended <= capacity) return capacity;
  return capacity + (appended / 1024) * 1024 + 1024;
}

TextLineStep MeasuredTextLine(LineFont font, bool hasLineFeed, Size measured, int contentWidth) {
  TextLineStep step;
  step.contentWidth = contentWidth;
  if (hasLineFeed) {
    step.height = 5 * measured.height;
  } else {
    if (contentWidth < measured.width) {
      const double factor = font == LineFont::kTitle ? 1.1 : 0.9;
      step.contentWidth = Trunc(measured.width * factor);
    }
    switch (font) {
      case LineFont::kTitle:
        step.height = measured.height + 3;
        break;
      case LineFont::kText:
        step.height = measured.height - 1;
        break;
      case LineFont::kSmall:
        step.height = measured.height - 4;
        break;
      case LineFont::kNormal:
        step.height = measured.height + 1;
        break;
    }
  }
  step.advance = step.height;
  return step;
}

TextLineStep UnmeasuredTextLine(int contentWidth, int parentClientWidth) {
  return {0, 18, contentWidth > parentClientWidth ? contentWidth : parentClientWidth};
}

Point CentredPosition(Size size, const Rect& reference, const Rect& area) {
  int x = (reference.left + reference.right) / 2 - size.width / 2;
  int y = (reference.top + reference.bottom) / 2 - size.height / 2;
  if (x + size.width > area.right) x = area.right - size.width;
  if (y + size.height > area.bottom) y = area.bottom - size.height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  return {x, y};
}

}  // namespace brisk
