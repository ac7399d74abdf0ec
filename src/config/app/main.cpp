// Dovetack, the configuration program: runs once per user logon (the guard
// "Cartavell"; a second copy ends at once, silently, with exit code 0),
// shows the main window with the printer configuration and the label
// design editor, and ends when that window is closed. It reads no
// command-line arguments; the working directory is the host's data
// directory.
#include "config/app/about_box.h"
#include "config/app/main_window.h"
#include "config/app/user_messages.h"
#include "config/dovetack_model.h"
#include "config/program_messages.h"
#include "platform/program_path.h"
#include "platform/single_instance.h"

#include <QApplication>

int main(int argc, char** argv) {
  using namespace velmora;
  std::optional<platform::SingleInstance> guard =
      platform::SingleInstance::acquire(config::kSingleInstanceName);
  if (!guard)
    return 0;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(
      config::kApplicationTitle.data(), static_cast<qsizetype>(config::kApplicationTitle.size())));
  config::app::QtUserMessages messages;
  config::DovetackModel model(messages, &config::app::TfrmMain::testPrintTimeNow);
  // The about box is created after the main window, which is the first
  // window and so the program's main window.
  config::app::TfrmMain frmMain(model, nullptr);
  config::app::TAboutBox AboutBox(QString::fromStdString(velmora::platform::programFolder()),
                                  &frmMain);
  frmMain.setAboutBox(&AboutBox);
  frmMain.show();
  QApplication::exec();
  return 0; // the guard is given up as it goes out of scope
}
