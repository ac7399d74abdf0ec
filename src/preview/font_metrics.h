// How long a run of text is on the label, before any front end draws it.
// The renderer needs the lengths for field blocks (wrapping, justification)
// and for the fields' extents; the painters then stretch their face to the
// measured length, so every platform lays a label out the same way.
//
// Scalable font 0 is measured with the advance widths of a condensed bold
// sans face (DejaVu Sans Condensed Bold); the bitmap fonts A to H with their
// fixed cells. Both are approximations of the printer's own fonts. Pure
// functions; any thread.
#pragma once

#include <string_view>

namespace velmora::preview {

// A font as a field uses it: the glyphs' height in dots (the em) and the
// length of each character along the baseline.
struct FieldFont {
  char name = '0';
  int height = 0;      // dots
  int width = 0;       // dots; for font 0 the em's width, else the cell
  int cellAdvance = 0; // bitmap fonts: dots from one character to the next
};

// The font for a ^A / ^CF request: height and width in dots (0 = not
// given). Font 0 (and any font the renderer lacks) scales freely; a missing
// width follows the height. Bitmap fonts magnify their cell by whole
// factors from 1 to 10.
FieldFont fieldFont(char name, int height, int width);

// The length in dots of UTF-8 `text` in `font`.
int textAdvance(std::string_view text, const FieldFont& font);

// The baseline's distance from the top of a line, in dots.
int baselineOffset(const FieldFont& font);

} // namespace velmora::preview
