#include "formats/label_block.h"

namespace velmora::formats {

const std::string& PrefixTexts::text(Prefix prefix) const {
  static const std::string none;
  switch (prefix) {
  case Prefix::Total:
    return totalText;
  case Prefix::Time:
    return timeText;
  case Prefix::Labels:
    return labelsText;
  case Prefix::Map:
    return mapText;
  case Prefix::None:
    break;
  }
  return none;
}

PrefixTexts defaultPrefixTexts() {
  return {"Labels", "Map:", "Time:", "Total"};
}

std::string itemModifierTag(std::size_t number) {
  return "<Item Mod[" + std::to_string(number) + "]>";
}

std::vector<std::string> sampleJob(std::string_view time) {
  std::vector<std::string> lines = {
      "Customer Name",
      "*** Revenue Center ***",
      "Employee Name (Number)",
      "Trans. Desc.",
      "Total:12345.67",
      "Time: " + std::string(time),
      "99 of 99 Labels",
      "Address Line 1 Looooooooong",
      "City and Town",
      "202-111-2222",
      "Map: G3",
  };
  lines.insert(lines.end(), 5, "Directions Line 1");
  lines.insert(lines.end(), 9, "");
  lines.emplace_back("99 Item Name Goes Here");
  for (int n = 1; n <= 10; ++n)
    lines.push_back("Mod Line " + std::to_string(n));
  lines.resize(kLabelBlockLines);
  return lines;
}

} // namespace velmora::formats
