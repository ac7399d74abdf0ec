#include "config/app/main_window.h"

#include "config/app/about_box.h"
#include "config/app/config_table_model.h"
#include "config/app/label_preview_pane.h"
#include "config/app/printer_choice_box.h"
#include "config/app/program_picture.h"
#include "config/label_design_editor.h"
#include "config/program_messages.h"
#include "config/test_print.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <exception>

namespace velmora::config::app {

namespace {

// The client area at start.
constexpr int kFirstWidth = 633;
constexpr int kFirstHeight = 447;

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Gives `widget` its control name, by which tests and tools find it.
template <class Widget> Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QPushButton* button(const char* caption, const char* name, QWidget* parent) {
  return named(new QPushButton(QLatin1String(caption), parent), name);
}

QLabel* boldLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

// The editor's text as the user sees it: no non-breaking spaces turned into
// plain ones, paragraph and line separators as line feeds.
std::string editorText(const QPlainTextEdit& editor) {
  QString text = editor.document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  return text.toStdString();
}

// The user's locale's share of the test print's time text.
TimeLocale userTimeLocale() {
  const QLocale locale = QLocale::system();
  TimeLocale result{":", locale.amText().toStdString(), locale.pmText().toStdString()};
  // The separator is what follows the hour in the locale's time format.
  const QString format = locale.timeFormat(QLocale::ShortFormat);
  const qsizetype hour = format.indexOf(QRegularExpression(QStringLiteral("[hH]")));
  if (hour >= 0) {
    qsizetype at = hour;
    while (at < format.size() && (format[at] == QLatin1Char('h') || format[at] == QLatin1Char('H')))
      ++at;
    if (at < format.size() && !format[at].isLetter())
      result.separator = QString(format[at]).toStdString();
  }
  return result;
}

} // namespace

ProgramPictureLabel::ProgramPictureLabel(QWidget* parent) : QLabel(parent) {}

void ProgramPictureLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  QLabel::mouseDoubleClickEvent(event);
  emit doubleClicked();
}

TagListBox::TagListBox(QWidget* parent) : QListWidget(parent) {}

void TagListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  emit doubleClicked();
}

QWidget* TfrmMain::RowField::control() const {
  return choice ? static_cast<QWidget*>(choice) : static_cast<QWidget*>(edit);
}

TfrmMain::TfrmMain(DovetackModel& model, TAboutBox* aboutBox, QWidget* parent)
    : QMainWindow(parent), model_(model), aboutBox_(aboutBox) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(qt(kMainWindowCaption));
  setWindowIcon(programIcon());
  // The application title is the text of the program's task-bar button: the
  // window manager shows the application's display name with the main
  // window's caption, and the icon text names the window's task-bar entry.
  QGuiApplication::setApplicationDisplayName(qt(kApplicationTitle));
  setWindowIconText(qt(kApplicationTitle));

  pageMain_ = named(new QTabWidget(this), "pageMain");
  tabSetup_ = buildSetupPage();
  tabLabelEditor_ = buildLabelEditorPage();
  pageMain_->addTab(tabSetup_, QStringLiteral("Setup"));
  pageMain_->addTab(tabLabelEditor_, QStringLiteral("Label Editor"));
  pageMain_->setCurrentWidget(tabSetup_);
  setCentralWidget(pageMain_);
  buildStatusBar();
  buildShortcuts();

  resize(kFirstWidth, kFirstHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  configurationListener_ = model_.addConfigurationListener(
      [this](formats::TTableChange change) { tblConfigChanged(change); });
  FormCreate();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const int columnWidth = gridColumnWidth(width() - kFirstWidth);
  for (int column = 0; column < gridModel_->columnCount(); ++column)
    gridConfig_->setColumnWidth(column, columnWidth);
}

TfrmMain::~TfrmMain() {
  model_.removeConfigurationListener(configurationListener_);
  delete takeCentralWidget();
}

// ---- building the "Setup" page ---------------------------------------------------

QWidget* TfrmMain::buildSetupPage() {
  auto* page = named(new QWidget, "tabSetup");
  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(buildPrinterPanel(page), 1);
  layout->addWidget(buildHelpPanel(page));
  setSetupTabOrder();
  return page;
}

