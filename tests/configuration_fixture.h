// The printer configuration file VelmoraLabelConfig.XML as Dovetack saves it,
// for the tests and benchmarks of both programs. Its layout is spelt out here
// rather than taken from the programs' own field list, so that a change of
// the saved layout shows in the tests.
#pragma once

#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/rowset_xml.h"
#include "platform/file_system.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

// The whole file for `rows`: the eight fields with their widths.
inline std::string configurationXml(const std::vector<formats::Row>& rows) {
  return formats::writeRowsetXml({{"Source", 8},
                                  {"Dest", 8},
                                  {"Backup", 8},
                                  {"Design", 25},
                                  {"LabelsText", 15},
                                  {"MapText", 15},
                                  {"TimeText", 15},
                                  {"TotalText", 15}},
                                 rows);
}

// A row with the defaults a new printer gets, but for the values given.
inline formats::Row configurationRow(std::optional<std::string> source,
                                     std::optional<std::string> dest,
                                     std::optional<std::string> backup = std::nullopt,
                                     std::string mapText = "Map:") {
  const formats::PrefixTexts prefixes = formats::defaultPrefixTexts();
  return {std::move(source),   std::move(dest),    std::move(backup), "LabelDesign.txt",
          prefixes.labelsText, std::move(mapText), prefixes.timeText, prefixes.totalText};
}

// One printer of the spooler's tests, with the prefix texts Dovetack proposes.
struct ConfigRow {
  std::string source;
  std::string dest;
  std::string backup; // empty: no backup (the field stays null)
  std::string design = "LabelDesign.txt";
};

// Writes VelmoraLabelConfig.XML with `rows` into the working directory.
inline void writeConfiguration(const std::vector<ConfigRow>& rows) {
  std::vector<formats::Row> table;
  for (const auto& row : rows) {
    formats::Row values = configurationRow(
        row.source, row.dest, row.backup.empty() ? std::nullopt : std::optional(row.backup));
    values[3] = row.design;
    table.push_back(std::move(values));
  }
  platform::writeWholeFile(formats::kConfigurationFile, configurationXml(table));
}

} // namespace velmora::test
