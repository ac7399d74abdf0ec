#include "config/design_preview.h"

#include "config/test_print.h"
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "spooler/label_merge.h"

#include <string>

namespace velmora::config {
namespace {

// A merge of the sample job logs nothing (its line count is right); a sink
// is still needed.
class IgnoredStatus final : public spooler::StatusSink {
public:
  void AddStatusMessage(std::string_view) override {}
};

} // namespace

preview::ZplRendering previewDesign(std::string_view designText, std::string_view timeText,
                                    const preview::RenderOptions& options) {
  IgnoredStatus status;
  const spooler::PreparedDesign design(formats::splitLines(designText));
  const auto merged =
      spooler::mergeJobLines(testPrintJob(timeText), design, formats::defaultPrefixTexts(), status);
  std::string text;
  for (const auto& line : merged)
    text += line + "\r\n";
  return preview::renderZpl(text, options);
}

} // namespace velmora::config
