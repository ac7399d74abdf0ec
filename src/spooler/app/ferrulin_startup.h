// The Qt window's side of the spooler's start (spooler/spooler_shell.h holds
// the steps themselves): the window's first show (the first configuration
// load, the configuration watcher, then the "/MINIMIZED" switch), and the
// program file's name that titles its message boxes. GUI thread only.
#pragma once

#include "spooler/app/ferrulin_window.h"
#include "spooler/spooler_engine.h"

#include <QString>
#include <QStringList>

namespace velmora::spooler::app {

// spooler::showSpoolerWindow with the window's minimizeToTray; `arguments`
// are those after the program name.
void ferrulinFormShow(SpoolerEngine& engine, FerrulinWindow& window, const QStringList& arguments);

// The program file's name without its extension, from argv[0].
QString programFileTitle(const QString& argv0);

} // namespace velmora::spooler::app
