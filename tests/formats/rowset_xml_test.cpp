#include "formats/rowset_xml.h"
#include "formats/virtual_table.h"

#include "config_table_fixture.h"
#include "platform/file_system.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace velmora::formats {
namespace {

using test::appendRow;
using test::readBytes;
using test::snapshot;
using test::TableSnapshot;
using test::writeBytes;

constexpr const char* kConfigFile = "VelmoraLabelConfig.XML";

// The file of the eight fields and two rows, line by line.
const std::vector<std::string> kExampleLines = {
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' "
    "xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
    "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>",
    "  <s:Schema id='RowsetSchema'>",
    "    <s:ElementType name='row' content='eltOnly' rs:updatable='true'>",
    "      <s:AttributeType name='Source' rs:number='1' rs:nullable='true' rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='8' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:AttributeType name='Dest' rs:number='2' rs:nullable='true' rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='8' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:AttributeType name='Backup' rs:number='3' rs:nullable='true' rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='8' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:AttributeType name='Design' rs:number='4' rs:nullable='true' rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='25' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:AttributeType name='LabelsText' rs:number='5' rs:nullable='true' "
    "rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='15' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:AttributeType name='MapText' rs:number='6' rs:nullable='true' "
    "rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='15' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:AttributeType name='TimeText' rs:number='7' rs:nullable='true' "
    "rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='15' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:AttributeType name='TotalText' rs:number='8' rs:nullable='true' "
    "rs:writeunknown='true'>",
    "        <s:datatype dt:type='string' dt:maxLength='15' rs:dbtype='str' />",
    "      </s:AttributeType>",
    "      <s:extends type='rs:rowbase' />",
    "    </s:ElementType>",
    "  </s:Schema>",
    "  <rs:data>",
    "    <z:row Source='PREP1' Dest='LABEL1' Backup='LABEL2' Design='LabelDesign.txt' "
    "LabelsText='Labels' MapText='Map:' TimeText='Time:' TotalText='Total' />",
    "    <z:row Source='BAR' Dest='LABEL2' Design='Bar &#x26; Grill.txt' LabelsText='Labels' "
    "MapText='Map:' TimeText='' TotalText='Order&#x27;s Total' />",
    "  </rs:data>",
    "</xml>",
};

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i)
    text += (i ? "\r\n" : "") + lines[i];
  return text;
}

std::string exampleFile() {
  return joinLines(kExampleLines);
}

// The same without its two rows: 33 lines.
std::string emptyFile() {
  auto lines = kExampleLines;
  lines.erase(lines.begin() + 31, lines.begin() + 33);
  return joinLines(lines);
}

const std::vector<Row> kExampleRows = {
    {"PREP1", "LABEL1", "LABEL2", "LabelDesign.txt", "Labels", "Map:", "Time:", "Total"},
    {"BAR", "LABEL2", std::nullopt, "Bar & Grill.txt", "Labels", "Map:", "", "Order's Total"},
};

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
  for (auto pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
    text.replace(pos, from.size(), to);
  return text;
}

// A hand-made file: the given attribute types and rows.
std::string handMade(const std::string& attributeTypes, const std::string& rows) {
  return "<xml><s:Schema id='RowsetSchema'><s:ElementType name='row'>" + attributeTypes +
         "</s:ElementType></s:Schema><rs:data>" + rows + "</rs:data></xml>";
}

std::string textField(const std::string& name, int width, const std::string& extra = "") {
  return "<s:AttributeType name='" + name + "'" + extra +
         "><s:datatype dt:type='string' dt:maxLength='" + std::to_string(width) +
         "' rs:dbtype='str'/></s:AttributeType>";
}

class ConfigFile : public ::testing::Test {
protected:
  // The spooler's table: starts with the eight fields, no persistent data.
  ConfigFile() { addConfigurationFields(table); }

  void fillExample(TVirtualTable& target) {
    target.Open();
    for (const auto& row : kExampleRows)
      appendRow(target, row);
  }

