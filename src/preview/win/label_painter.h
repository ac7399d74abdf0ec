// Paints a label's drawing operations with GDI, the way the printer prints
// them: at the printer's resolution (one pixel per dot), black and white,
// into a 1-bit DIB section. The front ends scale the picture for the screen.
//
// Text is drawn with Arial Narrow Bold (Arial Bold where Windows has no
// Arial Narrow) stretched along the baseline to the length the renderer
// measured: an approximation of the printer's own font. Window thread, or
// any thread that owns the LabelBitmap.
#pragma once

#include "preview/drawing.h"

#include <windows.h>

#include <cstdint>

namespace velmora::preview::win {

// The label as a 1-bit DIB section of widthDots x lengthDots pixels, rows
// top down; bit 0 is black, bit 1 white.
class LabelBitmap final {
public:
  explicit LabelBitmap(const LabelDrawing& label);
  ~LabelBitmap();
  LabelBitmap(const LabelBitmap&) = delete;
  LabelBitmap& operator=(const LabelBitmap&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  bool isBlack(int x, int y) const;
  // How many dots are black: a quick fingerprint of the picture.
  long long blackCount() const;
  HBITMAP bitmap() const { return bitmap_; }

  // Draws the label into `box` of `dc`, scaled down (never up) to fit with
  // its proportions kept, centred at the top of the box.
  void drawScaled(HDC dc, const RECT& box) const;

private:
  int width_;
  int height_;
  int stride_;
  HBITMAP bitmap_ = nullptr;
  const std::uint8_t* bits_ = nullptr;
};

} // namespace velmora::preview::win
