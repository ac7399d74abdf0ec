// The printer configuration file as Dovetack's windows must save it, spelt
// out here rather than taken from the program's own field list, so that a
// change of the saved layout shows in the tests.
#pragma once

#include "formats/rowset_xml.h"

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
  return {std::move(source), std::move(dest),    std::move(backup), "LabelDesign.txt",
          "Labels",          std::move(mapText), "Time:",           "Total"};
}

} // namespace velmora::test
