// Ferrulin: the label spooler with its window and tray icon. Started in RM's
// data directory (the working directory); serves the printers of
// VelmoraLabelConfig.XML until "Exit Ferrulin" is chosen in the tray menu.
// "/MINIMIZED" (any case) starts it in the tray. A termination request from
// the system (SIGTERM, Ctrl+C in the terminal that started it) ends it the
// same way, releasing every folder.
#include "platform/termination_signal.h"
#include "spooler/app/ferrulin_startup.h"
#include "spooler/app/ferrulin_window.h"
#include "spooler/app/merged_job_viewer.h"
#include "spooler/app/qt_main_loop.h"
#include "spooler/spooler_engine.h"

#include <QApplication>

#include <mutex>

int main(int argc, char** argv) {
  // The loop that a termination request is handed to, while there is one.
  std::mutex terminationMutex; // guards terminationLoop
  velmora::spooler::app::QtMainLoop* terminationLoop = nullptr;
  // First, before any thread starts (the signals are blocked in later threads).
  velmora::platform::TerminationSignal termination([&] {
    std::lock_guard lock(terminationMutex);
    if (terminationLoop)
      terminationLoop->post([] { QCoreApplication::exit(0); });
  });

  QApplication app(argc, argv);
  // Message boxes are titled with the program file's name without extension.
  QApplication::setApplicationName(
      velmora::spooler::app::programFileTitle(QString::fromLocal8Bit(argv[0])));
  // The window hides in the tray: closing a message box while it is hidden
  // must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);

  velmora::spooler::app::QtMainLoop loop;
  velmora::spooler::app::FerrulinWindow window;
  window.showErrorsOf(loop);
  int exitCode = 0;
  {
    velmora::spooler::SpoolerEngine engine(loop, window);
    // The hidden button reloads the configuration.
    window.setButton1Click([&] { loop.post([&engine] { engine.LoadConfiguration(); }); });
    window.setSendBackClick([&] { loop.post([&engine] { engine.sendHeldJobsBack(); }); });
    // A double-click on a job shows its merged labels while they still stand
    // in the destination folder.
    velmora::spooler::app::showMergedJobsOnDoubleClick(window, engine);
    window.move(0, 0);
    window.show();
    // Runs once the event loop is up, right after the window is first shown.
    loop.post([&] {
      velmora::spooler::app::ferrulinFormShow(engine, window, QApplication::arguments().mid(1));
    });
    {
      std::lock_guard lock(terminationMutex);
      terminationLoop = &loop;
    }
    exitCode = QApplication::exec();
    {
      std::lock_guard lock(terminationMutex);
      terminationLoop = nullptr;
    }
    window.setButton1Click(nullptr);
    window.setSendBackClick(nullptr);
    window.setJobLineDoubleClick(nullptr);
  } // the engine goes before the window: every folder is released here
  return exitCode;
}