// Left: the heading, the grid, the fields of the selected row, the buttons.
QWidget* TfrmMain::buildPrinterPanel(QWidget* page) {
  auto* panel = new QWidget(page);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(boldLabel(QStringLiteral("Configured Printers"), panel));
  layout->addWidget(buildPrinterGrid(panel), 1);
  layout->addLayout(buildRowFields(panel));
  layout->addLayout(buildPrinterButtons(panel));
  return panel;
}

QTableView* TfrmMain::buildPrinterGrid(QWidget* parent) {
  gridConfig_ = named(new QTableView(parent), "gridConfig");
  gridModel_ = new ConfigTableModel(model_.configuration().tblConfig(), this);
  gridConfig_->setModel(gridModel_);
  gridConfig_->setSelectionBehavior(QAbstractItemView::SelectRows);
  gridConfig_->setSelectionMode(QAbstractItemView::SingleSelection);
  gridConfig_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab reaches the grid and leaves it for the next control; the arrows move
  // the row.
  gridConfig_->setFocusPolicy(Qt::StrongFocus);
  gridConfig_->setTabKeyNavigation(false);
  gridConfig_->verticalHeader()->setDefaultSectionSize(20);
  gridConfig_->verticalHeader()->setFixedWidth(14);
  gridConfig_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (int column = 0; column < gridModel_->columnCount(); ++column)
    gridConfig_->setColumnWidth(column, kGridColumnWidth);
  // Selecting a line makes its row the current row of tblConfig.
  connect(gridConfig_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!showingRow_ && current.isValid())
              model_.selectRow(static_cast<std::size_t>(current.row()));
          });
  return gridConfig_;
}

// The fields of the selected row, in tab order: the three printer choices,
// the four prefix texts and the design file name (shown, disabled).
QFormLayout* TfrmMain::buildRowFields(QWidget* parent) {
  auto* form = new QFormLayout;
  form->setVerticalSpacing(2);
  for (std::size_t i = 0; i < kRowFieldControls.size(); ++i) {
    RowField& field = rowFields_[i];
    field.description = &kRowFieldControls[i];
    const QString name = qt(field.description->name);
    if (field.description->printerChoice) {
      field.choice = new PrinterChoiceBox(parent);
      connect(field.choice, &PrinterChoiceBox::chosen, this,
              [this, &field](const QString& value) { rowFieldChanged(field, value); });
    } else {
      field.edit = new QLineEdit(parent);
      field.edit->setMaxLength(static_cast<int>(field.description->maxLength));
      connect(field.edit, &QLineEdit::textEdited, this,
              [this, &field](const QString& value) { rowFieldChanged(field, value); });
    }
    field.control()->setObjectName(name);
    auto* caption = new QLabel(qt(field.description->caption), parent);
    caption->setBuddy(field.control());
    if (field.description->field == formats::configuration_field::kDesign) {
      caption->setObjectName(QStringLiteral("designCaption"));
      caption->setEnabled(false);
      field.control()->setEnabled(false);
    }
    form->addRow(caption, field.control());
  }
  return form;
}

QBoxLayout* TfrmMain::buildPrinterButtons(QWidget* parent) {
  btnAddPrinter_ = button("Add Printer", "btnAddPrinter", parent);
  btnDeletePrinter_ = button("Delete Printer", "btnDeletePrinter", parent);
  connect(btnAddPrinter_, &QPushButton::clicked, this, &TfrmMain::btnAddPrinterClick);
  connect(btnDeletePrinter_, &QPushButton::clicked, this, &TfrmMain::btnDeletePrinterClick);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnAddPrinter_);
  buttons->addWidget(btnDeletePrinter_);
  buttons->addStretch();
  return buttons;
}

