#include "config/dovetack_actions.h"

#include "config/test_print.h"

#include <exception>
#include <string_view>

namespace velmora::config {

DovetackActions::DovetackActions(UserMessages& messages, PrinterConfiguration& configuration,
                                 LabelDesignEditor& designEditor,
                                 LabelSetupWriter& labelSetupWriter)
    : messages_(messages), configuration_(configuration), designEditor_(designEditor),
      labelSetupWriter_(labelSetupWriter) {}

bool DovetackActions::guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    showErrorBox(messages_, error);
    return false;
  }
}

void DovetackActions::openConfiguration() {
  guarded([this] { configuration_.OpenConfiguration(); });
}

void DovetackActions::addPrinter() {
  guarded([this] { configuration_.addPrinter(); });
}

void DovetackActions::deletePrinter() {
  guarded([this] { configuration_.deletePrinter(); });
}

void DovetackActions::saveAndActivate() {
  guarded([this] { configuration_.saveAndActivate(); });
}

void DovetackActions::setupRMLabels() {
  guarded([this] {
    const bool confirmed =
        messages_.askYesNo(std::string(kSetupQuestionTitle), std::string(kSetupQuestion));
    messages_.showMessage(std::string(labelSetupWriter_.setupRMLabels(confirmed)));
  });
}

void DovetackActions::saveDesign(const std::string& designText) {
  guarded([&] { designEditor_.saveDesign(designText); });
}

void DovetackActions::testPrint(const std::string& printerName, const std::string& timeText) {
  guarded([&] {
    const std::string_view message = config::testPrint(printerName, timeText);
    if (!message.empty())
      messages_.showMessage(std::string(message));
  });
}

} // namespace velmora::config
