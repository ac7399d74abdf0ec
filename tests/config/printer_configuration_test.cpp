// The "Setup" page's operations on real files in a temporary data directory:
// the configuration file, RMSpool.DBF and the type-ahead lookup.
#include "config/printer_configuration.h"

#include "dbf_fixture.h"
#include "formats/rowset_xml.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora::config {
namespace {

using test::readBytes;
using test::TempWorkDir;
using test::writeBytes;

std::vector<formats::FieldDef> eightFields() {
  return {{"Source", 8},      {"Dest", 8},     {"Backup", 8},    {"Design", 25},
          {"LabelsText", 15}, {"MapText", 15}, {"TimeText", 15}, {"TotalText", 15}};
}

formats::Row row(std::optional<std::string> source, std::optional<std::string> dest) {
  return {std::move(source), std::move(dest), std::nullopt, "LabelDesign.txt",
          "Labels",          "Map:",          "Time:",      "Total"};
}

std::string fileWith(const std::vector<formats::Row>& rows) {
  return formats::writeRowsetXml(eightFields(), rows);
}

class PrinterConfigurationTest : public ::testing::Test {
protected:
  void SetUp() override { test::makePrinterTable({"PREP1", "PREP2", "LBL1", "lbl2"}); }
  std::string savedFile() const { return readBytes(dir.path() / "VelmoraLabelConfig.XML"); }

  TempWorkDir dir;
  PrinterConfiguration config;
};

TEST_F(PrinterConfigurationTest, FirstStartCreatesTheFileWithEightFieldsAndNoRows) {
  config.OpenConfiguration();
  const std::string file = savedFile();
  EXPECT_EQ(file, fileWith({}));
  std::size_t lines = 1;
  for (std::size_t at = file.find("\r\n"); at != std::string::npos; at = file.find("\r\n", at + 2))
    ++lines;
  EXPECT_EQ(lines, 33u);
  EXPECT_TRUE(config.tblConfig().Active());
  EXPECT_EQ(config.tblConfig().RecordCount(), 0u);
  EXPECT_EQ(config.printerChoices(), (std::vector<std::string>{"PREP1", "PREP2", "LBL1", "lbl2"}));
}

TEST_F(PrinterConfigurationTest, AnExistingFileIsLoadedNotReplaced) {
  writeBytes(dir.path() / "VelmoraLabelConfig.xml", fileWith({row("PREP2", "LBL1")}));
  config.OpenConfiguration();
  ASSERT_EQ(config.tblConfig().RecordCount(), 1u);
  EXPECT_EQ(config.tblConfig().FieldByName("SOURCE").AsString(), "PREP2");
}

TEST_F(PrinterConfigurationTest, AddChooseAndSaveWritesTheRowWithItsDefaults) {
  config.OpenConfiguration();
  config.addPrinter();
  EXPECT_EQ(config.tblConfig().State(), formats::TDataSetState::dsInsert);
  config.setFieldValue("Source", "PREP1");
  config.setFieldValue("Dest", "LBL1");
  config.saveAndActivate();
  EXPECT_EQ(config.tblConfig().State(), formats::TDataSetState::dsBrowse);
  const std::string file = savedFile();
  EXPECT_EQ(file, fileWith({row("PREP1", "LBL1")}));
  EXPECT_NE(file.find("<z:row Source='PREP1' Dest='LBL1' Design='LabelDesign.txt' "
                      "LabelsText='Labels' MapText='Map:' TimeText='Time:' TotalText='Total' />"),
            std::string::npos);
}

TEST_F(PrinterConfigurationTest, AddingTwicePostsTheFirstRowWithItsDefaults) {
  config.OpenConfiguration();
  config.addPrinter();
  config.setFieldValue("Source", "PREP1");
  config.setFieldValue("Dest", "LBL1");
  config.addPrinter();
  EXPECT_EQ(config.tblConfig().RecordCount(), 1u); // the first is posted, the second pending
  EXPECT_EQ(config.tblConfig().visibleRowCount(), 2u);
  config.setFieldValue("Source", "PREP2");
  config.setFieldValue("Dest", "LBL2");
  config.saveAndActivate();
  EXPECT_EQ(savedFile(), fileWith({row("PREP1", "LBL1"), row("PREP2", "LBL2")}));
}

TEST_F(PrinterConfigurationTest, DeleteAfterAddAbandonsOnlyTheNewRow) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", fileWith({row("PREP2", "LBL1")}));
  config.OpenConfiguration();
  config.addPrinter();
  config.setFieldValue("Source", "PREP1");
  config.deletePrinter();
  EXPECT_EQ(config.tblConfig().State(), formats::TDataSetState::dsBrowse);
  config.saveAndActivate();
  EXPECT_EQ(savedFile(), fileWith({row("PREP2", "LBL1")}));
}

