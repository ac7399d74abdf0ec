#include "config/design_preview.h"

#include "config/test_print.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "labels/label_merge.h"
#include "labels/merged_labels.h"

#include <string>

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

} // namespace velmora::config
