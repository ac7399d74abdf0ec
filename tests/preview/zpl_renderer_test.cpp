// The ZPL renderer against tables of snippets and the operations they give,
// and against bad input: every case is clamped or refused with a note.
#include "preview/zpl_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace velmora::preview {
namespace {

LabelDrawing onlyLabel(const std::string& zpl) {
  const auto rendering = renderZpl(zpl);
  EXPECT_TRUE(rendering.isZpl);
  EXPECT_EQ(rendering.labels.size(), 1u);
  return rendering.labels.empty() ? LabelDrawing{} : rendering.labels.front();
}

bool hasNote(const std::vector<std::string>& notes, std::string_view part) {
  return std::any_of(notes.begin(), notes.end(),
                     [&](const std::string& n) { return n.find(part) != std::string::npos; });
}

// Text fields: where the baseline starts. Font 0 at height 30 puts the
// baseline 24 dots below the top of the line; "AB" is 36 dots long
// (advances 598 + 589 thousandths of the em).
struct TextCase {
  const char* zpl;
  int x;
  int y;
  Orientation orientation;
  int fontHeight;
};

class TextPlacement : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextPlacement, PutsTheBaselineWhereTheFieldSays) {
  const auto& c = GetParam();
  const auto label = onlyLabel(c.zpl);
  ASSERT_EQ(label.ops.size(), 1u);
  const DrawOp& op = label.ops[0];
  EXPECT_EQ(op.kind, OpKind::text);
  EXPECT_EQ(op.text, "AB");
  EXPECT_EQ(op.x, c.x);
  EXPECT_EQ(op.y, c.y);
  EXPECT_EQ(op.orientation, c.orientation);
  EXPECT_EQ(op.fontHeight, c.fontHeight);
  EXPECT_FALSE(op.reverse);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, TextPlacement,
    ::testing::Values(
        TextCase{"^XA^FO10,20^A0N,30,30^FDAB^FS^XZ", 10, 44, Orientation::normal, 30},
        TextCase{"^XA^LH5,7^FO10,20^A0N,30^FDAB^FS^XZ", 15, 51, Orientation::normal, 30},
        TextCase{"^XA^FT10,50^A0N,30^FDAB^FS^XZ", 10, 50, Orientation::normal, 30},
        TextCase{"^XA^LH5,7^FT10,50^A0N,30^FDAB^FS^XZ", 15, 57, Orientation::normal, 30},
        // R: the line's top faces right, so the baseline runs down 24 dots
        // left of the field's right edge (100 + 30).
        TextCase{"^XA^FO100,50^A0R,30^FDAB^FS^XZ", 106, 50, Orientation::rotated90, 30},
        TextCase{"^XA^FO100,50^A0I,30^FDAB^FS^XZ", 136, 56, Orientation::inverted180, 30},
        TextCase{"^XA^FO100,50^A0B,30^FDAB^FS^XZ", 124, 86, Orientation::rotated270, 30},
        TextCase{"^XA^FWR^FO100,50^A0,30^FDAB^FS^XZ", 106, 50, Orientation::rotated90, 30},
        // ^CF sets the font of fields without ^A; a height alone gives font
        // 0 its proportional width.
        TextCase{"^XA^CF0,40^FO0,0^FDAB^FS^XZ", 0, 32, Orientation::normal, 40},
        // Font A magnified twice: 18 dots tall.
        TextCase{"^XA^FO0,0^AAN,18,10^FDAB^FS^XZ", 0, 14, Orientation::normal, 18},
        // ^FH: hex escapes in the data; CR LF between commands is ignored.
        TextCase{"^XA\r\n^FO10,20\r\n^A0N,30^FH^FD_41_42^FS\r\n^XZ", 10, 44, Orientation::normal,
                 30},
        // A field ended by the next ^FO instead of ^FS still prints.
        TextCase{"^XA^FO10,20^A0N,30^FDAB^XZ", 10, 44, Orientation::normal, 30}));