  // Loads `content` through a file; the error's text, or "" when it loaded.
  std::string load(const std::string& content, TVirtualTable& target, bool loadFields = true) {
    writeBytes(kConfigFile, content);
    try {
      target.LoadFromFile(kConfigFile, loadFields);
    } catch (const EDatabaseError& error) {
      return error.what();
    }
    return "";
  }
  std::string load(const std::string& content) { return load(content, table); }

  test::TempWorkDir dir;
  TVirtualTable table{"tblConfig"};
};

TEST_F(ConfigFile, SavesTheTwoRowExampleByteForByte) {
  fillExample(table);
  table.SaveToXML(kConfigFile);
  EXPECT_EQ(readBytes(kConfigFile), exampleFile());
}

TEST_F(ConfigFile, SavingAClosedTableWritesThe33LineFileAndLeavesItClosed) {
  table.SaveToXML(kConfigFile);
  const std::string bytes = readBytes(kConfigFile);
  EXPECT_EQ(bytes, emptyFile());
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 32);
  EXPECT_FALSE(table.Active());

  // With persistent data a closed table's rows are saved too.
  TVirtualTable editor("tblConfig", voPersistentData);
  addConfigurationFields(editor);
  fillExample(editor);
  editor.Close();
  editor.SaveToXML(kConfigFile);
  EXPECT_EQ(readBytes(kConfigFile), exampleFile());
  EXPECT_FALSE(editor.Active());
}

TEST_F(ConfigFile, SavingKeepsTheStateAndTheCurrentRow) {
  fillExample(table);
  table.moveTo(1);
  table.Edit();
  table.FieldByName("Source").SetAsString("PENDING");
  table.SaveToXML(kConfigFile);
  EXPECT_EQ(readBytes(kConfigFile), exampleFile()) << "only posted rows are saved";
  EXPECT_EQ(table.State(), TDataSetState::dsEdit);
  EXPECT_EQ(table.currentRow(), 1u);
  EXPECT_EQ(table.FieldByName("Source").AsString(), "PENDING");
}

TEST_F(ConfigFile, ReadsTheExampleBackOpenOnItsFirstRow) {
  TVirtualTable editor("tblConfig", voPersistentData);
  addConfigurationFields(editor);
  fillExample(editor);
  const TableSnapshot expected = snapshot(editor);

  ASSERT_EQ(load(exampleFile()), "");
  EXPECT_EQ(snapshot(table), expected);
  EXPECT_EQ(table.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(table.currentRow(), 0u);
  table.Next();
  EXPECT_TRUE(table.FieldByName("BACKUP").IsNull());
  EXPECT_FALSE(table.FieldByName("TIMETEXT").IsNull());
  EXPECT_EQ(table.FieldByName("Design").AsString(), "Bar & Grill.txt");
  EXPECT_EQ(table.FieldByName("TotalText").AsString(), "Order's Total");
}

TEST(RowsetValue, EscapesTheFiveCharactersAndNothingElse) {
  EXPECT_EQ(escapeXmlValue("a&'\"<>\t\r\n&lt;é"),
            "a&#x26;&#x27;&#x22;&#x3c;&#x3e;\t\r\n&#x26;lt;é");
}

TEST(RowsetValue, DecodingIsOneLeftToRightPassWithCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"&#x27;&#x39;&#x92;&#x96;", "''''"},
      {"&#x22;&quot;&#x3c;&lt;&#x3e;&gt;", "\"\"<<>>"},
      {"&#x26;&amp;&#13;&#10;", "&&\r\n"},
      {"&#x26;lt;", "&lt;"}, // the produced text is not scanned again
      {"&amp;amp;", "&amp;"},
      {"&apos;&#39;", "&apos;&#39;"},           // not in the table
      {"&#X27;&QUOT;&Lt;", "&#X27;&QUOT;&Lt;"}, // matched with case
      {"&#x2", "&#x2"},
      {"a & b &", "a & b &"},
  };
  for (const auto& [encoded, decoded] : cases)
    EXPECT_EQ(decodeXmlValue(encoded), decoded) << encoded;
}

