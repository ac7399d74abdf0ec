// The spooler's merge against the plain step-by-step merge, over generated
// jobs and designs full of the cases where a shortcut would go wrong: tags in
// mixed case, values holding tag text, apostrophes, empty and blank lines,
// modifier tags up to 150, fragments that removals join into new tags,
// non-ASCII letters (some upper-case into ASCII), jobs that run out mid-item;
// and printer commands in designs and values: fields with and without ^FH,
// ^ and ~ and the hex indicator in values, prefixes changed by the design.
#include "label_merge_oracle.h"
#include "labels/label_merge.h"

#include <gtest/gtest.h>
#include <random>

namespace velmora::labels {
namespace {

using Lines = std::vector<std::string>;

class Generator final {
public:
  // `withCommands`: designs and values also hold printer commands.
  Generator(unsigned seed, bool withCommands) : random_(seed), withCommands_(withCommands) {}

  Lines design() {
    Lines lines(pick(0, 12));
    for (auto& line : lines)
      for (int pieces = pick(0, 6); pieces > 0; --pieces)
        line += designPiece();
    return lines;
  }

  Lines job() {
    Lines lines;
    const int blocks = pick(0, 3);
    for (int b = 0; b < blocks; ++b) {
      Lines block(formats::kLabelBlockLines);
      for (std::size_t i = 0; i < 20; ++i)
        block[i] = chance(15) ? "" : text(pick(0, 4));
      std::size_t at =
          formats::kItemAreaStart + static_cast<std::size_t>(chance(20) ? pick(0, 90) : pick(0, 6));
      if (at < block.size())
        block[at] = chance(10) ? "   " : text(pick(1, 3));
      for (int mods = chance(10) ? 200 : pick(0, 12); mods > 0 && ++at < block.size(); --mods)
        block[at] = text(pick(1, 3));
      lines.insert(lines.end(), block.begin(), block.end());
    }
    if (chance(5)) // items that run on to the end of the job
      for (std::size_t i = lines.size() > 30 ? lines.size() - 30 : 0; i < lines.size(); ++i)
        lines[i] = "m" + std::to_string(i);
    if (chance(8)) // a job the host's label setup did not fit
      lines.resize(lines.size() + static_cast<std::size_t>(pick(1, 99)), "extra");
    return lines;
  }

  formats::PrefixTexts prefixes() {
    static const char* const choices[] = {
        "", "Total", "total", "TIME:", "Labels", "Map:", "x'y", "\u00e9", " ", "<", "ı"};
    auto one = [&] { return std::string(choices[pick(0, std::size(choices) - 1)]); };
    return {one(), one(), one(), one()};
  }

private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool chance(int percent) { return pick(1, 100) <= percent; }

  std::string mixCase(std::string_view tag) {
    std::string out(tag);
    for (char& c : out)
      if (std::isalpha(static_cast<unsigned char>(c)) && chance(30))
        c = static_cast<char>(std::islower(static_cast<unsigned char>(c)) ? std::toupper(c)
                                                                          : std::tolower(c));
    if (chance(3)) { // a non-ASCII letter whose upper case is ASCII
      const auto i = out.find('i');
      if (i != std::string::npos)
        out.replace(i, 1, "\u0131");
    }
    return out;
  }

  std::string modifierTag() {
    const int n = chance(10) ? pick(101, 150) : pick(1, 12);
    return chance(5) ? "<Item Mod[0" + std::to_string(n) + "]>"
                     : formats::itemModifierTag(static_cast<std::size_t>(n));
  }

  std::string tagText() {
    switch (pick(0, 4)) {
    case 0:
      return mixCase(formats::kHeaderTags[static_cast<std::size_t>(pick(0, 15))].tag);
    case 1:
      return mixCase(formats::kItemNameTag);
    case 2:
      return mixCase(modifierTag());
    case 3: // fragments a removal joins into a new tag
      return "<Item " + modifierTag() + "Mod[" + std::to_string(pick(1, 12)) + "]>";
    default:
      return mixCase(formats::kDesignTags[static_cast<std::size_t>(pick(0, 17))]);
    }
  }

  std::string word() {
    if (withCommands_ && chance(30)) {
      static const char* const commandWords[] = {
          "^",   "~", "_", "^FS", "^XZ^XA^FDHACK", "~JA",  "+",       "_5E",
          "^fd", "?", "#", "\\",  "^CC+",          "~CT_", "\u00e9^", "^FH"};
      return commandWords[pick(0, std::size(commandWords) - 1)];
    }
    static const char* const words[] = {
        "Burger",     "caf\u00e9", "Total",     "TIME:",
        "Map: G3",    "Bob's",     "\u00df",    "\u0416\u0443\u0440",
        "\U0001F600", " ",         "\t",        "'",
        "\\'",        "<",         ">",         "]>",
        "<Item Mod[", "labels",    "\u017ftop", "99 of 99 Labels"};
    return words[pick(0, std::size(words) - 1)];
  }

  std::string designPiece() {
    if (withCommands_ && chance(40)) {
      static const char* const commands[] = {
          "^XA",  "^XZ",     "^FO1,1", "^FD",    "^fd",  "^FV",  "^FS",  "^fs", "^FH", "^FH\\",
          "^fh#", "^FH\r\n", "^FX ",   "^CC+",   "~CC^", "^CT_", "~CT~", "+FD", "+FS", "_",
          "~JA",  "^",       "~",      "^A0N,9", "?",    "^CC?", "^CT",  "#",   "^FH_"};
      return commands[pick(0, std::size(commands) - 1)];
    }
    return chance(50) ? tagText() : word();
  }

  std::string text(int pieces) {
    std::string out;
    for (int i = 0; i < pieces; ++i)
      out += chance(25) ? tagText() : word();
    return out;
  }

  std::mt19937 random_;
  bool withCommands_;
};

class CollectingSink final : public StatusSink {
public:
  void AddStatusMessage(std::string_view message) override { lines.emplace_back(message); }
  Lines lines;
};

void expectMergesAsThePlainMerge(bool withCommands) {
  for (unsigned seed = 1; seed <= 1500; ++seed) {
    Generator generate(seed, withCommands);
    const Lines design = generate.design();
    const auto prefixes = generate.prefixes();
    const Lines job = generate.job();

    const auto expected = oracle::mergeJobLines(job, design, prefixes);
    CollectingSink status;
    const Lines merged = mergeJobLines(job, PreparedDesign(design), prefixes, status);
    ASSERT_EQ(merged, expected.merged) << "seed " << seed;
    ASSERT_EQ(status.lines, expected.status) << "seed " << seed;
  }
}

TEST(LabelMergeDifferential, MatchesThePlainMergeOnGeneratedJobs) {
  expectMergesAsThePlainMerge(false);
}

TEST(LabelMergeDifferential, MatchesThePlainMergeWithPrinterCommandsInDesignsAndValues) {
  expectMergesAsThePlainMerge(true);
}

} // namespace
} // namespace velmora::labels
