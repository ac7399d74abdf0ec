// Dovetack below its windows, in-process over real files in a temporary data
// directory: the start-up sequence, each action as both windows forward it,
// what reaches the user through the messages (an action's error shown, not
// thrown, and the program going on), the test printer choice and the label
// preview.
#include "config/dovetack_model.h"

#include "config/label_setup_writer.h"
#include "config/test_print.h"
#include "configuration_fixture.h"
#include "dbf_fixture.h"
#include "formats/text_file.h"
#include "recording_messages.h"
#include "spooler/health_check.h"
#include "temp_dir.h"
#include "xbase/apollo_table.h"
#include "xbase/host_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::config {
namespace {

using test::configurationRow;
using test::configurationXml;
using test::readBytes;
using test::RecordingMessages;
using test::TempWorkDir;
using test::writeBytes;

constexpr const char* kBrokenConfiguration =
    "<xml><s:Schema><s:AttributeType name='N'><s:datatype dt:type='int' />"
    "</s:AttributeType></s:Schema></xml>";

// The index of `tag` in the tag list.
std::size_t tagEntry(std::string_view tag) {
  for (std::size_t entry = 0; entry < designTagCount(); ++entry)
    if (designTagAt(entry) == tag)
      return entry;
  throw std::logic_error("no such tag");
}

class DovetackModelTest : public ::testing::Test {
protected:
  DovetackModelTest() {
    test::makePrinterTable({"PREP1", "PREP2", "LBL1", "LBL2"});
    writeBytes(dir.path() / "LabelDesign.txt", "\xEF\xBB\xBF<Item Name>\n<Item Mod[1]>");
  }

  std::string savedConfig() const { return readBytes(dir.path() / "VelmoraLabelConfig.XML"); }
  std::string gridText(std::size_t row, std::string_view field) const {
    return model.configuration().gridText(row, field);
  }

