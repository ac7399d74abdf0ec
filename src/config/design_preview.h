// The preview of a label design: the design merged with the test print's
// sample job, exactly as the spooler merges a job, then rendered as ZPL.
// What the Label Editor page shows beside the editor: the label, or none,
// and the notes under it.
//
// Pure functions; any thread.
#pragma once

#include "config/label_preview_size.h"
#include "preview/zpl_renderer.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora::config {

// The preview follows the editor this long after an edit (edits meanwhile
// wait with it), so that typing stays quick in a long design.
inline constexpr int kPreviewRedrawDelayMs = 150;

// `designText` is the editor's text (any line breaks); `timeText` goes on the
// sample job's time line. The prefix texts are those proposed for a new
// printer. The rendering holds one label (the sample job has one block),
// or none and the note "no preview for this design" when the design is not
// ZPL.
preview::ZplRendering previewDesign(std::string_view designText, std::string_view timeText,
                                    const preview::RenderOptions& options);

// What the preview shows of a design.
struct DesignPreview {
  std::optional<preview::LabelDrawing> label; // nothing: no picture
  // One note a line: those about the design as a whole, then the label's
  // (what the renderer clamped, refused or skipped); empty for none.
  std::string notes;
};

// The design's preview with the label of `size` where the design sets no
// ^PW / ^LL.
DesignPreview designPreview(std::string_view designText, std::string_view timeText,
                            const PreviewLabelSize& size);

} // namespace velmora::config
