// The QApplication of the window tests, on Qt's offscreen platform so that
// the tests need no display. Made on first use and kept for the process.
#pragma once

#include <QApplication>

namespace velmora::test {

inline QApplication& offscreenApplication() {
  static int argc = 1;
  static char name[] = "dovetack_window_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* application = new QApplication(argc, argv);
  return *application;
}

} // namespace velmora::test
