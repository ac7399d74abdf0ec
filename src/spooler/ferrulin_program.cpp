#include "spooler/ferrulin_program.h"

#include "platform/caused_error.h"
#include "spooler/daily_log.h"
#include "spooler/spooler_shell.h"

#include <chrono>
#include <exception>
#include <utility>

namespace velmora::spooler {
namespace {

// One more line comes into a list of the window that shows `shown` lines and
// keeps the newest `kept`: counts it, and says how many of the oldest lines
// go first.
std::size_t oldestLinesToRemove(std::size_t& shown, std::size_t kept) {
  if (shown < kept) {
    ++shown;
    return 0;
  }
  const std::size_t excess = shown + 1 - kept;
  shown = kept;
  return excess;
}

} // namespace

FerrulinProgram::FerrulinProgram(platform::MainLoop& loop, FerrulinWindowPort& window,
                                 std::vector<std::string> arguments, KeptWindowLines kept)
    : loop_(loop), window_(window), arguments_(std::move(arguments)), kept_(kept),
      loggingView_(loop, *this), engine_(loop, loggingView_) {
  loop_.setErrorHandler([this](const std::string& message, const std::string& cause) {
    if (!cause.empty())
      loggingView_.showCause(cause);
    window_.showErrorBox(message);
  });
  loop_.setErrorBoxHandler([this](const std::string& caption, const std::string& message) {
    window_.showErrorBox(message, caption);
  });
  window_.forwardEventsTo(this);
}

FerrulinProgram::~FerrulinProgram() {
  renders_.clear(); // waits for the renders still running
  window_.forwardEventsTo(nullptr);
  loop_.setErrorHandler(platform::MainLoop::CauseErrorHandler());
  loop_.setErrorBoxHandler(nullptr);
}

void FerrulinProgram::FormShow() {
  if (shown_)
    return;
  shown_ = true;
  // Right after the window is first shown, once the loop runs.
  postStep([this] { firstShow(); });
}

void FerrulinProgram::firstShow() {
  if (!engine_.start())
    return;
  for (const std::string& argument : arguments_)
    if (isMinimizedSwitch(argument))
      window_.minimizeToTray();
}

bool FerrulinProgram::FormCloseQuery() {
  if (ending_)
    return true; // the window goes with the program
  window_.showMessage(std::string(kCloseRefusal));
  return false;
}

void FerrulinProgram::Button1Click() {
  postStep([this] { engine_.LoadConfiguration(); });
}

void FerrulinProgram::sendBackItemClick() {
  postStep([this] { engine_.sendHeldJobsBack(); });
}

void FerrulinProgram::ExitItemClick() {
  end(0);
}

void FerrulinProgram::openLogFolderItemClick() {
  try {
    openLogFolder();
  } catch (const std::exception& error) {
    if (const std::string cause = platform::causeOf(error); !cause.empty())
      loggingView_.showCause(cause);
    window_.showErrorBox(error.what());
  }
}

void FerrulinProgram::jobLineDoubleClick(JobId job) {
  const auto delivered = engine_.deliveredJobs().stillStanding(job);
  if (!delivered) {
    window_.showMessage(kDeliveredJobGoneMessage);
    return;
  }
  std::erase_if(renders_, [](const std::future<void>& render) {
    return render.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  });
  renders_.push_back(std::async(std::launch::async, [this, delivered = *delivered] {
    // Render thread: only the loop's post() and the job's own copy are used here.
    std::function<void()> show;
    try {
      show = [this, delivered, picture = renderMergedJob(delivered.delivery.file)] {
        window_.showMergedJob(delivered, picture);
      };
    } catch (const std::exception& error) {
      show = [this, message = std::string(error.what())] { window_.showErrorBox(message); };
    }
    postStep(std::move(show));
  }));
}

void FerrulinProgram::addStatusLine(const std::string& line) {
  if (const std::size_t oldest = oldestLinesToRemove(statusLinesShown_, kept_.status))
    window_.removeOldestStatusLines(oldest);
  window_.addStatusLine(line);
}

void FerrulinProgram::addJobLine(JobId job, const std::string& line) {
  if (const std::size_t oldest = oldestLinesToRemove(jobLinesShown_, kept_.jobs))
    window_.removeOldestJobLines(oldest);
  window_.addJobLine(job, line);
}

void FerrulinProgram::changeJobLine(JobId job, const std::string& line) {
  window_.changeJobLine(job, line);
}

void FerrulinProgram::clearPrinters() {
  window_.clearPrinters();
}

void FerrulinProgram::addPrinterLine(const std::string& line) {
  window_.addPrinterLine(line);
}

void FerrulinProgram::showCause(const std::string& cause) {
  // The window shows it as a line of the status log.
  if (const std::size_t oldest = oldestLinesToRemove(statusLinesShown_, kept_.status))
    window_.removeOldestStatusLines(oldest);
  window_.showCause(cause);
}

void FerrulinProgram::showMessage(const std::string& text) {
  window_.showMessage(text);
}

std::string FerrulinProgram::formatTimestamp(std::chrono::system_clock::time_point when) {
  return window_.formatTimestamp(when);
}

void FerrulinProgram::endProgram() {
  end(kEndProgramExitCode);
}

void FerrulinProgram::postStep(std::function<void()> step) {
  loop_.post([alive = std::weak_ptr<bool>(alive_), step = std::move(step)] {
    if (alive.lock())
      step();
  });
}

void FerrulinProgram::end(int exitCode) {
  ending_ = true;
  window_.endMainLoop(exitCode);
}

} // namespace velmora::spooler
