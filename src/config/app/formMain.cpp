#include "config/app/formMain.h"

#include "config/app/config_table_model.h"
#include "config/app/formAbout.h"
#include "config/app/label_preview_pane.h"
#include "config/app/printer_choice_box.h"
#include "config/app/program_picture.h"
#include "config/app/user_messages.h"
#include "config/program_messages.h"
#include "config/test_print.h"

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
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include <array>
#include <exception>

namespace velmora::dovetack {

namespace {

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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
config::TimeLocale userTimeLocale() {
  const QLocale locale = QLocale::system();
  config::TimeLocale result{":", locale.amText().toStdString(), locale.pmText().toStdString()};
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

struct EditField {
  QLineEdit* TfrmMain::*control;
  std::string_view field;
};
constexpr std::array<EditField, 5> kEditFields = {{
    {&TfrmMain::editLabelsText, formats::configuration_field::kLabelsText},
    {&TfrmMain::editMapText, formats::configuration_field::kMapText},
    {&TfrmMain::editTimeText, formats::configuration_field::kTimeText},
    {&TfrmMain::editTotalText, formats::configuration_field::kTotalText},
    {&TfrmMain::editDesign, formats::configuration_field::kDesign},
}};

struct ChoiceField {
  PrinterChoiceBox* TfrmMain::*control;
  std::string_view field;
};
constexpr std::array<ChoiceField, 3> kChoiceFields = {{
    {&TfrmMain::lookSource, formats::configuration_field::kSource},
    {&TfrmMain::lookDest, formats::configuration_field::kDest},
    {&TfrmMain::lookBackup, formats::configuration_field::kBackup},
}};

// The test print's time text for this moment.
std::string testPrintTimeNow() {
  const QTime now = QTime::currentTime();
  return config::formatTestPrintTime(now.hour(), now.second(), userTimeLocale());
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

TfrmMain::TfrmMain(UserMessages& messages, TAboutBox* aboutBox, QWidget* parent)
    : QMainWindow(parent), messages_(messages), aboutBox_(aboutBox) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(qt(config::kMainWindowCaption));
  setWindowIcon(programIcon());
  // The application title is the text of the program's task-bar button: the
  // window manager shows the application's display name with the main
  // window's caption, and the icon text names the window's task-bar entry.
  QGuiApplication::setApplicationDisplayName(qt(config::kApplicationTitle));
  setWindowIconText(qt(config::kApplicationTitle));

  pageMain = new QTabWidget(this);
  tabSetup = BuildSetupPage();
  tabLabelEditor = BuildLabelEditorPage();
  pageMain->addTab(tabSetup, QStringLiteral("Setup"));
  pageMain->addTab(tabLabelEditor, QStringLiteral("Label Editor"));
  pageMain->setCurrentWidget(tabSetup);
  setCentralWidget(pageMain);

  lblClock = new QLabel(this);
  statusBar()->setFixedHeight(22);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addPermanentWidget(lblClock);
  clockTimer_ = new QTimer(this);
  clockTimer_->setSingleShot(true);
  connect(clockTimer_, &QTimer::timeout, this, &TfrmMain::UpdateClock);
  UpdateClock();

  resize(633, 447);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  configuration_.tblConfig().addChangeListener(
      [this](formats::TTableChange change) { tblConfigChanged(change); });
  FormCreate();
}

TfrmMain::~TfrmMain() {
  // The widgets go first, while the tables they show are still there.
  delete takeCentralWidget();
}

QWidget* TfrmMain::BuildSetupPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tabSetup"));

  // Left: heading, grid, fields of the selected row, buttons.
  auto* left = new QWidget(page);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(4, 4, 4, 4);
  leftLayout->addWidget(boldLabel(QStringLiteral("Configured Printers"), left));

  gridConfig = new QTableView(left);
  model_ = new ConfigTableModel(configuration_.tblConfig(), this);
  gridConfig->setModel(model_);
  gridConfig->setSelectionBehavior(QAbstractItemView::SelectRows);
  gridConfig->setSelectionMode(QAbstractItemView::SingleSelection);
  gridConfig->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gridConfig->setFocusPolicy(Qt::NoFocus);
  gridConfig->verticalHeader()->setDefaultSectionSize(20);
  gridConfig->verticalHeader()->setFixedWidth(14);
  gridConfig->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (int column = 0; column < 3; ++column)
    gridConfig->setColumnWidth(column, 117);
  connect(gridConfig->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (showingRow_ || !current.isValid())
              return;
            const auto row = static_cast<std::size_t>(current.row());
            if (configuration_.tblConfig().currentRow() != row)
              Guarded([&] { configuration_.tblConfig().moveTo(row); });
          });
  leftLayout->addWidget(gridConfig, 1);

