#include "spooler/app/merged_job_viewer.h"

#include "preview/app/label_painter.h"

#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

#include <vector>

namespace velmora::spooler::app {

MergedJobViewer::MergedJobViewer(const std::string& jobLine, const MergedJobPicture& merged,
                                 QWidget* parent)
    : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("MergedJobViewer"));
  setWindowTitle(QString::fromStdString(jobLine));
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

} // namespace velmora::spooler::app
