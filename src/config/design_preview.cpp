#include "config/design_preview.h"

#include "config/test_print.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "labels/label_merge.h"
#include "labels/merged_labels.h"

#include <string>
#include <utility>

namespace velmora::config {
namespace {

// A merge of the sample job logs nothing (its line count is right); a sink
// is still needed.
class IgnoredStatus final : public labels::StatusSink {
public:
  void AddStatusMessage(std::string_view) override {}
};

} // namespace

preview::ZplRendering previewDesign(std::string_view designText, std::string_view timeText,
                                    const preview::RenderOptions& options) {
  IgnoredStatus status;
  const labels::PreparedDesign design(formats::splitLines(designText));
  return labels::renderMergedLines(
      labels::mergeJobLines(testPrintJob(timeText), design, formats::defaultPrefixTexts(), status),
      options);
}

DesignPreview designPreview(std::string_view designText, std::string_view timeText,
                            const PreviewLabelSize& size) {
  preview::ZplRendering rendering = previewDesign(designText, timeText, previewRenderOptions(size));
  DesignPreview shown;
  const auto note = [&shown](const std::string& line) {
    if (!shown.notes.empty())
      shown.notes += '\n';
    shown.notes += line;
  };
  for (const std::string& line : rendering.notes)
    note(line);
  if (!rendering.labels.empty()) {
    shown.label = std::move(rendering.labels.front());
    for (const std::string& line : shown.label->notes)
      note(line);
  }
  return shown;
}

} // namespace velmora::config