  TempWorkDir dir;
  RecordingMessages messages;
  DovetackModel model{messages, [] { return std::string("02:09 PM"); }};
};

// Start-up reads the design, then opens the configuration and the host's
// printers; an error in one step is shown and the next still runs.
TEST(DovetackModelStartUp, EachStepsErrorIsShownInOrderAndTheNextStepRuns) {
  struct Case {
    const char* name;
    bool design;
    bool printerTable;
    const char* configuration;                 // nullptr: none, the first start
    std::vector<std::string> errorsContaining; // in the order shown
    std::size_t printerChoices;
    std::size_t rows;
  };
  const std::string oneRow = configurationXml({configurationRow("PREP1", "LBL1")});
  const Case cases[] = {
      {"first start", true, true, nullptr, {}, 2, 0},
      {"no design", false, true, oneRow.c_str(), {"LabelDesign.txt"}, 2, 1},
      {"broken configuration", true, true, kBrokenConfiguration, {"tblConfig: "}, 0, 0},
      {"no RMSpool.DBF", true, false, oneRow.c_str(), {"RMSpool.DBF"}, 0, 1},
      {"neither the design nor RMSpool.DBF",
       false,
       false,
       oneRow.c_str(),
       {"LabelDesign.txt", "RMSpool.DBF"},
       0,
       1},
  };
  for (const Case& c : cases) {
    TempWorkDir dir;
    if (c.printerTable)
      test::makePrinterTable({"PREP1", "LBL1"});
    if (c.design)
      writeBytes(dir.path() / "LabelDesign.txt", "<Item Name>\n<Phone>");
    if (c.configuration)
      writeBytes(dir.path() / "VelmoraLabelConfig.XML", c.configuration);
    RecordingMessages messages;
    DovetackModel model(messages, [] { return std::string("02:09 PM"); });

    const std::optional<std::string> design = model.startUp();

    if (c.design)
      EXPECT_EQ(design, std::optional<std::string>("<Item Name>\r\n<Phone>")) << c.name;
    else
      EXPECT_EQ(design, std::nullopt) << c.name;
    ASSERT_EQ(messages.errors.size(), c.errorsContaining.size()) << c.name;
    for (std::size_t i = 0; i < c.errorsContaining.size(); ++i) {
      EXPECT_NE(messages.errors[i].find(c.errorsContaining[i]), std::string::npos)
          << c.name << ": " << messages.errors[i];
      EXPECT_EQ(messages.errors[i].back(), '.') << c.name << ": " << messages.errors[i];
    }
    EXPECT_EQ(model.configuration().printerChoices().size(), c.printerChoices) << c.name;
    EXPECT_EQ(model.configuration().gridRowCount(), c.rows) << c.name;
    EXPECT_EQ(readBytes(dir.path() / "VelmoraLabelConfig.XML"),
              c.configuration ? std::string(c.configuration) : configurationXml({}))
        << c.name;
    EXPECT_TRUE(messages.messages.empty()) << c.name;
  }
}

TEST_F(DovetackModelTest, EditsReachTheSavedFileAndTheListenerHearsThem) {
  model.startUp();
  int changes = 0;
  const auto listener =
      model.addConfigurationListener([&changes](formats::TTableChange) { ++changes; });
  model.addPrinter();
  EXPECT_GT(changes, 0);
  EXPECT_TRUE(model.setFieldValue(formats::configuration_field::kSource, "PREP1"));
  EXPECT_TRUE(model.setFieldValue(formats::configuration_field::kDest, "LBL1"));
  model.addPrinter(); // posts the first row
  EXPECT_TRUE(model.setFieldValue(formats::configuration_field::kSource, "PREP2"));
  EXPECT_TRUE(model.setFieldValue(formats::configuration_field::kDest, "LBL2"));
  EXPECT_TRUE(model.selectRow(0));
  EXPECT_EQ(model.configuration().currentGridRow(), std::optional<std::size_t>(0));
  EXPECT_TRUE(model.setFieldValue(formats::configuration_field::kMapText, "Zone:"));
  model.saveAndActivate();
  EXPECT_EQ(savedConfig(),
            configurationXml({configurationRow("PREP1", "LBL1", std::nullopt, "Zone:"),
                              configurationRow("PREP2", "LBL2")}));

  model.removeConfigurationListener(listener);
  const int heard = changes;
  model.deletePrinter();
  EXPECT_EQ(changes, heard);
  EXPECT_EQ(model.configuration().gridRowCount(), 1u);
  EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
}

// What the table refuses is shown, and the window is told to show the table
// again; the file stays as it was.
TEST_F(DovetackModelTest, ARefusedChangeIsShownAndTheWindowIsTold) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", kBrokenConfiguration);
  model.startUp();
  ASSERT_EQ(messages.errors.size(), 1u); // the load error
  model.addPrinter();
  EXPECT_EQ(messages.errors.size(), 2u);
  EXPECT_FALSE(model.setFieldValue(formats::configuration_field::kMapText, "x"));
  EXPECT_EQ(messages.errors.size(), 3u);
  EXPECT_EQ(readBytes(dir.path() / "VelmoraLabelConfig.XML"), kBrokenConfiguration);

  // An empty table: Delete Printer shows the table's error, without a cause.
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", configurationXml({}));
  RecordingMessages second;
  DovetackModel other(second, [] { return std::string("02:09 PM"); });
  other.startUp();
  other.deletePrinter();
  ASSERT_EQ(second.errors.size(), 1u);
  EXPECT_EQ(second.errors[0].back(), '.');
  EXPECT_EQ(second.causes[0], "");
  EXPECT_EQ(other.configuration().gridRowCount(), 0u);
}