// Right: the help entries, the program picture, the save and setup buttons.
QWidget* TfrmMain::buildHelpPanel(QWidget* page) {
  auto* panel = new QWidget(page);
  panel->setFixedWidth(230);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(4, 4, 4, 4);
  for (const HelpEntry& entry : kHelpEntries) {
    layout->addWidget(boldLabel(qt(entry.heading), panel));
    auto* text = new QLabel(qt(entry.text), panel);
    text->setWordWrap(true);
    layout->addWidget(text);
  }
  layout->addStretch();

  ProgramIcon_ = named(new ProgramPictureLabel(panel), "ProgramIcon");
  ProgramIcon_->setFixedSize(156, 76);
  ProgramIcon_->setScaledContents(true);
  ProgramIcon_->setPixmap(programPicture());
  ProgramIcon_->setToolTip(QStringLiteral("Double click for info."));
  connect(ProgramIcon_, &ProgramPictureLabel::doubleClicked, this, &TfrmMain::ProgramIconDblClick);
  layout->addWidget(ProgramIcon_, 0, Qt::AlignHCenter);

  btnHealthCheck_ = button("&Health Check", "btnHealthCheck", panel);
  connect(btnHealthCheck_, &QPushButton::clicked, this, &TfrmMain::btnHealthCheckClick);
  layout->addWidget(btnHealthCheck_);
  btnSetupSave_ = button("&Save && Activate", "btnSetupSave", panel);
  btnSetupRM_ = button("Setup RM Labels", "btnSetupRM", panel);
  connect(btnSetupSave_, &QPushButton::clicked, this, &TfrmMain::btnSetupSaveClick);
  connect(btnSetupRM_, &QPushButton::clicked, this, &TfrmMain::btnSetupRMClick);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnSetupSave_);
  buttons->addWidget(btnSetupRM_);
  layout->addLayout(buttons);
  return panel;
}

// The grid, the row's fields in their order (the disabled design file name
// takes no focus), then the page's buttons.
void TfrmMain::setSetupTabOrder() {
  std::vector<QWidget*> order = {gridConfig_};
  for (const RowField& field : rowFields_)
    if (field.control()->isEnabled())
      order.push_back(field.control());
  order.insert(order.end(),
               {btnAddPrinter_, btnDeletePrinter_, btnHealthCheck_, btnSetupSave_, btnSetupRM_});
  for (std::size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order[i - 1], order[i]);
}

// ---- building the "Label Editor" page and the status bar ---------------------------

// The tag list on the left; beside it the design editor and its preview
// above the button bar. The controls are made in their tab order.
QWidget* TfrmMain::buildLabelEditorPage() {
  auto* page = named(new QWidget, "tabLabelEditor");
  buildTagList(page);
  buildDesignEditor(page);
  QBoxLayout* buttons = buildDesignButtons(page);
  QSplitter* editorAndPreview = buildEditorAndPreview(page);

  auto* editorColumn = new QVBoxLayout;
  editorColumn->addWidget(editorAndPreview, 1);
  editorColumn->addLayout(buttons);
  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(listTags_);
  layout->addLayout(editorColumn, 1);
  return page;
}

void TfrmMain::buildTagList(QWidget* page) {
  listTags_ = named(new TagListBox(page), "listTags");
  listTags_->setFixedWidth(153);
  listTags_->setToolTip(QStringLiteral("Double click on a tag to insert in the editor"));
  for (std::size_t entry = 0; entry < designTagCount(); ++entry)
    listTags_->addItem(qt(designTagAt(entry)));
  connect(listTags_, &TagListBox::doubleClicked, this, &TfrmMain::listTagsDblClick);
}

// Plain text, one line of the file per line: no wrapping, both scroll bars.
void TfrmMain::buildDesignEditor(QWidget* page) {
  reLabelDesign_ = named(new QPlainTextEdit(page), "reLabelDesign");
  reLabelDesign_->setLineWrapMode(QPlainTextEdit::NoWrap);
  reLabelDesign_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reLabelDesign_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont fixed(QStringLiteral("Monospace"));
  fixed.setStyleHint(QFont::TypeWriter);
  reLabelDesign_->setFont(fixed);
}

