#include "config/label_setup_writer.h"

#include "xbase/host_layout.h"

#include <exception>

namespace velmora::config {

namespace {
constexpr std::int64_t n(std::int64_t value) {
  return value;
}
} // namespace

// Positions 6, 8, 10, 12, 14, 15, 21, 24, 26, 28, 30, 33 and 36 place the
// twelve header lines of a block (1 to 12, counted from 1).
const std::array<LabelSetupValue, 39> kLabelSetupValues = {
    n(99), n(21), n(120), n(0), n(55), n(1), n(0), n(11), n(0),  n(10), //  1-10
    n(0),  n(8),  n(0),   n(9), n(12), n(0), n(1), n(1),  n(1),  n(1),  // 11-20
    n(2),  n(0),  false,  n(5), n(0),  n(6), n(0), n(7),  n(0),  n(4),  // 21-30
    n(0),  false, n(3),   n(0), false, n(1), n(0), false, false,        // 31-39
};

LabelSetupWriter::LabelSetupWriter() : tblRMLBLDef_("tblRMLBLDef") {
  tblRMLBLDef_.SetDatabaseName(".\\");
  tblRMLBLDef_.SetTableName(xbase::kLabelSetupTable);
  tblRMLBLDef_.SetTableType(xbase::TApolloTableType::ttSXNTX);
}

std::string_view LabelSetupWriter::setupRMLabels(bool confirmed) {
  if (!confirmed)
    return kSetupAborted;
  try {
    writeValues();
  } catch (const std::exception&) {
    return kSetupFailed;
  }
  return kSetupApplied;
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
