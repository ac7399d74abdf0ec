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
// choice. The widgets are private; each carries its control name as its
// object name (gridConfig, lookSource, btnSetupSave, ...), by which tests
// and tools find it. The UserMessages and the about box belong to the
// program and outlive the window. GUI thread only.
#pragma once

#include "config/app/user_messages.h"
#include "config/dovetack_actions.h"
#include "config/label_design_editor.h"
#include "config/label_setup_writer.h"
#include "config/printer_configuration.h"
#include "config/test_print.h"
#include "formats/virtual_table.h"

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>

#include <array>
#include <functional>

class QBoxLayout;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;
class QTimer;

namespace velmora::config::app {

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
  void setAboutBox(TAboutBox* aboutBox) { aboutBox_ = aboutBox; }

  // The clock pane's text for a moment (the user's short date, long time).
  static QString clockText(const QDateTime& moment);

private:
  // A control of the selected row's fields (kRowFieldControls): a printer
  // choice or a line of free text.
  struct RowField {
    const RowFieldControl* description = nullptr;
    PrinterChoiceBox* choice = nullptr;
    QLineEdit* edit = nullptr;
    QWidget* control() const;
  };

  // The "Setup" page: the configured printers on the left, the help and the
  // page's buttons on the right.
  QWidget* buildSetupPage();
  QWidget* buildPrinterPanel(QWidget* page);
  QTableView* buildPrinterGrid(QWidget* parent);
  QFormLayout* buildRowFields(QWidget* parent);
  QBoxLayout* buildPrinterButtons(QWidget* parent);
  QWidget* buildHelpPanel(QWidget* page);
  void setSetupTabOrder();
  // The "Label Editor" page: the tag list, the design editor with the
  // preview beside it, and the button bar.
  QWidget* buildLabelEditorPage();
  void buildTagList(QWidget* page);
  void buildDesignEditor(QWidget* page);
  QBoxLayout* buildDesignButtons(QWidget* page);
  QSplitter* buildEditorAndPreview(QWidget* page);
  void buildStatusBar();

  void rowFieldChanged(const RowField& field, const QString& value);
  void tblConfigChanged(formats::TTableChange change);
  void showCurrentRow();
  void refreshPrinterChoices();
  void refreshTestPrinters();
  void updateClock();

  UserMessages& messages_;
  TAboutBox* aboutBox_;
  PrinterConfiguration configuration_;
  LabelDesignEditor designEditor_;
  LabelSetupWriter labelSetupWriter_;
  TestPrinterChoice testPrinter_; // tblFake
  DovetackActions actions_{messages_, configuration_, designEditor_, labelSetupWriter_};
  ConfigTableModel* model_ = nullptr;
  QTimer* clockTimer_ = nullptr;
  bool showingRow_ = false;

  // The controls are children of the window, which deletes them.
  QTabWidget* pageMain_ = nullptr;
  QWidget* tabSetup_ = nullptr;
  QWidget* tabLabelEditor_ = nullptr;
  QTableView* gridConfig_ = nullptr;
  std::array<RowField, kRowFieldControls.size()> rowFields_{};
  QPushButton* btnAddPrinter_ = nullptr;
  QPushButton* btnDeletePrinter_ = nullptr;
  QPushButton* btnSetupSave_ = nullptr;
  QPushButton* btnSetupRM_ = nullptr;
  ProgramPictureLabel* ProgramIcon_ = nullptr;
  TagListBox* listTags_ = nullptr;
  QPlainTextEdit* reLabelDesign_ = nullptr;
  QPushButton* btnLoadLast_ = nullptr;
  QPushButton* btnSaveDesign_ = nullptr;
  QPushButton* btnTestDesign_ = nullptr;
  QComboBox* lookTestPrinter_ = nullptr;
  QLabel* lblClock_ = nullptr;
};

} // namespace velmora::config::app
