#include "config/win/window_text.h"

namespace velmora::config::win {

std::string windowText(HWND window) {
  return fromWide(velmora::win::windowText(window));
}

void setWindowText(HWND window, std::string_view text) {
  ::SetWindowTextW(window, toWide(text).c_str());
}

namespace {

LOGFONTW messageFontAt(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    metrics.lfMessageFont = LOGFONTW{};
    metrics.lfMessageFont.lfHeight = -scaled(12, dpi);
    ::lstrcpyW(metrics.lfMessageFont.lfFaceName, L"Tahoma");
  }
  return metrics.lfMessageFont;
}

} // namespace

HFONT createMessageFont(UINT dpi, bool bold) {
  LOGFONTW font = messageFontAt(dpi);
  if (bold)
    font.lfWeight = FW_BOLD;
  return ::CreateFontIndirectW(&font);
}

HFONT createFixedFont(UINT dpi) {
  LOGFONTW font = messageFontAt(dpi);
  font.lfWeight = FW_NORMAL;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  ::lstrcpyW(font.lfFaceName, L"Courier New");
  return ::CreateFontIndirectW(&font);
}

} // namespace velmora::config::win
