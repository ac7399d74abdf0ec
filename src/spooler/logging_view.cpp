#include "spooler/logging_view.h"

#include <utility>

namespace velmora::spooler {

LoggingView::LoggingView(platform::MainLoop& loop, SpoolerView& view, DailyLogSettings settings)
    : loop_(loop), view_(view),
      log_(settings, [this](const std::string& message, const std::string& cause) {
        tellLater(message, cause);
      }) {
  for (const std::string& refused : settings.refused)
    tellLater(refused, {});
}

LoggingView::~LoggingView() = default;

void LoggingView::addStatusLine(const std::string& line) {
  log_.write(line);
  view_.addStatusLine(line);
}

void LoggingView::addJobLine(JobId job, const std::string& line) {
  logLine(kJobLineKind, line);
  view_.addJobLine(job, line);
}

void LoggingView::changeJobLine(JobId job, const std::string& line) {
  logLine(kJobLineKind, line);
  view_.changeJobLine(job, line);
}

void LoggingView::clearPrinters() {
  view_.clearPrinters();
}

void LoggingView::addPrinterLine(const std::string& line) {
  logLine("Printer: ", line);
  view_.addPrinterLine(line);
}

void LoggingView::showCause(const std::string& cause) {
  logLine("", cause);
  view_.showCause(cause);
}

void LoggingView::showMessage(const std::string& text) {
  logLine("Message: ", text);
  view_.showMessage(text);
}

void LoggingView::endProgram() {
  view_.endProgram();
}

std::string LoggingView::formatTimestamp(std::chrono::system_clock::time_point when) {
  return view_.formatTimestamp(when);
}

void LoggingView::logLine(std::string_view kind, const std::string& text) {
  log_.write(view_.formatTimestamp(std::chrono::system_clock::now()) + ": " + std::string(kind) +
             text);
}

void LoggingView::tellLater(std::string message, std::string cause) {
  loop_.post([this, alive = std::weak_ptr<bool>(alive_), message = std::move(message),
              cause = std::move(cause)] {
    if (!alive.lock())
      return;
    addStatusLine(formatTimestamp(std::chrono::system_clock::now()) + ": " + message);
    if (!cause.empty())
      showCause(cause);
  });
}

} // namespace velmora::spooler
