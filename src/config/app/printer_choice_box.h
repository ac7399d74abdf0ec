// A drop-down choice among a fixed list of printer names, without free
// typing: typed characters select the first name, in list order, that
// begins with the text typed so far (without regard to case); when none
// does, the selection stays (config::PrinterTypeAhead holds the rule). The
// typed text starts anew after a pause longer than the platform's keyboard
// input interval and when the box is shown another row's value.
//
// `chosen` is emitted for every choice the user makes, by mouse or by key.
// GUI thread only.
#pragma once

#include <QComboBox>
#include <QElapsedTimer>

#include "config/printer_configuration.h"

#include <string>
#include <vector>

namespace velmora::config::app {

class PrinterChoiceBox final : public QComboBox {
  Q_OBJECT
public:
  explicit PrinterChoiceBox(QWidget* parent = nullptr);

  void setChoices(const std::vector<std::string>& choices);
  // Shows `name` when it is one of the choices, else an empty text.
  void showValue(const std::string& name);

signals:
  void chosen(const QString& name);

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  std::vector<std::string> choices_;
  PrinterTypeAhead typeAhead_;
  QElapsedTimer sinceLastKey_;
};

} // namespace velmora::config::app
