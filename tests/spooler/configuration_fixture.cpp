#include "configuration_fixture.h"

#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/virtual_table.h"

namespace velmora::testing {

void writeConfiguration(const std::vector<ConfigRow>& rows) {
  TVirtualTable table("tblConfig");
  AddConfigurationFields(table);
  table.Open();
  const auto prefixes = label_block::defaultPrefixTexts();
  for (const auto& row : rows) {
    table.Append();
    table.FieldByName("Source").SetAsString(row.source);
    table.FieldByName("Dest").SetAsString(row.dest);
    if (!row.backup.empty())
      table.FieldByName("Backup").SetAsString(row.backup);
    table.FieldByName("Design").SetAsString(row.design);
    table.FieldByName("LabelsText").SetAsString(prefixes.labelsText);
    table.FieldByName("MapText").SetAsString(prefixes.mapText);
    table.FieldByName("TimeText").SetAsString(prefixes.timeText);
    table.FieldByName("TotalText").SetAsString(prefixes.totalText);
    table.Post();
  }
  table.SaveToXML(kConfigurationFile);
}

} // namespace velmora::testing
