// "Setup RM Labels": rewrites the host's label setup, the first record of
// LBLPRDEF.DBF in the working directory, with the 39 fixed values that make
// the host write its label jobs in blocks of 100 lines, one block per label.
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

// One value of the label setup: a whole number or a logical.
using LabelSetupValue = std::variant<std::int64_t, bool>;

// The values in field order; field n (from 1) gets value n.
extern const std::array<LabelSetupValue, 39> kLabelSetupValues;

class LabelSetupWriter final {
public:
  LabelSetupWriter();
  LabelSetupWriter(const LabelSetupWriter&) = delete;
  LabelSetupWriter& operator=(const LabelSetupWriter&) = delete;

  // Runs the rewrite after the user's answer to the question and returns the
  // message to show: kSetupAborted without opening anything when not
  // confirmed, kSetupApplied on success, kSetupFailed when opening, editing,
  // any assignment, the post or the close failed. Nothing reaches the file
  // unless all 39 assignments and the post succeed.
  std::string_view setupRMLabels(bool confirmed);

  const xbase::TApolloTable& tblRMLBLDef() const { return tblRMLBLDef_; }

private:
  void writeValues();

  xbase::TApolloTable tblRMLBLDef_;
};

} // namespace velmora::config