TEST_F(PrinterConfigurationTest, DeleteOnAnEmptyTableRaisesAndChangesNothing) {
  config.OpenConfiguration();
  const std::string before = savedFile();
  EXPECT_THROW(config.deletePrinter(), formats::EDatabaseError);
  config.saveAndActivate();
  EXPECT_EQ(savedFile(), before);
}

TEST_F(PrinterConfigurationTest, DeletingEveryRowAndSavingLeavesTheFieldsOnly) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML",
             fileWith({row("PREP1", "LBL1"), row("PREP2", "lbl2")}));
  config.OpenConfiguration();
  config.deletePrinter();
  config.deletePrinter();
  config.saveAndActivate();
  EXPECT_EQ(savedFile(), fileWith({}));
}

TEST_F(PrinterConfigurationTest, SaveDuringAnEditIncludesTheEdit) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", fileWith({row("PREP1", "LBL1")}));
  config.OpenConfiguration();
  config.setFieldValue("Backup", "lbl2");
  config.setFieldValue("MapText", "Zone:");
  EXPECT_EQ(config.tblConfig().State(), formats::TDataSetState::dsEdit);
  config.saveAndActivate();
  formats::Row expected = row("PREP1", "LBL1");
  expected[2] = "lbl2";
  expected[5] = "Zone:";
  EXPECT_EQ(savedFile(), fileWith({expected}));
}

TEST_F(PrinterConfigurationTest, AStoredPrinterThatRMSpoolLacksStaysStored) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", fileWith({row("GONE", "LBL1")}));
  config.OpenConfiguration();
  EXPECT_FALSE(findPrinterChoice(config.printerChoices(), "GONE"));
  config.setFieldValue("TimeText", "At:");
  config.saveAndActivate();
  EXPECT_NE(savedFile().find("Source='GONE'"), std::string::npos);
}

TEST_F(PrinterConfigurationTest, WithoutRMSpoolTheTableStillLoadsAndSaves) {
  std::filesystem::remove(dir.path() / "RMSpool.DBF");
  writeBytes(dir.path() / "VelmoraLabelConfig.XML", fileWith({row("PREP1", "LBL1")}));
  try {
    config.OpenConfiguration();
    FAIL() << "a missing RMSpool.DBF must be reported";
  } catch (const xbase::EApolloError& error) {
    EXPECT_NE(std::string(error.what()).find("RMSpool.DBF"), std::string::npos) << error.what();
  }
  EXPECT_TRUE(config.printerChoices().empty());
  EXPECT_EQ(config.tblConfig().RecordCount(), 1u);
  config.addPrinter();
  config.setFieldValue("Source", "PREP2");
  config.setFieldValue("Dest", "LBL2");
  config.saveAndActivate();
  EXPECT_EQ(config.tblConfig().RecordCount(), 2u);
  EXPECT_EQ(savedFile(), fileWith({row("PREP1", "LBL1"), row("PREP2", "LBL2")}));
}

TEST_F(PrinterConfigurationTest, ABrokenSchemaLeavesTheTableClosedAndAddReportsIt) {
  writeBytes(dir.path() / "VelmoraLabelConfig.XML",
             "<xml><s:Schema><s:AttributeType name='N'><s:datatype dt:type='int' />"
             "</s:AttributeType></s:Schema></xml>");
  EXPECT_THROW(config.OpenConfiguration(), formats::EDatabaseError);
  EXPECT_FALSE(config.tblConfig().Active());
  EXPECT_THROW(config.addPrinter(), formats::EDatabaseError);
  EXPECT_TRUE(config.printerChoices().empty()); // the load ended before RMSpool.DBF
}

// The rows that both windows' Save & Activate tests enter; the file they
// write is checked in, so the Windows build under Wine compares its file
// with the one this build writes.
const std::filesystem::path kSavedConfigurationFixture =
    std::filesystem::path(VELMORA_CONFIG_FIXTURES_DIR) / "saved_configuration.xml";