TEST_F(ConfigFile, GeneratedTablesSurviveASaveAndALoad) {
  std::mt19937 random(20261210);
  const std::vector<std::string> pieces = {"a",  "Z", "7",  " ",  "&",  "'",      "\"",
                                           "<",  ">", "\t", "\r", "\n", "é",      "€",
                                           "日", "😀", ";",  "=",  "/",  "&#x27;", "&amp;"};
  std::vector<std::string> names = {"Source", "Dest", "Map Text", "2nd",     "Größe",
                                    "c1",     "C3",   "x_y",      "Notes:1", "a-b"};
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TVirtualTable original("tblConfig", voPersistentData);
    std::shuffle(names.begin(), names.end(), random);
    const std::size_t fieldCount = 1 + pick(6);
    for (std::size_t f = 0; f < fieldCount; ++f)
      original.AddField(names[f], 1 + pick(20),
                        {.required = pick(4) == 0, .fixedWidth = pick(4) == 0});
    original.Open();
    const std::size_t rowCount = pick(6);
    for (std::size_t r = 0; r < rowCount; ++r) {
      original.Append();
      for (std::size_t f = 0; f < fieldCount; ++f) {
        const std::size_t kind = pick(4);
        if (kind == 0)
          continue; // null
        std::string value;
        for (std::size_t n = kind == 1 ? 0 : pick(original.Fields(f).Size() + 4); n > 0; --n)
          value += pieces[pick(pieces.size())];
        original.Fields(f).SetAsString(value);
      }
      original.Post();
    }

    original.SaveToXML(kConfigFile);
    const std::string saved = readBytes(kConfigFile);
    TVirtualTable loaded("tblConfig");
    loaded.LoadFromFile(kConfigFile, true);
    ASSERT_EQ(snapshot(loaded), snapshot(original)) << saved;
    loaded.SaveToXML(kConfigFile);
    ASSERT_EQ(readBytes(kConfigFile), saved);
  }
}

TEST_F(ConfigFile, AliasesNeverTakeARealFieldsName) {
  TVirtualTable editor("tblConfig", voPersistentData);
  editor.AddField("c1", 5);
  editor.AddField("Map Text", 5);
  editor.AddField("C2", 5);
  editor.AddField("2nd", 5);
  editor.Open();
  appendRow(editor, {"one", "two", "three", "four"});
  const std::string saved = editor.saveToXmlString();
  EXPECT_NE(saved.find("name='c3' rs:name='Map Text' rs:number='2'"), std::string::npos) << saved;
  EXPECT_NE(saved.find("name='c4' rs:name='2nd' rs:number='4'"), std::string::npos);
  EXPECT_NE(saved.find("<z:row c1='one' c3='two' C2='three' c4='four' />"), std::string::npos);
  ASSERT_EQ(load(saved), "");
  EXPECT_EQ(snapshot(table), snapshot(editor));
}

TEST_F(ConfigFile, HandWrittenVariantsLoadLikeTheWrittenFile) {
  ASSERT_EQ(load(exampleFile()), "");
  const TableSnapshot expected = snapshot(table);
  const std::string example = exampleFile();
  const std::string declaration = "<?xml version='1.0' encoding='UTF-8'?>\r\n";
  const std::pair<const char*, std::string> variants[] = {
      {"byte-order mark", "\xEF\xBB\xBF" + example},
      {"declaration", declaration + example},
      {"mark and declaration", "\xEF\xBB\xBF" + declaration + example},
      {"document type", declaration + "<!DOCTYPE xml [<!ELEMENT row ANY>]>\n" + example},
      {"comments",
       replaceAll(replaceAll(example, "  <rs:data>", "<!-- <z:row Source='NO'/> -->  <rs:data>"),
                  "<s:extends", "<!-- Schema --><s:extends")},
      {"double quotes", replaceAll(example, "'", "\"")},
      {"LF line ends", replaceAll(example, "\r\n", "\n")},
      {"tabs and line breaks in tags",
       replaceAll(replaceAll(example, "<z:row ", "<z:row\r\n\t"), " Dest=", "\tDest=")},
      {"no blank before />", replaceAll(example, "' />", "'/>")},
      {"upper-case tag names",
       replaceAll(replaceAll(replaceAll(example, "z:row", "Z:ROW"), "s:datatype", "S:DATATYPE"),
                  "s:Schema", "S:SCHEMA")},
      {"blanks around =", replaceAll(example, "Source='", "Source = '")},
  };
  for (const auto& [what, content] : variants) {
    TVirtualTable fresh("tblConfig");
    EXPECT_EQ(load(content, fresh), "") << what;
    EXPECT_EQ(snapshot(fresh), expected) << what;
  }
}

