// Ferrulin: the label spooler with its window and tray icon. Started in RM's
// data directory (the working directory); serves the printers of
// VelmoraLabelConfig.XML until "Exit Ferrulin" is chosen in the tray menu.
// "/MINIMIZED" (any case) starts it in the tray.
#include "spooler/app/ferrulin_startup.h"
#include "spooler/app/ferrulin_window.h"
#include "spooler/app/qt_main_loop.h"
#include "spooler/fMain.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Message boxes are titled with the program file's name without extension.
  QApplication::setApplicationName(velmora::ProgramFileTitle(QString::fromLocal8Bit(argv[0])));
  // The window hides in the tray: closing a message box while it is hidden
  // must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);

  velmora::QtMainLoop loop;
  velmora::FerrulinWindow window;
  loop.setErrorHandler([&window](const std::string& message) { window.ShowErrorBox(message); });
  int exitCode = 0;
  {
    velmora::TfrmMain engine(loop, window);
    window.SetButton1Click([&] { loop.post([&engine] { engine.Button1Click(); }); });
    window.move(0, 0);
    window.show();
    // Runs once the event loop is up, right after the window is first shown.
    loop.post([&] { velmora::FerrulinFormShow(engine, window, QApplication::arguments().mid(1)); });
    exitCode = QApplication::exec();
    window.SetButton1Click(nullptr);
  } // the engine goes before the window: every folder is released here
  return exitCode;
}
