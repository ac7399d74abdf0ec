#include "win/gdi_font.h"

#include <utility>

namespace velmora::win {

GdiFont::GdiFont(const wchar_t* face, int points, bool bold, UINT dpi) {
  LOGFONTW font{};
  font.lfHeight = -::MulDiv(points, static_cast<int>(dpi), 72);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  ::lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  font_ = ::CreateFontIndirectW(&font);
}

GdiFont::~GdiFont() {
  if (font_)
    ::DeleteObject(font_);
}

GdiFont::GdiFont(GdiFont&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}

GdiFont& GdiFont::operator=(GdiFont&& other) noexcept {
  if (this != &other) {
    if (font_)
      ::DeleteObject(font_);
    font_ = std::exchange(other.font_, nullptr);
  }
  return *this;
}

} // namespace velmora::win
