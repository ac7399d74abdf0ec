// Arbitrary bytes as a label design, a job and four prefix texts, through the
// text readers (the design's rules and the job's) and the merge, and the
// merged job through its writer and reader; small inputs are also checked
// against the plain step-by-step merge. The merged job's bytes read back
// must show the encoding stretches the bytes have.
#include "../tests/labels/label_merge_oracle.h"
#include "formats/printer_encoding.h"
#include "formats/text_file.h"
#include "labels/label_merge.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

class CollectingSink final : public velmora::labels::StatusSink {
public:
  void AddStatusMessage(std::string_view message) override { lines.emplace_back(message); }
  std::vector<std::string> lines;
};

std::string decodedLine(FuzzedDataProvider& data) {
  const auto lines = velmora::formats::splitLines(
      velmora::formats::decodeText(data.ConsumeRandomLengthString(16)).text);
  return lines.empty() ? std::string() : lines.front();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  velmora::formats::PrefixTexts prefixes;
  prefixes.labelsText = decodedLine(data);
  prefixes.mapText = decodedLine(data);
  prefixes.timeText = decodedLine(data);
  prefixes.totalText = decodedLine(data);
  const auto design = velmora::formats::splitLines(
      velmora::formats::decodeDesignText(data.ConsumeRandomLengthString(4096)).text);
  const auto job = velmora::formats::splitLines(
      velmora::formats::decodeText(data.ConsumeRemainingBytesAsString()).text);

  CollectingSink status;
  const auto merged = velmora::labels::mergeJobLines(job, velmora::labels::PreparedDesign(design),
                                                     prefixes, status);
  const std::string mergedBytes = velmora::formats::encodeMergedJob(merged);
  const auto codePages = [](std::string_view text) {
    std::vector<unsigned> pages;
    for (const auto& stretch : velmora::formats::printerEncodingStretches(text))
      pages.push_back(stretch.codePage);
    return pages;
  };
  if (codePages(velmora::formats::decodeFromPrinter(mergedBytes)) != codePages(mergedBytes))
    std::abort();

  if (job.size() <= 300 && design.size() <= 20) {
    const auto expected = velmora::oracle::mergeJobLines(job, design, prefixes);
    if (merged != expected.merged || status.lines != expected.status)
      std::abort();
  }
  return 0;
}
