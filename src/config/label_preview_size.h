// The label preview's size, one rule for both Dovetack windows: the label the
// preview falls back on where a design sets no ^PW / ^LL (a width and a
// length in hundredths of an inch, and one of the printer resolutions the
// renderer offers), that label's size in printer dots, and the zoom at which
// a label is drawn in the room a window gives it (scaled down to fit, never
// up, its proportions kept).
//
// The user chooses any width and length from half an inch to eight inches,
// to the hundredth; the arrows of a size box step a quarter inch. The choice
// lasts for the session only.
//
// Values and pure functions; any thread.
#pragma once

#include "preview/zpl_renderer.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora::config {

// How wide the preview is beside the design editor: the two share the room
// (`room`, both and the gap between them) half and half, as the Qt window's
// splitter does, and the preview is never narrower than `least`, its width
// at the window's first size.
constexpr int previewPaneWidth(int room, int least) {
  return room / 2 > least ? room / 2 : least;
}

// The width and length a user may choose, in hundredths of an inch, and the
// step of a size box's arrows.
inline constexpr int kPreviewSizeMinimum = 50;
inline constexpr int kPreviewSizeMaximum = 800;
inline constexpr int kPreviewSizeStep = 25;

// The label the preview falls back on; 4 x 2 inches at 203 dpi to begin with.
struct PreviewLabelSize {
  int width = 400;  // hundredths of an inch
  int length = 200; // hundredths of an inch
  int dpi = 203;    // one of preview::kSupportedDpi

  bool operator==(const PreviewLabelSize&) const = default;
};

// `size` as a user may choose it: width and length brought into the range,
// a resolution the renderer does not offer replaced by 203.
PreviewLabelSize withinPreviewChoices(const PreviewLabelSize& size);

// A length in hundredths of an inch in printer dots at `dpi`, to the nearest
// dot (4 inches at 203 dpi: 812).
int dotsOf(int hundredths, int dpi);

// What the renderer is given for the preview: one label, this size where
// the design sets none.
preview::RenderOptions previewRenderOptions(const PreviewLabelSize& size);

// A width or length as a size box shows it: "4.00 in".
std::string inchesText(int hundredths);
// What a user typed into a size box, in hundredths of an inch: a number with
// "." or "," before at most two decimals, "in" after it or not ("4", "2.25",
// "4,5 in"); nothing for any other text. The range is not applied.
std::optional<int> parseInches(std::string_view text);

// A size in pixels (or dots).
struct PixelSize {
  int width = 0;
  int height = 0;

  bool operator==(const PixelSize&) const = default;
};

// The zoom: the size at which a label of `label` dots is drawn in `room`
// pixels, one dot a pixel at most, scaled down to fit with its proportions
// kept, at least a pixel each way; 0 x 0 when there is no label or no room.
PixelSize previewDrawnSize(PixelSize label, PixelSize room);

} // namespace velmora::config
