// The helper modes a test program runs instead of its tests when it is
// started as "<program> --velmora-helper <mode> <arguments...>" (by
// ChildProcess::helper, or by scripts that check two builds against each other, e.g.
// a Linux program and a Windows one under Wine on the same files):
//
//   hold-open-for-writing <file>        opens the file for reading and
//                                       writing, prints "ready", waits
//   write-in-two-parts <file> <text>    creates the file as the host's writer
//                                       does (sharing reading only), writes
//                                       the first half of the text, prints
//                                       "ready", waits, writes the rest and
//                                       closes it
//   hold-lock <file> <offset> <length>  opens the file, takes an exclusive
//                                       byte-range lock, prints "locked" (or
//                                       "busy" when another holds one), waits
//   probe-lock <file> <offset> <length> prints "locked" when another process
//                                       holds a lock in the range, else "free"
//   write-whole-file <file> <text>      saves the text as the whole file,
//                                       prints "written"
//   hold-single-instance <name>         takes the single-instance guard,
//                                       prints "held" (or "refused"), waits,
//                                       then ends without releasing it
//   serve-as-service <name> <marker>    runs under the service control
//                                       manager as the service <name> (only
//                                       the SCM starts this mode): writes
//                                       "running" into the marker file, and
//                                       "stopped" beneath it when the SCM
//                                       stops the service
//
// "Waits" means until a line arrives on standard input or it is closed. A
// mode that cannot open its file prints "error: <message>" and exits with 2.
#pragma once

#include <optional>

namespace velmora::test {

// When argv asks for a helper mode, runs it and returns the exit code;
// otherwise returns nothing and the tests run.
std::optional<int> runHelperMode(int argc, char** argv);

} // namespace velmora::test
