// The notice dialog's layout: body, labels, window height, buttons, width.
#include <gtest/gtest.h>

#include "ui/notice_layout.h"

namespace brisk {
namespace {

constexpr Size kSymbol{32, 32};
constexpr int kClientWidth = 544;

TEST(NoticeTemplateWidth, AtLeast250AndScaledOnlyUpwards) {
  EXPECT_EQ(NoticeTemplateWidth(550, 1.0), 550);
  EXPECT_EQ(NoticeTemplateWidth(200, 1.0), 250);
  EXPECT_EQ(NoticeTemplateWidth(550, 0.5), 550);
  EXPECT_EQ(NoticeTemplateWidth(550, 1.5), 825);
  EXPECT_EQ(NoticeTemplateWidth(301, 1.25), 376);
}

TEST(NoticeBody, SitsRightOfTheSymbolWithMargins) {
  EXPECT_EQ(NoticeBodyRect(1.0, kSymbol, kClientWidth, 0), (Rect{57, 15, 534, 0}));
  EXPECT_EQ(NoticeBodyRect(1.0, {}, kClientWidth, 64), (Rect{15, 15, 534, 64}));
  EXPECT_EQ(NoticeBodyRect(1.5, ScaledSymbolSize({32, 32}, 1.5), 800, 0), (Rect{22 + 63, 22, 785, 0}));
  EXPECT_EQ(ScaledSymbolSize({32, 32}, 1.3), (Size{41, 41}));
}

struct BottomCase {
  double scale;
  int symbolHeight;
  int lines;
  bool rtf;
  int expected;
};

TEST(NoticeBody, BottomFromTheLineCount) {
  const Rect body = NoticeBodyRect(1.0, kSymbol, kClientWidth, 0);  // 477 wide
  const BottomCase cases[] = {
      {1.0, 32, 3, false, 64},                                 // 16 x 4, more than 15 + 32 + 5
      {1.0, 32, 1, false, 52},                                 // 16 x 2 is less than the symbol needs
      {1.0, 0, 1, false, 32},                                  // without a symbol: 20 at least
      {1.0, 0, 0, false, 20},      {1.0, 32, 10, false, 176},  // ten lines still grow with the text
      {1.0, 32, 11, false, 216},                               // more than ten: 477 / 2.2, and it scrolls
      {1.0, 32, 1, true, 216},                                 // RTF: the same fixed height
      {1.046875, 0, 1, false, 34},                             // 33.5 rounds half away from zero
  };
  for (const BottomCase& c : cases) {
    EXPECT_EQ(NoticeBodyBottom(c.scale, c.symbolHeight, body, c.lines, c.rtf), c.expected)
        << c.lines << " lines, scale " << c.scale << (c.rtf ? ", RTF" : "");
  }
}

TEST(NoticeContent, LabelsAddTheirGapAndHeights) {
  EXPECT_EQ(NoticeContentBottom(64, 1.0, {}), 64);
  EXPECT_EQ(NoticeLabelsTop(64, 1.0), 69);
  EXPECT_EQ(NoticeContentBottom(64, 1.0, {14}), 83);
  EXPECT_EQ(NoticeContentBottom(64, 2.0, {14, 16}), 104);
}

TEST(NoticeWindowHeight, RoomForButtonsCaptionAndFrame) {
  // Caption 19, frame 3 above and below: non-client height 25.
  EXPECT_EQ(NoticeWindowHeight(64, 1.0, 19, 25), 64 + 26 + 20 + 19 + 6);
  // An odd remainder of the frame is dropped.
  EXPECT_EQ(NoticeWindowHeight(64, 1.0, 19, 26), 64 + 26 + 20 + 19 + 6);
  EXPECT_EQ(NoticeWindowHeight(64, 1.5, 19, 25), 64 + 39 + 30 + 19 + 6);
}

TEST(NoticeButtons, RightToLeftAtTheBottomWith75PixelDefaultWidth) {
  const ButtonRow row = LayoutNoticeButtons({40, 45}, {544, 120}, 1.0, 1, 3);
  ASSERT_EQ(row.buttons.size(), 2u);
  // bottom = 120 + 3 - 10, top = bottom - 26
  EXPECT_EQ(row.buttons[0], (Rect{462, 87, 537, 113}));
  EXPECT_EQ(row.buttons[1], (Rect{378, 87, 453, 113}));
  EXPECT_EQ(row.totalWidth, 75 + 9 + 75);
}

TEST(NoticeButtons, ALongCaptionWidensItsButtonToCaptionPlusMargin) {
  // Margin = 2 x border + 10: a caption of 64 needs 76 > 75.
  const ButtonRow row = LayoutNoticeButtons({64, 63}, {544, 120}, 1.0, 1, 3);
  EXPECT_EQ(row.buttons[0].Width(), 76);
  EXPECT_EQ(row.buttons[1].Width(), 75);
  EXPECT_EQ(row.buttons[1].right, row.buttons[0].left - 9);
  EXPECT_EQ(row.totalWidth, 76 + 9 + 75);
}

TEST(NoticeButtons, ScaleMultipliesEveryMargin) {
  const ButtonRow row = LayoutNoticeButtons({40}, {800, 200}, 1.5, 1, 3);
  EXPECT_EQ(row.buttons[0], (Rect{800 - 10 - 112, 200 + 3 - 15 - 39, 790, 200 + 3 - 15}));
  EXPECT_EQ(row.totalWidth, 112);
}

TEST(NoticeButtons, PlacedAgainFromTheRightKeepingWidths) {
  const ButtonRow row = LayoutNoticeButtons({200, 40}, {544, 120}, 1.0, 1, 3);
  const std::vector<Rect> placed = PlaceButtonsFromRight(row.buttons, 700, 1.0);
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[0], (Rect{693 - 212, 87, 693, 113}));
  EXPECT_EQ(placed[1], (Rect{693 - 212 - 9 - 75, 87, 693 - 212 - 9, 113}));
}

struct WidthCase {
  int totalButtons;
  int windowWidth;
  int fullScreen;
  std::optional<int> expected;
};

TEST(NoticeWidth, ButtonsWidenTheDialogUpToTwoThirdsOfTheScreen) {
  const WidthCase cases[] = {
      {159, 556, 1280, std::nullopt},                                  // fits
      {600, 556, 1280, 618},                                           // 600 + 7 + 7 + 2 x 2
      {1000, 556, 1280, 853},                                          // capped at two thirds
      {159, 900, 1280, 853},                                           // a window wider than two thirds is narrowed
      {540, 556, 1280, 558},          {538, 556, 1280, std::nullopt},  // exactly fits
  };
  for (const WidthCase& c : cases) {
    EXPECT_EQ(NoticeWidthForButtons(c.totalButtons, 1.0, 2, c.windowWidth, c.fullScreen), c.expected)
        << c.totalButtons << " in " << c.windowWidth;
  }
}

}  // namespace
}  // namespace brisk
