// Opens arbitrary bytes as a DBF table (written to a temporary file) and
// walks it: every record and every field through the table component, a
// Locate on the first field, and the raw records through the engine. A
// damaged table must be refused with an error, never read past its end.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "xbase/apollo_table.h"
#include "xbase/dbf_table.h"

namespace {

const std::filesystem::path& tableFile() {
  static const std::filesystem::path path = [] {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("fuzz_dbf." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder / "FUZZ.DBF";
  }();
  return path;
}

void walkComponent() {
  using namespace velmora::xbase;
  TApolloTable table("Fuzz");
  table.SetTableName(tableFile().string());
  try {
    table.Open();
    int guard = 0;
    for (table.First(); !table.Eof() && guard < 100000; table.Next(), ++guard) {
      for (int i = 0; i < table.FieldCount(); ++i) {
        TApolloField& field = table.Fields(i);
        (void)field.AsString();
        (void)field.IsNull();
      }
    }
    if (table.FieldCount() > 0) {
      table.Locate(table.Fields(0).FieldName(), std::string("A"),
                   {TLocateOption::loCaseInsensitive, TLocateOption::loPartialKey});
    }
    table.Last();
    table.Prior();
    (void)table.Locked(0);
    (void)table.FLock();
  } catch (const EApolloError&) {
  }
}

void walkEngine() {
  using namespace velmora::xbase;
  try {
    DbfTable table = DbfTable::open(tableFile().string(), DbfOpenMode::ReadOnly);
    for (table.goTop(); !table.eof(); table.skip(1)) {
      const std::string raw = table.record();
      for (const DbfField& field : table.fields()) {
        if (field.offset + field.width > raw.size()) {
          __builtin_trap(); // a field past its record must have been refused at open
        }
      }
    }
  } catch (const std::exception&) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream out(tableFile(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  walkEngine();
  walkComponent();
  return 0;
}
