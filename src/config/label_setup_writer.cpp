#include "config/label_setup_writer.h"

#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/random_access_file.h"
#include "xbase/host_layout.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace velmora::config {

namespace {
constexpr std::int64_t n(std::int64_t value) {
  return value;
}

// Copies made within one second get a number, up to this many.
constexpr int kCopyAttempts = 100;
} // namespace

std::string labelSetupCopyName(const std::tm& when, int attempt) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d-%02d%02d%02d", when.tm_year + 1900,
                when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
  std::string name = "LBLPRDEF-" + std::string(stamp);
  if (attempt > 1)
    name += "-" + std::to_string(attempt);
  return name + ".DBF";
}

// Positions 6, 8, 10, 12, 14, 15, 21, 24, 26, 28, 30, 33 and 36 place the
// twelve header lines of a block (1 to 12, counted from 1).
const std::array<LabelSetupValue, 39> kLabelSetupValues = {
    n(99), n(21), n(120), n(0), n(55), n(1), n(0), n(11), n(0),  n(10), //  1-10
    n(0),  n(8),  n(0),   n(9), n(12), n(0), n(1), n(1),  n(1),  n(1),  // 11-20
    n(2),  n(0),  false,  n(5), n(0),  n(6), n(0), n(7),  n(0),  n(4),  // 21-30
    n(0),  false, n(3),   n(0), false, n(1), n(0), false, false,        // 31-39
};

LabelSetupWriter::LabelSetupWriter(std::function<std::time_t()> now)
    : now_(std::move(now)), tblRMLBLDef_("tblRMLBLDef") {
  tblRMLBLDef_.SetDatabaseName(".\\");
  tblRMLBLDef_.SetTableName(xbase::kLabelSetupTable);
  tblRMLBLDef_.SetTableType(xbase::TApolloTableType::ttSXNTX);
}

std::string_view LabelSetupWriter::setupRMLabels(bool confirmed) {
  keptCopy_.clear();
  if (!confirmed)
    return kSetupAborted;
  // A missing table is no error here: the open below reports it.
  if (platform::fileExists(std::string(".\\") + xbase::kLabelSetupTable))
    keptCopy_ = keepDatedCopy();
  try {
    writeValues();
  } catch (const std::exception&) {
    return kSetupFailed;
  }
  return kSetupApplied;
}

std::string LabelSetupWriter::keepDatedCopy() const {
  // Read as the table's users open it: the host, or a failed run of ours,
  // may hold it open meanwhile.
  const platform::RandomAccessFile file = platform::RandomAccessFile::open(
      std::string(".\\") + xbase::kLabelSetupTable, platform::RandomAccessFile::Access::Read);
  std::string table(static_cast<std::size_t>(file.size()), '\0');
  table.resize(file.readAt(0, table.data(), table.size()));
  const std::tm when = platform::localTime(now_());
  for (int attempt = 1;; ++attempt) {
    const std::string copy = ".\\" + labelSetupCopyName(when, attempt);
    if (platform::writeNewFile(copy, table))
      return platform::fullPath(copy);
    if (attempt == kCopyAttempts)
      throw platform::FileError("Cannot create file \"" + platform::fullPath(copy) + "\"",
                                "every name for a copy made this second is taken");
  }
}

void LabelSetupWriter::writeValues() {
  tblRMLBLDef_.Open();
  // After opening the current record is the first one; a run after a failed
  // one goes on with the record it was editing.
  tblRMLBLDef_.Edit();
  for (std::size_t i = 0; i < kLabelSetupValues.size(); ++i) {
    xbase::TApolloField& field = tblRMLBLDef_.Fields(static_cast<int>(i));
    std::visit([&field](auto value) { field.SetValue(xbase::TFieldValue(value)); },
               kLabelSetupValues[i]);
  }
  tblRMLBLDef_.Post();
  tblRMLBLDef_.Close();
}

} // namespace velmora::config