// Saved by hand in an editor's "ANSI" (Windows-1252 here), the file is no
// UTF-8: it is read in the ANSI code page instead of turning its accents into
// U+FFFD. A file with the UTF-8 mark says what it is, and is read as UTF-8.
TEST_F(ConfigFile, AFileThatIsNotUtf8IsReadInTheAnsiCodePage) {
  const std::string utf8 = replaceAll(replaceAll(exampleFile(), "Dest='LABEL1'",
                                                 "Dest='L\xC3\x84"
                                                 "BEL5'"),
                                      "'LabelDesign.txt'", "'\xC3\x89tiquette.txt'");
  const std::string ansi = replaceAll(replaceAll(utf8, "L\xC3\x84", "L\xC4"), "\xC3\x89", "\xC9");
  struct Case {
    const char* what;
    std::string content;
    const char* dest;
    const char* design;
  };
  const Case cases[] = {
      {"UTF-8, as both programs write it", utf8,
       "L\u00c4"
       "BEL5",
       "\u00c9tiquette.txt"},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8,
       "L\u00c4"
       "BEL5",
       "\u00c9tiquette.txt"},
      {"Windows-1252", ansi,
       "L\u00c4"
       "BEL5",
       "\u00c9tiquette.txt"},
      {"Windows-1252 behind a UTF-8 mark", "\xEF\xBB\xBF" + ansi,
       "L\uFFFD"
       "BEL5",
       "\uFFFDtiquette.txt"},
  };
  for (const Case& c : cases) {
    TVirtualTable fresh("tblConfig");
    ASSERT_EQ(load(c.content, fresh), "") << c.what;
    EXPECT_EQ(fresh.FieldByName("Dest").AsString(), c.dest) << c.what;
    EXPECT_EQ(fresh.FieldByName("Design").AsString(), c.design) << c.what;
    fresh.Next();
    EXPECT_EQ(fresh.FieldByName("Design").AsString(), "Bar & Grill.txt") << c.what;
  }
}

TEST_F(ConfigFile, ContentThatIsNotXmlIsABrokenFile) {
  const std::string notXml = "tblConfig: Unsupported file format: not an XML rowset";
  for (const std::string& content :
       {" " + exampleFile(), "\r\n" + exampleFile(), "<!-- c -->" + exampleFile(),
        "\xEF\xBB\xBF\xEF\xBB\xBF" + exampleFile(), std::string("<xmm>\0\0\0", 8)}) {
    fillExample(table);
    EXPECT_EQ(load(content), notXml);
    EXPECT_FALSE(table.Active());
    EXPECT_EQ(table.FieldCount(), 0u);
    addConfigurationFields(table);
  }
  // These pass the format test and are then refused for want of a schema.
  EXPECT_EQ(load("<XML>"), "Invalid XML document") << "the letters xml in any case after <";
  EXPECT_EQ(load("<?XmL?>"), "Invalid XML document");
}

