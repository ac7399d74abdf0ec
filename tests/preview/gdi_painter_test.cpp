// The GDI painter: operations painted into the 1-bit label and its dots
// read back.
#include "preview/win/label_painter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace velmora::preview::win {
namespace {

DrawOp box(int x, int y, int width, int height, int thickness) {
  DrawOp op;
  op.kind = OpKind::rectangle;
  op.x = x;
  op.y = y;
  op.width = width;
  op.height = height;
  op.thickness = thickness;
  return op;
}

DrawOp withKind(DrawOp op, OpKind kind) {
  op.kind = kind;
  return op;
}

DrawOp reversed(DrawOp op) {
  op.reverse = true;
  return op;
}

DrawOp white(DrawOp op) {
  op.black = false;
  return op;
}

DrawOp rounded(DrawOp op, int rounding) {
  op.rounding = rounding;
  return op;
}

DrawOp leaning(DrawOp op) {
  op.leftLeaning = true;
  return op;
}

struct Dot {
  int x;
  int y;
  bool black;
};

struct ShapeCase {
  const char* name;
  std::vector<DrawOp> ops;
  std::vector<Dot> dots;
};

TEST(GdiPainter, ShapesAtPrinterResolution) {
  const ShapeCase cases[] = {
      {"frame 5 dots thick",
       {box(10, 10, 100, 50, 5)},
       {{10, 10, true},
        {14, 30, true},
        {109, 59, true},
        {15, 30, false},
        {60, 35, false},
        {110, 30, false},
        {60, 60, false},
        {9, 9, false}}},
      {"filled box", {box(10, 10, 100, 50, 25)}, {{60, 35, true}, {10, 59, true}, {60, 60, false}}},
      {"white box over a black one",
       {box(0, 0, 100, 100, 50), white(box(20, 20, 20, 20, 10))},
       {{30, 30, false}, {10, 10, true}, {45, 45, true}}},
      {"reverse box over half a black one",
       {box(0, 0, 100, 100, 50), reversed(box(50, 0, 100, 100, 50))},
       {{25, 50, true}, {75, 50, false}, {125, 50, true}, {160, 50, false}}},
      {"reverse frame turns each dot over once",
       {reversed(box(10, 10, 100, 50, 5))},
       {{12, 12, true}, {60, 12, true}, {60, 35, false}}},
      {"rounded corners",
       {rounded(box(0, 0, 160, 160, 80), 8)},
       {{0, 0, false}, {80, 80, true}, {80, 1, true}, {1, 80, true}}},
      {"filled ellipse",
       {withKind(box(0, 0, 100, 60, 30), OpKind::ellipse)},
       {{50, 30, true}, {2, 2, false}, {97, 57, false}}},
      {"ellipse outline",
       {withKind(box(0, 0, 100, 60, 4), OpKind::ellipse)},
       {{50, 30, false}, {50, 1, true}, {1, 30, true}}},
      {"diagonal /",
       {withKind(box(0, 0, 100, 100, 10), OpKind::diagonal)},
       {{5, 97, true}, {96, 2, true}, {3, 3, false}, {96, 96, false}}},
      {"diagonal \\",
       {leaning(withKind(box(0, 0, 100, 100, 10), OpKind::diagonal))},
       {{5, 2, true}, {92, 97, true}, {2, 97, false}, {97, 2, false}}},
  };
  for (const ShapeCase& c : cases) {
    LabelDrawing label;
    label.widthDots = 200;
    label.lengthDots = 120;
    label.ops = c.ops;
    const LabelBitmap bitmap(label);
    ASSERT_EQ(bitmap.width(), 200);
    ASSERT_EQ(bitmap.height(), 120);
    for (const Dot& dot : c.dots)
      EXPECT_EQ(bitmap.isBlack(dot.x, dot.y), dot.black)
          << c.name << " at " << dot.x << "," << dot.y;
  }
}

struct Bounds {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Bounds blackBounds(const LabelBitmap& bitmap) {
  Bounds b;
  for (int y = 0; y < bitmap.height(); ++y)
    for (int x = 0; x < bitmap.width(); ++x)
      if (bitmap.isBlack(x, y)) {
        b.left = std::min(b.left, x);
        b.top = std::min(b.top, y);
        b.right = std::max(b.right, x);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

// A text run is stretched to the length the renderer measured and turned
// about the start of its baseline.
TEST(GdiPainter, TextRunsStretchedAndTurned) {
  struct TextCase {
    Orientation orientation;
    int x, y;
    // Where the glyphs must lie, with a few dots of slack for the face.
    int left, top, right, bottom;
  };
  const TextCase cases[] = {
      {Orientation::normal, 20, 100, 20, 60, 220, 110},
      {Orientation::rotated90, 100, 20, 90, 20, 140, 220},
      {Orientation::inverted180, 220, 100, 20, 90, 220, 140},
      {Orientation::rotated270, 100, 220, 60, 20, 110, 220},
  };
  for (const TextCase& c : cases) {
    DrawOp op;
    op.kind = OpKind::text;
    op.x = c.x;
    op.y = c.y;
    op.orientation = c.orientation;
    op.fontHeight = 40;
    op.advance = 200;
    op.text = "HMH";
    LabelDrawing label;
    label.widthDots = 300;
    label.lengthDots = 300;
    label.ops = {op};
    const LabelBitmap bitmap(label);
    const Bounds b = blackBounds(bitmap);
    const int o = static_cast<int>(c.orientation);
    ASSERT_GE(b.right, 0) << "nothing drawn, orientation " << o;
    EXPECT_GE(b.left, c.left - 3) << o;
    EXPECT_GE(b.top, c.top - 3) << o;
    EXPECT_LE(b.right, c.right + 3) << o;
    EXPECT_LE(b.bottom, c.bottom + 3) << o;
    // Stretched along the baseline to nearly the whole advance (the side
    // bearings of the first and last glyph stay white).
    const int along = (o % 2 == 0) ? b.right - b.left : b.bottom - b.top;
    EXPECT_GE(along, 180) << o;
  }

  // Reverse text over a black bar: the glyphs come out white.
  DrawOp bar = box(0, 40, 300, 80, 40);
  DrawOp text;
  text.kind = OpKind::text;
  text.x = 20;
  text.y = 100;
  text.fontHeight = 40;
  text.advance = 200;
  text.text = "HMH";
  text.reverse = true;
  LabelDrawing label;
  label.widthDots = 300;
  label.lengthDots = 300;
  label.ops = {bar, text};
  const LabelBitmap bitmap(label);
  int whiteInBar = 0;
  for (int y = 40; y < 120; ++y)
    for (int x = 0; x < 300; ++x)
      whiteInBar += bitmap.isBlack(x, y) ? 0 : 1;
  EXPECT_GT(whiteInBar, 500);
  EXPECT_TRUE(bitmap.isBlack(5, 50)); // the bar beside the text stays black
}

} // namespace
} // namespace velmora::preview::win
