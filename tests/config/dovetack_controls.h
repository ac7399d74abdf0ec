// The controls of Dovetack's Qt windows for the tests and tools that drive
// them. The windows keep their controls private; these find each one by its
// control name (its object name), so a control that loses or changes its
// name fails the lookup at once.
#pragma once

#include "config/app/about_box.h"
#include "config/app/main_window.h"
#include "config/app/printer_choice_box.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

#include <stdexcept>
#include <string>

namespace velmora::test {

// The child of `parent` named `name` that is a Widget; throws when there is
// none.
template <class Widget> Widget* control(const QObject& parent, const char* name) {
  auto* found = parent.findChild<Widget*>(QLatin1String(name));
  if (!found)
    throw std::logic_error(std::string("no control named ") + name);
  return found;
}

struct MainWindowControls {
  explicit MainWindowControls(config::app::TfrmMain& form) : window(form) {}

  config::app::TfrmMain& window;
  QTabWidget* pageMain = control<QTabWidget>(window, "pageMain");
  QWidget* tabSetup = control<QWidget>(window, "tabSetup");
  QWidget* tabLabelEditor = control<QWidget>(window, "tabLabelEditor");
  QTableView* gridConfig = control<QTableView>(window, "gridConfig");
  config::app::PrinterChoiceBox* lookSource =
      control<config::app::PrinterChoiceBox>(window, "lookSource");
  config::app::PrinterChoiceBox* lookDest =
      control<config::app::PrinterChoiceBox>(window, "lookDest");
  config::app::PrinterChoiceBox* lookBackup =
      control<config::app::PrinterChoiceBox>(window, "lookBackup");
  QLineEdit* editLabelsText = control<QLineEdit>(window, "editLabelsText");
  QLineEdit* editMapText = control<QLineEdit>(window, "editMapText");
  QLineEdit* editTimeText = control<QLineEdit>(window, "editTimeText");
  QLineEdit* editTotalText = control<QLineEdit>(window, "editTotalText");
  QLineEdit* editDesign = control<QLineEdit>(window, "editDesign");
  QLabel* designCaption = control<QLabel>(window, "designCaption");
  QPushButton* btnAddPrinter = control<QPushButton>(window, "btnAddPrinter");
  QPushButton* btnDeletePrinter = control<QPushButton>(window, "btnDeletePrinter");
  QPushButton* btnSetupSave = control<QPushButton>(window, "btnSetupSave");
  QPushButton* btnSetupRM = control<QPushButton>(window, "btnSetupRM");
  QPushButton* btnHealthCheck = control<QPushButton>(window, "btnHealthCheck");
  QLabel* ProgramIcon = control<QLabel>(window, "ProgramIcon");
  QListWidget* listTags = control<QListWidget>(window, "listTags");
  QPlainTextEdit* reLabelDesign = control<QPlainTextEdit>(window, "reLabelDesign");
  QPushButton* btnLoadLast = control<QPushButton>(window, "btnLoadLast");
  QPushButton* btnSaveDesign = control<QPushButton>(window, "btnSaveDesign");
  QPushButton* btnTestDesign = control<QPushButton>(window, "btnTestDesign");
  QComboBox* lookTestPrinter = control<QComboBox>(window, "lookTestPrinter");
  QLabel* clock = control<QLabel>(window, "clock");
};

struct AboutBoxControls {
  explicit AboutBoxControls(config::app::TAboutBox& dialog) : box(dialog) {}

  config::app::TAboutBox& box;
  QLabel* lblProductVersion = control<QLabel>(box, "lblProductVersion");
  QLabel* lblServiceVersion = control<QLabel>(box, "lblServiceVersion");
  QLabel* link = control<QLabel>(box, "link");
  QPushButton* okButton = control<QPushButton>(box, "okButton");
};

} // namespace velmora::test
