// The preview of a label design: the design merged with the test print's
// sample job, exactly as the spooler merges a job, then rendered as ZPL.
// What the Label Editor page shows beside the editor.
//
// Pure function; any thread.
#pragma once

#include "preview/zpl_renderer.h"

#include <string_view>

namespace velmora::config {

// `designText` is the editor's text (any line breaks); `timeText` goes on the
// sample job's time line. The prefix texts are those proposed for a new
// printer. The rendering holds one label (the sample job has one block),
// or none and the note "no preview for this design" when the design is not
// ZPL.
preview::ZplRendering previewDesign(std::string_view designText, std::string_view timeText,
                                    const preview::RenderOptions& options);

} // namespace velmora::config
