// Test fixtures for the configuration table: the eight fields of both
// programs, a snapshot of a whole table for comparisons, and the two tables
// that the concurrency test's saver alternates between.
#pragma once

#include "formats/configuration_file.h"
#include "formats/virtual_table.h"

#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

// Appends one posted row; a nullopt leaves that field null.
inline void appendRow(formats::TVirtualTable& table, const formats::Row& values) {
  table.Append();
  for (std::size_t i = 0; i < values.size(); ++i)
    if (values[i])
      table.Fields(i).SetAsString(*values[i]);
  table.Post();
}

// Everything a table holds, as plain values (the row being inserted included).
struct TableSnapshot {
  std::vector<formats::FieldDef> fields;
  std::vector<formats::Row> rows;
  bool operator==(const TableSnapshot&) const = default;
};

inline TableSnapshot snapshot(const formats::TVirtualTable& table) {
  TableSnapshot shot;
  for (std::size_t f = 0; f < table.FieldCount(); ++f) {
    const auto& field = table.Fields(f);
    shot.fields.push_back(
        {field.FieldName(), field.Size(), field.Required(), field.ReadOnly(), field.FixedChar()});
  }
  for (std::size_t r = 0; r < table.visibleRowCount(); ++r) {
    formats::Row row;
    for (std::size_t f = 0; f < table.FieldCount(); ++f)
      row.push_back(table.cellIsNull(r, f) ? std::nullopt : std::optional(table.cellText(r, f)));
    shot.rows.push_back(std::move(row));
  }
  return shot;
}

// The concurrency test's two files: variant 0 has 3 rows, variant 1 has 400,
// every value naming its variant and row so a mix of the two shows.
inline std::size_t stressRowCount(int variant) {
  return variant == 0 ? 3 : 400;
}

inline void fillStressTable(formats::TVirtualTable& table, int variant) {
  formats::addConfigurationFields(table);
  table.Open();
  for (std::size_t r = 0; r < stressRowCount(variant); ++r) {
    const std::string tag = std::to_string(variant) + "-" + std::to_string(r);
    appendRow(table, {"S" + tag, "D" + tag, std::nullopt, "Design " + tag + " & co.txt", "L" + tag,
                      "M" + tag, "", "T'" + tag});
  }
}

} // namespace velmora::test