TEST_F(DovetackModelTest, SetupRMLabelsAsksFirstThenSaysWhatHappened) {
  test::makeLabelSetupTable(40, 1);
  const std::string before = readBytes(dir.path() / "LBLPRDEF.DBF");
  messages.answerYes = false;
  model.setupRMLabels();
  EXPECT_EQ(readBytes(dir.path() / "LBLPRDEF.DBF"), before);
  messages.answerYes = true;
  model.setupRMLabels();
  EXPECT_NE(readBytes(dir.path() / "LBLPRDEF.DBF"), before);
  std::filesystem::remove(dir.path() / "LBLPRDEF.DBF");
  model.setupRMLabels();

  const std::string question = std::string(kSetupQuestionTitle) + "|" + std::string(kSetupQuestion);
  EXPECT_EQ(messages.questions, (std::vector<std::string>{question, question, question}));
  ASSERT_EQ(messages.messages.size(), 3u);
  EXPECT_EQ(messages.messages[0], kSetupAborted);
  EXPECT_EQ(messages.messages[2], kSetupFailed);
  // The success box says where the copy of the setup as it was is kept.
  const std::string applied = std::string(kSetupApplied) + std::string(kSetupCopyKept);
  ASSERT_EQ(messages.messages[1].rfind(applied, 0), 0u) << messages.messages[1];
  const std::filesystem::path copy = messages.messages[1].substr(applied.size());
  EXPECT_EQ(copy.parent_path(), std::filesystem::current_path());
  EXPECT_EQ(copy.filename().string().rfind("LBLPRDEF-", 0), 0u) << copy;
  EXPECT_EQ(readBytes(copy), before);
  EXPECT_TRUE(messages.errors.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "LBLPRDEF.DBF"));
}

// "Health Check" shows the data directory's report, as saved, in one box:
// the same lines FerrulinConsole --check prints.
TEST_F(DovetackModelTest, HealthCheckShowsTheReportInABox) {
  model.healthCheck();
  writeBytes(
      dir.path() / "VelmoraLabelConfig.XML",
      configurationXml({configurationRow("PREP1", "LBL1"), configurationRow("PREP 3", "LBL1")}));
  std::filesystem::create_directory(dir.path() / "PREP1");
  model.healthCheck();

  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_TRUE(messages.errors.empty());
  EXPECT_EQ(
      messages.messages[0].rfind("ERROR   VelmoraLabelConfig.XML: Configuration file not found", 0),
      0u)
      << messages.messages[0];
  const std::string& report = messages.messages[1];
  EXPECT_EQ(report, spooler::healthReportText(spooler::checkDataDirectory()));
  for (const char* line :
       {"OK      VelmoraLabelConfig.XML: loads: 2 printer rows\n",
        "ERROR   Row 2 (PREP 3): is not served: its source printer \"PREP 3\" holds a blank\n",
        "OK      PREP1: its folder is free to claim\n",
        "WARNING LBL1: down: no spooler holds its folder\n", "OK      LabelDesign.txt: found\n"})
    EXPECT_NE(report.find(line), std::string::npos) << line << "\nin:\n" << report;
}

// The choice shows the chosen name while a printer line holds it; Test Print
// goes to the printer it shows, with the sample time on the time line.
TEST_F(DovetackModelTest, TestPrintGoesToThePrinterTheChoiceShows) {
  writeBytes(
      dir.path() / "VelmoraLabelConfig.XML",
      configurationXml({configurationRow("PREP1", "LBL1"), configurationRow("PREP2", "LBL2")}));
  std::filesystem::create_directory(dir.path() / "PREP2");
  const std::string design = *model.startUp();
  EXPECT_EQ(model.testPrinterChoices(), (std::vector<std::string>{"PREP1", "PREP2"}));
  EXPECT_EQ(model.shownTestPrinter(), std::nullopt);
  model.testPrint(design);
  EXPECT_EQ(messages.messages, std::vector<std::string>{std::string(kNoTestPrinterMessage)});

  // Written into PREP2, which no spooler serves: the box says the job waits.
  model.chooseTestPrinter("PREP2");
  EXPECT_EQ(model.shownTestPrinter(), std::optional<std::size_t>(1));
  model.testPrint(design);
  const std::vector<std::string> lines =
      formats::splitLines(readBytes(dir.path() / "PREP2" / "TestLabel.spl"));
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[5], "Time: 02:09 PM");
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(messages.messages[1], noSpoolerMessage("PREP2"));
  EXPECT_EQ(messages.messages[1],
            "No spooler serves PREP2 now (its LOCKSPL.DBF is not locked): "
            "the test job waits in the folder PREP2 until a spooler takes it.");

  // Rows change around the choice: it stays while a line holds the name.
  model.addPrinter();
  EXPECT_EQ(model.shownTestPrinter(), std::optional<std::size_t>(1));
  EXPECT_TRUE(model.selectRow(1));
  EXPECT_TRUE(model.setFieldValue(formats::configuration_field::kSource, "LBL2"));
  EXPECT_EQ(model.shownTestPrinter(), std::nullopt);
  std::filesystem::remove(dir.path() / "PREP2" / "TestLabel.spl");
  model.testPrint(design);
  EXPECT_EQ(messages.messages.size(), 3u);
  EXPECT_EQ(messages.messages.back(), kNoTestPrinterMessage);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "PREP2" / "TestLabel.spl"));

  // A printer without a folder: the file error and what the system said.
  model.chooseTestPrinter("PREP1");
  model.testPrint(design);
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("Cannot create file"), std::string::npos) << messages.errors[0];
  EXPECT_FALSE(messages.causes[0].empty());
  EXPECT_EQ(messages.messages.size(), 3u);
  EXPECT_TRUE(messages.yesNoCancelQuestions.empty());
}

