// The QApplication of the Qt front-end tests: made once per test program on
// Qt's offscreen platform (no display needed; QT_QPA_PLATFORM may name
// another, e.g. xcb under Xvfb), named "Ferrulin" as the program's own file
// would name it, and kept until the program ends. The tests run on the main
// thread, which is the GUI thread.
#pragma once

#include <chrono>
#include <functional>

namespace velmora::test {

// Runs Qt's event loop until `done` holds or `timeout` passed; whether it holds.
bool processEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Runs Qt's event loop for `duration`.
void processEventsFor(std::chrono::milliseconds duration);

} // namespace velmora::test
