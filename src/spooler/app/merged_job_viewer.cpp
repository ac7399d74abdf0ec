#include "spooler/app/merged_job_viewer.h"

#include "preview/app/label_painter.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
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
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("labels"));
    scroll_->setWidget(picture);
    // Every key comes to the viewer, which scrolls the area (keyPressEvent).
    scroll_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(scroll_, 1);
  }
  auto* noteLabel = new QLabel(notes_, this);
  noteLabel->setWordWrap(true);
  noteLabel->setVisible(!notes_.isEmpty());
  layout->addWidget(noteLabel);
  resize(images.empty() ? QSize(360, 120) : QSize(860, 600));
}

void MergedJobViewer::keyPressEvent(QKeyEvent* event) {
  if (scroll_) {
    QScrollBar* down = scroll_->verticalScrollBar();
    QScrollBar* across = scroll_->horizontalScrollBar();
    const auto act = [&](QScrollBar* bar, QAbstractSlider::SliderAction action) {
      bar->triggerAction(action);
      event->accept();
    };
    switch (event->key()) {
    case Qt::Key_Up:
      return act(down, QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Down:
      return act(down, QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_Left:
      return act(across, QAbstractSlider::SliderSingleStepSub);
    case Qt::Key_Right:
      return act(across, QAbstractSlider::SliderSingleStepAdd);
    case Qt::Key_PageUp:
      return act(down, QAbstractSlider::SliderPageStepSub);
    case Qt::Key_PageDown:
      return act(down, QAbstractSlider::SliderPageStepAdd);
    case Qt::Key_Home:
      return act(down, QAbstractSlider::SliderToMinimum);
    case Qt::Key_End:
      return act(down, QAbstractSlider::SliderToMaximum);
    default:
      break;
    }
  }
  QDialog::keyPressEvent(event); // Escape closes
}

} // namespace velmora::spooler::app
