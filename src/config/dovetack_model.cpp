#include "config/dovetack_model.h"

#include "spooler/health_check.h"
#include "xbase/host_layout.h"

#include <exception>
#include <utility>

namespace velmora::config {

int pageAfter(int page, int step) {
  return ((page + step) % kPageCount + kPageCount) % kPageCount;
}

std::string noSpoolerMessage(std::string_view printer) {
  const std::string name(printer);
  return "No spooler serves " + name + " now (its " + xbase::kLockTableName +
         " is not locked): the test job waits in the folder " + name + " until a spooler takes it.";
}

DovetackModel::DovetackModel(UserMessages& messages, std::function<std::string()> sampleTime)
    : messages_(messages), sampleTime_(std::move(sampleTime)) {}

bool DovetackModel::guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    showErrorBox(messages_, error);
    return false;
  }
}

std::optional<std::string> DovetackModel::startUp() {
  std::optional<std::string> design = readDesign(); // a failure is shown and the start goes on
  guarded([this] { configuration_.OpenConfiguration(); });
  return design;
}

formats::TVirtualTable::ListenerId
DovetackModel::addConfigurationListener(formats::TVirtualTable::ChangeListener listener) {
  return configuration_.tblConfig().addChangeListener(std::move(listener));
}

void DovetackModel::removeConfigurationListener(formats::TVirtualTable::ListenerId id) {
  configuration_.tblConfig().removeChangeListener(id);
}

bool DovetackModel::addPrinter() {
  return guarded([this] { configuration_.addPrinter(); });
}

void DovetackModel::deletePrinter() {
  guarded([this] { configuration_.deletePrinter(); });
}

bool DovetackModel::saveAndActivate() {
  return guarded([this] {
    configuration_.saveAndActivate();
    designSavedSinceActivate_ = false;
  });
}

void DovetackModel::setupRMLabels() {
  guarded([this] {
    const bool confirmed =
        messages_.askYesNo(std::string(kSetupQuestionTitle), std::string(kSetupQuestion));
    std::string message(labelSetupWriter_.setupRMLabels(confirmed));
    if (message == kSetupApplied && !labelSetupWriter_.keptCopy().empty())
      message += std::string(kSetupCopyKept) + labelSetupWriter_.keptCopy();
    messages_.showMessage(message);
  });
}

void DovetackModel::healthCheck() {
  guarded(
      [this] { messages_.showMessage(spooler::healthReportText(spooler::checkDataDirectory())); });
}

bool DovetackModel::selectRow(std::size_t row) {
  if (configuration_.tblConfig().currentRow() == row)
    return true;
  return guarded([&] { configuration_.tblConfig().moveTo(row); });
}

bool DovetackModel::setFieldValue(std::string_view fieldName, std::string_view value) {
  return guarded([&] { configuration_.setFieldValue(fieldName, value); });
}

std::optional<std::string> DovetackModel::readDesign() {
  std::optional<std::string> text;
  guarded([&] {
    text = designEditor_.revertToLast();
    lastDesign_ = *text;
  });
  return text;
}

std::optional<std::string> DovetackModel::revertToLast(std::string_view editorText) {
  if (designHasUnsavedChanges(editorText)) {
    const Answer answer = messages_.askYesNoCancel(std::string(kUnsavedDesign) + "\r\n\r\n" +
                                                   std::string(kSaveChangesQuestion));
    if (answer == Answer::Cancel || (answer == Answer::Yes && !saveDesign(editorText)))
      return std::nullopt;
  }
  return readDesign();
}

bool DovetackModel::saveDesign(std::string_view designText) {
  return guarded([&] {
    designEditor_.saveDesign(designText);
    lastDesign_ = withCrLfLineBreaks(designText);
    designSavedSinceActivate_ = true;
  });
}

bool DovetackModel::designHasUnsavedChanges(std::string_view editorText) const {
  return withCrLfLineBreaks(editorText) != lastDesign_;
}

bool DovetackModel::mayClose(std::string_view editorText) {
  const bool design = designHasUnsavedChanges(editorText);
  const bool printers = printerListHasUnsavedChanges();
  if (!design && !printers)
    return true;
  const std::string_view what = design && printers ? kUnsavedDesignAndPrinterList
                                : design           ? kUnsavedDesign
                                                   : kUnsavedPrinterList;
  switch (messages_.askYesNoCancel(std::string(what) + "\r\n\r\n" +
                                   std::string(kSaveChangesQuestion))) {
  case Answer::Yes:
    return (!design || saveDesign(editorText)) && (!printers || saveAndActivate());
  case Answer::No:
    return true;
  case Answer::Cancel:
    break;
  }
  return false;
}

std::optional<TagInsertion> DovetackModel::insertTag(std::string_view line, std::size_t column,
                                                     std::optional<std::size_t> selectedTag) {
  std::optional<TagInsertion> inserted;
  guarded([&] { inserted = config::insertTag(line, column, designTagAt(selectedTag)); });
  return inserted;
}

std::vector<std::string> DovetackModel::testPrinterChoices() const {
  return configuration_.sourcePrinters();
}

std::optional<std::size_t> DovetackModel::shownTestPrinter() const {
  const std::string chosen = testPrinter_.chosen();
  if (chosen.empty())
    return std::nullopt;
  const std::vector<std::string> choices = testPrinterChoices();
  for (std::size_t line = 0; line < choices.size(); ++line)
    if (choices[line] == chosen)
      return line;
  return std::nullopt;
}

void DovetackModel::chooseTestPrinter(std::string_view name) {
  guarded([&] { testPrinter_.choose(name); });
}

void DovetackModel::testPrint(std::string_view editorText) {
  guarded([&] {
    const std::optional<std::size_t> line = shownTestPrinter();
    const std::string printer = line ? testPrinterChoices()[*line] : std::string();
    if (!printer.empty() && (designHasUnsavedChanges(editorText) || designSavedSinceActivate_)) {
      const Answer answer = messages_.askYesNoCancel(std::string(kTestPrintDesignQuestion));
      if (answer == Answer::Cancel ||
          (answer == Answer::Yes && !(saveDesign(editorText) && saveAndActivate())))
        return;
    }
    const std::string_view message = config::testPrint(printer, sampleTime_());
    if (!message.empty())
      messages_.showMessage(std::string(message));
    else if (xbase::probeDestination(printer) == xbase::DestinationState::Down)
      messages_.showMessage(noSpoolerMessage(printer));
  });
}

void DovetackModel::setPreviewLabelSize(const PreviewLabelSize& size) {
  previewLabelSize_ = withinPreviewChoices(size);
}

DesignPreview DovetackModel::previewOf(std::string_view designText) const {
  return designPreview(designText, sampleTime_(), previewLabelSize_);
}

} // namespace velmora::config
