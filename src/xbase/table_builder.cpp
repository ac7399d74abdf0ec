#include "xbase/table_builder.h"

#include "platform/file_system.h"
#include "xbase/apollo_error.h"
#include "xbase/apollo_table.h"

namespace velmora::xbase {

void createTableWithRecords(const std::string& fileName, const std::vector<TColumnDef>& columns,
                            const std::vector<std::vector<TFieldValue>>& rows) {
  if (platform::fileExists(fileName))
    platform::removeFile(fileName);
  {
    TApolloTable creator("TableBuilder");
    if (!creator.CreateNew(".\\" + fileName, 1, static_cast<int>(columns.size())))
      throw EApolloError("Cannot create " + fileName);
    for (const TColumnDef& column : columns)
      creator.CreateField(column.name, column.type, column.width, column.decimals);
    if (creator.CreateExec() == 0)
      throw EApolloError("Cannot create " + fileName);
  }
  TApolloTable table("TableBuilder");
  table.SetTableType(TApolloTableType::ttSXNTX);
  table.SetDatabaseName(".\\");
  table.SetTableName(fileName);
  table.Open();
  for (const auto& row : rows) {
    table.Append();
    table.SetFields(row);
    table.Post();
  }
  table.Close();
}

} // namespace velmora::xbase
