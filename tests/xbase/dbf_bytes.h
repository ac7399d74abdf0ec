// Builds the bytes of a DBF table by hand, independently of the engine under
// test, so that tests can lay down exact tables (and damaged ones) on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

struct ColumnSpec {
  std::string name;
  char type;
  unsigned width;
  unsigned decimals = 0;
};

// Header (version 0x03, date 2024-05-01), descriptors, 0x0D, the records
// (each given without its deletion flag; "*" prefix marks it deleted when
// `deletedFirst` lists it), then 0x1A. Character widths above 255 are
// written the Clipper way.
inline std::string dbfBytes(const std::vector<ColumnSpec>& columns,
                            const std::vector<std::string>& records,
                            const std::vector<bool>& deleted = {}) {
  std::size_t recordLength = 1;
  for (const ColumnSpec& column : columns) {
    recordLength += column.width;
  }
  const std::size_t headerLength = 32 + 32 * columns.size() + 1;
  std::string bytes(32, '\0');
  bytes[0] = 0x03;
  bytes[1] = 124;
  bytes[2] = 5;
  bytes[3] = 1;
  const auto count = static_cast<std::uint32_t>(records.size());
  for (int i = 0; i < 4; ++i) {
    bytes[static_cast<std::size_t>(4 + i)] = static_cast<char>((count >> (8 * i)) & 0xFF);
  }
  bytes[8] = static_cast<char>(headerLength & 0xFF);
  bytes[9] = static_cast<char>(headerLength >> 8);
  bytes[10] = static_cast<char>(recordLength & 0xFF);
  bytes[11] = static_cast<char>(recordLength >> 8);
  for (const ColumnSpec& column : columns) {
    std::string descriptor(32, '\0');
    descriptor.replace(0, column.name.size(), column.name);
    descriptor[11] = column.type;
    descriptor[16] = static_cast<char>(column.width & 0xFF);
    descriptor[17] = static_cast<char>(column.type == 'C' ? column.width >> 8 : column.decimals);
    bytes += descriptor;
  }
  bytes += '\x0D';
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::string record = records[i];
    record.resize(recordLength - 1, ' ');
    bytes += (i < deleted.size() && deleted[i]) ? '*' : ' ';
    bytes += record;
  }
  bytes += '\x1A';
  return bytes;
}

} // namespace velmora::test
