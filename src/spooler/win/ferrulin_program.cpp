#include "spooler/win/ferrulin_program.h"

#include "spooler/delivered_job.h"
#include "spooler/spooler_shell.h"
#include "win/wide_text.h"

#include <shellapi.h>

#include <exception>

namespace velmora::spooler::win {

FerrulinProgram::FerrulinProgram() : window_(loop_), engine_(loop_, window_) {
  loop_.setErrorHandler([this](const std::string& message, const std::string& cause) {
    if (!cause.empty())
      window_.showCause(cause);
    window_.showErrorBox(message);
  });
  loop_.setErrorBoxHandler([this](const std::string& caption, const std::string& message) {
    window_.showErrorBox(message, caption);
  });
  // The click runs after the handler that made it, as every engine handler.
  window_.setButton1Click([this] { loop_.post([this] { engine_.LoadConfiguration(); }); });
  window_.setSendBackClick([this] { loop_.post([this] { engine_.sendHeldJobsBack(); }); });
  // A double-click on a job shows its merged labels while they still stand
  // in the destination folder.
  window_.setJobLineDoubleClick([this](JobId job) {
    const auto delivered = engine_.deliveredJobs().stillStanding(job);
    if (!delivered) {
      window_.showMessage(kDeliveredJobGoneMessage);
      return;
    }
    try {
      window_.showMergedJob(delivered->jobLine, delivered->delivery.file);
    } catch (const std::exception& error) {
      window_.showErrorBox(error.what());
    }
  });
}

FerrulinProgram::~FerrulinProgram() {
  window_.setButton1Click(nullptr);
  window_.setSendBackClick(nullptr);
  window_.setJobLineDoubleClick(nullptr);
  loop_.setErrorHandler(platform::MainLoop::CauseErrorHandler());
  loop_.setErrorBoxHandler(nullptr);
}

void FerrulinProgram::start(const std::vector<std::string>& arguments) {
  window_.show();
  // Right after the window is first shown, once the loop runs.
  loop_.post([this, arguments] {
    showSpoolerWindow(engine_, arguments, [this] { window_.minimizeToTray(); });
  });
}

int FerrulinProgram::run() {
  return loop_.run();
}

std::vector<std::string> commandLineArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!split)
    return arguments;
  for (int i = 1; i < count; ++i)
    arguments.push_back(velmora::win::fromWide(split[i]));
  ::LocalFree(split);
  return arguments;
}

} // namespace velmora::spooler::win
