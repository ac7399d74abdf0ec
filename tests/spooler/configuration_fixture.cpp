#include "configuration_fixture.h"

#include "formats/configuration_file.h"
#include "formats/label_block.h"
#include "formats/virtual_table.h"

namespace velmora::test {

void writeConfiguration(const std::vector<ConfigRow>& rows) {
  formats::TVirtualTable table("tblConfig");
  formats::addConfigurationFields(table);
  table.Open();
  const auto prefixes = formats::defaultPrefixTexts();
  namespace field = formats::configuration_field;
  for (const auto& row : rows) {
    table.Append();
    table.FieldByName(field::kSource).SetAsString(row.source);
    table.FieldByName(field::kDest).SetAsString(row.dest);
    if (!row.backup.empty())
      table.FieldByName(field::kBackup).SetAsString(row.backup);
    table.FieldByName(field::kDesign).SetAsString(row.design);
    table.FieldByName(field::kLabelsText).SetAsString(prefixes.labelsText);
    table.FieldByName(field::kMapText).SetAsString(prefixes.mapText);
    table.FieldByName(field::kTimeText).SetAsString(prefixes.timeText);
    table.FieldByName(field::kTotalText).SetAsString(prefixes.totalText);
    table.Post();
  }
  table.SaveToXML(formats::kConfigurationFile);
}

} // namespace velmora::test
