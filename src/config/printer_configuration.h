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
#include "formats/virtual_table.h"
#include "xbase/apollo_table.h"

#include <cstddef>
#include <optional>
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
  std::optional<std::size_t> Type(const std::vector<std::string>& choices,
                                  std::string_view character, bool afterPause);
  void Reset() { typed_.clear(); }
  const std::string& Typed() const { return typed_; }

private:
  std::string typed_;
};

class PrinterConfiguration final {
public:
  PrinterConfiguration();
  PrinterConfiguration(const PrinterConfiguration&) = delete;
  PrinterConfiguration& operator=(const PrinterConfiguration&) = delete;

  TVirtualTable& tblConfig() { return tblConfig_; }
  const TVirtualTable& tblConfig() const { return tblConfig_; }

  // Creates the configuration file with the eight fields and no rows when it
  // is missing, loads it (fields from the file), opens tblConfig, then opens
  // RMSpool.DBF read-only and reads its PRINTER values. An error ends it at
  // that step.
  void OpenConfiguration();

  // The PRINTER values of RMSpool.DBF in record order, without trailing
  // blanks; empty while the host printer table is not open.
  const std::vector<std::string>& PrinterChoices() const { return printerChoices_; }

  // "Add Printer": posts a pending change, appends a new row and starts
  // inserting it with the defaults of a new row.
  void AddPrinter();
  // "Delete Printer": deletes the current row at once; abandons a new row
  // that is not posted yet; raises on a table without rows.
  void DeletePrinter();
  // "&Save && Activate": posts a pending edit or insert and writes the whole
  // table to the configuration file, replacing it.
  void SaveAndActivate();

  // What a field control does when the user changes its value: starts
  // editing the current row when browsing, then stores the value.
  void SetFieldValue(std::string_view fieldName, std::string_view value);

  // The defaults of a new row (run by tblConfig after each insert).
  void tblConfigAfterInsert(TVirtualTable& table);

private:
  void OpenHostPrinterTable();

  TVirtualTable tblConfig_;
  xbase::TApolloTable tblRMSpool_;
  std::vector<std::string> printerChoices_;
};

} // namespace velmora::config
