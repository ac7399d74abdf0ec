// formMain: Dovetack's main window TfrmMain. Caption "Velmora Rizizar
// Configerator", client area 633 x 447, centred; the page control pageMain
// with the pages "Setup" (tabSetup: the printer configuration, the help
// texts, the program picture, "&Save && Activate" and "Setup RM Labels")
// and "Label Editor" (tabLabelEditor: the tag list, the design editor and
// the test print), and a status bar whose right-hand pane is a clock.
//
// The window is thin: every action forwards to the operations of
// src/config and shows what they raise in the error box. It owns those
// operations (the configuration tables, the design file, the label setup
// writer), its widgets and the scratch table tblFake of the test printer
// choice. The UserMessages and the about box belong to the program and
// outlive the window. GUI thread only.
#pragma once

#include "config/app/user_messages.h"
#include "config/label_design_editor.h"
#include "config/label_setup_writer.h"
#include "config/printer_configuration.h"
#include "config/test_print.h"
#include "formats/virtual_table.h"

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>

#include <functional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;

namespace velmora::dovetack {

class ConfigTableModel;
class PrinterChoiceBox;
class TAboutBox;

// The program picture on the "Setup" page; a double-click asks for the
// about box.
class ProgramPictureLabel final : public QLabel {
  Q_OBJECT
public:
  explicit ProgramPictureLabel(QWidget* parent = nullptr);
signals:
  void doubleClicked();

protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The tag list; reports every double-click, on an entry or beside them.
class TagListBox final : public QListWidget {
  Q_OBJECT
public:
  explicit TagListBox(QWidget* parent = nullptr);
signals:
  void doubleClicked();

protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class TfrmMain final : public QMainWindow {
  Q_OBJECT
public:
  // Builds the window and runs the start-up sequence (FormCreate).
  TfrmMain(UserMessages& messages, TAboutBox* aboutBox, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // ---- handlers, as the buttons and lists call them
  void FormCreate();
  void btnAddPrinterClick();
  void btnDeletePrinterClick();
  void btnSetupSaveClick();
  void btnSetupRMClick();
  void btnLoadLastClick();
  void btnSaveDesignClick();
  void btnTestDesignClick();
  void listTagsDblClick();
  void ProgramIconDblClick();

  // The about box that a double-click on the program picture shows.
  void SetAboutBox(TAboutBox* aboutBox) { aboutBox_ = aboutBox; }

  config::PrinterConfiguration& Configuration() { return configuration_; }
  // The clock pane's text for a moment (the user's short date, long time).
  static QString ClockText(const QDateTime& moment);

  // ---- components
  QTabWidget* pageMain = nullptr;
  QWidget* tabSetup = nullptr;
  QWidget* tabLabelEditor = nullptr;
  QTableView* gridConfig = nullptr;
  PrinterChoiceBox* lookSource = nullptr;
  PrinterChoiceBox* lookDest = nullptr;
  PrinterChoiceBox* lookBackup = nullptr;
  QLineEdit* editLabelsText = nullptr;
  QLineEdit* editMapText = nullptr;
  QLineEdit* editTimeText = nullptr;
  QLineEdit* editTotalText = nullptr;
  QLineEdit* editDesign = nullptr;
  QLabel* lblDesign = nullptr;
  QPushButton* btnAddPrinter = nullptr;
  QPushButton* btnDeletePrinter = nullptr;
  QPushButton* btnSetupSave = nullptr;
  QPushButton* btnSetupRM = nullptr;
  ProgramPictureLabel* ProgramIcon = nullptr;
  TagListBox* listTags = nullptr;
  QPlainTextEdit* reLabelDesign = nullptr;
  QPushButton* btnLoadLast = nullptr;
  QPushButton* btnSaveDesign = nullptr;
  QPushButton* btnTestDesign = nullptr;
  QComboBox* lookTestPrinter = nullptr;
  QLabel* lblClock = nullptr;

private:
  QWidget* BuildSetupPage();
  QWidget* BuildLabelEditorPage();
  // Runs an action; an error it raises goes to the error box. False then.
  bool Guarded(const std::function<void()>& action);
  void tblConfigChanged(formats::TTableChange change);
  void ShowCurrentRow();
  void RefreshPrinterChoices();
  void RefreshTestPrinters();
  void UpdateClock();

  UserMessages& messages_;
  TAboutBox* aboutBox_;
  config::PrinterConfiguration configuration_;
  config::LabelDesignEditor designEditor_;
  config::LabelSetupWriter labelSetupWriter_;
  config::TestPrinterChoice testPrinter_; // tblFake
  ConfigTableModel* model_ = nullptr;
  QTimer* clockTimer_ = nullptr;
  bool showingRow_ = false;
};

} // namespace velmora::dovetack
