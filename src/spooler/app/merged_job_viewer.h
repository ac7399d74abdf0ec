// The merged labels of one delivered job, as the printer would print them:
// what a double-click on a line of Ferrulin's print-jobs list opens. The
// labels stand one below the other in a scrolling window, with the
// renderer's notes (or "no preview for this design") under them. The keys
// scroll it (the arrows by a step, Page Up and Page Down by a page, Home and
// End to the first and the last label); Escape closes it.
//
// GUI thread only. The viewer deletes itself when closed.
#pragma once

#include "spooler/delivered_job.h"

#include <QDialog>

class QKeyEvent;
class QScrollArea;

#include <string>

namespace velmora::spooler::app {

class MergedJobViewer final : public QDialog {
public:
  // Paints `picture` (renderMergedJob's), titled with the job's line.
  MergedJobViewer(const std::string& jobLine, const MergedJobPicture& picture,
                  QWidget* parent = nullptr);

  // The number of labels drawn, and the notes shown.
  int labelCount() const { return labelCount_; }
  QString notesText() const { return notes_; }

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  QScrollArea* scroll_ = nullptr; // a child; none without labels
  int labelCount_ = 0;
  QString notes_;
};

} // namespace velmora::spooler::app
