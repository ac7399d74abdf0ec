#include "labels/label_merge.h"

#include "formats/text_file.h"
#include "preview/zpl_renderer.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora::labels {
namespace {

using Lines = std::vector<std::string>;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class RecordingSink final : public StatusSink {
public:
  void AddStatusMessage(std::string_view message) override { lines.emplace_back(message); }
  Lines lines;
};

// A block of 100 lines with the given header lines (from line 0) and item
// area lines (from line 20); the rest empty.
Lines block(Lines header, const Lines& items) {
  header.resize(formats::kLabelBlockLines);
  std::copy(items.begin(), items.end(), header.begin() + formats::kItemAreaStart);
  return header;
}

Lines concat(std::initializer_list<Lines> blocks) {
  Lines all;
  for (const auto& b : blocks)
    all.insert(all.end(), b.begin(), b.end());
  return all;
}

class LabelMerge : public ::testing::Test {
protected:
  Lines merge(const Lines& job, const Lines& design) {
    return mergeJobLines(job, PreparedDesign(design), prefixes, status);
  }
  formats::PrefixTexts prefixes = formats::defaultPrefixTexts();
  RecordingSink status;
};

TEST_F(LabelMerge, SampleJobFillsEveryTag) {
  Lines design;
  for (auto tag : formats::kDesignTags)
    design.emplace_back(tag);
  for (int n : {1, 10, 11, 100})
    design.push_back("mod " + formats::itemModifierTag(static_cast<std::size_t>(n)) + ".");
  const Lines merged = merge(formats::sampleJob("02:09 PM"), design);
  EXPECT_THAT(merged,
              ElementsAre("Address Line 1 Looooooooong", "City and Town", "Directions Line 1",
                          "Employee Name (Number)", "<Item Mod[n]>", "99 Item Name Goes Here",
                          "99 of 99", "99 of 99 Labels", "G3", "Map: G3", "02:09 PM",
                          "Time: 02:09 PM", ":12345.67", "202-111-2222", "Customer Name",
                          "*** Revenue Center ***", "Total:12345.67", "Trans. Desc.",
                          "mod Mod Line 1.", "mod Mod Line 10.", "mod .", "mod ."));
  EXPECT_THAT(status.lines, IsEmpty());
}

TEST_F(LabelMerge, EveryBlockGetsAFreshCopyOfTheDesign) {
  const Lines job = concat({block({"A"}, {"one"}), block({"B"}, {"two"}), block({"C"}, {"three"})});
  for (int run = 0; run < 2; ++run) // a second merge of the same job gives the same labels
    EXPECT_THAT(merge(job, {"<Reference>: <Item Name>", "--"}),
                ElementsAre("A: one", "--", "B: two", "--", "C: three", "--"));
}

TEST_F(LabelMerge, LineCountNotAMultipleOf100IsRejected) {
  struct Case {
    std::size_t lines;
    bool rejected;
  };
  for (const Case c : {Case{0, false}, Case{100, false}, Case{101, true}, Case{250, true},
                       Case{300, false}, Case{99, true}}) {
    status.lines.clear();
    Lines job(c.lines, "x");
    const Lines merged = merge(job, {"<Item Name>"});
    EXPECT_EQ(merged.size(), c.rejected ? 0u : c.lines / 100) << c.lines;
    if (c.rejected)
      EXPECT_THAT(status.lines, ElementsAre(std::string(formats::kIncompatibleJobWarning)));
    else
      EXPECT_THAT(status.lines, IsEmpty());
  }
}

TEST_F(LabelMerge, ItemNameAndModifiers) {
  struct Case {
    const char* what;
    Lines items;
    Lines expected;
  };
  const Lines design = {"[<Item Name>]", "<Item Mod[1]>|<Item Mod[2]>|<item mod[3]>",
                        "<Item Mod[150]>", "<Item Mod[n]> <Item Mod[01]>"};
  const Case cases[] = {
      {"name on line 20, no modifiers",
       {"  2 Burger ", ""},
       {"[2 Burger]", "||", "<Item Mod[150]>", "<Item Mod[n]> <Item Mod[01]>"}},
      {"line 20 of blanks is the name line",
       {"   ", "mod"},
       {"[]", "mod||", "<Item Mod[150]>", "<Item Mod[n]> <Item Mod[01]>"}},
      {"name after empty lines",
       {"", "", "", "", "", "1 Fries", " salt", "\tketchup\t", "", "not a modifier"},
       {"[1 Fries]", "salt|ketchup|", "<Item Mod[150]>", "<Item Mod[n]> <Item Mod[01]>"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(merge(block({}, c.items), design), c.expected) << c.what;
}

TEST_F(LabelMerge, ModifierTag150IsFilledOnlyByA150thModifier) {
  Lines items = {"Item"};
  for (int n = 1; n <= 150; ++n)
    items.push_back("m" + std::to_string(n));
  Lines job = block({}, {});
  job.resize(200);
  std::copy(items.begin(), items.end(), job.begin() + 20);
  // Block 2's item area starts at m100 and has 50 modifiers: tag 100 is
  // removed, tag 150 stays as written.
  EXPECT_THAT(merge(job, {"<Item Mod[150]>,<Item Mod[100]>"}),
              ElementsAre("m150,m100", "<Item Mod[150]>,"));
}

TEST_F(LabelMerge, PrefixesAreRemovedEverywhereWithoutRegardToCase) {
  prefixes.totalText = "Total";
  prefixes.labelsText = "";
  prefixes.mapText = "map:";
  prefixes.timeText = "Time:";
  const Lines job = block({"", "", "", "", "Total: TOTAL 5.00", "  Time: 12:01 ", " 3 of 4 Labels ",
                           "", "", "", "MAP: G3 Map:"},
                          {"x"});
  EXPECT_THAT(merge(job, {"<Order Total>|<Total Text>", "<Order Time (Parsed)>|<Order Time>",
                          "<Label Header (Parsed)>|<Map Code (Parsed)>"}),
              ElementsAre(":  5.00|Total: TOTAL 5.00", "12:01|  Time: 12:01 ", "3 of 4 Labels|G3"));
}

TEST_F(LabelMerge, ApostrophesAreEscapedAndPrefixesWithThemNoLongerMatch) {
  prefixes.totalText = "Order's";
  const Lines job =
      block({"", "", "", "", "Order's 5", "", "", "Bob's Diner"}, {"Chef's 'Special'"});
  EXPECT_THAT(merge(job, {"<Address>", "<Item Name>", "<Order Total>"}),
              ElementsAre("Bob\\'s Diner", "Chef\\'s \\'Special\\'", "Order\\'s 5"));
}

TEST_F(LabelMerge, ValuesHoldingTagTextAreReplacedByLaterSteps) {
  const Lines job =
      block({"Ref <Employee> <reference>", "", "Ann"}, {"<Item Mod[1]>", "<Item Name>"});
  EXPECT_THAT(merge(job, {"<Reference>", "<Item Name>"}),
              ElementsAre("Ref Ann <reference>", "<Item Name>"));
}

TEST_F(LabelMerge, ParsedTagIsNotTouchedByTheShorterTag) {
  const Lines job = block({"", "", "", "", "", "Time: 9:15"}, {"x"});
  EXPECT_THAT(merge(job, {"<Order Time (Parsed)>"}), ElementsAre("9:15"));
}

TEST_F(LabelMerge, RemovalsJoinFragmentsIntoTagsThatLaterRemovalsFind) {
  const Lines job = block({}, {"x"});
  EXPECT_THAT(merge(job, {"<Item <Item Mod[5]>Mod[6]>", "<Item <Item Mod[6]>Mod[5]>"}),
              ElementsAre("", "<Item Mod[5]>"));
}

TEST_F(LabelMerge, MalformedJobEndingInTheItemAreaNeverReadsPastItsEnd) {
  // Block 1's modifiers run to the job's last line; block 2 has no name at all.
  Lines job = block({"A"}, {"first"});
  Lines second = block({"B"}, {});
  job.insert(job.end(), second.begin(), second.end());
  for (std::size_t i = 21; i < job.size(); ++i)
    job[i] = "m";
  EXPECT_THAT(merge(Lines(job.begin(), job.begin() + 100),
                    {"<Reference> <Item Name> <Item Mod[79]> <Item Mod[80]>"}),
              ElementsAre("A first m "));
  job = concat({block({"A"}, {"first"}), block({"B"}, {})});
  EXPECT_THAT(merge(job, {"<Reference> [<Item Name>] <Item Mod[1]>"}),
              ElementsAre("A [first] ", "B [] "));
}

TEST_F(LabelMerge, EmptyDesignGivesEmptyLabels) {
  EXPECT_THAT(merge(block({"A"}, {"x"}), {}), IsEmpty());
}

// Text from the job never starts a printer command: inside a field's data its
// ^ and ~ become field hex escapes of the same characters, elsewhere "?".
TEST_F(LabelMerge, JobTextNeverStartsAPrinterCommand) {
  struct Case {
    const char* what;
    Lines header;
    Lines items;
    Lines design;
    Lines expected;
  };
  const std::string hack = "Fish ^FS^XZ^XA^FO9,9^FDHACK^FS";
  const Case cases[] = {
      {"item name inside a field: the store's second label",
       {},
       {hack},
       {"^XA", "^FO10,10^A0N,30,30^FD<Item Name>^FS", "^XZ"},
       {"^XA", "^FO10,10^A0N,30,30^FH^FDFish _5EFS_5EXZ_5EXA_5EFO9,9_5EFDHACK_5EFS^FS", "^XZ"}},
      {"a modifier cancelling the printer's jobs",
       {},
       {"Fish", "extra ~JA"},
       {"^FO1,1^FD<Item Mod[1]>^FS"},
       {"^FO1,1^FH^FDextra _7EJA^FS"}},
      {"header values, whole and parsed",
       {"Ann^FS", "", "", "", "Total ~5"},
       {"x"},
       {"^FD<Reference>|<Order Total>^FS"},
       {"^FH^FDAnn_5EFS|_7E5^FS"}},
      {"outside any field: plain text, a comment, a parameter",
       {"x^XA~JA", "", "", "", "", "", "", "", "", "1^FS"},
       {"x"},
       {"Ref: <Reference>", "^FX <Reference>", "^FO<Phone>,10^FDok^FS"},
       {"Ref: x?XA?JA", "^FX x?XA?JA", "^FO1?FS,10^FDok^FS"}},
      {"a field with its own ^FH keeps its indicator and its escapes",
       {"a^b_c"},
       {"d~e"},
       {"^FO1,1^FH\\^FD<Reference> \\41^FS", "^FH^FD<Item Name>_41^FS"},
       {"^FO1,1^FH\\^FDa\\5Eb_c \\41^FS", "^FH^FDd_7Ee_41^FS"}},
      {"the indicator standing in the field is escaped too",
       {"10_4"},
       {"Fish_^"},
       {"^FD<Item Name> <Reference>^FS", "^FD<Reference>^FS"},
       {"^FH^FDFish_5F_5E 10_5F4^FS", "^FD10_4^FS"}},
      {"values without ^ or ~ are merged as they always were",
       {"Bob's <Employee>", "", "_Ann_"},
       {"2 Fish_Chips", "no salt"},
       {"^XA^FO1,1^FD<Reference> <Item Name>^FS", "^FH^FD_41<Item Mod[1]>^FS", "Text <Item Name>"},
       {"^XA^FO1,1^FDBob\\'s _Ann_ 2 Fish_Chips^FS", "^FH^FD_41no salt^FS", "Text 2 Fish_Chips"}},
      {"commands in small letters, and ^FV",
       {"a^b"},
       {"c~d"},
       {"^fo1,1^fd<Reference>^fs", "^FV<Item Name>^FS"},
       {"^fo1,1^FH^fda_5Eb^fs", "^FH^FVc_7Ed^FS"}},
      {"a value's tag text is escaped where a later step fills it",
       {"R^ <Employee>", "", "E~"},
       {"x"},
       {"^FD<Reference>^FS <Reference>"},
       {"^FH^FDR_5E E_7E^FS R? E?"}},
      {"a ^FH ends with its field",
       {"a^b"},
       {"x"},
       {"^FO0,0^FH^GB10,10,1^FS^FO1,1^FD<Reference>^FS"},
       {"^FO0,0^FH^GB10,10,1^FS^FO1,1^FH^FDa_5Eb^FS"}},
      {"a design that changes the prefixes",
       {"a+b^c#d"},
       {"x"},
       {"^CC+", "+FD<Reference>+FS", "+CT#", "+FX <Reference>"},
       {"^CC+", "+FH+FDa_2Bb_5Ec#d+FS", "+CT#", "+FX a?b?c?d"}},
      {"a design that made the default indicator a prefix",
       {"a^b"},
       {"x"},
       {"~CT_", "^FD<Reference>^FS"},
       {"~CT_", "^FH\\^FDa\\5Eb^FS"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(merge(block(c.header, c.items), c.design), c.expected) << c.what;
}

// The printer's view of the store's label, through the preview's renderer: the
// injected text prints as text on the one label.
TEST_F(LabelMerge, InjectedTextPrintsAsTextOnOneLabel) {
  const std::string hack = "Fish ^FS^XZ^XA^FO9,9^FDHACK^FS";
  const Lines design = {"^XA", "^FO10,10^A0N,30,30^FD<Item Name>^FS",
                        "^FO10,50^A0N,30,30^FD<Item Mod[1]>^FS", "^XZ"};
  const auto render = [](const Lines& lines) {
    std::string text;
    for (const auto& line : lines)
      text += line + "\r\n";
    return preview::renderZpl(text);
  };
  const auto texts = [](const preview::LabelDrawing& label) {
    Lines out;
    for (const auto& op : label.ops)
      out.push_back(op.text);
    return out;
  };

  // The values put in as they stand give the printer the store's two labels.
  const auto raw =
      render({"^XA", "^FO10,10^A0N,30,30^FD" + hack + "^FS", "^FO10,50^A0N,30,30^FD~JA^FS", "^XZ"});
  ASSERT_EQ(raw.labels.size(), 2u);
  EXPECT_THAT(texts(raw.labels[1]), Contains("HACK"));

  const auto merged = render(merge(block({}, {hack, "~JA"}), design));
  ASSERT_EQ(merged.labels.size(), 1u);
  EXPECT_THAT(texts(merged.labels[0]), ElementsAre(hack, "~JA"));
  EXPECT_THAT(merged.labels[0].notes, IsEmpty());
  EXPECT_THAT(merged.notes, IsEmpty());
}

TEST(LabelMergeFile, ReadsTheJobAndReportsAMissingOne) {
  test::TempWorkDir dir;
  std::filesystem::create_directory("PREP1");
  RecordingSink status;
  const PreparedDesign design({"<Item Name>"});
  const auto prefixes = formats::defaultPrefixTexts();

  Lines job = block({}, {"Cr\u00e8me br\u00fbl\u00e9e"});
  test::writeBytes(
      "PREP1/a.spl", "\xEF\xBB\xBF" + [&] {
        std::string text;
        for (const auto& l : job)
          text += l + "\r\n";
        return text;
      }());
  JobMergeOutcome outcome;
  const Lines merged = MergeLabels("PREP1\\A.SPL", design, prefixes, status, &outcome);
  EXPECT_THAT(merged, ElementsAre("Cr\u00e8me br\u00fbl\u00e9e"));
  EXPECT_EQ(outcome.reading, JobReading::Read);
  EXPECT_EQ(formats::encodeLines(merged), "Cr\xE8me br\xFBl\xE9"
                                          "e\r\n");

  // One more line break at the end is a 101st line.
  test::writeBytes("PREP1/b.spl", test::readBytes("PREP1/a.spl") + "\r\n");
  EXPECT_THAT(MergeLabels("PREP1\\b.spl", design, prefixes, status, &outcome), IsEmpty());
  EXPECT_EQ(outcome.reading, JobReading::Incompatible);
  test::writeBytes("PREP1/c.spl", "");
  EXPECT_THAT(MergeLabels("PREP1\\c.spl", design, prefixes, status, &outcome), IsEmpty());
  EXPECT_EQ(outcome.reading, JobReading::Read);
  EXPECT_THAT(MergeLabels("PREP1\\gone.spl", design, prefixes, status), IsEmpty());
  EXPECT_THAT(status.lines, ElementsAre(std::string(formats::kIncompatibleJobWarning),
                                        "ERROR: File \"PREP1\\gone.spl\" not found."));
}

} // namespace
} // namespace velmora::labels
