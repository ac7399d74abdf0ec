#include "config/app/printer_choice_box.h"

#include <QApplication>
#include <QKeyEvent>

namespace velmora::config::app {

PrinterChoiceBox::PrinterChoiceBox(QWidget* parent) : QComboBox(parent) {
  setEditable(false);
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index >= 0)
      emit chosen(itemText(index));
  });
}

void PrinterChoiceBox::setChoices(const std::vector<std::string>& choices) {
  const QString shown = currentText();
  choices_ = choices;
  const QSignalBlocker quiet(this);
  clear();
  for (const std::string& choice : choices_)
    addItem(QString::fromStdString(choice));
  setCurrentIndex(findText(shown, Qt::MatchExactly));
}

void PrinterChoiceBox::showValue(const std::string& name) {
  const QString value = QString::fromStdString(name);
  if (value == currentText())
    return;
  typeAhead_.reset(); // another row: typing starts afresh
  const QSignalBlocker quiet(this);
  setCurrentIndex(findText(value, Qt::MatchExactly));
}

void PrinterChoiceBox::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  const bool printable = !text.isEmpty() && text.at(0).isPrint() &&
                         !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (!printable) {
    QComboBox::keyPressEvent(event);
    return;
  }
  const bool afterPause =
      !sinceLastKey_.isValid() || sinceLastKey_.elapsed() > QApplication::keyboardInputInterval();
  sinceLastKey_.start();
  const std::optional<std::size_t> index =
      typeAhead_.type(choices_, text.toStdString(), afterPause);
  if (index) {
    const int row = static_cast<int>(*index);
    if (row != currentIndex() || currentText().isEmpty()) {
      setCurrentIndex(row);
      emit chosen(itemText(row));
    }
  }
  event->accept();
}

} // namespace velmora::config::app