TEST_F(PrinterConfigurationTest, TwoRowsSavedGiveTheCheckedInFile) {
  config.OpenConfiguration();
  config.addPrinter();
  config.setFieldValue("Source", "PREP1");
  config.setFieldValue("Dest", "LBL1");
  config.addPrinter();
  config.setFieldValue("Source", "PREP2");
  config.setFieldValue("Dest", "LBL2");
  config.setFieldValue("Backup", "LBL1");
  config.setFieldValue("MapText", "Straße:");
  config.saveAndActivate();
  EXPECT_EQ(savedFile(), readBytes(kSavedConfigurationFixture));
}

TEST_F(PrinterConfigurationTest, WhatThePageShowsOfTheRows) {
  config.OpenConfiguration();
  EXPECT_EQ(config.gridRowCount(), 0u);
  EXPECT_FALSE(config.currentGridRow());
  EXPECT_EQ(config.currentValue("Source"), "");
  config.addPrinter();
  config.setFieldValue("Source", "PREP1");
  config.addPrinter(); // the row being inserted is a line of its own
  config.setFieldValue("Source", "PREP2");
  EXPECT_EQ(config.gridRowCount(), 2u);
  EXPECT_EQ(config.currentGridRow(), std::optional<std::size_t>(1));
  EXPECT_EQ(config.currentValue("Source"), "PREP2");
  EXPECT_EQ(config.currentValue("MapText"), "Map:");
  EXPECT_EQ(config.gridText(0, "source"), "PREP1"); // field names without regard to case
  EXPECT_EQ(config.gridText(0, "NoSuchField"), "");
  EXPECT_EQ(config.gridText(5, "Source"), "");
  EXPECT_EQ(config.sourcePrinters(), (std::vector<std::string>{"PREP1", "PREP2"}));
  config.tblConfig().moveTo(0);
  EXPECT_EQ(config.currentValue("Source"), "PREP1");
}

TEST(FindPrinterChoice, FirstValueInRecordOrderThatBeginsWithTheTypedText) {
  const std::vector<std::string> choices = {"PREP1", "prep2", "LBL1", "LABEL", "Ärger"};
  struct Case {
    std::string typed;
    std::optional<std::size_t> expected;
  };
  const Case cases[] = {
      {"p", 0},     {"PREP2", 1}, {"prep1", 0}, {"l", 2},       {"la", 3},
      {"LABEL", 3}, {"äR", 4},    {"x", {}},    {"PREP10", {}}, {"", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(findPrinterChoice(choices, c.typed), c.expected) << c.typed;
}

TEST(PrinterTypeAhead, TypedTextSelectsAndAMissLeavesTheSelection) {
  const std::vector<std::string> choices = {"PREP1", "PREP2", "LBL1", "LABEL1"};
  struct Key {
    const char* character;
    bool afterPause;
    std::optional<std::size_t> selected;
    const char* typed;
  };
  const struct {
    const char* what;
    std::vector<Key> keys;
  } cases[] = {
      {"extends while it matches",
       {{"p", false, 0, "p"},
        {"r", false, 0, "pr"},
        {"e", false, 0, "pre"},
        {"p", false, 0, "prep"},
        {"2", false, 1, "prep2"}}},
      {"a miss drops the key and keeps the text",
       {{"P", false, 0, "P"}, {"L", false, {}, "P"}, {"R", false, 0, "PR"}}},
      {"a miss at the start selects nothing", {{"x", false, {}, ""}, {"l", false, 2, "l"}}},
      {"a pause starts anew", {{"P", false, 0, "P"}, {"L", true, 2, "L"}, {"a", false, 3, "La"}}},
      {"a miss after a pause keeps the old selection but not the old text",
       {{"L", false, 2, "L"}, {"x", true, {}, ""}, {"l", false, 2, "l"}}},
  };
  for (const auto& c : cases) {
    PrinterTypeAhead typeAhead;
    for (const Key& key : c.keys) {
      EXPECT_EQ(typeAhead.type(choices, key.character, key.afterPause), key.selected)
          << c.what << ": " << key.character;
      EXPECT_EQ(typeAhead.typed(), key.typed) << c.what << ": " << key.character;
    }
  }
  PrinterTypeAhead another;
  EXPECT_EQ(another.type(choices, "L", false), 2u);
  another.reset(); // the box shows another row
  EXPECT_EQ(another.type(choices, "P", false), 0u);
}

} // namespace
} // namespace velmora::config
