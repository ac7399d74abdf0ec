#include "configuration_fixture.h"

#include "formats/label_block.h"
#include "formats/virtual_table.h"

namespace velmora::testing {

void writeConfiguration(const std::vector<ConfigRow>& rows) {
  TVirtualTable table("tblConfig");
  for (const auto& [name, width] : {std::pair{"Source", 8},
                                    {"Dest", 8},
                                    {"Backup", 8},
                                    {"Design", 25},
                                    {"LabelsText", 15},
                                    {"MapText", 15},
                                    {"TimeText", 15},
                                    {"TotalText", 15}})
    table.AddField(name, static_cast<std::size_t>(width));
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
  table.SaveToXML("VelmoraLabelConfig.XML");
}

} // namespace velmora::testing
