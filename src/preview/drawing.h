// The drawing of one label as the renderer hands it to a front end: a plain
// list of operations in printer dots (x to the right, y down, origin at the
// label's top-left corner), each drawn in order on a white label of
// widthDots x lengthDots, at the printer's resolution and one bit deep.
//
// Every kind of operation maps onto a plain 2D drawing call (QPainter on
// Linux, GDI on Windows): nothing here needs a font engine or a barcode
// library. Values only; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::preview {

// The direction a text or barcode field is written in, turned clockwise.
enum class Orientation : std::uint8_t {
  normal,      // N: reads left to right
  rotated90,   // R: reads top to bottom, glyph tops to the right
  inverted180, // I: upside down
  rotated270,  // B: reads bottom to top, glyph tops to the left
};

enum class OpKind : std::uint8_t {
  // x, y, width, height; a frame `thickness` dots thick drawn inside that
  // box (the box is filled when 2 * thickness >= its smaller side);
  // `rounding` 0 to 8 rounds the corners by rounding/8 of half the smaller
  // side. Barcode bars and QR modules are filled rectangles.
  rectangle,
  // An ellipse inscribed in x, y, width, height, its outline `thickness`
  // dots thick measured inwards (filled when 2 * thickness >= smaller side).
  ellipse,
  // A diagonal stroke across the box x, y, width, height, `thickness` dots
  // wide measured horizontally: from bottom-left to top-right ("/"), or from
  // top-left to bottom-right ("\") when `leftLeaning` is set.
  diagonal,
  // A run of text on one baseline. (x, y) is the start of the baseline; the
  // run goes in the direction of `orientation`. The glyphs are fontHeight
  // dots tall (the em of the face) and the whole run is `advance` dots long:
  // a painter stretches its face along the baseline to that length, so that
  // what the renderer measured for wrapping and justification holds.
  text,
};

struct DrawOp {
  OpKind kind = OpKind::rectangle;
  int x = 0;
  int y = 0;
  int width = 0;  // rectangle, ellipse, diagonal
  int height = 0; // rectangle, ellipse, diagonal
  int thickness = 0;
  int rounding = 0;     // rectangle: 0 (square) to 8
  bool black = true;    // false: drawn in white (^GB...,W)
  bool reverse = false; // XOR with what is below instead of painting over it
  bool leftLeaning = false;
  Orientation orientation = Orientation::normal; // text
  int fontHeight = 0;                            // text
  int advance = 0;                               // text
  std::string text;                              // text, UTF-8
};

// One label: its size, its operations, and the notes a viewer shows beside
// the picture (what was clamped, refused or skipped).
struct LabelDrawing {
  int widthDots = 0;
  int lengthDots = 0;
  int dpi = 203;
  std::vector<DrawOp> ops;
  std::vector<std::string> notes;
};

} // namespace velmora::preview
