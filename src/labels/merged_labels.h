// Merged lines as the printer would print them: the lines joined as a merged
// job's file holds them (CR LF after every line) and rendered by the preview
// core. The one step behind the spooler's view of a delivered job and the
// configuration program's design preview. Pure; any thread.
#pragma once

#include "preview/zpl_renderer.h"

#include <string>
#include <vector>

namespace velmora::labels {

preview::ZplRendering renderMergedLines(const std::vector<std::string>& lines,
                                        const preview::RenderOptions& options = {});

} // namespace velmora::labels
