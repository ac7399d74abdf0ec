#include "spooler/app/ferrulin_window.h"

#include "spooler/app/merged_job_viewer.h"
#include "spooler/daily_log.h"
#include "spooler/spooler_shell.h"
#include "spooler/status_timestamp.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTime>
#include <QTimer>

namespace velmora::spooler::app {
namespace {

// Where a print-jobs item keeps its job's JobId.
constexpr int kJobIdRole = Qt::UserRole;

// A list whose items cannot be found by typing their first letters.
class ListWithoutIncrementalSearch final : public QListWidget {
public:
  using QListWidget::QListWidget;
  void keyboardSearch(const QString&) override {}
};

QLabel* makeCaption(QWidget* parent, const char* name, const char* text, int left, int top) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QString::fromUtf8(name));
  QFont font = label->font();
  font.setPointSize(10);
  font.setBold(true);
  label->setFont(font);
  label->adjustSize();
  label->move(left, top);
  return label;
}

// Draws a line without the line break it may end in ("Configuration
// loaded" ends in CR LF, which the list keeps): one text line per row.
class SingleLineDelegate final : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QString displayText(const QVariant& value, const QLocale& locale) const override {
    QString text = QStyledItemDelegate::displayText(value, locale);
    // The base has turned each LF into a line separator already.
    while (text.endsWith(u'\n') || text.endsWith(u'\r') || text.endsWith(QChar::LineSeparator))
      text.chop(1);
    return text;
  }
};

void placeList(QListWidget* list, const char* name, const QRect& geometry) {
  list->setObjectName(QString::fromUtf8(name));
  list->setGeometry(geometry);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setItemDelegate(new SingleLineDelegate(list));
  // A line wider than the list (a long status line) can be scrolled to.
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

// The time format of the locale without its time zone part: the status log
// shows local wall-clock time, as the desktop's long time format does.
QString longTimeFormat(const QLocale& locale) {
  QString format = locale.timeFormat(QLocale::LongFormat);
  QString result;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == u'\'')
      quoted = !quoted;
    if (!quoted && c == u't')
      continue;
    result += c;
  }
  return result.trimmed();
}

// Scrolls `list` to its last line once the lines that come in the handler
// now running are all in: scrolling lays every line out again, once for
// them all rather than once a line.
void scrollToEndLater(QListWidget* list) {
  QMetaObject::invokeMethod(list, &QListWidget::scrollToBottom, Qt::QueuedConnection);
}

// Deletes the first `count` lines of `list` (all of them, when it has fewer).
void removeFirstLines(QListWidget& list, std::size_t count) {
  for (std::size_t i = 0; i < count && list.count() > 0; ++i)
    delete list.takeItem(0);
}

