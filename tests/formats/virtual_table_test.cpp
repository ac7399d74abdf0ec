#include "formats/virtual_table.h"

#include "config_table_fixture.h"
#include "error_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::formats {
namespace {

using test::appendRow;

constexpr auto messageOf = &test::messageOf<EDatabaseError>;

// The configuration program's table with its defaults for a new row.
class ConfigTable : public ::testing::Test {
protected:
  ConfigTable() {
    addConfigurationFields(table);
    table.AfterInsert = [](TVirtualTable& t) {
      EXPECT_EQ(t.State(), TDataSetState::dsInsert);
      t.FieldByName("LabelsText").SetAsString("Labels");
      t.FieldByName("MapText").SetAsString("Map:");
      t.FieldByName("Design").SetAsString("LabelDesign.txt");
    };
  }
  std::vector<std::string> column(const char* name) {
    std::vector<std::string> values;
    const auto& field = table.FieldByName(name);
    for (table.First(); !table.Eof(); table.Next())
      values.push_back(field.AsString());
    return values;
  }

  TVirtualTable table{"tblConfig", voPersistentData};
};

TEST_F(ConfigTable, FieldByNameIgnoresCaseAndNamesTheComponentWhenMissing) {
  EXPECT_EQ(&table.FieldByName("TOTALTEXT"), &table.FieldByName("TotalText"));
  EXPECT_EQ(table.FieldByName("labelstext").FieldNo(), 5);
  EXPECT_EQ(messageOf([&] { table.FieldByName("Printer"); }),
            "tblConfig: Field 'Printer' not found");
  EXPECT_EQ(messageOf([&] { table.AddField("SOURCE", 4); }),
            "tblConfig: Duplicate field name 'SOURCE'");
}

TEST_F(ConfigTable, NullAndEmptyTextDifferButBothReadAsEmpty) {
  table.Open();
  appendRow(table, {"PREP1", "LBL1", std::nullopt, "", std::nullopt, std::nullopt, "", ""});
  const auto& backup = table.FieldByName("Backup");
  const auto& design = table.FieldByName("Design");
  EXPECT_TRUE(backup.IsNull());
  EXPECT_EQ(backup.AsString(), "");
  EXPECT_FALSE(design.IsNull());
  EXPECT_EQ(design.AsString(), "");
  EXPECT_EQ(table.FieldByName("LabelsText").AsString(), "Labels") << "the default stays";
}

TEST_F(ConfigTable, LongerTextKeepsItsFirstWidthCharacters) {
  table.AfterInsert = nullptr;
  table.Open();
  table.Append();
  table.FieldByName("Source").SetAsString("PRINTER12345");
  table.FieldByName("Dest").SetAsString("Größenwahn€日本"); // 8 characters, 15 bytes first
  table.FieldByName("Backup").SetAsString("LBL");
  table.Post();
  EXPECT_EQ(table.FieldByName("Source").AsString(), "PRINTER1");
  EXPECT_EQ(table.FieldByName("Dest").AsString(), "Größenwa");
  EXPECT_EQ(table.FieldByName("Backup").AsString(), "LBL");
}

TEST(VirtualTable, ValuesCutAtALoadAreKeptAsTheFileHeldThem) {
  // A file written with a wider source column than the table has.
  TVirtualTable wide("wide", voPersistentData);
  wide.AddField("Source", 20);
  wide.AddField("Dest", 8);
  wide.Open();
  appendRow(wide, {"LONGPREP9X", "LABEL1"});
  appendRow(wide, {"PREP2", "LABEL2"});
  TVirtualTable narrow("tblConfig");
  narrow.AddField("Source", 8);
  narrow.AddField("Dest", 8);
  narrow.loadFromString(wide.saveToXmlString(), false);
  EXPECT_EQ(narrow.cellText(0, 0), "LONGPREP");
  EXPECT_EQ(narrow.valueBeyondWidth(0, 0), "LONGPREP9X");
  EXPECT_EQ(narrow.valueBeyondWidth(0, 1), std::nullopt);
  EXPECT_EQ(narrow.valueBeyondWidth(1, 0), std::nullopt);
  // The next load starts afresh.
  narrow.loadFromString(narrow.saveToXmlString(), false);
  EXPECT_EQ(narrow.valueBeyondWidth(0, 0), std::nullopt);
}

TEST_F(ConfigTable, AppendPostsThePendingRowAndRunsAfterInsert) {
  table.Open();
  table.Append();
  table.FieldByName("Source").SetAsString("PREP1");
  EXPECT_EQ(table.RecordCount(), 0u) << "a new row belongs to the table once posted";
  EXPECT_EQ(table.visibleRowCount(), 1u);
  EXPECT_EQ(table.cellText(0, 0), "PREP1");
  table.Append();
  EXPECT_EQ(table.State(), TDataSetState::dsInsert);
  EXPECT_EQ(table.RecordCount(), 1u);
  EXPECT_EQ(table.currentRow(), 1u);
  EXPECT_TRUE(table.FieldByName("Source").IsNull());
  EXPECT_EQ(table.FieldByName("MapText").AsString(), "Map:");
  table.Post();
  EXPECT_EQ(column("Source"), (std::vector<std::string>{"PREP1", ""}));
  EXPECT_EQ(column("LabelsText"), (std::vector<std::string>{"Labels", "Labels"}));
  EXPECT_EQ(column("TimeText"), (std::vector<std::string>{"", ""}));
}

TEST_F(ConfigTable, EditPostCancelAndMovingAway) {
  table.Open();
  appendRow(table, {"A"});
  appendRow(table, {"B"});
  table.First();
  table.Edit();
  table.FieldByName("Source").SetAsString("A2");
  EXPECT_EQ(table.cellText(0, 0), "A2") << "the grid shows the pending edit";
  table.Cancel();
  EXPECT_EQ(table.FieldByName("Source").AsString(), "A");

  table.Edit();
  table.FieldByName("Source").SetAsString("A3");
  table.moveTo(1); // moving to another row posts the edit
  EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(table.FieldByName("Source").AsString(), "B");
  EXPECT_EQ(column("Source"), (std::vector<std::string>{"A3", "B"}));

  table.moveTo(1);
  table.Edit();
  table.FieldByName("Dest").Clear();
  table.Post();
  EXPECT_TRUE(table.FieldByName("Dest").IsNull());
}

TEST_F(ConfigTable, DeleteRemovesTheCurrentRowOrAbandonsTheNewOne) {
  table.Open();
  EXPECT_EQ(messageOf([&] { table.Delete(); }),
            "tblConfig: Cannot perform this operation on an empty dataset");
  appendRow(table, {"A"});
  appendRow(table, {"B"});
  appendRow(table, {"C"});
  table.Append();
  table.Delete(); // abandons the new row
  EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(column("Source"), (std::vector<std::string>{"A", "B", "C"}));

  table.moveTo(1);
  table.Delete();
  EXPECT_EQ(table.FieldByName("Source").AsString(), "C");
  table.Delete(); // the last row: the one before it becomes current
  EXPECT_EQ(table.FieldByName("Source").AsString(), "A");
  table.Delete();
  EXPECT_EQ(table.RecordCount(), 0u);
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.currentRow(), std::nullopt);
}