  auto* form = new QFormLayout;
  form->setVerticalSpacing(2);
  for (const ChoiceField& choice : kChoiceFields) {
    auto* box = new PrinterChoiceBox(left);
    this->*choice.control = box;
    const std::string_view field = choice.field;
    connect(box, &PrinterChoiceBox::chosen, this, [this, field](const QString& name) {
      if (!Guarded([&] { configuration_.setFieldValue(field, name.toStdString()); }))
        ShowCurrentRow(); // the control shows what the table holds again
    });
  }
  form->addRow(QStringLiteral("Source Printer:"), lookSource);
  form->addRow(QStringLiteral("Destination Printer:"), lookDest);
  form->addRow(QStringLiteral("Backup Printer:"), lookBackup);
  for (const EditField& edit : kEditFields) {
    auto* line = new QLineEdit(left);
    line->setMaxLength(15);
    this->*edit.control = line;
    const std::string_view field = edit.field;
    connect(line, &QLineEdit::textEdited, this, [this, field](const QString& text) {
      if (!Guarded([&] { configuration_.setFieldValue(field, text.toStdString()); }))
        ShowCurrentRow(); // the control shows what the table holds again
    });
  }
  form->addRow(QStringLiteral("Labels Text:"), editLabelsText);
  form->addRow(QStringLiteral("Map Text:"), editMapText);
  form->addRow(QStringLiteral("Time Text:"), editTimeText);
  form->addRow(QStringLiteral("TotalText:"), editTotalText);
  lblDesign = new QLabel(QStringLiteral("Design File Name:"), left);
  lblDesign->setEnabled(false);
  editDesign->setMaxLength(25);
  editDesign->setEnabled(false);
  form->addRow(lblDesign, editDesign);
  leftLayout->addLayout(form);

  btnAddPrinter = new QPushButton(QStringLiteral("Add Printer"), left);
  btnDeletePrinter = new QPushButton(QStringLiteral("Delete Printer"), left);
  connect(btnAddPrinter, &QPushButton::clicked, this, &TfrmMain::btnAddPrinterClick);
  connect(btnDeletePrinter, &QPushButton::clicked, this, &TfrmMain::btnDeletePrinterClick);
  auto* leftButtons = new QHBoxLayout;
  leftButtons->addWidget(btnAddPrinter);
  leftButtons->addWidget(btnDeletePrinter);
  leftButtons->addStretch();
  leftLayout->addLayout(leftButtons);

  // Right: help entries, the program picture, the save and setup buttons.
  auto* right = new QWidget(page);
  right->setFixedWidth(230);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(4, 4, 4, 4);
  for (const config::HelpEntry& entry : config::kHelpEntries) {
    rightLayout->addWidget(boldLabel(qt(entry.heading), right));
    auto* text = new QLabel(qt(entry.text), right);
    text->setWordWrap(true);
    rightLayout->addWidget(text);
  }
  rightLayout->addStretch();
  ProgramIcon = new ProgramPictureLabel(right);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setFixedSize(156, 76);
  ProgramIcon->setScaledContents(true);
  ProgramIcon->setPixmap(programPicture());
  ProgramIcon->setToolTip(QStringLiteral("Double click for info."));
  connect(ProgramIcon, &ProgramPictureLabel::doubleClicked, this, &TfrmMain::ProgramIconDblClick);
  rightLayout->addWidget(ProgramIcon, 0, Qt::AlignHCenter);
  btnSetupSave = new QPushButton(QStringLiteral("&Save && Activate"), right);
  btnSetupRM = new QPushButton(QStringLiteral("Setup RM Labels"), right);
  connect(btnSetupSave, &QPushButton::clicked, this, &TfrmMain::btnSetupSaveClick);
  connect(btnSetupRM, &QPushButton::clicked, this, &TfrmMain::btnSetupRMClick);
  auto* rightButtons = new QHBoxLayout;
  rightButtons->addWidget(btnSetupSave);
  rightButtons->addWidget(btnSetupRM);
  rightLayout->addLayout(rightButtons);

  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(left, 1);
  layout->addWidget(right);

