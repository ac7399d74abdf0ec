// mergelabel: merges a job with a label design the way the spooler does and
// prints the merged labels, so an operator can try a design without a host.
//
//   mergelabel DESIGN [JOB] [--labels TEXT] [--map TEXT] [--time TEXT] [--total TEXT]
//
// Without JOB it merges the configuration program's test print block.
#include "formats/label_block.h"
#include "formats/text_file.h"
#include "platform/file_system.h"
#include "spooler/label_merge.h"

#include <cstring>
#include <iostream>

namespace {

class StderrSink final : public velmora::StatusSink {
public:
  void AddStatusMessage(std::string_view message) override { std::cerr << message << '\n'; }
};

int usage() {
  std::cerr << "usage: mergelabel DESIGN [JOB] [--labels TEXT] [--map TEXT] [--time TEXT] "
               "[--total TEXT]\n"
               "Merges JOB (default: the test print's sample block) with the label design\n"
               "DESIGN and prints the merged labels. The prefix texts default to those the\n"
               "configuration program proposes: Labels, Map:, Time:, Total.\n";
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  auto prefixes = velmora::label_block::defaultPrefixTexts();
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
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
    const velmora::PreparedDesign design(velmora::readTextLines(files[0]));
    StderrSink status;
    const auto merged = files.size() == 2
                            ? velmora::MergeLabels(files[1], design, prefixes, status)
                            : velmora::mergeJobLines(velmora::label_block::sampleJob("02:09 PM"),
                                                     design, prefixes, status);
    for (const auto& line : merged)
      std::cout << line << '\n';
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