// A test print whose label would not show the design on screen asks first:
// Yes saves and activates the design, then prints; No prints as it is;
// Cancel prints nothing. A folder a spooler serves gets no word after it.
TEST(DovetackModelTestPrint, AnUnsavedOrInactiveDesignIsOfferedForSavingFirst) {
  struct Case {
    const char* name;
    bool edited;         // the editor holds unsaved changes
    bool savedNotActive; // Save Design came after the last Save & Activate
    Answer answer;
    bool asked;
    bool printed;
    bool designSaved; // the edit reached the design file
    bool activated;   // the configuration file was written again
  };
  const Case cases[] = {
      {"saved and active", false, false, Answer::Cancel, false, true, false, false},
      {"edited, Yes", true, false, Answer::Yes, true, true, true, true},
      {"edited, No", true, false, Answer::No, true, true, false, false},
      {"edited, Cancel", true, false, Answer::Cancel, true, false, false, false},
      {"saved, not active, Yes", false, true, Answer::Yes, true, true, false, true},
      {"saved, not active, No", false, true, Answer::No, true, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempWorkDir dir;
    test::makePrinterTable({"PREP1", "LBL1"});
    writeBytes(dir.path() / "LabelDesign.txt", "<Item Name>");
    const std::string configuration = configurationXml({configurationRow("PREP1", "LBL1")});
    writeBytes(dir.path() / "VelmoraLabelConfig.XML", configuration);
    // A spooler holds PREP1's folder.
    xbase::TApolloTable spooler("spooler");
    ASSERT_TRUE(xbase::claimSourceFolder(spooler, "PREP1"));
    RecordingMessages messages;
    DovetackModel model(messages, [] { return std::string("02:09 PM"); });
    std::string design = *model.startUp();
    model.chooseTestPrinter("PREP1");
    if (c.savedNotActive) {
      design += "\r\n<Phone>";
      ASSERT_TRUE(model.saveDesign(design));
    }
    // A later save of the file shows whether Save & Activate ran.
    writeBytes(dir.path() / "VelmoraLabelConfig.XML", "not written again");
    const std::string inEditor = c.edited ? design + "\r\n<Reference>" : design;
    messages.answer = c.answer;

    model.testPrint(inEditor);

    EXPECT_EQ(messages.yesNoCancelQuestions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(messages.yesNoCancelQuestions[0], kTestPrintDesignQuestion);
    }
    EXPECT_EQ(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"), c.printed);
    EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt").ends_with("<Reference>"), c.designSaved);
    EXPECT_EQ(readBytes(dir.path() / "VelmoraLabelConfig.XML"),
              c.activated ? configuration : "not written again");
    EXPECT_TRUE(messages.messages.empty()) << messages.messages.front();
    EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
  }
}

// Yes with a printer list that cannot be saved: the refusal is shown and no
// job is written.
TEST_F(DovetackModelTest, TestPrintWritesNothingWhenTheSaveIsRefused) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML",
             configurationXml({configurationRow("PREP1", "PREP1")}));
  std::filesystem::create_directory(dir.path() / "PREP1");
  const std::string design = *model.startUp();
  model.chooseTestPrinter("PREP1");
  messages.answer = Answer::Yes;
  model.testPrint(design + "\r\nedited");
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("Row 1 (PREP1)"), std::string::npos) << messages.errors[0];
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"));
}

