// Text at the Windows API: the programs keep UTF-8 inside and hand UTF-16 to
// the wide (W) functions, converted by the same rules as every other text of
// the system (platform/unicode.h: an invalid byte or an unpaired surrogate
// becomes U+FFFD). Also reading back what a window and a list box show.
//
// Any thread may convert; windowText() and listBoxLines() ask the window,
// which answers on its own thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace velmora::win {

std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);

// A window's text (a caption, a button's or a static control's text).
std::wstring windowText(HWND window);

// The line at `index` of a list box (empty when there is none), and every
// line, first to last.
std::wstring listBoxLine(HWND list, std::size_t index);
std::vector<std::wstring> listBoxLines(HWND list);

} // namespace velmora::win
