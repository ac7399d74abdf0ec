#include "config/app/user_messages.h"

#include "config/program_messages.h"

#include <QApplication>
#include <QMessageBox>

namespace velmora::config::app {

namespace {

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Table errors separate their lines with a lone CR.
QString lines(const std::string& text) {
  QString shown = qt(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

void showBox(QMessageBox::Icon icon, const std::string& text, const std::string& details = {}) {
  QMessageBox box(icon, qt(kApplicationTitle), lines(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  if (!details.empty())
    box.setDetailedText(lines(details));
  box.exec();
}

} // namespace

void QtUserMessages::showMessage(const std::string& text) {
  showBox(QMessageBox::NoIcon, text);
}

void QtUserMessages::showError(const std::string& text, const std::string& cause) {
  showBox(QMessageBox::Critical, text, cause);
}

bool QtUserMessages::askYesNo(const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, qt(title), lines(text), QMessageBox::Yes | QMessageBox::No,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

Answer QtUserMessages::askYesNoCancel(const std::string& text) {
  QMessageBox box(QMessageBox::Question, qt(kApplicationTitle), lines(text),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
  case QMessageBox::Yes:
    return Answer::Yes;
  case QMessageBox::No:
    return Answer::No;
  default:
    return Answer::Cancel;
  }
}

} // namespace velmora::config::app