// "&Revert to Last", "&Save Design", "Test &Print" and the test printer choice
// after its caption.
QBoxLayout* TfrmMain::buildDesignButtons(QWidget* page) {
  btnLoadLast_ = button("&Revert to Last", "btnLoadLast", page);
  btnSaveDesign_ = button("&Save Design", "btnSaveDesign", page);
  btnTestDesign_ = button("Test &Print", "btnTestDesign", page);
  lookTestPrinter_ = named(new QComboBox(page), "lookTestPrinter");
  lookTestPrinter_->setEditable(false);
  lookTestPrinter_->setMinimumContentsLength(8);
  connect(btnLoadLast_, &QPushButton::clicked, this, &TfrmMain::btnLoadLastClick);
  connect(btnSaveDesign_, &QPushButton::clicked, this, &TfrmMain::btnSaveDesignClick);
  connect(btnTestDesign_, &QPushButton::clicked, this, &TfrmMain::btnTestDesignClick);
  connect(lookTestPrinter_, &QComboBox::activated, this, [this](int index) {
    model_.chooseTestPrinter(lookTestPrinter_->itemText(index).toStdString());
  });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnLoadLast_);
  buttons->addWidget(btnSaveDesign_);
  buttons->addWidget(btnTestDesign_);
  auto* caption = named(new QLabel(qt(kTestPrinterCaption), page), "lblTestPrinter");
  caption->setBuddy(lookTestPrinter_);
  buttons->addWidget(caption);
  buttons->addWidget(lookTestPrinter_);
  buttons->addStretch();
  return buttons;
}

// The editor and, beside it, the preview of the design, which follows every
// edit; half the width each to begin with.
QSplitter* TfrmMain::buildEditorAndPreview(QWidget* page) {
  auto* preview = new LabelPreviewPane(model_, page);
  connect(reLabelDesign_, &QPlainTextEdit::textChanged, preview,
          [this, preview] { preview->setDesignText(reLabelDesign_->toPlainText()); });
  auto* editorAndPreview = new QSplitter(Qt::Horizontal, page);
  editorAndPreview->addWidget(reLabelDesign_);
  editorAndPreview->addWidget(preview);
  editorAndPreview->setStretchFactor(0, 1);
  editorAndPreview->setStretchFactor(1, 1);
  editorAndPreview->setChildrenCollapsible(false);
  editorAndPreview->setSizes({1000, 1000});
  return editorAndPreview;
}

void TfrmMain::buildStatusBar() {
  clock_ = named(new QLabel(this), "clock");
  statusBar()->setFixedHeight(22);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addPermanentWidget(clock_);
  clockTimer_ = new QTimer(this);
  clockTimer_->setSingleShot(true);
  connect(clockTimer_, &QTimer::timeout, this, &TfrmMain::updateClock);
  updateClock();
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp switch pages from any
// control of the window; F1 shows the about box.
void TfrmMain::buildShortcuts() {
  const auto pageKeys = [this](const QKeySequence& keys, int step) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, step] {
      pageMain_->setCurrentIndex(pageAfter(pageMain_->currentIndex(), step));
    });
  };
  pageKeys(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
  pageKeys(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1);
  pageKeys(QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1);
  pageKeys(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, &TfrmMain::ProgramIconDblClick);
}

// ---- start-up -----------------------------------------------------------------

void TfrmMain::FormCreate() {
  if (const std::optional<std::string> design = model_.startUp())
    showDesign(*design);
  refreshPrinterChoices();
  tblConfigChanged(formats::TTableChange::tcDataChanged);
}

