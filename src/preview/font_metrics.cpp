#include "preview/font_metrics.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora::preview {
namespace {

// Advance widths of DejaVu Sans Condensed Bold for the characters 32 to 126,
// in thousandths of the em.
constexpr std::array<short, 95> kCondensedBoldAdvance = {
    269, 352, 403, 648, 538, 775, 674, 236, 353, 353, 404, 648, 293, 321, 293, 282, 538, 538, 538,
    538, 538, 538, 538, 538, 538, 538, 309, 309, 648, 648, 648, 448, 773, 598, 589, 567, 642, 528,
    528, 634, 647, 287, 287, 599, 492, 770, 647, 657, 566, 657, 595, 557, 527, 628, 598, 853, 596,
    560, 561, 353, 282, 353, 648, 386, 386, 521, 553, 458, 553, 524, 336, 553, 550, 264, 264, 514,
    264, 806, 550, 531, 553, 553, 381, 460, 369, 550, 504, 714, 498, 504, 450, 550, 282, 550, 648};
constexpr int kOtherAdvance = 600; // characters beyond ASCII: a capital's width

struct BitmapCell {
  char name;
  int height;
  int width;
  int gap;
};
constexpr std::array<BitmapCell, 8> kBitmapCells = {{{'A', 9, 5, 1},
                                                     {'B', 11, 7, 2},
                                                     {'C', 18, 10, 2},
                                                     {'D', 18, 10, 2},
                                                     {'E', 28, 15, 5},
                                                     {'F', 26, 13, 3},
                                                     {'G', 60, 40, 8},
                                                     {'H', 21, 13, 6}}};

int magnification(int requested, int base) {
  if (requested <= 0)
    return 0;
  return std::clamp(static_cast<int>(std::lround(static_cast<double>(requested) / base)), 1, 10);
}

} // namespace

FieldFont fieldFont(char name, int height, int width) {
  for (const auto& cell : kBitmapCells) {
    if (cell.name != name)
      continue;
    int mh = magnification(height, cell.height);
    int mw = magnification(width, cell.width);
    if (mh == 0)
      mh = mw == 0 ? 1 : mw;
    if (mw == 0)
      mw = mh;
    return {name, cell.height * mh, cell.width * mw, (cell.width + cell.gap) * mw};
  }
  if (height <= 0)
    height = width > 0 ? width : 9;
  if (width <= 0)
    width = height;
  return {'0', height, width, 0};
}

int textAdvance(std::string_view text, const FieldFont& font) {
  long long total = 0; // thousandths of the font's width
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80)
      continue; // a continuation byte: counted with its lead byte
    if (font.cellAdvance > 0)
      total += 1000LL * font.cellAdvance;
    else
      total += static_cast<long long>(c >= 32 && c < 127 ? kCondensedBoldAdvance[c - 32]
                                                         : kOtherAdvance) *
               font.width;
  }
  return static_cast<int>(std::min<long long>((total + 500) / 1000, 1 << 30));
}

int baselineOffset(const FieldFont& font) {
  return static_cast<int>(std::lround(font.height * 0.8));
}

} // namespace velmora::preview