TEST_F(ConfigTable, WalkingVisitsEveryRowOnceInOrder) {
  table.Open();
  EXPECT_EQ(column("Source"), std::vector<std::string>{});
  for (const char* source : {"P1", "P2", "P3"})
    appendRow(table, {source});
  EXPECT_EQ(column("Source"), (std::vector<std::string>{"P1", "P2", "P3"}));
  EXPECT_EQ(table.currentRow(), 2u) << "Next on the last row stays there";
}

TEST_F(ConfigTable, ClosingKeepsRowsOnlyWithPersistentData) {
  table.Open();
  appendRow(table, {"A"});
  table.Append();
  table.Close(); // drops the pending new row
  EXPECT_EQ(table.RecordCount(), 0u);
  EXPECT_EQ(table.FieldByName("Source").AsString(), "");
  table.Open();
  EXPECT_EQ(column("Source"), std::vector<std::string>{"A"});

  table.SetOptions(0);
  table.Close();
  table.Open();
  EXPECT_EQ(table.RecordCount(), 0u);
}

TEST_F(ConfigTable, OperationsOutsideTheirStateFailWithTheComponentName) {
  const std::string closed = "tblConfig: Cannot perform this operation on a closed dataset";
  EXPECT_EQ(messageOf([&] { table.Append(); }), closed);
  EXPECT_EQ(messageOf([&] { table.First(); }), closed);
  EXPECT_EQ(messageOf([&] { table.Delete(); }), closed);
  EXPECT_TRUE(table.Eof());

  table.Open();
  EXPECT_EQ(messageOf([&] { table.AddField("Extra", 4); }),
            "tblConfig: Cannot perform this operation on an open dataset");
  appendRow(table, {"A"});
  EXPECT_EQ(messageOf([&] { table.FieldByName("Source").SetAsString("B"); }),
            "tblConfig: Dataset not in edit or insert mode");
  table.Close();
  table.AddField("Locked", 4, {.readOnly = true});
  table.Open();
  table.Edit();
  EXPECT_EQ(messageOf([&] { table.FieldByName("Locked").SetAsString("x"); }),
            "tblConfig: Field 'Locked' cannot be modified");
  EXPECT_TRUE(table.FieldByName("Locked").IsNull()) << "kept rows gain the new field as null";
}

TEST_F(ConfigTable, EditOnAnEmptyTableStartsANewRow) {
  table.Open();
  table.Edit();
  EXPECT_EQ(table.State(), TDataSetState::dsInsert);
  EXPECT_EQ(table.FieldByName("LabelsText").AsString(), "Labels");
}

TEST_F(ConfigTable, ListenersHearEveryKindOfChangeAndMayRemoveThemselves) {
  std::vector<TTableChange> heard;
  const auto id = table.addChangeListener([&](TTableChange change) { heard.push_back(change); });
  TVirtualTable::ListenerId once = 0;
  int onceCalls = 0;
  once = table.addChangeListener([&](TTableChange) {
    ++onceCalls;
    table.removeChangeListener(once);
  });

  table.Open();
  EXPECT_EQ(onceCalls, 1);
  heard.clear();
  table.AfterInsert = nullptr;
  table.Append();
  EXPECT_EQ(heard, (std::vector{TTableChange::tcStateChanged, TTableChange::tcDataChanged,
                                TTableChange::tcCurrentChanged}));
  heard.clear();
  table.FieldByName("Source").SetAsString("A");
  table.Post();
  EXPECT_EQ(heard, (std::vector{TTableChange::tcRecordChanged, TTableChange::tcStateChanged,
                                TTableChange::tcDataChanged}));
  table.removeChangeListener(id);
  heard.clear();
  table.Close();
  EXPECT_TRUE(heard.empty());
}

} // namespace
} // namespace velmora::formats
