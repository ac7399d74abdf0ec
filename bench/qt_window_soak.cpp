// The soak (soak.h) of Ferrulin's Qt window on Qt's offscreen platform: the
// window over the program, its events handled after every batch.
//
//   build/bench/qt_window_soak [jobs [first mark [job lines]]]
#include "soak.h"

#include "spooler/app/ferrulin_window.h"
#include "spooler/ferrulin_program.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
  using namespace velmora;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication application(qtArgc, argv);
  bench::Soak soak("Qt window", argc, argv);
  test::ManualMainLoop loop;
  spooler::app::FerrulinWindowHooks hooks;
  hooks.messageBox = [](const QString&, const QString& text, QMessageBox::Icon) {
    std::fprintf(stderr, "%s\n", text.toStdString().c_str());
  };
  hooks.exitApplication = [](int) {};
  spooler::app::FerrulinWindow window(hooks);
  spooler::FerrulinProgram program(loop, window, {}, soak.kept());
  window.show();
  const auto pump = [] {
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  pump();
  loop.runReady();
  return soak.run(loop, pump, [&] {
    return std::to_string(window.lbQ().count()) + " job lines, " +
           std::to_string(window.lbMessages().count()) + " status lines";
  });
}
