// The label merge written step by step the plain way, as the reference the
// spooler's merge is checked and measured against: for every replacement the
// label's text (its lines joined with CR LF) is upper-cased character by
// character and scanned, each character remembering whether a value put it
// there; the finished label is read command by command and the job's command
// characters escaped as the merge documents it (spooler/job_value_escaper.h),
// then cut into lines. Slow on purpose; never used by the programs.
#pragma once

#include "formats/label_block.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmora::oracle {

// The merged job, and the status lines the merge logged, in order.
struct MergeResult {
  std::vector<std::string> merged;
  std::vector<std::string> status;
};

MergeResult mergeJobLines(std::vector<std::string> jobLines, const std::vector<std::string>& design,
                          const formats::PrefixTexts& prefixes);

} // namespace velmora::oracle
