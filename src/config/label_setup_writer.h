// "Setup RM Labels": rewrites the host's label setup, the first record of
// LBLPRDEF.DBF in the working directory, with the 39 fixed values that make
// the host write its label jobs in blocks of 100 lines, one block per label.
// Before anything is written the table as it stands is copied beside it under
// a dated name (LBLPRDEF-2026-12-11-163500.DBF), never over an earlier copy,
// so the host's setup can be put back by hand.
//
// Ownership: the object owns the table tblRMLBLDef. The table is closed
// before and after a successful run; after a failure it stays open, with
// its record being edited and locked, and the next run continues on that
// record; destroying the object closes it without posting, which gives the
// lock up. Threads: the window thread only.
#pragma once

#include "xbase/apollo_table.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <variant>

namespace velmora::config {

// The question asked before the rewrite, and the three outcomes.
inline constexpr std::string_view kSetupQuestionTitle = "WARNING!!!!";
inline constexpr std::string_view kSetupQuestion =
    "This will reset the Label Setup in RM. Are you sure?";
inline constexpr std::string_view kSetupAborted = "Aborted modification";
inline constexpr std::string_view kSetupApplied = "Changes applied";
inline constexpr std::string_view kSetupFailed = "Failed to set values. Run FILEGEN";
// After kSetupApplied, before the path of the copy made first.
inline constexpr std::string_view kSetupCopyKept =
    "\r\n\r\nThe label setup as it was before is kept in ";

// One value of the label setup: a whole number or a logical.
using LabelSetupValue = std::variant<std::int64_t, bool>;

// The values in field order; field n (from 1) gets value n.
extern const std::array<LabelSetupValue, 39> kLabelSetupValues;

// The name of the dated copy of the label setup table made at local time
// `when`: "LBLPRDEF-2026-12-11-163500.DBF", and from the second attempt on
// (`attempt` 2, 3, ...) "LBLPRDEF-2026-12-11-163500-2.DBF".
std::string labelSetupCopyName(const std::tm& when, int attempt);

class LabelSetupWriter final {
public:
  // `now` gives the moment whose local time dates the copy.
  explicit LabelSetupWriter(std::function<std::time_t()> now = [] { return std::time(nullptr); });
  LabelSetupWriter(const LabelSetupWriter&) = delete;
  LabelSetupWriter& operator=(const LabelSetupWriter&) = delete;

  // Runs the rewrite after the user's answer to the question and returns the
  // message to show: kSetupAborted without opening anything when not
  // confirmed, kSetupApplied on success, kSetupFailed when opening, editing,
  // any assignment, the post or the close failed. Nothing reaches the file
  // unless all 39 assignments and the post succeed. When the table stands
  // there, the dated copy is made first; a copy that cannot be made throws
  // platform::FileError, and nothing is written then.
  std::string_view setupRMLabels(bool confirmed);

  // The path of the copy the last run made (as platform::fullPath gives
  // it), or empty when it made none.
  const std::string& keptCopy() const { return keptCopy_; }

  const xbase::TApolloTable& tblRMLBLDef() const { return tblRMLBLDef_; }

private:
  void writeValues();
  std::string keepDatedCopy() const;

  std::function<std::time_t()> now_;
  xbase::TApolloTable tblRMLBLDef_;
  std::string keptCopy_;
};

} // namespace velmora::config