// An XML file that is no rowset (no schema, or one that defines no field)
// would load as an open table without fields, to which no row can be added.
TEST_F(ConfigFile, AnXmlFileWithoutASchemaIsRefused) {
  for (const std::string content :
       {"<xml></xml>", "<xml>\r\n  <rs:data>\r\n    <z:row />\r\n  </rs:data>\r\n</xml>",
        "<xml><s:Schema id='RowsetSchema'></s:Schema><rs:data></rs:data></xml>",
        "<?xml version='1.0'?><config><printer name='PREP1'/></config>"}) {
    TVirtualTable editor("tblConfig", voPersistentData);
    addConfigurationFields(editor);
    fillExample(editor);
    EXPECT_EQ(load(content, editor), "Invalid XML document") << content;
    EXPECT_FALSE(editor.Active()) << content;
    EXPECT_EQ(editor.FieldCount(), 0u) << content;
    EXPECT_THROW(editor.Append(), std::exception) << content;
  }
}

TEST_F(ConfigFile, ShortContentFailsWithStreamReadError) {
  for (const std::string content : {"", "<xm", "<xml", "\xEF\xBB\xBF<xm", "\xEF\xBB\xBF<xml>"}) {
    // Long enough, the last one passes the format test but holds no schema.
    const bool longEnough = content.size() == 8;
    EXPECT_EQ(load(content), longEnough ? "Invalid XML document" : "Stream read error") << content;
    EXPECT_FALSE(table.Active());
  }
}

TEST_F(ConfigFile, AnExtraFieldIsLoadedAndWrittenBack) {
  const std::string withNotes = replaceAll(
      replaceAll(exampleFile(), "      <s:extends",
                 "      <s:AttributeType name='Notes' rs:number='9'>\r\n        <s:datatype "
                 "dt:type='string' dt:maxLength='30' rs:dbtype='str' />\r\n      "
                 "</s:AttributeType>\r\n      <s:extends"),
      "TotalText='Total' />", "TotalText='Total' Notes='Ninth column' />");
  ASSERT_EQ(load(withNotes), "");
  ASSERT_EQ(table.FieldCount(), 9u);
  EXPECT_EQ(table.FieldByName("NOTES").AsString(), "Ninth column");
  EXPECT_EQ(table.FieldByName("NOTES").FieldNo(), 9);
  table.SaveToXML(kConfigFile);
  EXPECT_EQ(readBytes(kConfigFile),
            replaceAll(withNotes, "name='Notes' rs:number='9'",
                       "name='Notes' rs:number='9' rs:nullable='true' rs:writeunknown='true'"));
}

TEST_F(ConfigFile, AMissingFieldLoadsAndItsLookupFails) {
  auto lines = kExampleLines;
  lines.erase(lines.begin() + 24, lines.begin() + 27);
  const std::string content = replaceAll(replaceAll(joinLines(lines), " TotalText='Total'", ""),
                                         " TotalText='Order&#x27;s Total'", "");
  ASSERT_EQ(load(content), "");
  EXPECT_EQ(table.FieldCount(), 7u);
  try {
    table.FieldByName("TOTALTEXT");
    ADD_FAILURE() << "TotalText found";
  } catch (const EDatabaseError& error) {
    EXPECT_STREQ(error.what(), "tblConfig: Field 'TOTALTEXT' not found");
  }
}

