// The soak of the spooler's front ends: many jobs through the real engine in
// the benchmark's own process, on a main loop stepped by hand, so that a
// front end's memory and handles can be watched over a long run in minutes.
//
// Soak makes a data directory of its own (a temporary folder, made the
// working directory): PREP1 served, its destination LABEL1 down and its
// backup LABEL2 up (held by hostsim in a process of its own, as the host's
// spooler holds it), so that every job is a failover with its status lines
// and its changed job line. The front end is then made over the loop; run() drops the jobs in
// batches, steps the loop until each batch is delivered (the host's spooler
// printing and removing what was delivered), lets the front end handle its
// own events (`pump`) after every batch, and prints resident memory and open
// descriptors/handles at the first mark and at the end. It prints figures
// and asserts nothing.
//
// Usage of every soak program: <program> [jobs [first mark [job lines]]], by
// default 20,000 jobs and a mark after 2,000. A window soak keeps `job lines`
// job lines (2,000 by default) and two and a half times as many status lines,
// as the windows do, so that a short run under Wine shows the bound too. One
// thread.
#pragma once

#include "child_process.h"
#include "manual_main_loop.h"
#include "spooler/ferrulin_program.h"
#include "temp_dir.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace velmora::bench {

class Soak final {
public:
  // `name`: the front end, for the figures' lines.
  Soak(std::string name, int argc, char** argv);
  Soak(const Soak&) = delete;
  Soak& operator=(const Soak&) = delete;

  // Runs the jobs; `shown` (when given) says what the window holds at each
  // mark. Returns the program's exit code: 0, or 1 when the jobs stopped
  // being delivered.
  // The lines a window soak keeps.
  spooler::KeptWindowLines kept() const { return kept_; }

  int run(test::ManualMainLoop& loop, const std::function<void()>& pump,
          const std::function<std::string()>& shown = {});

private:
  void mark(std::size_t jobs, const std::function<std::string()>& shown);

  std::string name_;
  std::size_t jobs_ = 20000;
  std::size_t firstMark_ = 2000;
  spooler::KeptWindowLines kept_;
  test::TempWorkDir dir_;
  std::unique_ptr<test::ChildProcess> label2Host_; // holds LABEL2 while the soak runs
  std::size_t firstKib_ = 0;
  std::size_t firstHandles_ = 0;
};

} // namespace velmora::bench
