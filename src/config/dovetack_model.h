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

  void addPrinter();
  void deletePrinter();
  void saveAndActivate();
  // "Setup RM Labels": asks first, then says what was written or why not.
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
  // "&Revert to Last": the design file's text (CR LF line breaks), or
  // nothing when it could not be read (the editor keeps its text).
  std::optional<std::string> revertToLast();
  void saveDesign(std::string_view designText);
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
  void testPrint();

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

  UserMessages& messages_;
  std::function<std::string()> sampleTime_;
  PrinterConfiguration configuration_;
  LabelDesignEditor designEditor_;
  LabelSetupWriter labelSetupWriter_;
  TestPrinterChoice testPrinter_; // tblFake
  PreviewLabelSize previewLabelSize_;
};

} // namespace velmora::config