TEST_F(ConfigFile, ABrokenRowKeepsTheRowsBeforeItOpenOnTheFirst) {
  const std::string fields = textField("Source", 8) + textField("Dest", 8);
  const std::pair<std::string, std::string> cases[] = {
      {"<z:row Source='PREP2' Printer='X' />", "Invalid XML document"},
      {"<z:row Source='PREP2' Dest=-1 />", "Invalid XML"},
      {"<z:row Source='PREP2' Dest='open />", "Invalid XML"},
      {"<z:row Source='PREP2' rs:='x' />", "Invalid XML"},
  };
  for (const auto& [broken, message] : cases) {
    TVirtualTable editor("tblConfig", voPersistentData); // closed before the load
    const std::string content =
        handMade(fields, "<z:row Source='PREP0'/><z:row Source='PREP1' dest='L1'/>" + broken +
                             "<z:row Source='PREP3'/>");
    EXPECT_EQ(load(content, editor), message) << broken;
    EXPECT_EQ(editor.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(editor.RecordCount(), 2u);
    EXPECT_EQ(editor.currentRow(), 0u);
    EXPECT_EQ(editor.FieldByName("Source").AsString(), "PREP0");
  }

  // A file cut off inside a row tag is broken, not shorter.
  EXPECT_EQ(load("<xml><s:Schema>" + fields + "</s:Schema><rs:data><z:row Source='A'/>" +
                 "<z:row Source='B'"),
            "Invalid XML document");
  EXPECT_EQ(table.RecordCount(), 1u);
}

TEST_F(ConfigFile, SchemaErrorsLeaveTheTableClosedWithTheFieldsReadSoFar) {
  const std::string two = textField("Source", 8) + textField("Dest", 8);
  const auto withThird = [&](const std::string& third) { return handMade(two + third, ""); };
  const std::string declaration = "<?xml version='1.0'?>";
  struct Case {
    std::string content;
    std::string message;
    std::size_t fieldsRead;
  };
  const Case cases[] = {
      {withThird("<s:AttributeType name='Count'><s:datatype dt:type='int' rs:dbtype='int'/>"
                 "</s:AttributeType>"),
       "tblConfig: Data type is not supported", 2},
      {withThird("<s:AttributeType name='Memo'><s:datatype dt:type='string' rs:dbtype='str' "
                 "dt:maxLength='10' rs:long='true'/></s:AttributeType>"),
       "tblConfig: Data type is not supported", 2},
      {withThird("<s:AttributeType name='Wide'><s:datatype dt:type='string' "
                 "dt:maxLength='10'/></s:AttributeType>"),
       "tblConfig: Data type is not supported", 2},
      {withThird("<s:AttributeType name='X'><s:datatype dt:maxLength='8'/></s:AttributeType>"),
       "Invalid XML document", 2},
      {"<xml><s:Schema>" + two + "<s:AttributeType name='NoType'></s:AttributeType>",
       "Invalid XML document", 2},
      {withThird("<s:AttributeType name='X'><s:datatype dt:type='string' rs:dbtype='str' "
                 "dt:maxLength=8.5/></s:AttributeType>"),
       "Invalid XML", 2},
      {withThird("<s:AttributeType name='X'><s:datatype dt:type='string' rs:dbtype='str' "
                 "dt:maxLength='many'/></s:AttributeType>"),
       "Invalid XML document", 2},
      {withThird("<s:AttributeType rs:number='3'><s:datatype dt:type='string' rs:dbtype='str' "
                 "dt:maxLength='8'/></s:AttributeType>"),
       "tblConfig: Field name missing", 2},
      {withThird(textField("SOURCE", 4)), "tblConfig: Duplicate field name 'SOURCE'", 2},
      {"<xml><s:Schema>" + two + "<s:AttributeType", "Invalid XML document", 2},
      {"<xml>" + two + "<?pi never closed", "Invalid declaration tag", 2},
      {"<xml>" + two + "<!-- never closed ->", "Invalid comment tag", 2},
      {declaration + "<!DOCTYPE xml>" + handMade(two, ""), "Invalid Document type tag", 0},
      {declaration + "<!DOCTYPE xml [<!ELEMENT row ANY>" + handMade(two, ""),
       "Invalid Document type tag", 0},
  };
  for (const auto& c : cases) {
    TVirtualTable editor("tblConfig", voPersistentData);
    addConfigurationFields(editor);
    fillExample(editor);
    EXPECT_EQ(load(c.content, editor), c.message) << c.content;
    EXPECT_FALSE(editor.Active());
    EXPECT_EQ(editor.FieldCount(), c.fieldsRead) << c.content;
    editor.Open();
    EXPECT_EQ(editor.RecordCount(), 0u) << "former rows gone";
  }
}

TEST_F(ConfigFile, ValuesLongerThanTheWidthAreCutOnLoad) {
  ASSERT_EQ(
      load(handMade(textField("Source", 8), "<z:row Source='PRINTER12345'/>"
                                            "<z:row Source='&#x26;&#x26;&#x26;日本語ÄÖÜ€x'/>")),
      "");
  EXPECT_EQ(table.FieldByName("Source").AsString(), "PRINTER1");
  table.Next();
  EXPECT_EQ(table.FieldByName("Source").AsString(), "&&&日本語ÄÖ");
}

TEST_F(ConfigFile, TagsAndAttributesFollowTheReadingRules) {
  const std::string fields = textField("Source", 8) + textField("c1", 8, " rs:name='Map Text'");
  struct Case {
    const char* what;
    std::string rows;
    std::vector<std::string> sources;
    std::string message = "";
  };
  const Case cases[] = {
      {"an element with text is passed over, tags included",
       "<note>see 1.2<z:row Source='NO'/></note><z:row Source='YES'/>",
       {"YES"}},
      {"blanks and punctuation are not text", "<note> - ( ) <z:row Source='YES'/></note>", {"YES"}},
      {"the element name ends before a slash", "<z:row/><z:row Source='B'/>", {"", "B"}},
      {"attribute names without case, unquoted identifiers, stray words",
       "<Z:Row junk SOURCE=PREP1 / >",
       {"PREP1"}},
      {"an alias matches with case", "<z:row Source='A' c1='m'/>", {"A"}},
      {"an alias in another case matches nothing",
       "<z:row Source='A'/><z:row C1='m'/>",
       {"A"},
       "Invalid XML document"},
      {"end tags and other elements are skipped", "</z:row><z:rows Source='X'/>", {}},
  };
  for (const auto& c : cases) {
    TVirtualTable fresh("tblConfig");
    EXPECT_EQ(load(handMade(fields, c.rows), fresh), c.message) << c.what;
    std::vector<std::string> sources;
    for (fresh.First(); !fresh.Eof(); fresh.Next())
      sources.push_back(fresh.FieldByName("Source").AsString());
    EXPECT_EQ(sources, c.sources) << c.what;
  }
  TVirtualTable aliased("tblConfig");
  ASSERT_EQ(load(handMade(fields, "<z:row c1='&lt;m&gt;'/>"), aliased), "");
  EXPECT_EQ(aliased.FieldByName("map text").AsString(), "<m>");
}

TEST_F(ConfigFile, AMissingFileFailsAndLeavesTheTableAsItWas) {
  fillExample(table);
  table.moveTo(1);
  const TableSnapshot before = snapshot(table);
  try {
    table.LoadFromFile("Missing.XML", true);
    ADD_FAILURE() << "loaded";
  } catch (const platform::FileError& error) {
    // The reason is the system's own text ("No such file or directory").
    EXPECT_FALSE(error.systemText().empty());
    EXPECT_EQ(std::string(error.what()),
              "Cannot open file \"" + (std::filesystem::current_path() / "Missing.XML").string() +
                  "\". " + error.systemText());
  }
  EXPECT_EQ(snapshot(table), before);
  EXPECT_EQ(table.currentRow(), 1u);
}

TEST_F(ConfigFile, ASaveThatCannotCreateTheFileFailsAndLeavesTheTable) {
  fillExample(table);
  const TableSnapshot before = snapshot(table);
  try {
    table.SaveToXML("NoFolder\\VelmoraLabelConfig.XML");
    ADD_FAILURE() << "saved";
  } catch (const platform::FileError& error) {
    EXPECT_FALSE(error.systemText().empty());
    EXPECT_EQ(
        std::string(error.what()),
        "Cannot create file \"" +
            (std::filesystem::current_path() / "NoFolder" / "VelmoraLabelConfig.XML").string() +
            "\". " + error.systemText());
  }
  EXPECT_EQ(snapshot(table), before);
}

TEST_F(ConfigFile, OnlyAClosedPersistentTableIsClosedAgainAfterALoad) {
  struct Case {
    TVirtualTableOptions options;
    bool openBefore;
    bool openAfter;
  };
  for (const Case c : {Case{voPersistentData, false, false}, Case{voPersistentData, true, true},
                       Case{0, false, true}, Case{0, true, true}}) {
    TVirtualTable target("tblConfig", c.options);
    addConfigurationFields(target);
    if (c.openBefore)
      target.Open();
    ASSERT_EQ(load(exampleFile(), target), "");
    EXPECT_EQ(target.Active(), c.openAfter);
    target.Open();
    EXPECT_EQ(target.RecordCount(), 2u) << "rows kept";
    EXPECT_EQ(target.FieldByName("Source").AsString(), "PREP1");
  }
}

TEST_F(ConfigFile, LoadingWithoutTheFilesFieldsKeepsTheTablesOwn) {
  ASSERT_EQ(load(handMade(textField("DEST", 3) + textField("c1", 8, " rs:name='source'"),
                          "<z:row DEST='LABEL9' c1='PREP9'/>"),
                 table, false),
            "");
  EXPECT_EQ(table.FieldCount(), 8u);
  EXPECT_EQ(table.FieldByName("Dest").FieldNo(), 2);
  EXPECT_EQ(table.FieldByName("Dest").AsString(), "LABEL9") << "cut to the table's width";
  EXPECT_EQ(table.FieldByName("Source").AsString(), "PREP9");
  EXPECT_EQ(load(handMade(textField("Printer", 8), "<z:row Printer='P'/>"), table, false),
            "Invalid XML document");
}

// One process saves in a loop while this one loads in a loop: every load sees
// one of the two whole files, or fails to open it; none reads a part.
TEST(ConfigFileConcurrency, ALoadSeesAWholeFileOrFailsToOpenIt) {
  test::TempWorkDir dir;
  const std::string file = (dir.path() / kConfigFile).string();
  const std::string savesFile = (dir.path() / "saves.txt").string();
  TableSnapshot expected[2];
  for (int variant = 0; variant < 2; ++variant) {
    TVirtualTable source("tblConfig");
    test::fillStressTable(source, variant);
    expected[variant] = snapshot(source);
    if (variant == 0)
      source.SaveToXML(file);
  }

  // No redirection and quotes only where a path needs them, so that the
  // command reads the same to a POSIX shell and to cmd.exe.
  const auto quoted = [](const std::string& word) {
    return word.find(' ') == std::string::npos ? word : "\"" + word + "\"";
  };
  const std::string command =
      quoted(VELMORA_CONFIG_SAVE_HELPER) + " " + quoted(file) + " 3000 " + quoted(savesFile);
  std::atomic<bool> saverDone{false};
  int saverStatus = -1;
  std::thread saver([&] {
    saverStatus = std::system(command.c_str());
    saverDone = true;
  });

  int loads[2] = {0, 0};
  int openErrors = 0;
  int failures = 0;
  while (!saverDone && failures < 5) {
    TVirtualTable loaded("tblConfig");
    try {
      loaded.LoadFromFile(file, true);
      const TableSnapshot seen = snapshot(loaded);
      if (seen == expected[0]) {
        ++loads[0];
      } else if (seen == expected[1]) {
        ++loads[1];
      } else {
        ADD_FAILURE() << "a table of " << loaded.RecordCount() << " rows that was never saved";
        ++failures;
      }
    } catch (const platform::FileError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("Cannot open file \"", 0), 0u) << error.what();
      ++openErrors;
    } catch (const EDatabaseError& error) {
      ADD_FAILURE() << "parse error: " << error.what();
      ++failures;
    }
  }
  saver.join();
  EXPECT_EQ(saverStatus, 0);
  const long saves = std::stol(readBytes(savesFile));
  std::printf("saves %ld, loads %d + %d, open errors %d\n", saves, loads[0], loads[1], openErrors);
  EXPECT_GT(saves, 10);
  EXPECT_GT(loads[0], 0);
  EXPECT_GT(loads[1], 0) << "the loads overlapped the saves";
}

} // namespace
} // namespace velmora::formats
