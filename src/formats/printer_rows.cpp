#include "formats/printer_rows.h"

#include <algorithm>
#include <map>

namespace velmora::formats {
namespace {

char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The first character of `name` (a whole UTF-8 sequence) that a printer name
// cannot hold, as the message shows it.
std::string firstBadCharacter(std::string_view name) {
  const auto bad = std::find_if_not(name.begin(), name.end(), isNameCharacter);
  const auto byte = static_cast<unsigned char>(*bad);
  if (byte == ' ')
    return "a blank";
  if (byte < 0x20 || byte == 0x7F)
    return "a control character";
  auto end = bad + 1;
  while (end != name.end() && (static_cast<unsigned char>(*end) & 0xC0) == 0x80)
    ++end;
  return "\"" + std::string(bad, end) + "\"";
}

std::string rowName(std::size_t index) {
  return "row " + std::to_string(index + 1);
}

} // namespace

std::optional<std::string> whyNotAPrinterName(std::string_view name) {
  const std::string quoted = "\"" + std::string(name) + "\"";
  if (name.empty())
    return "name is empty";
  if (!std::all_of(name.begin(), name.end(), isNameCharacter))
    return quoted + " holds " + firstBadCharacter(name);
  if (name.size() > kPrinterNameLength)
    return quoted + " is longer than " + std::to_string(kPrinterNameLength) + " characters";
  return std::nullopt;
}

bool samePrinter(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return upperAscii(x) == upperAscii(y); });
}

std::vector<RowProblem> checkPrinterRows(const std::vector<PrinterRow>& rows) {
  std::vector<RowProblem> problems;
  // The row where each source printer is served: its first valid listing.
  std::map<std::string, std::size_t> sourceRows;
  const auto key = [](std::string_view printer) {
    std::string upper(printer);
    for (char& c : upper)
      c = upperAscii(c);
    return upper;
  };
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (!whyNotAPrinterName(rows[i].source))
      sourceRows.emplace(key(rows[i].source), i);
  const auto sourceRow = [&](std::string_view printer) -> std::optional<std::size_t> {
    const auto found = sourceRows.find(key(printer));
    return found == sourceRows.end() ? std::nullopt : std::optional<std::size_t>(found->second);
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const PrinterRow& row = rows[i];
    const auto add = [&](std::string problem) { problems.push_back({i, std::move(problem)}); };
    if (const auto why = whyNotAPrinterName(row.source)) {
      add(row.source.empty() ? "it has no source printer" : "its source printer " + *why);
    } else if (const auto first = sourceRow(row.source); first && *first < i) {
      add("its source printer " + row.source + " is the source printer of " + rowName(*first) +
          " already");
    }
    struct Destination {
      const char* role;
      const std::string& printer;
    };
    for (const Destination& d :
         {Destination{"destination", row.dest}, Destination{"backup", row.backup}}) {
      const std::string its = std::string("its ") + d.role + " printer ";
      if (d.printer.empty()) {
        if (&d.printer == &row.dest)
          add("it has no destination printer");
        continue;
      }
      if (const auto why = whyNotAPrinterName(d.printer)) {
        add(its + *why);
      } else if (samePrinter(d.printer, row.source)) {
        add(its + d.printer + " is its own source printer");
      } else if (const auto other = sourceRow(d.printer)) {
        add(its + d.printer + " is the source printer of " + rowName(*other));
      }
    }
  }
  return problems;
}

std::vector<std::string> rowRefusals(const std::vector<PrinterRow>& rows) {
  std::vector<std::string> refusals(rows.size());
  for (const RowProblem& problem : checkPrinterRows(rows)) {
    std::string& refusal = refusals[problem.row];
    refusal += (refusal.empty() ? "" : "; ") + problem.problem;
  }
  return refusals;
}

std::string rowLabel(std::size_t row, std::string_view source) {
  std::string label = "Row " + std::to_string(row + 1);
  if (!source.empty())
    label += " (" + std::string(source) + ")";
  return label;
}

} // namespace velmora::formats
