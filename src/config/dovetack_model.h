// DovetackModel: the configuration program Dovetack below its windows, the
// same for the Qt window (Linux) and the Win32 one (Windows). It owns what
// the windows edit: the printer configuration (tblConfig and the host's
// printers), the label design file, the host label setup writer, the test
// printer choice (tblFake) and the label preview's size; and it runs every
// action a window forwards to it. Each action runs guarded: an error it
// raises is shown in the error box (showErrorBox) and the program goes on;
// the plain messages and the question go through UserMessages too.
//
// A window reads what it shows from here (configuration(), the test printer
// choice, previewOf()) and hears the printer table's changes through a
// listener; it passes the texts of its controls in and shows what comes
// back. A new action of a window is a method here, tested in-process
// (tests/config/dovetack_model_test.cpp), and one handler in each window.
//
// Ownership: the program owns the model, its UserMessages and its windows;
// the model refers to the messages, which outlive it, and outlives the
// windows. Threads: the window thread only.
#pragma once

#include "config/design_preview.h"
#include "config/label_design_editor.h"
#include "config/label_preview_size.h"
#include "config/label_setup_writer.h"
#include "config/printer_configuration.h"
#include "config/test_print.h"
#include "config/user_messages.h"
#include "formats/virtual_table.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::config {

// The question before unsaved work would be lost (closing the window,
// "&Revert to Last"): what is unsaved, then kSaveChangesQuestion.
inline constexpr std::string_view kSaveChangesQuestion = "Save changes?";
inline constexpr std::string_view kUnsavedDesign =
    "The label design has changes that are not saved.";
inline constexpr std::string_view kUnsavedPrinterList =
    "The printer list has changes that are not saved.";
inline constexpr std::string_view kUnsavedDesignAndPrinterList =
    "The label design and the printer list have changes that are not saved.";

// The question before a test print whose label would not show the design on
// screen (edited, or saved but not yet put into service).
inline constexpr std::string_view kTestPrintDesignQuestion =
    "The spooler prints with the design as it was at the last Save & Activate, not with the "
    "design on screen.\r\n\r\nSave and activate the design before the test print?";

// The main window's pages ("Setup", "Label Editor") and the page that
// Ctrl+Tab or Ctrl+PgDn (`step` 1) and Ctrl+Shift+Tab or Ctrl+PgUp (`step`
// -1) go to from `page`: the next or the previous, round.
inline constexpr int kPageCount = 2;
int pageAfter(int page, int step);

// Said after a test job was written into a folder no spooler serves.
std::string noSpoolerMessage(std::string_view printer);

class DovetackModel final {
public:
  // `sampleTime` gives the text of the test print's time line now, in the
  // user's time format (formatTestPrintTime with the window toolkit's view
  // of the locale); the test print and the preview ask it each time.
  DovetackModel(UserMessages& messages, std::function<std::string()> sampleTime);
  DovetackModel(const DovetackModel&) = delete;
  DovetackModel& operator=(const DovetackModel&) = delete;

  // ---- start-up (the main window's FormCreate)
  // Reads the design file for the editor, then opens the configuration even
  // when the design could not be read. The design's text (CR LF line
  // breaks), or nothing when it could not be read: the editor stays as it is.
  std::optional<std::string> startUp();

  // ---- the printer list ("Setup" page)
  const PrinterConfiguration& configuration() const { return configuration_; }
  // `listener` hears every change of tblConfig, on the window thread, inside
  // the call that made it; the window removes it before it goes.
  formats::TVirtualTable::ListenerId
  addConfigurationListener(formats::TVirtualTable::ChangeListener listener);
  void removeConfigurationListener(formats::TVirtualTable::ListenerId id);