QString fromStd(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

FerrulinWindowHooks FerrulinWindowHooks::system() {
  FerrulinWindowHooks hooks;
  hooks.messageBox = [](const QString& title, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.exec();
  };
  hooks.exitApplication = [](int exitCode) { QCoreApplication::exit(exitCode); };
  hooks.trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
  return hooks;
}

FerrulinWindow::FerrulinWindow(FerrulinWindowHooks hooks)
    : hooks_(std::move(hooks)),
      tray_([this] { restoreFromTray(); }, [this] { events().sendBackItemClick(); },
            [this] { events().openLogFolderItemClick(); }, [this] { events().ExitItemClick(); }) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromUtf8(spooler::kWindowCaption.data(),
                                   static_cast<qsizetype>(spooler::kWindowCaption.size())));
  setWindowIcon(ferrulinIcon());
  setFont(QFont(QStringLiteral("Tahoma"), 8)); // another sans font where Tahoma is missing
  setFixedSize(600, 376);                      // the client area; minimum = maximum
  move(0, 0);

  Label1_ = makeCaption(this, "Label1", "Printers", 8, 5);
  lbPrinters_ = new QListWidget(this);
  placeList(lbPrinters_, "lbPrinters", QRect(8, 24, 249, 137));
  Label3_ = makeCaption(this, "Label3", "Print Jobs", 272, 5);
  lbQ_ = new ListWithoutIncrementalSearch(this);
  placeList(lbQ_, "lbQ", QRect(272, 24, 321, 137));
  QObject::connect(lbQ_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    events().jobLineDoubleClick(item->data(kJobIdRole).value<JobId>());
  });
  Label2_ = makeCaption(this, "Label2", "Status", 8, 175);
  lbMessages_ = new ListWithoutIncrementalSearch(this);
  placeList(lbMessages_, "lbMessages", QRect(8, 192, 585, 178));

  Button1_ = new QPushButton(QStringLiteral("Button1"), this);
  Button1_->setObjectName(QStringLiteral("Button1"));
  Button1_->setGeometry(518, 163, 75, 25);
  Button1_->hide(); // never shown
  QObject::connect(Button1_, &QPushButton::clicked, this, [this] { events().Button1Click(); });

  openLogFolderItem_ = new QAction(fromStd(std::string(kOpenLogFolderItemCaption)), this);
  openLogFolderItem_->setObjectName(QStringLiteral("openLogFolderItem"));
  QObject::connect(openLogFolderItem_, &QAction::triggered, this,
                   [this] { events().openLogFolderItemClick(); });
  addAction(openLogFolderItem_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

FerrulinWindow::~FerrulinWindow() = default;

void FerrulinWindow::addStatusLine(const std::string& line) {
  lbMessages_->addItem(fromStd(line));
  scrollToEndLater(lbMessages_);
}

void FerrulinWindow::addJobLine(JobId job, const std::string& line) {
  auto* item = new QListWidgetItem(fromStd(line));
  item->setData(kJobIdRole, QVariant::fromValue(job));
  lbQ_->addItem(item);
  scrollToEndLater(lbQ_);
}

void FerrulinWindow::removeOldestStatusLines(std::size_t count) {
  removeFirstLines(*lbMessages_, count);
}

void FerrulinWindow::removeOldestJobLines(std::size_t count) {
  removeFirstLines(*lbQ_, count);
}

void FerrulinWindow::changeJobLine(JobId job, const std::string& line) {
  // The job changed is nearly always the newest: looked for from the end.
  for (int row = lbQ_->count() - 1; row >= 0; --row) {
    QListWidgetItem* item = lbQ_->item(row);
    if (item->data(kJobIdRole).value<JobId>() == job) {
      item->setText(fromStd(line));
      return;
    }
  }
}

void FerrulinWindow::clearPrinters() {
  lbPrinters_->clear();
}

void FerrulinWindow::addPrinterLine(const std::string& line) {
  lbPrinters_->addItem(fromStd(line));
}

void FerrulinWindow::showMessage(const std::string& text) {
  hooks_.messageBox(programTitle(), fromStd(text), QMessageBox::NoIcon);
}

void FerrulinWindow::endMainLoop(int exitCode) {
  hooks_.exitApplication(exitCode);
}

std::string FerrulinWindow::formatTimestamp(std::chrono::system_clock::time_point when) {
  const QLocale locale;
  return statusTimestamp(
      when,
      [&](const std::tm& t) {
        return locale
            .toString(QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday), QLocale::ShortFormat)
            .toStdString();
      },
      [&](const std::tm& t) {
        return locale.toString(QTime(t.tm_hour, t.tm_min, t.tm_sec), longTimeFormat(locale))
            .toStdString();
      });
}

void FerrulinWindow::showCause(const std::string& cause) {
  addStatusLine(formatTimestamp(std::chrono::system_clock::now()) + ": " + cause);
}

void FerrulinWindow::showErrorBox(const std::string& message) {
  showErrorBox(message, programTitle().toStdString());
}

void FerrulinWindow::showErrorBox(const std::string& message, const std::string& caption) {
  hooks_.messageBox(fromStd(caption), fromStd(message), QMessageBox::Critical);
}

void FerrulinWindow::showMergedJob(const DeliveredJob& delivered, const MergedJobPicture& picture) {
  (new MergedJobViewer(delivered.jobLine, picture, this))->show();
}

void FerrulinWindow::minimizeToTray() {
  if (hooks_.trayAvailable) {
    hide(); // the task-bar button goes with the window; the tray icon stays
    return;
  }
  // No notification area (a bare virtual display): a hidden window could not
  // be brought back, so it is minimized to the task bar as usual.
  showMinimized();
}

void FerrulinWindow::restoreFromTray() {
  showNormal();
  raise();
  activateWindow();
}

void FerrulinWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  events().FormShow();
}

void FerrulinWindow::closeEvent(QCloseEvent* event) {
  event->setAccepted(events().FormCloseQuery());
}

void FerrulinWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized() || !hooks_.trayAvailable)
    return;
  // Minimized by the window's own button: hide once the state change is done.
  QTimer::singleShot(0, this, [this] {
    if (isMinimized())
      hide();
  });
}

QString FerrulinWindow::programTitle() const {
  return QCoreApplication::applicationName();
}

} // namespace velmora::spooler::app
