#include "platform/pe_version_resource.h"

#include "platform/unicode.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::platform {

namespace {

// Little-endian reads that fail instead of reading past the end.
std::optional<std::uint16_t> u16(std::string_view data, std::size_t offset) {
  if (offset > data.size() || data.size() - offset < 2)
    return std::nullopt;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(data[offset]) |
                                    (static_cast<unsigned char>(data[offset + 1]) << 8));
}

std::optional<std::uint32_t> u32(std::string_view data, std::size_t offset) {
  const auto low = u16(data, offset);
  const auto high = u16(data, offset + 2);
  if (!low || !high)
    return std::nullopt;
  return static_cast<std::uint32_t>(*low) | (static_cast<std::uint32_t>(*high) << 16);
}

constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kVersionInfoId = 1;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr int kMaxSections = 96; // the PE limit

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

// Maps a relative virtual address to a file offset with `length` bytes of
// raw data behind it.
std::optional<std::size_t> fileOffset(const std::vector<Section>& sections, std::uint32_t rva,
                                      std::uint32_t length, std::size_t fileSize) {
  for (const Section& s : sections) {
    const std::uint64_t start = s.virtualAddress;
    const std::uint64_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
    if (rva < start || rva >= start + span)
      continue;
    const std::uint64_t within = rva - start;
    if (within + length > s.rawSize)
      return std::nullopt;
    const std::uint64_t offset = static_cast<std::uint64_t>(s.rawOffset) + within;
    if (offset + length > fileSize)
      return std::nullopt;
    return static_cast<std::size_t>(offset);
  }
  return std::nullopt;
}

// One level of the resource tree: the entry with `wantedId` (by number), or
// the first entry when `wantedId` is empty or absent. Returns the entry's
// OffsetToData field.
std::optional<std::uint32_t> resourceEntry(std::string_view tree, std::size_t directory,
                                           std::optional<std::uint32_t> wantedId,
                                           bool fallBackToFirst) {
  const auto named = u16(tree, directory + 12);
  const auto numbered = u16(tree, directory + 14);
  if (!named || !numbered)
    return std::nullopt;
  const std::size_t count = static_cast<std::size_t>(*named) + *numbered;
  std::optional<std::uint32_t> first;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = directory + 16 + i * 8;
    const auto id = u32(tree, entry);
    const auto target = u32(tree, entry + 4);
    if (!id || !target)
      return std::nullopt;
    if (!first)
      first = target;
    if (wantedId && (*id & kHighBit) == 0 && *id == *wantedId)
      return target;
  }
  return fallBackToFirst ? first : std::nullopt;
}

// A block of the version information: wLength, wValueLength, wType, a NUL
// ended UTF-16 key, padding to 32 bits, the value, padding, the children.
struct VersionBlock {
  std::u16string key;
  std::string_view value;    // as far as the block reaches
  std::string_view children; // the child blocks, each 32-bit aligned
};

std::size_t alignedTo4(std::size_t offset) {
  return (offset + 3) & ~static_cast<std::size_t>(3);
}

// Reads the block at the start of `data`; its length comes back in `length`.
std::optional<VersionBlock> readBlock(std::string_view data, std::size_t& length) {
  const auto wLength = u16(data, 0);
  const auto wValueLength = u16(data, 2);
  const auto wType = u16(data, 4);
  if (!wLength || !wValueLength || !wType || *wLength < 6 || *wLength > data.size())
    return std::nullopt;
  length = *wLength;
  const std::string_view block = data.substr(0, *wLength);
  VersionBlock result;
  std::size_t offset = 6;
  for (;;) {
    const auto unit = u16(block, offset);
    if (!unit)
      return std::nullopt;
    offset += 2;
    if (*unit == 0)
      break;
    result.key += static_cast<char16_t>(*unit);
  }
  offset = alignedTo4(offset);
  if (offset >= block.size())
    return result;
  // A block without a value (StringFileInfo, a string table) has children.
  if (*wValueLength == 0) {
    result.children = block.substr(offset);
    return result;
  }
  // Text values count UTF-16 units, binary ones bytes; a text value is taken
  // up to its NUL whatever its count says (compilers disagree on it).
  if (*wType == 1) {
    result.value = block.substr(offset);
    return result;
  }
  const std::size_t valueBytes = std::min<std::size_t>(*wValueLength, block.size() - offset);
  result.value = block.substr(offset, valueBytes);
  offset = alignedTo4(offset + valueBytes);
  if (offset < block.size())
    result.children = block.substr(offset);
  return result;
}

template <typename Visit> void forEachChild(std::string_view children, Visit visit) {
  std::size_t offset = 0;
  while (offset < children.size()) {
    std::size_t length = 0;
    const auto child = readBlock(children.substr(offset), length);
    if (!child)
      return;
    if (visit(*child))
      return;
    offset = alignedTo4(offset + length);
  }
}

char16_t asciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

bool sameKey(const std::u16string& key, std::string_view ascii) {
  if (key.size() != ascii.size())
    return false;
  for (std::size_t i = 0; i < key.size(); ++i)
    if (asciiUpper(key[i]) != asciiUpper(static_cast<unsigned char>(ascii[i])))
      return false;
  return true;
}

