// What Dovetack's windows add to the shared Win32 helpers (src/win): a
// window's text as UTF-8, and the system's message font and a fixed-pitch
// font at a monitor's DPI.
//
// The window thread calls them.
#pragma once

#include "win/dpi_scaling.h"
#include "win/wide_text.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora::config::win {

using velmora::win::fromWide;
using velmora::win::scaled;
using velmora::win::toWide;
using velmora::win::windowDpi;

// GetWindowTextW of `window`, as UTF-8.
std::string windowText(HWND window);
void setWindowText(HWND window, std::string_view utf8);

// The system's message font at `dpi`, bold or not; the caller deletes it.
HFONT createMessageFont(UINT dpi, bool bold);
// A fixed-pitch font of the same height, for the design editor.
HFONT createFixedFont(UINT dpi);

} // namespace velmora::config::win
