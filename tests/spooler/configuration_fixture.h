// Writes the printer configuration file VelmoraLabelConfig.XML in the working
// directory, as the configuration program saves it, for tests and benchmarks
// of the spooler.
#pragma once

#include <string>
#include <vector>

namespace velmora::test {

struct ConfigRow {
  std::string source;
  std::string dest;
  std::string backup; // empty: no backup (the field stays null)
  std::string design = "LabelDesign.txt";
};

// Rows with the prefix texts the configuration program proposes.
void writeConfiguration(const std::vector<ConfigRow>& rows);

} // namespace velmora::test