  QWidget::setTabOrder(lookSource, lookDest);
  QWidget::setTabOrder(lookDest, lookBackup);
  QWidget::setTabOrder(lookBackup, editLabelsText);
  QWidget::setTabOrder(editLabelsText, editMapText);
  QWidget::setTabOrder(editMapText, editTimeText);
  QWidget::setTabOrder(editTimeText, editTotalText);
  QWidget::setTabOrder(editTotalText, btnAddPrinter);
  QWidget::setTabOrder(btnAddPrinter, btnDeletePrinter);
  QWidget::setTabOrder(btnDeletePrinter, btnSetupSave);
  QWidget::setTabOrder(btnSetupSave, btnSetupRM);
  return page;
}

QWidget* TfrmMain::BuildLabelEditorPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("tabLabelEditor"));

  listTags = new TagListBox(page);
  listTags->setFixedWidth(153);
  listTags->setToolTip(QStringLiteral("Double click on a tag to insert in the editor"));
  for (std::size_t entry = 0; entry < config::designTagCount(); ++entry)
    listTags->addItem(qt(config::designTagAt(entry)));
  connect(listTags, &TagListBox::doubleClicked, this, &TfrmMain::listTagsDblClick);

  reLabelDesign = new QPlainTextEdit(page);
  reLabelDesign->setLineWrapMode(QPlainTextEdit::NoWrap);
  reLabelDesign->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reLabelDesign->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont fixed(QStringLiteral("Monospace"));
  fixed.setStyleHint(QFont::TypeWriter);
  reLabelDesign->setFont(fixed);

  btnLoadLast = new QPushButton(QStringLiteral("&Revert to Last"), page);
  btnSaveDesign = new QPushButton(QStringLiteral("&Save Design"), page);
  btnTestDesign = new QPushButton(QStringLiteral("Test &Print"), page);
  lookTestPrinter = new QComboBox(page);
  lookTestPrinter->setEditable(false);
  lookTestPrinter->setMinimumContentsLength(8);
  connect(btnLoadLast, &QPushButton::clicked, this, &TfrmMain::btnLoadLastClick);
  connect(btnSaveDesign, &QPushButton::clicked, this, &TfrmMain::btnSaveDesignClick);
  connect(btnTestDesign, &QPushButton::clicked, this, &TfrmMain::btnTestDesignClick);
  connect(lookTestPrinter, &QComboBox::activated, this, [this](int index) {
    Guarded([&] { testPrinter_.choose(lookTestPrinter->itemText(index).toStdString()); });
  });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnLoadLast);
  buttons->addWidget(btnSaveDesign);
  buttons->addWidget(btnTestDesign);
  buttons->addWidget(lookTestPrinter);
  buttons->addStretch();
  // The preview of the design, beside the editor, follows every edit.
  auto* preview = new config::app::LabelPreviewPane(testPrintTimeNow, page);
  connect(reLabelDesign, &QPlainTextEdit::textChanged, preview,
          [this, preview] { preview->setDesignText(reLabelDesign->toPlainText()); });
  auto* editorAndPreview = new QSplitter(Qt::Horizontal, page);
  editorAndPreview->addWidget(reLabelDesign);
  editorAndPreview->addWidget(preview);
  editorAndPreview->setStretchFactor(0, 1);
  editorAndPreview->setStretchFactor(1, 1);
  editorAndPreview->setChildrenCollapsible(false);
  editorAndPreview->setSizes({1000, 1000}); // half each to begin with

  auto* editorColumn = new QVBoxLayout;
  editorColumn->addWidget(editorAndPreview, 1);
  editorColumn->addLayout(buttons);
  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(listTags);
  layout->addLayout(editorColumn, 1);
  return page;
}

bool TfrmMain::Guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    messages_.showError(config::errorBoxText(error.what()));
    return false;
  }
}

// ---- start-up -----------------------------------------------------------------

void TfrmMain::FormCreate() {
  btnLoadLastClick(); // a failure is shown and the start goes on
  Guarded([this] { configuration_.OpenConfiguration(); });
  RefreshPrinterChoices();
  tblConfigChanged(formats::TTableChange::tcDataChanged);
}

// ---- "Setup" page ---------------------------------------------------------------

void TfrmMain::btnAddPrinterClick() {
  Guarded([this] { configuration_.addPrinter(); });
}

void TfrmMain::btnDeletePrinterClick() {
  Guarded([this] { configuration_.deletePrinter(); });
}

void TfrmMain::btnSetupSaveClick() {
  Guarded([this] { configuration_.saveAndActivate(); });
}

void TfrmMain::btnSetupRMClick() {
  Guarded([this] {
    const bool confirmed = messages_.askYesNo(std::string(config::kSetupQuestionTitle),
                                              std::string(config::kSetupQuestion));
    messages_.showMessage(std::string(labelSetupWriter_.setupRMLabels(confirmed)));
  });
}

