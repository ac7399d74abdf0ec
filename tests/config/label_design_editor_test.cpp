// The design file round trip ("&Revert to Last" then "&Save Design") in each
// encoding, and tag insertion into a line.
#include "config/label_design_editor.h"

#include "platform/file_system.h"
#include "platform/unicode.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace velmora::config {
namespace {

using test::readBytes;
using test::TempWorkDir;
using test::writeBytes;

TEST(LabelDesignEditor, RoundTripKeepsTheEncodingAndWritesCrLf) {
  struct Case {
    const char* name;
    std::string fileBytes;
    std::string editorText; // what the editor shows
    std::string savedBytes;
  };
  const Case cases[] = {
      {"UTF-8 mark, LF ends, none at the end", "\xEF\xBB\xBF<Item Name>\nCaf\xC3\xA9\nEnd",
       "<Item Name>\r\nCaf\xC3\xA9\r\nEnd", "\xEF\xBB\xBF<Item Name>\r\nCaf\xC3\xA9\r\nEnd"},
      {"no mark: ANSI code page", "Caf\xE9\rTwo\r\n", "Caf\xC3\xA9\r\nTwo\r\n",
       "Caf\xE9\r\nTwo\r\n"},
      {"no mark, but UTF-8 (as the spooler reads it)", "Caf\xC3\xA9\nTwo", "Caf\xC3\xA9\r\nTwo",
       "Caf\xC3\xA9\r\nTwo"},
      {"a NUL is dropped (as the spooler drops it)", std::string("^XA\0\r\n^XZ", 9), "^XA\r\n^XZ",
       "^XA\r\n^XZ"},
      {"UTF-16 LE",
       std::string("\xFF\xFE"
                   "A\0\n\0B\0",
                   8),
       "A\r\nB",
       std::string("\xFF\xFE"
                   "A\0\r\0\n\0B\0",
                   10)},
      {"UTF-16 BE", std::string("\xFE\xFF\0A\0\r\0\n\0B", 10), "A\r\nB",
       std::string("\xFE\xFF\0A\0\r\0\n\0B", 10)},
      {"empty file", "", "", ""},
  };
  for (const Case& c : cases) {
    TempWorkDir dir;
    writeBytes(dir.path() / "LabelDesign.txt", c.fileBytes);
    LabelDesignEditor editor;
    const std::string text = editor.revertToLast();
    EXPECT_EQ(text, c.editorText) << c.name;
    editor.saveDesign(text);
    EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), c.savedBytes) << c.name;
  }
}

TEST(LabelDesignEditor, EditorLineBreaksAreSavedAsCrLfWithNoneAdded) {
  TempWorkDir dir;
  writeBytes(dir.path() / "LabelDesign.txt", "\xEF\xBB\xBFold");
  LabelDesignEditor editor;
  editor.revertToLast();
  editor.saveDesign("one\ntwo\rthree\r\n\nfive");
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"),
            "\xEF\xBB\xBFone\r\ntwo\r\nthree\r\n\r\nfive");
}

TEST(LabelDesignEditor, WithoutAReadTheSaveIsAnsiWithoutMark) {
  TempWorkDir dir;
  const LabelDesignEditor editor;
  editor.saveDesign("Gr\xC3\xBC\xC3\x9F"
                    "e\n<Phone>");
  EXPECT_EQ(readBytes(dir.path() / "LabelDesign.txt"), "Gr\xFC\xDF"
                                                       "e\r\n<Phone>");
}

TEST(LabelDesignEditor, AMissingFileRaisesTheOpenErrorAndKeepsTheEncoding) {
  TempWorkDir dir;
  writeBytes(dir.path() / "LabelDesign.txt", "\xEF\xBB\xBFx");
  LabelDesignEditor editor;
  editor.revertToLast();
  std::filesystem::remove(dir.path() / "LabelDesign.txt");
  try {
    editor.revertToLast();
    FAIL() << "no error for a missing design file";
  } catch (const platform::FileError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Cannot open file \"", 0), 0u) << error.what();
    EXPECT_NE(std::string(error.what()).find("LabelDesign.txt"), std::string::npos);
  }
  EXPECT_EQ(editor.rememberedEncoding(), formats::TextEncoding::Utf8);
}

TEST(LabelDesignEditor, ADesignThatCannotBeCreatedRaisesTheCreateError) {
  TempWorkDir dir;
  // A folder in the file's place cannot be replaced by the file (this holds
  // for every user, unlike a write-protected folder, which root may write).
  std::filesystem::create_directory(dir.path() / "LabelDesign.txt");
  try {
    LabelDesignEditor().saveDesign("x");
    FAIL() << "no error for a design file that cannot be created";
  } catch (const platform::FileError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Cannot create file \"", 0), 0u) << error.what();
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "LabelDesign.txt"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file left behind";
}

TEST(InsertTag, GoesInBeforeTheCharacterAtTheColumn) {
  struct Case {
    std::string line;
    std::size_t column;
    std::string expected;
  };
  const Case cases[] = {
      {"ABCDEF", 3, "ABC<Phone>DEF"}, // the caret after the third character
      {"ABCD", 1, "A<Phone>BCD"},     // "BC" selected: the selection's start
      {"ABC", 0, "<Phone>ABC"},       // start of the line
      {"ABC", 3, "ABC<Phone>"},       // end of the line
      {"ABC", 9, "ABC<Phone>"},       // past the end
      {"", 0, "<Phone>"},             // an empty editor's line 0
      {"\xC3\xA4\xC3\xB6\xC3\xBC", 2,
       "\xC3\xA4\xC3\xB6<Phone>\xC3\xBC"}, // columns count characters
  };
  for (const Case& c : cases) {
    const TagInsertion result = insertTag(c.line, c.column, "<Phone>");
    EXPECT_EQ(result.line, c.expected) << c.line << " @" << c.column;
    EXPECT_EQ(result.caretColumn, platform::codePointCount(c.expected))
        << c.line << " @" << c.column;
  }
}

TEST(DesignTags, TheListInItsOrderAndNoEntrySelectedRaises) {
  ASSERT_EQ(designTagCount(), 18u);
  EXPECT_EQ(designTagAt(0), "<Address>");
  EXPECT_EQ(designTagAt(13), "<Phone>");
  EXPECT_EQ(designTagAt(17), "<Transaction Description>");
  for (std::size_t entry = 1; entry < designTagCount(); ++entry)
    EXPECT_LT(designTagAt(entry - 1), designTagAt(entry)); // kept sorted
  try {
    designTagAt(std::nullopt);
    ADD_FAILURE() << "no error";
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "List index out of bounds (-1)");
  }
}

} // namespace
} // namespace velmora::config
