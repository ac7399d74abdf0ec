// Sizes for the monitor a window is on. The windows' layouts are written in
// pixels at 96 dots per inch (100 %); scaled() turns them into the pixels of
// the window's monitor, which the manifest's per-monitor awareness makes the
// program responsible for. Window thread of the window asked about.
#pragma once

#include <windows.h>

namespace velmora::win {

inline constexpr UINT kDefaultDpi = 96;

// The dots per inch of the monitor `window` is on (the system's when the
// system cannot tell per window, as before Windows 10 1607).
UINT windowDpi(HWND window);

// `pixels` at 96 dpi, at `dpi` (rounded to the nearest pixel).
int scaled(int pixels, UINT dpi);
RECT scaled(const RECT& rect, UINT dpi);

// The outer size of a window of `style`/`exStyle` (without a menu bar) whose
// client area is `clientWidth` x `clientHeight` pixels at 96 dpi, at `dpi`.
SIZE outerSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

} // namespace velmora::win
