// Dovetack's about box TAboutBox on Qt (Linux). A tool window without caption
// buttons, centred, 402 x 219: a white framed panel with the program
// picture, the version lines lblProductVersion and lblServiceVersion, the
// link to the maker's web address (opened by the system's default handler),
// and the default button "OK" below it.
//
// The version lines are worked out again each time the box is shown
// (FormShow) from "Cartavell.EXE" and "CartavellService.EXE" in the
// program's folder. The controls are private; each carries its control name
// as its object name (lblProductVersion, okButton, ...). Created once by the
// program and owned by it; GUI thread only.
#pragma once

#include "config/program_messages.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace velmora::config::app {

class TAboutBox final : public QDialog {
  Q_OBJECT
public:
  // `programFolder` is the folder of the running program, where the two
  // executables are looked for.
  explicit TAboutBox(QString programFolder, QWidget* parent = nullptr);

  // Fills the two version lines; run on every show.
  void FormShow();

protected:
  void showEvent(QShowEvent* event) override;

private:
  QString programFolder_;
  // The controls are children of the box, which deletes them.
  QLabel* programPicture_ = nullptr;
  QLabel* lblProductVersion_ = nullptr;
  QLabel* lblServiceVersion_ = nullptr;
  QLabel* link_ = nullptr;
  QPushButton* okButton_ = nullptr;
};

} // namespace velmora::config::app
