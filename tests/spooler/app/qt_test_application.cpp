#include "qt_test_application.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace velmora::test {
namespace {

class QtApplicationEnvironment final : public ::testing::Environment {
public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) // e.g. xcb under Xvfb, to compare
      qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setApplicationName(QStringLiteral("Ferrulin"));
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { application_.reset(); }

private:
  int argc_ = 1;
  char program_[9] = "Ferrulin";
  char* argv_[2] = {program_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

} // namespace

// A nested event loop, as QApplication::exec runs one: timers fire when due,
// not at the next poll of a sleeping wait.
bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  if (done())
    return true;
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (done())
      loop.quit();
  });
  check.start(2);
  QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
  loop.exec();
  return done();
}

void processEventsFor(std::chrono::milliseconds duration) {
  QEventLoop loop;
  QTimer::singleShot(duration, &loop, &QEventLoop::quit);
  loop.exec();
}

} // namespace velmora::test
