// What Dovetack's buttons do, the same in the Qt and the Win32 window: each
// action runs guarded (an error it raises is shown in the error box and the
// window goes on) and says its result through the user messages. A window
// reads its controls, hands their texts to an action, and redraws from the
// components afterwards.
//
// Window thread. The window owns the components and the actions, which only
// refer to them.
#pragma once

#include "config/label_design_editor.h"
#include "config/label_setup_writer.h"
#include "config/printer_configuration.h"
#include "config/user_messages.h"

#include <functional>
#include <string>

namespace velmora::config {

class DovetackActions {
public:
  DovetackActions(UserMessages& messages, PrinterConfiguration& configuration,
                  LabelDesignEditor& designEditor, LabelSetupWriter& labelSetupWriter);

  // Runs `action`; an error it raises goes to the error box. False then.
  bool guarded(const std::function<void()>& action);

  // The printer list ("Setup" page).
  void openConfiguration();
  void addPrinter();
  void deletePrinter();
  void saveAndActivate();
  // "Setup RM Labels": asks first, then says what was written or why not.
  void setupRMLabels();

  // The label design ("Label Editor" page).
  void saveDesign(const std::string& designText);
  // Test Print to `printerName` with `timeText` (the window's clock in the
  // user's time format), saying what went wrong if it did not go.
  void testPrint(const std::string& printerName, const std::string& timeText);

private:
  UserMessages& messages_;
  PrinterConfiguration& configuration_;
  LabelDesignEditor& designEditor_;
  LabelSetupWriter& labelSetupWriter_;
};

} // namespace velmora::config