void TfrmMain::ProgramIconDblClick() {
  if (aboutBox_)
    aboutBox_->exec();
}

void TfrmMain::tblConfigChanged(formats::TTableChange change) {
  model_->Refresh(change);
  ShowCurrentRow();
  RefreshTestPrinters();
}

void TfrmMain::ShowCurrentRow() {
  showingRow_ = true;
  const std::optional<std::size_t> row = configuration_.currentGridRow();
  auto valueOf = [&](std::string_view name) { return configuration_.currentValue(name); };
  for (const EditField& edit : kEditFields) {
    QLineEdit* line = this->*edit.control;
    const QString value = QString::fromStdString(valueOf(edit.field));
    if (line->text() != value)
      line->setText(value);
  }
  for (const ChoiceField& choice : kChoiceFields)
    (this->*choice.control)->ShowValue(valueOf(choice.field));
  if (row) {
    const int shown = static_cast<int>(*row);
    if (gridConfig->currentIndex().row() != shown ||
        !gridConfig->selectionModel()->isRowSelected(shown, {}))
      gridConfig->selectRow(shown);
  } else {
    gridConfig->clearSelection();
  }
  showingRow_ = false;
}

void TfrmMain::RefreshPrinterChoices() {
  for (const ChoiceField& choice : kChoiceFields)
    (this->*choice.control)->SetChoices(configuration_.printerChoices());
  ShowCurrentRow();
}

// ---- "Label Editor" page ------------------------------------------------------

void TfrmMain::RefreshTestPrinters() {
  QStringList sources;
  for (const std::string& source : configuration_.sourcePrinters())
    sources << QString::fromStdString(source);
  QStringList shown;
  for (int i = 0; i < lookTestPrinter->count(); ++i)
    shown << lookTestPrinter->itemText(i);
  const QSignalBlocker quiet(lookTestPrinter);
  if (shown != sources) {
    lookTestPrinter->clear();
    lookTestPrinter->addItems(sources);
  }
  const QString chosen = QString::fromStdString(testPrinter_.chosen());
  lookTestPrinter->setCurrentIndex(
      chosen.isEmpty() ? -1 : lookTestPrinter->findText(chosen, Qt::MatchExactly));
}

void TfrmMain::btnLoadLastClick() {
  Guarded([this] {
    QString shown = QString::fromStdString(designEditor_.revertToLast());
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    reLabelDesign->setPlainText(shown);
  });
}

void TfrmMain::btnSaveDesignClick() {
  Guarded([this] { designEditor_.saveDesign(editorText(*reLabelDesign)); });
}

void TfrmMain::btnTestDesignClick() {
  Guarded([this] {
    const std::string_view message =
        config::testPrint(lookTestPrinter->currentText().toStdString(), testPrintTimeNow());
    if (!message.empty())
      messages_.showMessage(std::string(message));
  });
}

void TfrmMain::listTagsDblClick() {
  Guarded([this] {
    const QList<QListWidgetItem*> selected = listTags->selectedItems();
    std::optional<std::size_t> entry;
    if (!selected.isEmpty())
      entry = static_cast<std::size_t>(listTags->row(selected.front()));
    const std::string tag(config::designTagAt(entry));
    const QTextCursor caret = reLabelDesign->textCursor();
    const QTextBlock block = reLabelDesign->document()->findBlock(caret.selectionStart());
    const QString line = block.text();
    const auto column = static_cast<std::size_t>(
        line.left(caret.selectionStart() - block.position()).toUcs4().size());
    const config::TagInsertion inserted = config::insertTag(line.toStdString(), column, tag);
    QTextCursor edit(block);
    edit.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    edit.insertText(QString::fromStdString(inserted.line));
    reLabelDesign->setTextCursor(edit); // the caret at the end of the line
    reLabelDesign->setFocus();
  });
}

// ---- status bar ------------------------------------------------------------------

QString TfrmMain::ClockText(const QDateTime& moment) {
  const QLocale locale = QLocale::system();
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  // The long format may end in the time zone; the clock shows none.
  timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
  return locale.toString(moment.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(moment.time(), timeFormat.trimmed());
}

void TfrmMain::UpdateClock() {
  const QDateTime now = QDateTime::currentDateTime();
  lblClock->setText(ClockText(now));
  // Tick again just after the next full second.
  clockTimer_->start(1000 - now.time().msec() + 5);
}

} // namespace velmora::dovetack
