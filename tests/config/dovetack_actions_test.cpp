// Dovetack's button actions as both windows run them: what reaches the user
// through the messages, and that an action's error is shown, not thrown.
#include "config/dovetack_actions.h"

#include "config/test_print.h"
#include "platform/file_system.h"
#include "recording_messages.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace velmora::config {
namespace {

using test::RecordingMessages;
using test::TempWorkDir;

class DovetackActionsTest : public ::testing::Test {
protected:
  TempWorkDir dir;
  RecordingMessages messages;
  PrinterConfiguration configuration;
  LabelDesignEditor designEditor;
  LabelSetupWriter labelSetupWriter;
  DovetackActions actions{messages, configuration, designEditor, labelSetupWriter};
};

TEST_F(DovetackActionsTest, AnActionsErrorIsShownWithItsCauseAndTheWindowGoesOn) {
  EXPECT_TRUE(actions.guarded([] {}));
  EXPECT_FALSE(
      actions.guarded([] { throw platform::FileError("Cannot open file", "the disk is gone"); }));
  EXPECT_FALSE(actions.guarded([] { throw std::runtime_error("Invalid value"); }));
  ASSERT_EQ(messages.errors.size(), 2u);
  EXPECT_EQ(messages.errors[0], errorBoxText("Cannot open file"));
  EXPECT_EQ(messages.causes[0], "the disk is gone");
  EXPECT_EQ(messages.errors[1], errorBoxText("Invalid value"));
  EXPECT_EQ(messages.causes[1], "");
}

TEST_F(DovetackActionsTest, SetupRMLabelsAsksFirstAndANoWritesNothing) {
  messages.answerYes = false;
  actions.setupRMLabels();
  ASSERT_EQ(messages.questions.size(), 1u);
  EXPECT_EQ(messages.questions[0],
            std::string(kSetupQuestionTitle) + "|" + std::string(kSetupQuestion));
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0], kSetupAborted);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "LBLPRDEF.DBF"));
}

TEST_F(DovetackActionsTest, TestPrintSaysWhatKeptItFromPrinting) {
  actions.testPrint("", "02:09 PM");
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0], kNoTestPrinterMessage);

  actions.testPrint("GONE", "02:09 PM"); // no such printer folder
  ASSERT_EQ(messages.errors.size(), 1u);
  EXPECT_NE(messages.errors[0].find("Cannot create file"), std::string::npos) << messages.errors[0];
  EXPECT_FALSE(messages.causes[0].empty());

  std::filesystem::create_directory(dir.path() / "PREP1");
  actions.testPrint("PREP1", "02:09 PM");
  EXPECT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.errors.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "PREP1" / "TestLabel.spl"));
}

} // namespace
} // namespace velmora::config
