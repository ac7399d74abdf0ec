// formAbout: Dovetack's about box TAboutBox. A tool window without caption
// buttons, centred, 402 x 219: a white framed panel with the program
// picture, the version lines lblProductVersion and lblServiceVersion, the
// link to the maker's web address (opened by the system's default handler),
// and the default button "OK" below it.
//
// The version lines are worked out again each time the box is shown
// (FormShow) from "Cartavell.EXE" and "CartavellService.EXE" in the
// program's folder. Created once by the program and owned by it; GUI thread
// only.
#pragma once

#include "config/program_messages.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace velmora::dovetack {

using config::kMakerWebAddress;

class TAboutBox final : public QDialog {
  Q_OBJECT
public:
  // `programFolder` is the folder of the running program, where the two
  // executables are looked for.
  explicit TAboutBox(QString programFolder, QWidget* parent = nullptr);

  // Fills the two version lines; run on every show.
  void FormShow();

  QLabel* lblProductVersion = nullptr;
  QLabel* lblServiceVersion = nullptr;
  QLabel* lblLink = nullptr;
  QLabel* imgProgram = nullptr;
  QPushButton* btnOK = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  QString programFolder_;
};

} // namespace velmora::dovetack