TEST_F(DovetackModelTest, TheDesignIsReadSavedAndGivenItsTags) {
  ASSERT_EQ(model.startUp(), std::optional<std::string>("<Item Name>\r\n<Item Mod[1]>"));
  model.saveDesign("<Item Name>\n<Phone>");
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), "\xEF\xBB\xBF<Item Name>\r\n<Phone>");

  const std::optional<TagInsertion> inserted = model.insertTag("ABCDEF", 3, tagEntry("<Phone>"));
  ASSERT_TRUE(inserted);
  EXPECT_EQ(inserted->line, "ABC<Phone>DEF");
  EXPECT_EQ(inserted->caretColumn, 13u);
  EXPECT_EQ(model.insertTag("ABCDEF", 3, std::nullopt), std::nullopt);
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_EQ(messages.errors[0], "List index out of bounds (-1)"); // ")" takes no full stop

  std::filesystem::remove(dir.path() / "LabelDesign.txt");
  EXPECT_EQ(model.revertToLast("<Item Name>\r\n<Phone>"), std::nullopt);
  ASSERT_EQ(messages.errors.size(), 2u);
  EXPECT_NE(messages.errors[1].find("LabelDesign.txt"), std::string::npos) << messages.errors[1];
  EXPECT_FALSE(messages.causes[1].empty());
}

// Closing asks before unsaved work is lost; Yes saves what is unsaved, No
// drops it, Cancel keeps the window.
TEST(DovetackModelUnsavedWork, ClosingAsksBeforeUnsavedWorkIsLost) {
  struct Case {
    const char* name;
    bool editDesign;
    bool editPrinters;
    Answer answer;
    bool closes;
    const char* question; // nullptr: none asked
    bool designSaved;
    bool printersSaved;
  };
  const Case cases[] = {
      {"nothing changed", false, false, Answer::Cancel, true, nullptr, false, false},
      {"design, Yes", true, false, Answer::Yes, true, kUnsavedDesign.data(), true, false},
      {"design, No", true, false, Answer::No, true, kUnsavedDesign.data(), false, false},
      {"design, Cancel", true, false, Answer::Cancel, false, kUnsavedDesign.data(), false, false},
      {"printers, Yes", false, true, Answer::Yes, true, kUnsavedPrinterList.data(), false, true},
      {"printers, Cancel", false, true, Answer::Cancel, false, kUnsavedPrinterList.data(), false,
       false},
      {"both, Yes", true, true, Answer::Yes, true, kUnsavedDesignAndPrinterList.data(), true, true},
      {"both, No", true, true, Answer::No, true, kUnsavedDesignAndPrinterList.data(), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempWorkDir dir;
    test::makePrinterTable({"PREP1", "LBL1"});
    writeBytes(dir.path() / "LabelDesign.txt", "<Item Name>");
    RecordingMessages messages;
    DovetackModel model(messages, [] { return std::string("02:09 PM"); });
    const std::string design = *model.startUp();
    const std::string emptyList = readBytes(dir.path() / "VelmoraLabelConfig.XML");
    // The editor shows the file's text with other line breaks: not a change.
    EXPECT_FALSE(model.designHasUnsavedChanges("<Item Name>"));
    const std::string edited = c.editDesign ? design + "\n<Phone>" : design;
    if (c.editPrinters) {
      model.addPrinter();
      model.setFieldValue(formats::configuration_field::kSource, "PREP1");
      model.setFieldValue(formats::configuration_field::kDest, "LBL1");
    }
    messages.answer = c.answer;

    EXPECT_EQ(model.mayClose(edited), c.closes);

    if (c.question) {
      EXPECT_EQ(messages.yesNoCancelQuestions,
                std::vector<std::string>{std::string(c.question) + "\r\n\r\nSave changes?"});
    } else {
      EXPECT_TRUE(messages.yesNoCancelQuestions.empty());
    }
    EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"),
              c.designSaved ? "<Item Name>\r\n<Phone>" : "<Item Name>");
    EXPECT_EQ(readBytes(dir.path() / "VelmoraLabelConfig.XML"),
              c.printersSaved ? configurationXml({configurationRow("PREP1", "LBL1")}) : emptyList);
    EXPECT_TRUE(messages.errors.empty());
    // What was saved is no longer unsaved; what was dropped or kept still is.
    EXPECT_EQ(model.designHasUnsavedChanges(edited), c.editDesign && !c.designSaved);
    EXPECT_EQ(model.printerListHasUnsavedChanges(), c.editPrinters && !c.printersSaved);
  }
}

