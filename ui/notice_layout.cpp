#include "ui/notice_layout.h"

#include <algorithm>
#include <cmath>

namespace brisk {

int NoticeTemplateWidth(int widthPixels, double scale) {
  return Trunc(std::max(widthPixels, 250) * std::max(scale, 1.0));
}

Size ScaledSymbolSize(Size imagePixels, double scale) {
  return {Trunc(imagePixels.width * scale), Trunc(imagePixels.height * scale)};
}

Rect NoticeBodyRect(double scale, Size symbol, int clientWidth, int bodyBottom) {
  Rect body;
  body.left = Trunc(15 * scale);
  if (symbol.width != 0) body.left += Trunc(10 * scale + symbol.width);
  body.top = Trunc(15 * scale);
  body.right = clientWidth - Trunc(10 * scale);
  body.bottom = bodyBottom;
  return body;
}

int NoticeBodyBottom(double scale, int symbolHeight, const Rect& body, int lineCount, bool isRtf) {
  if (lineCount > 10 || isRtf) return Trunc((body.right - body.left) / 2.2);
  const int byLines = static_cast<int>(std::lround(16.0 * (lineCount + 1) * scale));
  return std::max(byLines, Trunc(15 * scale + symbolHeight + 5 * scale));
}

int NoticeLabelsTop(int bodyBottom, double scale) { return bodyBottom + Trunc(5 * scale); }

int NoticeContentBottom(int bodyBottom, double scale, const std::vector<int>& labelHeights) {
  if (labelHeights.empty()) return bodyBottom;
  int bottom = NoticeLabelsTop(bodyBottom, scale);
  for (int height : labelHeights) bottom += height;
  return bottom;
}

int NoticeWindowHeight(int contentBottom, double scale, int captionHeight, int nonClientHeight) {
  return contentBottom + Trunc(26 * scale) + Trunc(20 * scale) + captionHeight +
         2 * ((nonClientHeight - captionHeight) / 2);
}

int NoticeButtonTextMargin(double scale, int borderWidth) { return 2 * borderWidth + Trunc(10 * scale); }

ButtonRow LayoutNoticeButtons(const std::vector<int>& captionWidths, Size client, double scale, int borderWidth,
                              int dialogFrameHeight) {
  ButtonRow row;
  const int margin = NoticeButtonTextMargin(scale, borderWidth);
  const int bottom = client.height + dialogFrameHeight - Trunc(10 * scale);
  const int top = bottom - Trunc(26 * scale);
  int right = client.width - Trunc(7 * scale);
  for (std::size_t i = 0; i < captionWidths.size(); ++i) {
    const int width = margin + captionWidths[i] > 75 * scale ? captionWidths[i] + margin : Trunc(75 * scale);
    row.buttons.push_back({right - width, top, right, bottom});
    row.totalWidth += width;
    if (i != 0) row.totalWidth += Trunc(9 * scale);
    right -= width + Trunc(9 * scale);
  }
  return row;
}

std::vector<Rect> PlaceButtonsFromRight(const std::vector<Rect>& buttons, int clientWidth, double scale) {
  std::vector<Rect> placed;
  int right = clientWidth - Trunc(7 * scale);
  for (const Rect& button : buttons) {
    const int width = button.Width();
    placed.push_back({right - width, button.top, right, button.bottom});
    right -= width + Trunc(9 * scale);
  }
  return placed;
}

std::optional<int> NoticeWidthForButtons(int totalButtonWidth, double scale, int edgeWidth, int windowWidth,
                                         int fullScreenWidth) {
  const double needed = totalButtonWidth + 7 * scale + 7 * scale + 2 * edgeWidth;
  const int limit = Trunc(2.0 / 3.0 * fullScreenWidth);
  if (needed > windowWidth) return std::min(Trunc(needed), limit);
  if (windowWidth > 2.0 / 3.0 * fullScreenWidth) return limit;
  return std::nullopt;
}

}  // namespace brisk
