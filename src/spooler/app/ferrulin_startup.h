// The steps of the spooler's start that join the engine and the window: the
// window's first show (the first configuration load, the configuration
// watcher, then the "/MINIMIZED" switch), and the program file's name that
// titles its message boxes. GUI thread only.
#pragma once

#include "spooler/app/ferrulin_window.h"
#include "spooler/spooler_engine.h"

#include <QString>
#include <QStringList>

namespace velmora {

// Runs the engine's start() and, when the first load succeeded, applies the
// command-line `arguments` (those after the program name) to the window.
// A failed first load leaves "/MINIMIZED" without effect: the error box is
// on its way and the window stays in sight.
void FerrulinFormShow(SpoolerEngine& engine, FerrulinWindow& window, const QStringList& arguments);

// The program file's name without its extension, from argv[0].
QString ProgramFileTitle(const QString& argv0);

} // namespace velmora
