#include "dbf_fixture.h"

#include "platform/file_system.h"
#include "xbase/table_builder.h"

#include <set>
#include <stdexcept>

namespace velmora::test {

using xbase::TApolloTable;
using xbase::TFieldValue;

namespace {

// The positions of the label setup that hold logical values.
const std::set<int> kLogicalPositions = {23, 32, 35, 38, 39};

} // namespace

void makeDbf(const std::string& fileName, const std::vector<DbfColumn>& columns,
             const std::vector<std::vector<TFieldValue>>& rows) {
  xbase::createTableWithRecords(fileName, columns, rows);
}

void makePrinterTable(const std::vector<std::string>& printers) {
  std::vector<std::vector<TFieldValue>> rows;
  for (const std::string& printer : printers)
    rows.push_back({printer, std::string("KITCHEN")});
  makeDbf("RMSpool.DBF", {{"PRINTER", "C", 8, 0}, {"MACHINE", "C", 20, 0}}, rows);
}

void makeLabelSetupTable(int fieldCount, int records) {
  std::vector<DbfColumn> columns;
  std::vector<TFieldValue> record;
  for (int position = 1; position <= fieldCount; ++position) {
    const std::string name = "F" + std::to_string(position);
    if (position >= 40) {
      columns.push_back({name, "C", 10, 0});
      record.emplace_back(std::string("keep me"));
    } else if (kLogicalPositions.count(position)) {
      columns.push_back({name, "L", 1, 0});
      record.emplace_back(true);
    } else {
      columns.push_back({name, "N", 3, 0});
      record.emplace_back(std::int64_t{7});
    }
  }
  makeDbf("LBLPRDEF.DBF", columns, std::vector<std::vector<TFieldValue>>(records, record));
}

std::vector<std::vector<TFieldValue>> readAllRecords(const std::string& fileName) {
  TApolloTable table("Fixture");
  table.SetTableType(xbase::TApolloTableType::ttSXNTX);
  table.SetDatabaseName(".\\");
  table.SetTableName(fileName);
  table.SetReadOnly(true);
  table.Open();
  std::vector<std::vector<TFieldValue>> records;
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<TFieldValue> record;
    for (int i = 0; i < table.FieldCount(); ++i)
      record.push_back(table.Fields(i).Value());
    records.push_back(std::move(record));
  }
  return records;
}

} // namespace velmora::test