// Yes saves each part in turn; a part that cannot be saved keeps the window
// open, with its error shown.
TEST_F(DovetackModelTest, AFailedSaveKeepsTheWindowOpen) {
  model.startUp();
  model.addPrinter(); // no source, no destination: refused
  messages.answer = Answer::Yes;
  EXPECT_FALSE(model.mayClose("<Item Name>\r\n<Item Mod[1]>\r\nmore"));
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("Row 1: it has no source printer"), std::string::npos)
      << messages.errors[0];
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"),
            "\xEF\xBB\xBF<Item Name>\r\n<Item Mod[1]>\r\nmore");
  EXPECT_EQ(savedConfig(), configurationXml({}));
  EXPECT_TRUE(model.printerListHasUnsavedChanges());
}

// Revert to Last asks before it drops unsaved edits of the design.
TEST_F(DovetackModelTest, RevertToLastAsksBeforeDroppingEdits) {
  const std::string onDisk = "\xEF\xBB\xBF<Item Name>\n<Item Mod[1]>";
  const std::string read = *model.startUp();
  // Unchanged: no question.
  EXPECT_EQ(model.revertToLast(read), std::optional<std::string>(read));
  EXPECT_TRUE(messages.yesNoCancelQuestions.empty());

  messages.answer = Answer::Cancel;
  EXPECT_EQ(model.revertToLast("edited"), std::nullopt);
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), onDisk);
  messages.answer = Answer::No;
  EXPECT_EQ(model.revertToLast("edited"), std::optional<std::string>(read));
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), onDisk);
  messages.answer = Answer::Yes;
  EXPECT_EQ(model.revertToLast("edited"), std::optional<std::string>("edited"));
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), "\xEF\xBB\xBF"
                                                       "edited");
  EXPECT_EQ(messages.yesNoCancelQuestions,
            std::vector<std::string>(3, std::string(kUnsavedDesign) + "\r\n\r\n" +
                                            std::string(kSaveChangesQuestion)));
  EXPECT_TRUE(messages.errors.empty());
}