// ^FH escapes give bytes; after ^CI28 they are UTF-8, otherwise a byte above
// 127 is the Latin-1 character of that number. The setting holds from where it
// stands to the next ^CI, across labels.
TEST(ZplRenderer, HexEscapesFollowTheEncodingOfCi) {
  struct Case {
    const char* zpl;
    std::vector<std::string> texts; // the first text of each label
  };
  const Case cases[] = {
      {"^XA^FO0,0^FH^FDCaf_C3_A9^FS^XZ", {"Caf\u00c3\u00a9"}},
      {"^XA^CI28^FO0,0^FH^FDCaf_C3_A9^FS^XZ", {"Caf\u00e9"}},
      {"^XA^FO0,0^FH^FDCaf_E9^FS^XZ", {"Caf\u00e9"}},
      {"^XA^CI28^FO0,0^FH^FD_E9t_C3^FS^XZ", {"\uFFFDt\uFFFD"}}, // no whole UTF-8
      {"^XA^CI28^FO0,0^FH^FDa_C3_A9^FS^XZ^XA^FO0,0^FH^FDb_C3_A9^FS^XZ", {"a\u00e9", "b\u00e9"}},
      {"^CI28\r\n^XA^FO0,0^FH^FD_C3_A9^FS^XZ", {"\u00e9"}}, // before the label
      {"^XA^CI28^FO0,0^FH^FD_C3_A9^FS^CI0^FO0,0^FH^FD_C3_A9^FS^XZ",
       {"\u00e9", "\u00c3\u00a9"}},                          // ^CI0 ends it, here within one label
      {"^XA^CI28^FO0,0^FDCr\u00e8me^FS^XZ", {"Cr\u00e8me"}}, // the text itself comes decoded
  };
  for (const Case& c : cases) {
    const auto rendering = renderZpl(c.zpl);
    std::vector<std::string> texts;
    for (const auto& label : rendering.labels)
      for (const auto& op : label.ops)
        texts.push_back(op.text);
    EXPECT_EQ(texts, c.texts) << c.zpl;
    EXPECT_TRUE(rendering.notes.empty()) << c.zpl << ": " << rendering.notes.front();
  }
}

TEST(ZplRenderer, MeasuresFontZeroWithTheCondensedFace) {
  const auto label = onlyLabel("^XA^FO10,20^A0N,30,30^FDAB^FS^FO0,0^A0N,30,60^FDAB^FS^XZ");
  ASSERT_EQ(label.ops.size(), 2u);
  EXPECT_EQ(label.ops[0].advance, 36);
  EXPECT_EQ(label.ops[1].advance, 71); // twice as wide
}

// Field blocks: "nnnn" is 44 dots long at height 20 and a blank 5.4, so two
// words fit into 100 dots and a third does not.
struct BlockCase {
  const char* block;
  std::vector<std::string> lines;
  std::vector<int> xs;
  std::vector<int> ys;
};