bool TfrmMain::FormCloseQuery() {
  return model_.mayClose(editorText(*reLabelDesign_));
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

// ---- "Setup" page ---------------------------------------------------------------

void TfrmMain::btnAddPrinterClick() {
  if (model_.addPrinter())
    rowFields_[0].control()->setFocus(Qt::OtherFocusReason); // the new row's Source Printer
}

void TfrmMain::btnDeletePrinterClick() {
  model_.deletePrinter();
}

void TfrmMain::btnSetupSaveClick() {
  model_.saveAndActivate();
}

void TfrmMain::btnSetupRMClick() {
  model_.setupRMLabels();
}

void TfrmMain::btnHealthCheckClick() {
  model_.healthCheck();
}

void TfrmMain::ProgramIconDblClick() {
  if (aboutBox_)
    aboutBox_->exec();
}

void TfrmMain::rowFieldChanged(const RowField& field, const QString& value) {
  if (!model_.setFieldValue(field.description->field, value.toStdString()))
    showCurrentRow(); // the control shows what the table holds again
}

void TfrmMain::tblConfigChanged(formats::TTableChange change) {
  gridModel_->refresh(change);
  showCurrentRow();
  refreshTestPrinters();
}

void TfrmMain::showCurrentRow() {
  showingRow_ = true;
  for (const RowField& field : rowFields_) {
    const std::string value = model_.configuration().currentValue(field.description->field);
    if (field.choice) {
      field.choice->showValue(value);
    } else if (const QString text = QString::fromStdString(value); field.edit->text() != text) {
      field.edit->setText(text);
    }
  }
  if (const std::optional<std::size_t> row = model_.configuration().currentGridRow()) {
    const int shown = static_cast<int>(*row);
    if (gridConfig_->currentIndex().row() != shown ||
        !gridConfig_->selectionModel()->isRowSelected(shown, {}))
      gridConfig_->selectRow(shown);
  } else {
    gridConfig_->clearSelection();
  }
  showingRow_ = false;
}

void TfrmMain::refreshPrinterChoices() {
  for (const RowField& field : rowFields_)
    if (field.choice)
      field.choice->setChoices(model_.configuration().printerChoices());
  showCurrentRow();
}

// ---- "Label Editor" page ------------------------------------------------------

void TfrmMain::refreshTestPrinters() {
  QStringList sources;
  for (const std::string& source : model_.testPrinterChoices())
    sources << QString::fromStdString(source);
  QStringList items;
  for (int i = 0; i < lookTestPrinter_->count(); ++i)
    items << lookTestPrinter_->itemText(i);
  const QSignalBlocker quiet(lookTestPrinter_);
  if (items != sources) {
    lookTestPrinter_->clear();
    lookTestPrinter_->addItems(sources);
  }
  const std::optional<std::size_t> shown = model_.shownTestPrinter();
  lookTestPrinter_->setCurrentIndex(shown ? static_cast<int>(*shown) : -1);
}

void TfrmMain::showDesign(const std::string& design) {
  QString shown = QString::fromStdString(design);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  reLabelDesign_->setPlainText(shown);
}

void TfrmMain::btnLoadLastClick() {
  if (const std::optional<std::string> design = model_.revertToLast(editorText(*reLabelDesign_)))
    showDesign(*design);
}

void TfrmMain::btnSaveDesignClick() {
  model_.saveDesign(editorText(*reLabelDesign_));
}

void TfrmMain::btnTestDesignClick() {
  model_.testPrint(editorText(*reLabelDesign_));
}

void TfrmMain::listTagsDblClick() {
  const QList<QListWidgetItem*> selected = listTags_->selectedItems();
  std::optional<std::size_t> entry;
  if (!selected.isEmpty())
    entry = static_cast<std::size_t>(listTags_->row(selected.front()));
  const QTextCursor caret = reLabelDesign_->textCursor();
  const QTextBlock block = reLabelDesign_->document()->findBlock(caret.selectionStart());
  const QString line = block.text();
  const auto column = static_cast<std::size_t>(
      line.left(caret.selectionStart() - block.position()).toUcs4().size());
  const std::optional<TagInsertion> inserted = model_.insertTag(line.toStdString(), column, entry);
  if (!inserted)
    return;
  QTextCursor edit(block);
  edit.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  edit.insertText(QString::fromStdString(inserted->line));
  reLabelDesign_->setTextCursor(edit); // the caret at the end of the line
  reLabelDesign_->setFocus();
}

// ---- status bar ------------------------------------------------------------------

QString TfrmMain::clockText(const QDateTime& moment) {
  const QLocale locale = QLocale::system();
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  // The long format may end in the time zone; the clock shows none.
  timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
  return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(moment.time(), timeFormat.trimmed());
}

std::string TfrmMain::testPrintTimeNow() {
  const QTime now = QTime::currentTime();
  return formatTestPrintTime(now.hour(), now.second(), userTimeLocale());
}

void TfrmMain::updateClock() {
  const QDateTime now = QDateTime::currentDateTime();
  clock_->setText(clockText(now));
  // Tick again just after the next full second.
  clockTimer_->start(1000 - now.time().msec() + 5);
}

} // namespace velmora::config::app
