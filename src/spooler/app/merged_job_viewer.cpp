#include "spooler/app/merged_job_viewer.h"

#include "preview/app/label_painter.h"
#include "spooler/app/ferrulin_window.h"
#include "spooler/delivered_job.h"
#include "spooler/spooler_engine.h"

#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

#include <exception>

namespace velmora::spooler::app {

MergedJobViewer::MergedJobViewer(const std::string& jobLine, const std::string& path,
                                 QWidget* parent)
    : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("MergedJobViewer"));
  setWindowTitle(QString::fromStdString(jobLine));
  const MergedJobPicture merged = renderMergedJob(path);
  std::vector<QImage> images;
  for (const auto& label : merged.rendering.labels)
    images.push_back(preview::app::paintLabel(label));
  labelCount_ = static_cast<int>(images.size());
  notes_ = QString::fromStdString(merged.notes);

  auto* layout = new QVBoxLayout(this);
  if (!images.empty()) {
    auto* picture = new QLabel;
    picture->setPixmap(QPixmap::fromImage(preview::app::stackLabels(images)));
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(picture);
    layout->addWidget(scroll, 1);
  }
  auto* noteLabel = new QLabel(notes_, this);
  noteLabel->setWordWrap(true);
  noteLabel->setVisible(!notes_.isEmpty());
  layout->addWidget(noteLabel);
  resize(images.empty() ? QSize(360, 120) : QSize(860, 600));
}

void showMergedJobsOnDoubleClick(FerrulinWindow& window, const SpoolerEngine& engine) {
  window.setJobLineDoubleClick([&window, &engine](JobId job) {
    const auto delivered = engine.deliveredJobs().stillStanding(job);
    if (!delivered) {
      window.showMessage(kDeliveredJobGoneMessage);
      return;
    }
    try {
      (new MergedJobViewer(delivered->jobLine, delivered->delivery.file, &window))->show();
    } catch (const std::exception& error) {
      window.showErrorBox(error.what());
    }
  });
}

} // namespace velmora::spooler::app