class FieldBlockWrapping : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FieldBlockWrapping, WrapsJustifiesAndSpacesLines) {
  const auto& c = GetParam();
  const auto label =
      onlyLabel(std::string("^XA^FO0,0^A0N,20,20") + c.block + "^FDnnnn nnnn nnnn nnnn nnnn^FS^XZ");
  ASSERT_EQ(label.ops.size(), c.lines.size());
  for (std::size_t i = 0; i < c.lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(label.ops[i].text, c.lines[i]);
    EXPECT_EQ(label.ops[i].x, c.xs[i]);
    EXPECT_EQ(label.ops[i].y, c.ys[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, FieldBlockWrapping,
    ::testing::Values(
        BlockCase{"^FB100,3,5,L", {"nnnn nnnn", "nnnn nnnn", "nnnn"}, {0, 0, 0}, {16, 41, 66}},
        BlockCase{"^FB100,3,0,C", {"nnnn nnnn", "nnnn nnnn", "nnnn"}, {3, 3, 28}, {16, 36, 56}},
        BlockCase{"^FB100,3,0,R", {"nnnn nnnn", "nnnn nnnn", "nnnn"}, {7, 7, 56}, {16, 36, 56}},
        // Lines past the block's count are dropped.
        BlockCase{"^FB100,1", {"nnnn nnnn"}, {0}, {16}},
        // Hanging indent: every line after the first.
        BlockCase{"^FB100,2,0,L,10", {"nnnn nnnn", "nnnn nnnn"}, {0, 10}, {16, 36}}));

TEST(ZplRenderer, BreaksAFieldBlockLineAtBackslashAmpersand) {
  const auto label = onlyLabel("^XA^FO0,0^A0N,20^FB500,4^FDone\\&two^FS^XZ");
  ASSERT_EQ(label.ops.size(), 2u);
  EXPECT_EQ(label.ops[0].text, "one");
  EXPECT_EQ(label.ops[1].text, "two");
  EXPECT_EQ(label.ops[1].y - label.ops[0].y, 20);
}

struct ShapeCase {
  const char* zpl;
  DrawOp expected;
};

DrawOp shape(OpKind kind, int x, int y, int w, int h, int t) {
  DrawOp op;
  op.kind = kind;
  op.x = x;
  op.y = y;
  op.width = w;
  op.height = h;
  op.thickness = t;
  return op;
}

DrawOp with(DrawOp op, void (*change)(DrawOp&)) {
  change(op);
  return op;
}

class Shapes : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(Shapes, GiveTheirBoxes) {
  const auto& c = GetParam();
  const auto label = onlyLabel(c.zpl);
  ASSERT_EQ(label.ops.size(), 1u);
  const DrawOp& op = label.ops[0];
  const DrawOp& e = c.expected;
  EXPECT_EQ(op.kind, e.kind);
  EXPECT_EQ(op.x, e.x);
  EXPECT_EQ(op.y, e.y);
  EXPECT_EQ(op.width, e.width);
  EXPECT_EQ(op.height, e.height);
  EXPECT_EQ(op.thickness, e.thickness);
  EXPECT_EQ(op.rounding, e.rounding);
  EXPECT_EQ(op.black, e.black);
  EXPECT_EQ(op.reverse, e.reverse);
  EXPECT_EQ(op.leftLeaning, e.leftLeaning);
}

INSTANTIATE_TEST_SUITE_P(
    Graphics, Shapes,
    ::testing::Values(
        ShapeCase{"^XA^FO10,10^GB100,50,3^FS^XZ", shape(OpKind::rectangle, 10, 10, 100, 50, 3)},
        // A box is never narrower than its line: a vertical line.
        ShapeCase{"^XA^FO10,10^GB0,80,4^FS^XZ", shape(OpKind::rectangle, 10, 10, 4, 80, 4)},
        ShapeCase{"^XA^LH100,0^FO10,10^GB100,50,3,W,4^FS^XZ",
                  with(shape(OpKind::rectangle, 110, 10, 100, 50, 3),
                       [](DrawOp& o) {
                         o.black = false;
                         o.rounding = 4;
                       })},
        // ^FT puts a box's bottom-left corner at the point.
        ShapeCase{"^XA^FT10,60^GB100,50,3^FS^XZ", shape(OpKind::rectangle, 10, 10, 100, 50, 3)},
        ShapeCase{"^XA^FO5,5^FR^GB40,40,40^FS^XZ", with(shape(OpKind::rectangle, 5, 5, 40, 40, 40),
                                                        [](DrawOp& o) { o.reverse = true; })},
        ShapeCase{"^XA^FO5,5^GC50,2^FS^XZ", shape(OpKind::ellipse, 5, 5, 50, 50, 2)},
        ShapeCase{"^XA^FO5,5^GE80,40,3^FS^XZ", shape(OpKind::ellipse, 5, 5, 80, 40, 3)},
        ShapeCase{"^XA^FO5,5^GD60,30,4^FS^XZ", shape(OpKind::diagonal, 5, 5, 60, 30, 4)},
        ShapeCase{"^XA^FO5,5^GD60,30,4,B,L^FS^XZ", with(shape(OpKind::diagonal, 5, 5, 60, 30, 4),
                                                        [](DrawOp& o) { o.leftLeaning = true; })}));

TEST(ZplRenderer, ReverseHoldsForOneFieldOnly) {
  const auto label = onlyLabel("^XA^FO0,0^FR^A0N,30^FDAB^FS^FO0,50^A0N,30^FDAB^FS^XZ");
  ASSERT_EQ(label.ops.size(), 2u);
  EXPECT_TRUE(label.ops[0].reverse);
  EXPECT_FALSE(label.ops[1].reverse);
}

TEST(ZplRenderer, SizesTheLabelFromTheDesignElseFromTheOptions) {
  EXPECT_EQ(onlyLabel("^XA^PW400^LL300^XZ").widthDots, 400);
  EXPECT_EQ(onlyLabel("^XA^PW400^LL300^XZ").lengthDots, 300);
  const auto defaults = renderZpl("^XA^XZ", {300, 0, 0, kMaxLabels});
  EXPECT_EQ(defaults.labels.at(0).widthDots, 1200);
  EXPECT_EQ(defaults.labels.at(0).lengthDots, 600);
  EXPECT_EQ(defaults.labels.at(0).dpi, 300);
  const auto chosen = renderZpl("^XA^LL100^XZ", {203, 500, 700, kMaxLabels});
  EXPECT_EQ(chosen.labels.at(0).widthDots, 500);
  EXPECT_EQ(chosen.labels.at(0).lengthDots, 100);
}

TEST(ZplRenderer, GivesOneDrawingPerLabel) {
  const auto rendering =
      renderZpl("^XA^FO0,0^GB10,10,1^FS^XZ\r\n^XA^FO0,0^GB20,20,1^FS^FO0,0^GB5,5,1^FS^XZ\r\n");
  ASSERT_EQ(rendering.labels.size(), 2u);
  EXPECT_EQ(rendering.labels[0].ops.size(), 1u);
  EXPECT_EQ(rendering.labels[1].ops.size(), 2u);
  EXPECT_TRUE(rendering.notes.empty());
}

TEST(ZplRenderer, LaysOutBarcodesInModules) {
  // EAN-13 is 95 modules; ^BY3 makes each 3 dots, so the symbol spans 285.
  const auto label = onlyLabel("^XA^BY3^FO10,10^BEN,50,N^FD400638133393^FS^XZ");
  ASSERT_FALSE(label.ops.empty());
  int right = 0;
  for (const auto& op : label.ops) {
    EXPECT_EQ(op.kind, OpKind::rectangle);
    EXPECT_EQ(op.height, 50);
    EXPECT_EQ(op.width % 3, 0);
    right = std::max(right, op.x + op.width);
  }
  EXPECT_EQ(label.ops.front().x, 10);
  EXPECT_EQ(right, 10 + 285);
  // Rotated: the bars lie across, 50 dots wide, stacked down from y = 10.
  const auto rotated = onlyLabel("^XA^BY3^FO10,10^BER,50,N^FD400638133393^FS^XZ");
  ASSERT_FALSE(rotated.ops.empty());
  EXPECT_EQ(rotated.ops.front().width, 50);
  EXPECT_EQ(rotated.ops.front().y, 10);
}

TEST(ZplRenderer, DrawsCode39WideBarsAtTheRatioOfBy) {
  // Wide bars are ratio times the narrow ones, rounded to whole dots; the
  // ratio is read with a decimal point whatever the locale, and held to 2 to 3.
  struct Case {
    const char* by;
    int narrow;
    int wide;
  };
  for (const Case& c :
       {Case{"^BY2,2.5", 2, 5}, Case{"^BY3,2.0", 3, 6}, Case{"^BY2", 2, 6}, Case{"^BY2,9", 2, 6}}) {
    SCOPED_TRACE(c.by);
    const auto label = onlyLabel(std::string("^XA") + c.by + "^FO0,0^B3N,N,10,N^FD1^FS^XZ");
    std::set<int> widths;
    for (const auto& op : label.ops)
      widths.insert(op.width);
    EXPECT_EQ(widths, (std::set<int>{c.narrow, c.wide}));
  }
}

// ---- bad input: clamped or refused with a note; nothing grows unbounded.

TEST(ZplRenderer, SaysThereIsNoPreviewForTextThatIsNotZpl) {
  for (const char* text : {"N\r\nA50,0,0,1,1,1,N,\"<Item Name>\"\r\nP1\r\n", "Just some words", "",
                           "^FO10,10^FDno label start^FS"}) {
    SCOPED_TRACE(text);
    const auto rendering = renderZpl(text);
    EXPECT_FALSE(rendering.isZpl);
    EXPECT_TRUE(rendering.labels.empty());
    EXPECT_EQ(rendering.notes, std::vector<std::string>{std::string(kNoPreviewNote)});
  }
}

struct BadCase {
  std::string zpl;
  const char* note;
};

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, IsClampedOrRefusedWithANote) {
  const auto rendering = renderZpl(GetParam().zpl);
  ASSERT_TRUE(rendering.isZpl);
  std::vector<std::string> notes = rendering.notes;
  std::size_t ops = 0;
  for (const auto& label : rendering.labels) {
    notes.insert(notes.end(), label.notes.begin(), label.notes.end());
    EXPECT_LE(static_cast<long long>(label.widthDots) * label.lengthDots, kMaxLabelDots);
    EXPECT_LE(label.ops.size(), kMaxOpsPerLabel);
    ops += label.ops.size();
    for (const auto& op : label.ops) {
      EXPECT_GE(op.x, -kMaxCoordinate);
      EXPECT_LE(op.x, 3 * kMaxCoordinate);
      EXPECT_LE(op.fontHeight, kMaxFontDots);
    }
  }
  EXPECT_TRUE(hasNote(notes, GetParam().note)) << ::testing::PrintToString(notes);
}

std::string repeated(const std::string& part, int times) {
  std::string result;
  for (int i = 0; i < times; ++i)
    result += part;
  return result;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadInput,
    ::testing::Values(BadCase{"^XA^FO-50,-7^GB10,10,1^FS^XZ", "clamped to 0 to 32000"},
                      BadCase{"^XA^FO99999,10^GB10,10,1^FS^XZ", "clamped to 0 to 32000"},
                      BadCase{"^XA^FO0,0^GB999999,999999,999999^FS^XZ", "clamped"},
                      BadCase{"^XA^PW32000^LL32000^XZ", "the label was cut to 4000 x 4000 dots"},
                      BadCase{"^XA^FO0,0^A0N,30000,30000^FDhuge^FS^XZ", "clamped to 0 to 2000"},
                      BadCase{"^XA^FO0,0^A0N,9^FB400,10000^FD" + repeated("x\\&", 10000) + "^FS^XZ",
                              "clamped to 1 to 9999"},
                      BadCase{"^XA^FO0,0^BQN,2,4^FDLA," + std::string(3000, 'q') + "^FS^XZ",
                              "a QR code of 3000 bytes was refused: at level L a QR code holds "
                              "at most 2953 bytes (more where they hold runs of digits or "
                              "capitals)"},
                      BadCase{"^XA^FO0,0^BQN,2,4^FDMA," + std::string(5597, '7') + "^FS^XZ",
                              "a QR code of 5597 digits was refused: at level M a QR code holds "
                              "at most 5596 digits"},
                      BadCase{"^XA^FO0,0^BQN,2,4^FDHA," + std::string(1853, 'Q') + "^FS^XZ",
                              "a QR code of 1853 alphanumeric characters was refused: at level H "
                              "a QR code holds at most 1852 alphanumeric characters"},
                      BadCase{"^XA^FO0,0^BQN,2,4^FDMM,B0002" + std::string(2332, '7') + "^FS^XZ",
                              "a QR code of 2332 bytes was refused: at level M a QR code holds "
                              "at most 2331 bytes"},
                      BadCase{"^XA^FO0,0^BQN,2,4^FDMM,N12a^FS^XZ",
                              "a QR code in numeric mode holds a character other than a digit"},
                      BadCase{"^XA^FO0,0^BQN,2,4^FDMM,Aabc^FS^XZ",
                              "a QR code in alphanumeric mode holds a character other than"},
                      BadCase{"^XA^FO0,0^GB10,10,1^FS", "not closed by ^XZ"},
                      BadCase{"^XA" + repeated("^FO1,1^GB5,5,1^FS", 30000) + "^XZ",
                              "cut off after 20000 elements"},
                      BadCase{repeated("^XA^XZ", 300), "only the first 100 labels"},
                      BadCase{"^XA^ZZ1^QQ^MMT^XZ", "skipped 3 unknown commands: ^MM ^QQ ^ZZ"},
                      BadCase{"^XA^FO0,0^BEN,50^FD12AB^FS^XZ", "EAN-13 takes digits only"},
                      BadCase{"^XA^FO0,0^B3N,N,50^FDlow~er^FS^XZ",
                              "Code 39 cannot hold the character '~'"},
                      BadCase{"^XA^BY10^FO0,0^BCN,50^FD" + std::string(3000, 'a') + "^FS^XZ",
                              "wider than the label"},
                      BadCase{"^XA^FO0,0^A0N,30^FD" + std::string(300'000, 'A') + "^FS^XZ",
                              "field data cut to its first 3072 of 300000 bytes"},
                      BadCase{"^XA^FO0,0^BQN,2,4^FDMA," + std::string(300'000, '7') + "^FS^XZ",
                              "field data cut to its first 7168 of 300003 bytes"}));

// A field holds what a printer takes of it, 3,072 bytes, cut before a
// character that would not fit whole; the rest is dropped, with a note.
TEST(ZplRenderer, CutsAFieldsDataWhereAPrinterDoes) {
  struct Case {
    std::string data;
    std::string drawn;
  };
  const std::string accented = "\xC3\xA9"; // "é", two bytes in UTF-8
  const Case cases[] = {
      {std::string(300'000, 'A'), std::string(kMaxFieldDataBytes, 'A')},
      {std::string(kMaxFieldDataBytes - 1, 'A') + accented + "tail",
       std::string(kMaxFieldDataBytes - 1, 'A')},
      {std::string(kMaxFieldDataBytes, 'A'), std::string(kMaxFieldDataBytes, 'A')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data.size());
    const auto rendering = renderZpl("^XA^FO10,10^A0N,30^FD" + c.data + "^FS^XZ");
    ASSERT_EQ(rendering.labels.size(), 1u);
    const LabelDrawing& label = rendering.labels[0];
    ASSERT_EQ(label.ops.size(), 1u);
    EXPECT_EQ(label.ops[0].text, c.drawn);
    EXPECT_EQ(hasNote(label.notes, "field data cut"), c.data.size() > kMaxFieldDataBytes)
        << ::testing::PrintToString(label.notes);
  }
}

} // namespace
} // namespace velmora::preview
