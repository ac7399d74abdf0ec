// mergelabel: merges a job with a label design the way the spooler does and
// prints the merged labels, so an operator can try a design without a host.
//
//   mergelabel DESIGN [JOB] [--labels TEXT] [--map TEXT] [--time TEXT] [--total TEXT]
//              [--png OUT.png [--dpi N]]
//
// Without JOB it merges the configuration program's test print block. With
// --png it draws the merged labels (ZPL) into OUT.png, one below the other,
// instead of printing them; the merge itself is the spooler's.
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "labels/label_merge.h"
#include "platform/file_system.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#ifdef VELMORA_MERGELABEL_PNG
#include "label_png.h"
#endif

namespace {

class StderrSink final : public velmora::labels::StatusSink {
public:
  void AddStatusMessage(std::string_view message) override { std::cerr << message << '\n'; }
};

int usage() {
  std::cerr << "usage: mergelabel DESIGN [JOB] [--labels TEXT] [--map TEXT] [--time TEXT] "
               "[--total TEXT] [--png OUT.png [--dpi N]]\n"
               "Merges JOB (default: the test print's sample block) with the label design\n"
               "DESIGN and prints the merged labels. The prefix texts default to those the\n"
               "configuration program proposes: Labels, Map:, Time:, Total.\n"
               "--png draws the merged labels (ZPL) into OUT.png, one below the other, at\n"
               "N dots per inch (152, 203, 300 or 600; default 203).\n";
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  auto prefixes = velmora::formats::defaultPrefixTexts();
  std::vector<std::string> files;
  std::string pngPath;
  int dpi = 203;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--png" && i + 1 < argc) {
      pngPath = argv[++i];
      continue;
    }
    if (arg == "--dpi" && i + 1 < argc) {
      dpi = std::atoi(argv[++i]);
      if (dpi != 152 && dpi != 203 && dpi != 300 && dpi != 600)
        return usage();
      continue;
    }
    std::string* prefix = arg == "--labels"  ? &prefixes.labelsText
                          : arg == "--map"   ? &prefixes.mapText
                          : arg == "--time"  ? &prefixes.timeText
                          : arg == "--total" ? &prefixes.totalText
                                             : nullptr;
    if (prefix && i + 1 < argc)
      *prefix = argv[++i];
    else if (prefix || arg.rfind("-", 0) == 0)
      return usage();
    else
      files.push_back(arg);
  }
  if (files.empty() || files.size() > 2)
    return usage();
  try {
    const velmora::labels::PreparedDesign design(velmora::formats::readDesignLines(files[0]).lines);
    StderrSink status;
    const auto merged =
        files.size() == 2 ? velmora::labels::MergeLabels(files[1], design, prefixes, status)
                          : velmora::labels::mergeJobLines(velmora::formats::sampleJob("02:09 PM"),
                                                           design, prefixes, status);
    if (!pngPath.empty()) {
#ifdef VELMORA_MERGELABEL_PNG
      std::vector<std::string> notes;
      velmora::tools::writeLabelPng(merged, dpi, pngPath, notes);
      for (const auto& note : notes)
        std::cerr << "note: " << note << '\n';
      return 0;
#else
      std::cerr << "--png is not available in this build (it needs Qt)\n";
      return 2;
#endif
    }
    for (const auto& line : merged)
      std::cout << line << '\n';
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
