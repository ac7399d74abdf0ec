#include "spooler/app/ferrulin_startup.h"

#include "spooler/spooler_shell.h"

#include <string>
#include <vector>

namespace velmora::spooler::app {

void ferrulinFormShow(SpoolerEngine& engine, FerrulinWindow& window, const QStringList& arguments) {
  std::vector<std::string> utf8Arguments;
  for (const QString& argument : arguments)
    utf8Arguments.push_back(argument.toStdString());
  spooler::showSpoolerWindow(engine, utf8Arguments, [&window] { window.minimizeToTray(); });
}

QString programFileTitle(const QString& argv0) {
  return QString::fromStdString(spooler::programFileTitle(argv0.toStdString()));
}

} // namespace velmora::spooler::app
