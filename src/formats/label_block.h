// The label block: what the host writes per item label (100 lines), which
// line feeds which design tag, the prefix texts stripped from four header
// lines, the tag list offered in the design editor, and the sample block of
// the test print. The one place both programs take these from.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::formats {

// A job is a whole number of blocks of this many lines, one block per item.
inline constexpr std::size_t kLabelBlockLines = 100;

// Lines 0 to 11 hold the order's header values; lines 12 to 19 are never read;
// the item area starts at line 20: the item name is the first non-empty line
// from there on, its modifiers are the lines that follow it up to the first
// empty line.
inline constexpr std::size_t kItemAreaStart = 20;

// Which prefix text is stripped from a header line for a parsed tag.
enum class Prefix { None, Total, Time, Labels, Map };

// The four prefix texts of one configured printer.
struct PrefixTexts {
  std::string labelsText; // stripped from line 6 for "<Label Header (Parsed)>"
  std::string mapText;    // stripped from line 10 for "<Map Code (Parsed)>"
  std::string timeText;   // stripped from line 5 for "<Order Time (Parsed)>"
  std::string totalText;  // stripped from line 4 for "<Order Total>"

  const std::string& text(Prefix prefix) const;
};

// What the configuration program proposes for a new printer.
PrefixTexts defaultPrefixTexts();
inline constexpr std::string_view kDefaultDesignFile = "LabelDesign.txt";

struct HeaderTag {
  std::string_view tag;
  std::size_t line;
  Prefix strip; // Prefix::None: the whole line as read
};

// The header tags in the order the merge replaces them.
inline constexpr std::array<HeaderTag, 16> kHeaderTags = {{
    {"<Reference>", 0, Prefix::None},
    {"<Revenue Center>", 1, Prefix::None},
    {"<Employee>", 2, Prefix::None},
    {"<Transaction Description>", 3, Prefix::None},
    {"<Total Text>", 4, Prefix::None},
    {"<Order Total>", 4, Prefix::Total},
    {"<Order Time>", 5, Prefix::None},
    {"<Order Time (Parsed)>", 5, Prefix::Time},
    {"<Label Header>", 6, Prefix::None},
    {"<Label Header (Parsed)>", 6, Prefix::Labels},
    {"<Address>", 7, Prefix::None},
    {"<City and Town>", 8, Prefix::None},
    {"<Phone>", 9, Prefix::None},
    {"<Map Code>", 10, Prefix::None},
    {"<Map Code (Parsed)>", 10, Prefix::Map},
    {"<Directions>", 11, Prefix::None},
}};

inline constexpr std::string_view kItemNameTag = "<Item Name>";

// "<Item Mod[n]>" with n in decimal without leading zeros, n from 1.
std::string itemModifierTag(std::size_t number);

// Modifier tags 1 to this number that no modifier filled are removed from the
// label; higher ones stay as written.
inline constexpr std::size_t kRemovedModifierTags = 100;

// "<Item Mod[n]>": the editor's stand-in for the modifier tags, inserted as
// it is for the operator to put in a number.
inline constexpr std::string_view kItemModifierTagPattern = "<Item Mod[n]>";

// The editor's tag list, sorted: the header tags, the item name and the
// modifier stand-in.
inline constexpr std::array<std::string_view, kHeaderTags.size() + 2> kDesignTags = [] {
  std::array<std::string_view, kHeaderTags.size() + 2> tags{};
  for (std::size_t i = 0; i < kHeaderTags.size(); ++i)
    tags[i] = kHeaderTags[i].tag;
  tags[kHeaderTags.size()] = kItemNameTag;
  tags[kHeaderTags.size() + 1] = kItemModifierTagPattern;
  std::sort(tags.begin(), tags.end());
  return tags;
}();

// The largest job or label design the spooler reads; larger ones are refused
// (a job of 64 MB holds over 600,000 items, far beyond any real order).
inline constexpr std::uint64_t kMaximumFileSize = 64ull * 1024 * 1024;
// The limit as the status log names it ("64 MB").
inline std::string maximumFileSizeText() {
  return std::to_string(kMaximumFileSize / (1024 * 1024)) + " MB";
}

// The status line for a job whose line count is not a multiple of 100.
inline constexpr std::string_view kIncompatibleJobWarning =
    "## WARNING: Label Setup in RM does not seem to be compatible with Cartavell ##";

// The test print's job: one block whose line 5 is "Time: " + `time`, item
// "99 Item Name Goes Here" on line 25 with ten modifiers "Mod Line 1" to
// "Mod Line 10".
std::vector<std::string> sampleJob(std::string_view time);

// The test print's file name in a source printer's folder.
inline constexpr std::string_view kTestJobFileName = "TestLabel.spl";

} // namespace velmora::formats