std::string textValue(std::string_view value) {
  std::size_t units = 0;
  while (units * 2 + 1 < value.size() && (value[units * 2] != '\0' || value[units * 2 + 1] != '\0'))
    ++units;
  return utf16ToUtf8(value.substr(0, units * 2), false);
}

} // namespace

std::optional<std::string> extractVersionResource(std::string_view file) {
  if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z')
    return std::nullopt;
  const auto peOffset = u32(file, 0x3C);
  if (!peOffset || file.substr(std::min<std::size_t>(*peOffset, file.size()), 4) !=
                       std::string_view("PE\0\0", 4))
    return std::nullopt;
  const std::size_t coff = static_cast<std::size_t>(*peOffset) + 4;
  const auto sectionCount = u16(file, coff + 2);
  const auto optionalSize = u16(file, coff + 16);
  if (!sectionCount || !optionalSize || *sectionCount > kMaxSections)
    return std::nullopt;
  const std::size_t optionalHeader = coff + 20;
  const auto magic = u16(file, optionalHeader);
  if (!magic)
    return std::nullopt;
  std::size_t directoryCountAt = 0;
  if (*magic == 0x10b)
    directoryCountAt = 92; // PE32
  else if (*magic == 0x20b)
    directoryCountAt = 108; // PE32+
  else
    return std::nullopt;
  const auto directoryCount = u32(file, optionalHeader + directoryCountAt);
  if (!directoryCount || *directoryCount < 3)
    return std::nullopt;
  // Data directory 2 is the resource directory.
  const std::size_t resourceDirectory = optionalHeader + directoryCountAt + 4 + 2 * 8;
  if (resourceDirectory + 8 > optionalHeader + *optionalSize)
    return std::nullopt;
  const auto resourceRva = u32(file, resourceDirectory);
  const auto resourceSize = u32(file, resourceDirectory + 4);
  if (!resourceRva || !resourceSize || *resourceRva == 0 || *resourceSize == 0)
    return std::nullopt;

  std::vector<Section> sections;
  const std::size_t sectionTable = optionalHeader + *optionalSize;
  for (std::size_t i = 0; i < *sectionCount; ++i) {
    const std::size_t at = sectionTable + i * 40;
    const auto virtualSize = u32(file, at + 8);
    const auto virtualAddress = u32(file, at + 12);
    const auto rawSize = u32(file, at + 16);
    const auto rawOffset = u32(file, at + 20);
    if (!virtualSize || !virtualAddress || !rawSize || !rawOffset)
      return std::nullopt;
    sections.push_back({*virtualAddress, *virtualSize, *rawSize, *rawOffset});
  }

  // The resource tree: offsets inside it are relative to its start. It may
  // be shorter in the file than its directory entry says; take what is there.
  std::optional<std::size_t> treeStart;
  std::uint32_t treeLength = *resourceSize;
  while (!treeStart && treeLength > 0) {
    treeStart = fileOffset(sections, *resourceRva, treeLength, file.size());
    if (!treeStart)
      treeLength /= 2;
  }
  if (!treeStart)
    return std::nullopt;
  const std::string_view tree = file.substr(*treeStart, treeLength);

  const auto typeEntry = resourceEntry(tree, 0, kResourceTypeVersion, false);
  if (!typeEntry || (*typeEntry & kHighBit) == 0)
    return std::nullopt;
  const auto nameEntry = resourceEntry(tree, *typeEntry & ~kHighBit, kVersionInfoId, true);
  if (!nameEntry || (*nameEntry & kHighBit) == 0)
    return std::nullopt;
  const auto languageEntry = resourceEntry(tree, *nameEntry & ~kHighBit, std::nullopt, true);
  if (!languageEntry || (*languageEntry & kHighBit) != 0)
    return std::nullopt;
  // A data entry: the data's address (a relative virtual address) and size.
  const auto dataRva = u32(tree, *languageEntry);
  const auto dataSize = u32(tree, *languageEntry + 4);
  if (!dataRva || !dataSize || *dataSize == 0)
    return std::nullopt;
  const auto dataOffset = fileOffset(sections, *dataRva, *dataSize, file.size());
  if (!dataOffset)
    return std::nullopt;
  return std::string(file.substr(*dataOffset, *dataSize));
}

std::optional<std::string> findVersionString(std::string_view versionInfo, std::string_view table,
                                             std::string_view name) {
  std::size_t length = 0;
  const auto root = readBlock(versionInfo, length);
  if (!root)
    return std::nullopt;
  std::optional<std::string> found;
  forEachChild(root->children, [&](const VersionBlock& fileInfo) {
    if (!sameKey(fileInfo.key, "StringFileInfo"))
      return false;
    forEachChild(fileInfo.children, [&](const VersionBlock& stringTable) {
      if (!sameKey(stringTable.key, table))
        return false;
      forEachChild(stringTable.children, [&](const VersionBlock& value) {
        if (!sameKey(value.key, name))
          return false;
        found = textValue(value.value);
        return true;
      });
      return found.has_value();
    });
    return found.has_value();
  });
  return found;
}

} // namespace velmora::platform
