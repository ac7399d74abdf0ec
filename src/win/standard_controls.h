// Creating the standard controls of a window (static texts, list boxes,
// buttons, and any other window class of the common controls) from a layout
// written in pixels at 96 dpi, and placing them again when the window moves
// to a monitor of another DPI. Window thread.
#pragma once

#include <windows.h>

namespace velmora::win {

// Where a control sits in its parent's client area at 96 dpi.
struct ControlPlace {
  int left;
  int top;
  int width;
  int height;
};

// A child control of `parent` of `windowClass` ("STATIC", "LISTBOX",
// "BUTTON", WC_TABCONTROLW, ...) with `text`, `style` (WS_CHILD is added),
// control identifier `id`, placed at `place` scaled to `dpi`, drawn with
// `font`. Throws std::runtime_error with the system's text when the control
// cannot be made.
HWND createControl(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style,
                   int id, const ControlPlace& place, UINT dpi, HFONT font);

// Places `control` at `place` scaled to `dpi` and gives it `font`.
void placeControl(HWND control, const ControlPlace& place, UINT dpi, HFONT font);

// Registers the common controls' window classes (once per process; the
// manifest selects their version 6).
void initCommonControls();

} // namespace velmora::win
