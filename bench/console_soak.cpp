// The soak (soak.h) of FerrulinConsole's view: the daily log's LoggingView in
// front of a view that prints nothing, so that what is measured is the engine
// and the log, not the terminal.
//
//   build/bench/console_soak [jobs [first mark]]
#include "soak.h"

#include "spooler/logging_view.h"
#include "spooler/spooler_engine.h"

#include <cstdio>

namespace velmora::spooler {
namespace {

class SilentView final : public SpoolerView {
public:
  void addStatusLine(const std::string&) override {}
  void addJobLine(JobId, const std::string&) override {}
  void changeJobLine(JobId, const std::string&) override {}
  void clearPrinters() override {}
  void addPrinterLine(const std::string&) override {}
  void showCause(const std::string&) override {}
  void showMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void endProgram() override {}
  std::string formatTimestamp(std::chrono::system_clock::time_point) override { return "T"; }
};

} // namespace
} // namespace velmora::spooler

int main(int argc, char** argv) {
  using namespace velmora;
  bench::Soak soak("console LoggingView", argc, argv);
  test::ManualMainLoop loop;
  loop.setErrorHandler([](const std::string& message, const std::string& cause) {
    std::fprintf(stderr, "%s\n%s\n", message.c_str(), cause.c_str());
  });
  spooler::SilentView view;
  spooler::LoggingView logging(loop, view);
  spooler::SpoolerEngine engine(loop, logging);
  if (!engine.start())
    return 1;
  return soak.run(loop, [&] { logging.flush(); });
}
