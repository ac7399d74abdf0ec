// Dovetack's main window TfrmMain on Qt (Linux). Caption "Velmora Rizizar
// Configerator", client area 633 x 447, centred; the page control pageMain
// with the pages "Setup" (tabSetup: the printer configuration, the help
// texts, the program picture, "&Save && Activate" and "Setup RM Labels")
// and "Label Editor" (tabLabelEditor: the tag list, the design editor with
// the label preview beside it, and the test print), and a status bar whose
// right-hand pane is a clock.
//
// The window is thin: it shows what the program's DovetackModel holds and
// forwards every click, choice and edit to one of its actions, which show
// their own errors and messages. The widgets are private; each carries its
// control name as its object name (gridConfig, lookSource, btnSetupSave,
// ...), by which tests and tools find it. The model and the about box belong
// to the program and outlive the window. GUI thread only.
#pragma once

#include "config/dovetack_model.h"
#include "config/printer_configuration.h"
#include "formats/virtual_table.h"

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>

#include <array>
#include <string>

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
  // Builds the window over `model` and runs the start-up sequence
  // (FormCreate).
  TfrmMain(DovetackModel& model, TAboutBox* aboutBox, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // ---- handlers, as the buttons and lists call them
  void FormCreate();
  // Whether the window may close: asks first when work is unsaved.
  bool FormCloseQuery();
  void btnAddPrinterClick();
  void btnDeletePrinterClick();
  void btnSetupSaveClick();
  void btnSetupRMClick();
  void btnHealthCheckClick();
  void btnLoadLastClick();
  void btnSaveDesignClick();
  void btnTestDesignClick();
  void listTagsDblClick();
  void ProgramIconDblClick();

  // The about box that a double-click on the program picture shows.
  void setAboutBox(TAboutBox* aboutBox) { aboutBox_ = aboutBox; }

  // The clock pane's text for a moment (the user's short date, long time).
  static QString clockText(const QDateTime& moment);
  // The test print's time text now, in the user's locale (the model's
  // sample time).
  static std::string testPrintTimeNow();

protected:
  void closeEvent(QCloseEvent* event) override;
  // The grid's columns share what the window grows wider.
  void resizeEvent(QResizeEvent* event) override;

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
  void buildShortcuts();

  void rowFieldChanged(const RowField& field, const QString& value);
  void tblConfigChanged(formats::TTableChange change);
  void showCurrentRow();
  void refreshPrinterChoices();
  void refreshTestPrinters();
  // Replaces the editor's text with the design's (CR LF line breaks).
  void showDesign(const std::string& design);
  void updateClock();

  DovetackModel& model_;
  TAboutBox* aboutBox_;
  formats::TVirtualTable::ListenerId configurationListener_ = 0;
  ConfigTableModel* gridModel_ = nullptr;
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
  QPushButton* btnHealthCheck_ = nullptr;
  ProgramPictureLabel* ProgramIcon_ = nullptr;
  TagListBox* listTags_ = nullptr;
  QPlainTextEdit* reLabelDesign_ = nullptr;
  QPushButton* btnLoadLast_ = nullptr;
  QPushButton* btnSaveDesign_ = nullptr;
  QPushButton* btnTestDesign_ = nullptr;
  QComboBox* lookTestPrinter_ = nullptr;
  QLabel* clock_ = nullptr;
};

} // namespace velmora::config::app
