// Arithmetic of the notice dialog (CDialogTemplate): every margin and size is
// multiplied by the dialog's scale and truncated toward zero.
#pragma once

#include <optional>
#include <vector>

#include "ui/geometry.h"

namespace brisk {

// Width in pixels that the constructor turns into template units: at least
// 250, multiplied by the scale when that is above 1.
int NoticeTemplateWidth(int widthPixels, double scale);

// The symbol's size in the layout: the image's pixel size times the scale;
// (0, 0) without a symbol.
Size ScaledSymbolSize(Size imagePixels, double scale);

// The body's rectangle in client coordinates, right of the symbol when there
// is one; `bodyBottom` is 0 until it has been computed.
Rect NoticeBodyRect(double scale, Size symbol, int clientWidth, int bodyBottom);

// The body's bottom edge, computed once from the line count of the filled
// body: more than 10 lines or RTF give a fixed height that scrolls, otherwise
// 16 pixels per line plus one line, but never less than the symbol needs.
int NoticeBodyBottom(double scale, int symbolHeight, const Rect& body, int lineCount, bool isRtf);

// Top of the first label under the body.
int NoticeLabelsTop(int bodyBottom, double scale);

// Bottom of the content: the body, and under it the labels when there are any.
int NoticeContentBottom(int bodyBottom, double scale, const std::vector<int>& labelHeights);

// Window height that gives room for the content, the buttons and the frame.
int NoticeWindowHeight(int contentBottom, double scale, int captionHeight, int nonClientHeight);

// Extra width that a button needs around its caption.
int NoticeButtonTextMargin(double scale, int borderWidth);

struct ButtonRow {
  std::vector<Rect> buttons;  // in the order the captions were given: right to left
  int totalWidth = 0;         // the buttons and the gaps between them
};

// The buttons in one row at the bottom right of the client area, the first
// caption rightmost. A button is 75 (scaled) wide unless its caption and
// margin need more.
ButtonRow LayoutNoticeButtons(const std::vector<int>& captionWidths, Size client, double scale, int borderWidth,
                              int dialogFrameHeight);

// The same buttons placed again from the right edge of a client area of the
// new width, keeping their widths, tops and bottoms.
std::vector<Rect> PlaceButtonsFromRight(const std::vector<Rect>& buttons, int clientWidth, double scale);

// The width the window must take so that the buttons fit, limited to two
// thirds of the full-screen width; also that limit when the window is wider
// than it. No value when the window keeps its width.
std::optional<int> NoticeWidthForButtons(int totalButtonWidth, double scale, int edgeWidth, int windowWidth,
                                         int fullScreenWidth);

}  // namespace brisk
