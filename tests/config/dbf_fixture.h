// Host tables for the configuration program's tests, made with the table
// component in the working directory: RMSpool.DBF with given PRINTER
// values, and LBLPRDEF.DBF layouts with a chosen number of fields and
// records.
#pragma once

#include "xbase/apollo_table.h"
#include "xbase/table_builder.h"

#include <string>
#include <vector>

namespace velmora::test {

using DbfColumn = xbase::TColumnDef;

// Creates `fileName` (replacing it) and appends `rows`.
void makeDbf(const std::string& fileName, const std::vector<DbfColumn>& columns,
             const std::vector<std::vector<xbase::TFieldValue>>& rows);

// RMSpool.DBF: PRINTER C(8) and a column after it, one record per name.
void makePrinterTable(const std::vector<std::string>& printers);

// LBLPRDEF.DBF with `fieldCount` columns: N(3) for whole numbers and L for
// the logical positions of the label setup, and, from field 40 on, C(10)
// remarks; `records` records holding 7 / true / "keep me".
void makeLabelSetupTable(int fieldCount, int records);

// Every record of a table, each value as the component reads it.
std::vector<std::vector<xbase::TFieldValue>> readAllRecords(const std::string& fileName);

} // namespace velmora::test
