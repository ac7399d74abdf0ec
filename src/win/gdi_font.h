// GdiFont: owns one GDI font (HFONT) and deletes it. A window that sets a
// font on its controls keeps the GdiFont alive as long as they exist, and
// makes new ones when its monitor's DPI changes. Window thread.
#pragma once

#include <windows.h>

namespace velmora::win {

class GdiFont final {
public:
  GdiFont() = default;
  // `face` at `points` (typographic points) for a monitor of `dpi`; when the
  // face is missing, the font mapper picks the nearest sans-serif one.
  GdiFont(const wchar_t* face, int points, bool bold, UINT dpi);
  ~GdiFont();
  GdiFont(GdiFont&& other) noexcept;
  GdiFont& operator=(GdiFont&& other) noexcept;
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;

  HFONT get() const { return font_; }

private:
  HFONT font_ = nullptr;
};

} // namespace velmora::win
