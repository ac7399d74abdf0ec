// The printer configuration as the configuration program edits it: the
// in-memory table tblConfig with its eight fields, the host printer table
// RMSpool.DBF whose PRINTER values are the choices of the three printer
// fields, and the actions of the "Setup" page (open, add, delete, save).
//
// Ownership: the object owns both tables; tblRMSpool stays open, read-only,
// from OpenConfiguration until the object is destroyed. The window binds its
// grid and field controls to tblConfig() through the table's change
// listeners.
//
// Threads: the window thread only. Errors are raised as exceptions whose
// what() is the text of the error box (EDatabaseError, EApolloError,
// platform::FileError).
#pragma once

#include "formats/configuration_file.h"
#include "formats/printer_rows.h"
#include "formats/virtual_table.h"
#include "xbase/apollo_table.h"

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::config {

// The index of the first choice, in list order, that begins with `typed`
// compared without regard to case; nothing for an empty text or no match
// (a value that is not in the list cannot be entered).
std::optional<std::size_t> findPrinterChoice(const std::vector<std::string>& choices,
                                             std::string_view typed);

// Type-ahead in a printer choice box (every front end's): each typed
// character extends the typed text, which selects the first choice, in list
// order, that begins with it (findPrinterChoice). When none does, the
// character is dropped: the typed text and the selection stay as they were.
// The typed text starts anew after a pause longer than the platform's
// keyboard input interval and when the box shows another row's value
// (Reset).
class PrinterTypeAhead final {
public:
  // `character` is the text of one key press (UTF-8); `afterPause` tells
  // that the pause since the previous key was longer than the interval. The
  // index of the choice to select, or nothing to leave the selection.
  std::optional<std::size_t> type(const std::vector<std::string>& choices,
                                  std::string_view character, bool afterPause);
  void reset() { typed_.clear(); }
  const std::string& typed() const { return typed_; }

private:
  std::string typed_;
};

// A column of the printer grid: the field it shows and its title.
struct GridColumn {
  std::string_view field;
  std::string_view title;
};
inline constexpr std::array<GridColumn, 3> kGridColumns = {{
    {formats::configuration_field::kSource, "Source Printer"},
    {formats::configuration_field::kDest, "Destination Printer"},
    {formats::configuration_field::kBackup, "Backup Printer"},
}};

// The width of each grid column in pixels at 96 dpi: 117 at the window's
// first size; what the window has grown wider than that is shared among the
// columns, so that their titles and names show whole at any size.
inline constexpr int kGridColumnWidth = 117;
constexpr int gridColumnWidth(int widthBeyondFirstSize) {
  return kGridColumnWidth + (widthBeyondFirstSize > 0
                                 ? widthBeyondFirstSize / static_cast<int>(kGridColumns.size())
                                 : 0);
}

// A control of the selected row's fields, in tab order: its caption, the
// field it edits, whether it is a printer choice (else free text), the most
// characters it takes, and the control's name.
struct RowFieldControl {
  std::string_view caption;
  std::string_view field;
  bool printerChoice;
  std::size_t maxLength;
  std::string_view name;
};
inline constexpr std::array<RowFieldControl, 8> kRowFieldControls = {{
    {"Source Printer:", formats::configuration_field::kSource, true, 8, "lookSource"},
    {"Destination Printer:", formats::configuration_field::kDest, true, 8, "lookDest"},
    {"Backup Printer:", formats::configuration_field::kBackup, true, 8, "lookBackup"},
    {"Labels Text:", formats::configuration_field::kLabelsText, false, 15, "editLabelsText"},
    {"Map Text:", formats::configuration_field::kMapText, false, 15, "editMapText"},
    {"Time Text:", formats::configuration_field::kTimeText, false, 15, "editTimeText"},
    {"TotalText:", formats::configuration_field::kTotalText, false, 15, "editTotalText"},
    {"Design File Name:", formats::configuration_field::kDesign, false, 25,
     "editDesign"}, // shown, disabled
}};

// The help entries of the "Setup" page: a heading and its text.
struct HelpEntry {
  std::string_view heading;
  std::string_view text;
};
inline constexpr std::array<HelpEntry, 3> kHelpEntries = {{
    {"Source Printer:",
     "This is the printer that will be used in RMWin as a Prep Printer. All items required to "
     "print on labels will be using this Prep Printer"},
    {"Destination Printer:",
     "This is the printer that will actually send the label to the label printer. It must be "
     "setup properly for use with RMSpool."},
    {"Backup Printer:",
     "Like the Destination Printer, this printer must be setup correctly as it will be used as a "
     "backup in case the primary printer fails assuming there is a backup printer."},
}};

// The refusal of "&Save && Activate": its message is the text of the box,
// the list's problems one row a line.
class PrinterListRefused final : public std::runtime_error {
public:
  explicit PrinterListRefused(const std::vector<formats::RowProblem>& problems,
                              const std::vector<std::string>& sources);
};

class PrinterConfiguration final {
public:
  PrinterConfiguration();
  PrinterConfiguration(const PrinterConfiguration&) = delete;
  PrinterConfiguration& operator=(const PrinterConfiguration&) = delete;

  formats::TVirtualTable& tblConfig() { return tblConfig_; }
  const formats::TVirtualTable& tblConfig() const { return tblConfig_; }

  // Creates the configuration file with the eight fields and no rows when it
  // is missing, loads it (fields from the file), opens tblConfig, then opens
  // RMSpool.DBF read-only and reads its PRINTER values. An error ends it at
  // that step.
  void OpenConfiguration();

  // The PRINTER values of RMSpool.DBF in record order, without trailing
  // blanks; empty while the host printer table is not open.
  const std::vector<std::string>& printerChoices() const { return printerChoices_; }

  // "Add Printer": posts a pending change, appends a new row and starts
  // inserting it with the defaults of a new row.
  void addPrinter();
  // "Delete Printer": deletes the current row at once; abandons a new row
  // that is not posted yet; raises on a table without rows.
  void deletePrinter();
  // "&Save && Activate": posts a pending edit or insert, checks the rows and
  // writes the whole table to the configuration file, replacing it. A list
  // the spooler could not serve is refused: nothing is written, and the
  // error (PrinterListRefused) names each problem by its row.
  void saveAndActivate();

  // Every problem of the rows as the spooler would find it when it loads
  // them (formats::checkPrinterRows), the row being edited as it shows.
  std::vector<formats::RowProblem> rowProblems() const;

  // Whether the rows differ from what the last load or save left in the
  // file: a row being inserted or edited, or posted rows that changed.
  bool hasUnsavedChanges() const;

  // What a field control does when the user changes its value: starts
  // editing the current row when browsing, then stores the value.
  void setFieldValue(std::string_view fieldName, std::string_view value);

  // What the page shows: the text of `fieldName` in grid line `row` (the
  // row being inserted included), of the current row, and the Source values
  // of every line in row order (the test printer choices). Empty texts for
  // a row or field that is not there.
  std::size_t gridRowCount() const { return tblConfig_.visibleRowCount(); }
  std::string gridText(std::size_t row, std::string_view fieldName) const;
  std::optional<std::size_t> currentGridRow() const;
  std::string currentValue(std::string_view fieldName) const;
  std::vector<std::string> sourcePrinters() const;

  // The defaults of a new row (run by tblConfig after each insert).
  void tblConfigAfterInsert(formats::TVirtualTable& table);

private:
  void openHostPrinterTable();

  formats::TVirtualTable tblConfig_;
  std::string savedRows_; // the rows as the file holds them (the rowset text)
  xbase::TApolloTable tblRMSpool_;
  std::vector<std::string> printerChoices_;
};

} // namespace velmora::config
