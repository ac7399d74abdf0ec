#include "config/app/label_preview_pane.h"

#include "config/design_preview.h"
#include "preview/app/label_painter.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace velmora::config::app {

LabelPreviewPane::LabelPreviewPane(std::function<std::string()> sampleTime, QWidget* parent)
    : QWidget(parent), sampleTime_(std::move(sampleTime)) {
  setObjectName(QStringLiteral("paneLabelPreview"));
  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  picture_->setMinimumSize(120, 80);
  picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  picture_->setStyleSheet(QStringLiteral("background: #808080;"));
  notes_ = new QLabel(this);
  notes_->setWordWrap(true);
  notes_->setObjectName(QStringLiteral("lblPreviewNotes"));

  dpi_ = new QComboBox(this);
  for (const int dpi : preview::kSupportedDpi)
    dpi_->addItem(QStringLiteral("%1 dpi").arg(dpi), dpi);
  dpi_->setCurrentIndex(1); // 203
  const auto inches = [this](double value) {
    auto* box = new QDoubleSpinBox(this);
    box->setRange(0.5, 8.0);
    box->setSingleStep(0.25);
    box->setDecimals(2);
    box->setSuffix(QStringLiteral(" in"));
    box->setValue(value);
    return box;
  };
  widthInches_ = inches(4.0);
  lengthInches_ = inches(2.0);
  widthInches_->setToolTip(QStringLiteral("Label width where the design sets no ^PW"));
  lengthInches_->setToolTip(QStringLiteral("Label length where the design sets no ^LL"));

  redrawTimer_ = new QTimer(this);
  redrawTimer_->setSingleShot(true);
  redrawTimer_->setInterval(kRedrawDelayMs);
  connect(redrawTimer_, &QTimer::timeout, this, &LabelPreviewPane::redraw);
  connect(dpi_, &QComboBox::currentIndexChanged, this, &LabelPreviewPane::redraw);
  connect(widthInches_, &QDoubleSpinBox::valueChanged, this, &LabelPreviewPane::redraw);
  connect(lengthInches_, &QDoubleSpinBox::valueChanged, this, &LabelPreviewPane::redraw);

  auto* size = new QGridLayout;
  size->addWidget(widthInches_, 0, 0);
  size->addWidget(new QLabel(QStringLiteral("x"), this), 0, 1);
  size->addWidget(lengthInches_, 0, 2);
  size->addWidget(dpi_, 1, 0, 1, 3);
  auto* title = new QLabel(QStringLiteral("Preview with the test print's sample"), this);
  title->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(picture_, 1);
  layout->addWidget(notes_);
  layout->addLayout(size);
}

void LabelPreviewPane::setDesignText(const QString& text) {
  designText_ = text;
  redrawTimer_->start();
}

preview::RenderOptions LabelPreviewPane::options() const {
  preview::RenderOptions options;
  options.dpi = dpi_->currentData().toInt();
  options.defaultWidthDots = static_cast<int>(std::lround(widthInches_->value() * options.dpi));
  options.defaultLengthDots = static_cast<int>(std::lround(lengthInches_->value() * options.dpi));
  options.maxLabels = 1;
  return options;
}

void LabelPreviewPane::redraw() {
  redrawTimer_->stop();
  const auto rendering =
      velmora::config::previewDesign(designText_.toStdString(), sampleTime_(), options());
  QStringList notes;
  for (const auto& note : rendering.notes)
    notes << QString::fromStdString(note);
  if (rendering.labels.empty()) {
    image_ = QImage();
  } else {
    const auto& label = rendering.labels.front();
    for (const auto& note : label.notes)
      notes << QString::fromStdString(note);
    image_ = preview::app::paintLabel(label);
  }
  notes_->setText(notes.join(QLatin1Char('\n')));
  notes_->setVisible(!notes.isEmpty());
  showScaled();
}

QString LabelPreviewPane::notesText() const {
  return notes_->text();
}

void LabelPreviewPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  showScaled();
}

void LabelPreviewPane::showScaled() {
  if (image_.isNull()) {
    picture_->setPixmap(QPixmap());
    return;
  }
  // Smooth scaling of the 1-bit label reads better on screen than dropped
  // dots would.
  const QSize room = picture_->size().boundedTo(image_.size());
  picture_->setPixmap(
      QPixmap::fromImage(image_.convertToFormat(QImage::Format_RGB32)
                             .scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

} // namespace velmora::config::app
