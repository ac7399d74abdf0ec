// The printer rows of the configuration as both programs check them. A row
// names a source printer (whose spool folder the spooler claims and serves), a
// destination printer and an optional backup printer; each is a printer of the
// host, named as the host names its printers (at most 8 characters) and
// standing for the folder of that name in the data directory.
//
// The spooler serves only the rows without a problem and names each refused
// row in its status log; the configuration program refuses to save a list
// with a problem. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::formats {

// The longest printer name the host has.
inline constexpr std::size_t kPrinterNameLength = 8;

// Why `name` cannot be the name of a host printer (and of its folder): it is
// empty, longer than 8 characters, or holds something other than ASCII
// letters, digits and underscores (a blank, a dot, a letter with an accent, a
// separator). Nothing when it can. The phrase completes "the printer ...":
// "\"PREP 3\" holds a blank".
std::optional<std::string> whyNotAPrinterName(std::string_view name);

// Whether two printer names name the same printer: the host compares them
// without regard to case.
bool samePrinter(std::string_view a, std::string_view b);

// One row's printers, as the configuration file holds them (not cut to the
// fields' widths, so that a name too long is seen as such).
struct PrinterRow {
  std::string source;
  std::string dest;
  std::string backup; // empty: the row has no backup printer
};

struct RowProblem {
  std::size_t row;     // from 0
  std::string problem; // "its source printer is listed in row 1 already"
};

// Every problem of `rows`, row by row and in row order within a row: a source
// or destination printer missing, a name that cannot be a printer's, a source
// printer listed in an earlier row already, a destination or backup equal to
// the row's own source, and a destination or backup that is the source printer
// of another row (its merged jobs would be taken again as that row's jobs).
std::vector<RowProblem> checkPrinterRows(const std::vector<PrinterRow>& rows);

// Why each row of `rows` is not served, as the spooler's status log says it
// after "is not served: ": the row's problems of checkPrinterRows joined by
// "; ", empty for a row without a problem. One entry per row.
std::vector<std::string> rowRefusals(const std::vector<PrinterRow>& rows);

// How a row is named to the user: by its number (from 1, `row` counts from 0)
// and its source printer, "Row 3 (PREP 3)"; "Row 3" when it has none.
std::string rowLabel(std::size_t row, std::string_view source);

} // namespace velmora::formats
