// Ferrulin: the label spooler with its window and tray icon. Started in RM's
// data directory (the working directory); serves the printers of
// VelmoraLabelConfig.XML until "Exit Ferrulin" is chosen in the tray menu.
// "/MINIMIZED" (any case) starts it in the tray. A termination request from
// the system (SIGTERM, Ctrl+C in the terminal that started it) ends it the
// same way, releasing every folder.
#include "platform/program_path.h"
#include "platform/termination_signal.h"
#include "spooler/app/ferrulin_window.h"
#include "spooler/app/qt_main_loop.h"
#include "spooler/ferrulin_program.h"
#include "spooler/spooler_shell.h"

#include <QApplication>

#include <mutex>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  using velmora::spooler::FerrulinProgram;
  // The program that a termination request is handed to, while there is one.
  std::mutex terminationMutex; // guards terminationProgram and terminationLoop
  FerrulinProgram* terminationProgram = nullptr;
  velmora::spooler::app::QtMainLoop* terminationLoop = nullptr;
  // First, before any thread starts (the signals are blocked in later threads).
  velmora::platform::TerminationSignal termination([&] {
    std::lock_guard lock(terminationMutex);
    if (terminationProgram)
      terminationLoop->post([program = terminationProgram] { program->ExitItemClick(); });
  });

  QApplication app(argc, argv);
  // Message boxes are titled with the program file's name without extension.
  QApplication::setApplicationName(QString::fromStdString(velmora::platform::programFileTitle()));
  // The window hides in the tray: closing a message box while it is hidden
  // must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);

  std::vector<std::string> arguments;
  for (const QString& argument : QApplication::arguments().mid(1))
    arguments.push_back(argument.toStdString());

  velmora::spooler::app::QtMainLoop loop;
  velmora::spooler::app::FerrulinWindow window;
  int exitCode = 0;
  {
    FerrulinProgram program(loop, window, std::move(arguments));
    window.show(); // its first show starts the program once the loop runs
    {
      std::lock_guard lock(terminationMutex);
      terminationProgram = &program;
      terminationLoop = &loop;
    }
    exitCode = QApplication::exec();
    {
      std::lock_guard lock(terminationMutex);
      terminationProgram = nullptr;
    }
  } // the program goes before the window: every folder is released here
  return exitCode;
}