  // True when the new row was started (the window then puts the focus on
  // its Source Printer).
  bool addPrinter();
  void deletePrinter();
  // True when the list was written; a list with problems is refused with
  // one box naming each by its row, and nothing is written.
  bool saveAndActivate();
  // "Setup RM Labels": asks first, then says what was written (and where the
  // copy of the setup as it was is kept) or why not.
  void setupRMLabels();
  // "Health Check": the health check of the data directory as saved (the
  // same report as FerrulinConsole --check), one finding a line, in a box.
  void healthCheck();
  // The user selected grid line `row`: it becomes the current row. False when
  // the table refused (the error was shown): the grid shows the current row
  // again.
  bool selectRow(std::size_t row);
  // The user changed the control of `fieldName` to `value`. False when the
  // table refused it (the error was shown): the control shows what the table
  // holds again.
  bool setFieldValue(std::string_view fieldName, std::string_view value);

  // ---- the label design ("Label Editor" page)
  // "&Revert to Last" over the editor's `editorText`: when that holds
  // changes not saved, asks whether to save them first (Yes saves, No drops
  // them, Cancel keeps the editor as it is). The design file's text (CR LF
  // line breaks), or nothing when the editor keeps its text (cancelled, the
  // save failed or the file could not be read).
  std::optional<std::string> revertToLast(std::string_view editorText);
  // True when the design was written.
  bool saveDesign(std::string_view designText);

  // ---- unsaved work
  // Whether the editor's text (any line breaks) differs from what the last
  // read or save of the design file held (nothing: an empty editor).
  bool designHasUnsavedChanges(std::string_view editorText) const;
  bool printerListHasUnsavedChanges() const { return configuration_.hasUnsavedChanges(); }
  // The user asked to close the window with `editorText` in the editor:
  // asks "Save changes?" when the design or the printer list holds unsaved
  // changes. True when the window may close: nothing unsaved, No, or Yes
  // and every save done (Save Design, then Save & Activate); false on
  // Cancel or when a save failed (its error was shown).
  bool mayClose(std::string_view editorText);
  // A double-click on the tag list with entry `selectedTag` selected
  // (nothing: none) and the editor's selection starting in `line` at
  // `column` (characters): the line with the tag in and the caret's column,
  // or nothing when no entry is selected (the error was shown; the editor
  // stays as it is).
  std::optional<TagInsertion> insertTag(std::string_view line, std::size_t column,
                                        std::optional<std::size_t> selectedTag);

  // The test printer choice: the Source of every printer line in row order,
  // and the line it shows, the first whose Source is exactly the chosen name
  // (nothing before a choice, or when no line holds that name any longer).
  std::vector<std::string> testPrinterChoices() const;
  std::optional<std::size_t> shownTestPrinter() const;
  void chooseTestPrinter(std::string_view name);
  // "Test &Print" to the printer the choice shows, with the sample time now.
  // When the editor's `editorText` holds unsaved changes, or the design was
  // saved after the last Save & Activate, asks first: Yes saves the design
  // and the printer list (Save Design, Save & Activate) and then writes the
  // job, so the label shows the design on screen; No writes it as it is;
  // Cancel, or a save that failed, writes nothing. Once the job is written
  // into a folder no spooler serves (its LOCKSPL.DBF is not locked), says
  // that it waits there.
  void testPrint(std::string_view editorText);

  // ---- the label preview
  const PreviewLabelSize& previewLabelSize() const { return previewLabelSize_; }
  // Takes `size` as a user may choose it (withinPreviewChoices).
  void setPreviewLabelSize(const PreviewLabelSize& size);
  // What the preview shows of `designText` (the editor's text, any line
  // breaks), with the sample time now and the chosen size.
  DesignPreview previewOf(std::string_view designText) const;

private:
  // Runs `action`; an error it raises goes to the error box. False then.
  bool guarded(const std::function<void()>& action);
  // The design file's text, read without a question.
  std::optional<std::string> readDesign();

  UserMessages& messages_;
  std::function<std::string()> sampleTime_;
  PrinterConfiguration configuration_;
  LabelDesignEditor designEditor_;
  LabelSetupWriter labelSetupWriter_;
  TestPrinterChoice testPrinter_; // tblFake
  // The design as the last read or save left the file (CR LF line breaks).
  std::string lastDesign_;
  // A Save Design came after the last Save & Activate: the spooler has not
  // loaded the design file as it stands.
  bool designSavedSinceActivate_ = false;
  PreviewLabelSize previewLabelSize_;
};

} // namespace velmora::config
