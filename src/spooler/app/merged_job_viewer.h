// The merged labels of one delivered job, as the printer would print them:
// what a double-click on a line of Ferrulin's print-jobs list opens. The
// labels stand one below the other in a scrolling window, with the
// renderer's notes (or "no preview for this design") under them.
//
// GUI thread only. The viewer deletes itself when closed.
#pragma once

#include <QDialog>

#include <string>

namespace velmora::spooler {
class SpoolerEngine;
} // namespace velmora::spooler

namespace velmora::spooler::app {

class FerrulinWindow;

class MergedJobViewer final : public QDialog {
public:
  // Reads the merged job at `path` (relative to the working directory) and
  // draws it. Throws the file error when the job cannot be read.
  MergedJobViewer(const std::string& jobLine, const std::string& path, QWidget* parent = nullptr);

  // The number of labels drawn, and the notes shown.
  int labelCount() const { return labelCount_; }
  QString notesText() const { return notes_; }

private:
  int labelCount_ = 0;
  QString notes_;
};

// Makes a double-click on a line of `window`'s print-jobs list show the
// job's merged labels in a MergedJobViewer over the window while the merged
// file `engine` delivered still stands in its destination folder; otherwise
// the window says it is gone (kDeliveredJobGoneMessage). A file that cannot
// be read gives the error box. Both outlive the wiring (set the handler to
// null before the engine goes).
void showMergedJobsOnDoubleClick(FerrulinWindow& window, const SpoolerEngine& engine);

} // namespace velmora::spooler::app
