// The label preview's size as both windows offer it: the sizes a user may
// choose and how they are typed, the label's size in dots, and the zoom.
#include "config/label_preview_size.h"

#include <gtest/gtest.h>

#include <optional>

namespace velmora::config {
namespace {

TEST(PreviewLabelSize, AChoiceIsBroughtWithinTheOfferedSizesAndResolutions) {
  struct Case {
    PreviewLabelSize chosen;
    PreviewLabelSize taken;
  };
  const Case cases[] = {
      {{400, 200, 203}, {400, 200, 203}}, {{225, 125, 600}, {225, 125, 600}},
      {{49, 801, 152}, {50, 800, 152}},   {{-5, 0, 300}, {50, 50, 300}},
      {{400, 200, 200}, {400, 200, 203}}, // not a printer's resolution
  };
  for (const Case& c : cases)
    EXPECT_EQ(withinPreviewChoices(c.chosen), c.taken)
        << c.chosen.width << " x " << c.chosen.length << " at " << c.chosen.dpi;
}

TEST(PreviewLabelSize, DotsAtTheResolutionToTheNearestDot) {
  EXPECT_EQ(dotsOf(400, 203), 812);
  EXPECT_EQ(dotsOf(225, 203), 457); // 456.75
  EXPECT_EQ(dotsOf(125, 152), 190);
  EXPECT_EQ(dotsOf(50, 600), 300);
  const preview::RenderOptions options = previewRenderOptions({225, 125, 300});
  EXPECT_EQ(options.dpi, 300);
  EXPECT_EQ(options.defaultWidthDots, 675);
  EXPECT_EQ(options.defaultLengthDots, 375);
  EXPECT_EQ(options.maxLabels, 1u);
}

TEST(PreviewLabelSize, InchesAreWrittenWithTwoDecimalsAndReadAsTyped) {
  EXPECT_EQ(inchesText(400), "4.00 in");
  EXPECT_EQ(inchesText(225), "2.25 in");
  EXPECT_EQ(inchesText(50), "0.50 in");
  struct Case {
    const char* typed;
    std::optional<int> hundredths;
  };
  const Case cases[] = {
      {"4", 400},
      {"4.00 in", 400},
      {"2.25", 225},
      {"2,5 in", 250},
      {" 3.1in ", 310},
      {".75", 75},
      {"8.", 800},
      {"12.5", 1250},
      {"", std::nullopt},
      {"in", std::nullopt},
      {".", std::nullopt},
      {"2.255", std::nullopt},
      {"2.2.5", std::nullopt},
      {"-1", std::nullopt},
      {"4 cm", std::nullopt},
      {"99999999", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parseInches(c.typed), c.hundredths) << '"' << c.typed << '"';
  for (int hundredths = kPreviewSizeMinimum; hundredths <= kPreviewSizeMaximum; ++hundredths)
    ASSERT_EQ(parseInches(inchesText(hundredths)), hundredths);
}

// Scaled down to fit, never up, the label's proportions kept.
TEST(PreviewZoom, TheLabelIsScaledDownToTheRoomNeverUp) {
  struct Case {
    PixelSize label;
    PixelSize room;
    PixelSize drawn;
  };
  const Case cases[] = {
      {{812, 406}, {1000, 1000}, {812, 406}}, // room to spare: one dot a pixel
      {{812, 406}, {203, 1000}, {203, 102}},  // the width limits: 101.5 rounds up
      {{812, 406}, {1000, 100}, {200, 100}},  // the height limits
      {{812, 406}, {812, 406}, {812, 406}},
      {{10000, 10}, {100, 100}, {100, 1}}, // never less than a pixel
      {{812, 406}, {0, 100}, {0, 0}},      // no room
      {{0, 0}, {100, 100}, {0, 0}},        // no label
  };
  for (const Case& c : cases)
    EXPECT_EQ(previewDrawnSize(c.label, c.room), c.drawn)
        << c.label.width << "x" << c.label.height << " in " << c.room.width << "x" << c.room.height;
}

} // namespace
} // namespace velmora::config