// Save & Activate refuses a list the spooler could not serve, names each
// problem by its row in one box, and writes nothing.
TEST(DovetackModelSave, SaveAndActivateRefusesAListWithProblems) {
  TempWorkDir dir;
  test::makePrinterTable({"PREP1", "PREP2", "LBL1", "LBL2", "PREP 3", "PREP.4"});
  const auto savedConfig = [&dir] { return readBytes(dir.path() / "VelmoraLabelConfig.XML"); };
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> rows; // source, destination, backup
    std::vector<std::string> problems;          // the box's lines after the first
  };
  writeBytes(dir.path() / "LabelDesign.txt", "<Item Name>");
  const Case cases[] = {
      {"a good list", {{"PREP1", "LBL1", "LBL2"}, {"PREP2", "LBL2", ""}}, {}},
      {"a source listed twice",
       {{"PREP1", "LBL1", ""}, {"PREP1", "LBL2", ""}},
       {"Row 2 (PREP1): its source printer PREP1 is the source printer of row 1 already"}},
      {"a source that is another row's destination and backup",
       {{"PREP1", "PREP2", ""}, {"PREP2", "LBL1", "PREP1"}},
       {"Row 1 (PREP1): its destination printer PREP2 is the source printer of row 2",
        "Row 2 (PREP2): its backup printer PREP1 is the source printer of row 1"}},
      {"destination and backup equal to the source",
       {{"PREP1", "PREP1", "PREP1"}},
       {"Row 1 (PREP1): its destination printer PREP1 is its own source printer",
        "Row 1 (PREP1): its backup printer PREP1 is its own source printer"}},
      {"names the host cannot have",
       {{"PREP 3", "PREP.4", ""}, {"", "", ""}},
       {"Row 1 (PREP 3): its source printer \"PREP 3\" holds a blank",
        "Row 1 (PREP 3): its destination printer \"PREP.4\" holds \".\"",
        "Row 2: it has no source printer", "Row 2: it has no destination printer"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(dir.path() / "VelmoraLabelConfig.XML");
    RecordingMessages messages;
    DovetackModel model(messages, [] { return std::string("02:09 PM"); });
    model.startUp();
    namespace field = formats::configuration_field;
    for (const std::vector<std::string>& row : c.rows) {
      model.addPrinter();
      for (const auto& [name, value] :
           {std::pair{field::kSource, row[0]}, {field::kDest, row[1]}, {field::kBackup, row[2]}}) {
        if (!value.empty()) {
          EXPECT_TRUE(model.setFieldValue(name, value));
        }
      }
    }

    EXPECT_EQ(model.saveAndActivate(), c.problems.empty());

    if (c.problems.empty()) {
      EXPECT_TRUE(messages.errors.empty());
      EXPECT_NE(savedConfig(), configurationXml({}));
      continue;
    }
    std::string box = "The printer list is not saved: the spooler could not serve it as it stands.";
    for (const std::string& problem : c.problems)
      box += "\r\n" + problem;
    EXPECT_EQ(messages.errors, std::vector<std::string>{box + "."});
    EXPECT_EQ(savedConfig(), configurationXml({}));
    EXPECT_TRUE(model.printerListHasUnsavedChanges());
  }
}

// The preview draws the chosen label where the design sets no size, the
// design's own size where it sets one, and says why there is no picture.
TEST_F(DovetackModelTest, ThePreviewDrawsTheChosenSizeWhereTheDesignSetsNone) {
  const DesignPreview plain = model.previewOf("<Item Name>\r\n<Item Mod[1]>");
  EXPECT_FALSE(plain.label);
  EXPECT_EQ(plain.notes, preview::kNoPreviewNote);

  const std::string box = "^XA^FO10,10^GB100,50,50^FS^XZ";
  EXPECT_EQ(model.previewLabelSize(), PreviewLabelSize{});
  DesignPreview shown = model.previewOf(box);
  ASSERT_TRUE(shown.label);
  EXPECT_EQ(shown.label->widthDots, 812); // 4 x 2 inches at 203 dpi
  EXPECT_EQ(shown.label->lengthDots, 406);
  EXPECT_EQ(shown.notes, "");

  model.setPreviewLabelSize({225, 125, 300});
  shown = model.previewOf(box);
  ASSERT_TRUE(shown.label);
  EXPECT_EQ(shown.label->widthDots, 675);
  EXPECT_EQ(shown.label->lengthDots, 375);
  EXPECT_EQ(shown.label->dpi, 300);
  shown = model.previewOf("^XA^PW400^LL200" + box.substr(3));
  ASSERT_TRUE(shown.label);
  EXPECT_EQ(shown.label->widthDots, 400);
  EXPECT_EQ(shown.label->lengthDots, 200);

  // A size no user can choose is brought within the choices.
  model.setPreviewLabelSize({10, 9000, 250});
  EXPECT_EQ(model.previewLabelSize(),
            (PreviewLabelSize{kPreviewSizeMinimum, kPreviewSizeMaximum, PreviewLabelSize{}.dpi}));

  // The label's notes, one a line, under the picture.
  shown = model.previewOf("^XA^FO-5,10^A0N,30^FD<Item Name>^FS");
  ASSERT_TRUE(shown.label);
  EXPECT_NE(shown.notes.find("clamped to 0 to 32000"), std::string::npos) << shown.notes;
  EXPECT_NE(shown.notes.find("\nthe label is not closed by ^XZ"), std::string::npos) << shown.notes;
}

} // namespace
} // namespace velmora::config
