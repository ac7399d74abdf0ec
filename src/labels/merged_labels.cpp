#include "labels/merged_labels.h"

namespace velmora::labels {

preview::ZplRendering renderMergedLines(const std::vector<std::string>& lines,
                                        const preview::RenderOptions& options) {
  std::string text;
  for (const auto& line : lines)
    text += line + "\r\n";
  return preview::renderZpl(text, options);
}

} // namespace velmora::labels
