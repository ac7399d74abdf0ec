#include "config/label_preview_size.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace velmora::config {

PreviewLabelSize withinPreviewChoices(const PreviewLabelSize& size) {
  PreviewLabelSize within = size;
  within.width = std::clamp(size.width, kPreviewSizeMinimum, kPreviewSizeMaximum);
  within.length = std::clamp(size.length, kPreviewSizeMinimum, kPreviewSizeMaximum);
  if (std::find(std::begin(preview::kSupportedDpi), std::end(preview::kSupportedDpi), size.dpi) ==
      std::end(preview::kSupportedDpi))
    within.dpi = PreviewLabelSize{}.dpi;
  return within;
}

int dotsOf(int hundredths, int dpi) {
  return static_cast<int>((static_cast<long long>(hundredths) * dpi + 50) / 100);
}

preview::RenderOptions previewRenderOptions(const PreviewLabelSize& size) {
  preview::RenderOptions options;
  options.dpi = size.dpi;
  options.defaultWidthDots = dotsOf(size.width, size.dpi);
  options.defaultLengthDots = dotsOf(size.length, size.dpi);
  options.maxLabels = 1;
  return options;
}

std::string inchesText(int hundredths) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%02d in", hundredths / 100, hundredths % 100);
  return text;
}

std::optional<int> parseInches(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  if (text.ends_with("in")) {
    text.remove_suffix(2);
    while (!text.empty() && blank(text.back()))
      text.remove_suffix(1);
  }
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  long long whole = 0;
  std::size_t at = 0;
  for (; at < text.size() && digit(text[at]); ++at) {
    whole = whole * 10 + (text[at] - '0');
    if (whole > 100000)
      return std::nullopt;
  }
  const bool wholeDigits = at > 0;
  int decimals = 0;
  int places = 0;
  if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
    for (++at; at < text.size() && digit(text[at]); ++at) {
      if (++places > 2)
        return std::nullopt;
      decimals = decimals * 10 + (text[at] - '0');
    }
  }
  if (at != text.size() || (!wholeDigits && places == 0))
    return std::nullopt;
  if (places == 1)
    decimals *= 10;
  return static_cast<int>(whole * 100 + decimals);
}

PixelSize previewDrawnSize(PixelSize label, PixelSize room) {
  if (label.width <= 0 || label.height <= 0 || room.width <= 0 || room.height <= 0)
    return {};
  const double scale = std::min({1.0, static_cast<double>(room.width) / label.width,
                                 static_cast<double>(room.height) / label.height});
  return {std::max(1, static_cast<int>(std::lround(label.width * scale))),
          std::max(1, static_cast<int>(std::lround(label.height * scale)))};
}

} // namespace velmora::config
