// The program picture of Dovetack (156 x 76 pixels at 96 dots per inch): a
// label on its roll with the product name, drawn with GDI in code, as the
// Qt window draws it, so the program carries no image files. Drawn
// stretched into any rectangle (the "Setup" page, the about box).
//
// Window thread; the caller owns the device context.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace velmora::config::win {

inline constexpr int kProgramPictureWidth = 156;
inline constexpr int kProgramPictureHeight = 76;

// Fills `area` with the picture, stretched to it; `background` shows around
// the drawing.
void drawProgramPicture(HDC dc, const RECT& area, COLORREF background);

} // namespace velmora::config::win
