// The ZPL renderer: a merged label text (the language of the common thermal
// label printers) in, one LabelDrawing per ^XA ... ^XZ label out, in printer
// dots, as the printer would print it.
//
// It knows ^XA ^XZ ^FO ^FT ^LH ^PW ^LL ^FD ^FS ^FH ^FX ^CF ^A ^FW ^FB ^FR
// ^GB ^GC ^GD ^GE ^BY ^CI and the barcodes ^BC (Code 128), ^B3 (Code 39),
// ^BE (EAN-13) and ^BQ (QR). Any other command is skipped and counted in a
// note. A text that holds no ^XA is not ZPL (another printer language, plain
// text): it gives no labels and the note kNoPreviewNote.
//
// The text comes decoded (UTF-8), whatever encoding its ^CI set for the
// printer: what ^CI changes here is the bytes a field writes as ^FH hex
// escapes. After ^CI28 they are UTF-8 ("_C3_A9" is é); otherwise a byte
// above 127 is the Latin-1 character of that number. ^CI holds from where it
// stands, inside a label or between labels, to the next ^CI.
//
// The text is outside input. Numbers are clamped to the printer's range
// (0 to 32000 dots), a field's data to kMaxFieldDataBytes (3,072 bytes, what a
// printer takes; a QR code's to kMaxQrFieldDataBytes), the label to kMaxLabelDots, fonts to
// kMaxFontDots, a label to kMaxOpsPerLabel operations and a text to kMaxLabels labels; data a
// barcode cannot hold is refused. Each such case leaves a note, so the work and memory of a
// rendering grow with the text's length only.
//
// Pure function; any thread.
#pragma once

#include "preview/drawing.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::preview {

inline constexpr std::string_view kNoPreviewNote = "no preview for this design";
inline constexpr int kMaxCoordinate = 32000;
inline constexpr long long kMaxLabelDots = 16'000'000; // width x length
inline constexpr int kMaxFontDots = 2000;
inline constexpr std::size_t kMaxOpsPerLabel = 20000;
inline constexpr std::size_t kMaxLabels = 100;
// A printer takes at most this many bytes of one field's data (^FD up to the
// next command); the rest is dropped, as the printer drops it, with a note.
inline constexpr std::size_t kMaxFieldDataBytes = 3072;
// A QR code's data may be longer: the largest code holds 7,089 digits, and
// its data starts with the input switches ("MA,").
inline constexpr std::size_t kMaxQrFieldDataBytes = 7168;

// The resolutions a preview offers; any other value is taken as 203.
inline constexpr int kSupportedDpi[] = {152, 203, 300, 600};

struct RenderOptions {
  int dpi = 203;
  // The label's size where the design sets no ^PW / ^LL; 0 means 4 inches
  // wide and 2 inches long at `dpi`.
  int defaultWidthDots = 0;
  int defaultLengthDots = 0;
  std::size_t maxLabels = kMaxLabels;
};

struct ZplRendering {
  bool isZpl = false;
  std::vector<LabelDrawing> labels;
  std::vector<std::string> notes; // about the text as a whole
  // How many commands of the text the renderer does not know and skipped
  // (each also named in a note).
  int unknownCommands = 0;
};

ZplRendering renderZpl(std::string_view text, const RenderOptions& options = {});

} // namespace velmora::preview
