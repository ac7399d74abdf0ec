#include "spooler/app/ferrulin_startup.h"

#include <QFileInfo>

namespace velmora {

void FerrulinFormShow(SpoolerEngine& engine, FerrulinWindow& window, const QStringList& arguments) {
  if (engine.start())
    window.ApplyCommandLine(arguments);
}

QString ProgramFileTitle(const QString& argv0) {
  return QFileInfo(argv0).completeBaseName();
}

} // namespace velmora
