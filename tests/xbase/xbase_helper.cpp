// A second program for the xbase tests, doing what another program on the
// machine would do to the host's tables:
//   xbase_helper lock-record DIR TABLE RECNO  lock a record, print "locked",
//                                             hold it until the input closes
//   xbase_helper claim DIR PRINTER            claim the printer folder once
//                                             (creating LOCKSPL.DBF) and end
//   xbase_helper setup-labels DIR             write the 39 label setup values
//                                             into LBLPRDEF.DBF's first record
//   xbase_helper dump PATH                    print a table's fields and records
//   xbase_helper probe DIR PRINTER            probe the printer folder as a
//                                             destination: "down", "up" or
//                                             "up with error"
#include <iostream>
#include <string>
#include <vector>

#include <filesystem>

#include "xbase/apollo_table.h"
#include "xbase/host_layout.h"

namespace {

using namespace velmora::xbase;

const char* kindName(TFieldType type) {
  switch (type) {
  case TFieldType::ftString:
    return "string";
  case TFieldType::ftSmallint:
    return "smallint";
  case TFieldType::ftInteger:
    return "integer";
  case TFieldType::ftFloat:
    return "float";
  case TFieldType::ftBoolean:
    return "boolean";
  case TFieldType::ftDate:
    return "date";
  case TFieldType::ftMemo:
    return "memo";
  case TFieldType::ftBlob:
    return "blob";
  }
  return "?";
}

void openShared(TApolloTable& table, const std::string& name) {
  table.SetTableType(TApolloTableType::ttSXNTX);
  table.SetDatabaseName(".\\");
  table.SetTableName(name);
  table.Open();
}

int lockRecord(const std::string& name, long record) {
  TApolloTable table;
  openShared(table, name);
  if (!table.RLock(record)) {
    std::cout << "refused" << std::endl;
    return 1;
  }
  std::cout << "locked" << std::endl;
  std::string ignored;
  while (std::getline(std::cin, ignored)) {
  }
  return 0;
}

int setupLabels() {
  const std::vector<std::int64_t> numbers = {99, 21, 120, 0, 55, 1, 0, 11, 0, 10, 0, 8, 0,
                                             9,  12, 0,   1, 1,  1, 1, 2,  0, 0,  5, 0, 6,
                                             0,  7,  0,   4, 0,  0, 3, 0,  0, 1,  0, 0, 0};
  std::vector<TFieldValue> values;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const std::size_t position = i + 1;
    if (position == 23 || position == 32 || position == 35 || position == 38 || position == 39) {
      values.emplace_back(false);
    } else {
      values.emplace_back(numbers[i]);
    }
  }
  TApolloTable table("tblRMLBLDef");
  openShared(table, "LBLPRDEF.DBF");
  table.Edit();
  table.SetFields(values);
  table.Post();
  table.Close();
  std::cout << "posted" << std::endl;
  return 0;
}

int dump(const std::string& path) {
  TApolloTable table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  for (int i = 0; i < table.FieldCount(); ++i) {
    TApolloField& field = table.Fields(i);
    std::cout << "field " << field.FieldName() << ' ' << kindName(field.DataType()) << ' '
              << field.info().Width << ' ' << field.info().Decimals << '\n';
  }
  for (table.First(); !table.Eof(); table.Next()) {
    std::cout << "record " << table.RecNo() << '\n';
    for (int i = 0; i < table.FieldCount(); ++i) {
      TApolloField& field = table.Fields(i);
      std::cout << "  " << field.FieldName() << '='
                << (field.IsNull() ? "<null>" : field.AsString()) << '\n';
    }
  }
  std::cout.flush();
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 4 && args[0] == "lock-record") {
      std::filesystem::current_path(args[1]);
      return lockRecord(args[2], std::stol(args[3]));
    }
    if (args.size() == 3 && args[0] == "claim") {
      std::filesystem::current_path(args[1]);
      TApolloTable table;
      std::cout << (claimSourceFolder(table, args[2]) ? "locked" : "not locked") << std::endl;
      return 0;
    }
    if (args.size() == 2 && args[0] == "setup-labels") {
      std::filesystem::current_path(args[1]);
      return setupLabels();
    }
    if (args.size() == 3 && args[0] == "probe") {
      std::filesystem::current_path(args[1]);
      const DestinationState state = probeDestination(args[2]);
      std::cout << (state == DestinationState::Down ? "down"
                    : state == DestinationState::Up ? "up"
                                                    : "up with error")
                << std::endl;
      return 0;
    }
    if (args.size() == 2 && args[0] == "dump") {
      return dump(args[1]);
    }
  } catch (const std::exception& error) {
    std::cerr << "xbase_helper: " << error.what() << std::endl;
    return 1;
  }
  std::cerr << "usage: xbase_helper lock-record DIR TABLE RECNO | claim DIR PRINTER | "
               "setup-labels DIR | dump PATH | probe DIR PRINTER"
            << std::endl;
  return 2;
}
