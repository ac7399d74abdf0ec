#include "config/app/label_preview_pane.h"

#include "config/label_preview_size.h"
#include "preview/app/label_painter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

namespace velmora::config::app {

namespace {

// A width or length of the label in hundredths of an inch, shown and read
// as the model writes and reads it ("4.00 in"); the arrows step a quarter
// inch. Text that is no size (yet) waits, and goes back to the last size
// when the box loses the focus.
class InchesBox final : public QSpinBox {
public:
  InchesBox(int hundredths, QWidget* parent) : QSpinBox(parent) {
    setRange(kPreviewSizeMinimum, kPreviewSizeMaximum);
    setSingleStep(kPreviewSizeStep);
    setValue(hundredths);
  }

protected:
  QString textFromValue(int value) const override {
    return QString::fromStdString(inchesText(value));
  }
  int valueFromText(const QString& text) const override {
    return parseInches(text.toStdString()).value_or(value());
  }
  QValidator::State validate(QString& text, int&) const override {
    const std::optional<int> typed = parseInches(text.toStdString());
    if (typed && *typed >= minimum() && *typed <= maximum())
      return QValidator::Acceptable;
    for (const QChar c : text)
      if (!c.isDigit() && !QStringLiteral(".,in \t").contains(c))
        return QValidator::Invalid;
    return QValidator::Intermediate;
  }
};

} // namespace

LabelPreviewPane::LabelPreviewPane(DovetackModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("labelPreview"));
  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  picture_->setMinimumSize(120, 80);
  picture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  picture_->setStyleSheet(QStringLiteral("background: #808080;"));
  notes_ = new QLabel(this);
  notes_->setWordWrap(true);
  notes_->setObjectName(QStringLiteral("previewNotes"));

  const PreviewLabelSize size = model_.previewLabelSize();
  widthInches_ = new InchesBox(size.width, this);
  lengthInches_ = new InchesBox(size.length, this);
  widthInches_->setObjectName(QStringLiteral("previewWidth"));
  lengthInches_->setObjectName(QStringLiteral("previewLength"));
  widthInches_->setToolTip(QStringLiteral("Label width where the design sets no ^PW"));
  lengthInches_->setToolTip(QStringLiteral("Label length where the design sets no ^LL"));
  dpi_ = new QComboBox(this);
  dpi_->setObjectName(QStringLiteral("previewDpi"));
  for (const int dpi : preview::kSupportedDpi) {
    dpi_->addItem(QStringLiteral("%1 dpi").arg(dpi), dpi);
    if (dpi == size.dpi)
      dpi_->setCurrentIndex(dpi_->count() - 1);
  }

  redrawTimer_ = new QTimer(this);
  redrawTimer_->setSingleShot(true);
  redrawTimer_->setInterval(kPreviewRedrawDelayMs);
  connect(redrawTimer_, &QTimer::timeout, this, &LabelPreviewPane::redraw);
  connect(dpi_, &QComboBox::currentIndexChanged, this, &LabelPreviewPane::sizeChosen);
  connect(widthInches_, &QSpinBox::valueChanged, this, &LabelPreviewPane::sizeChosen);
  connect(lengthInches_, &QSpinBox::valueChanged, this, &LabelPreviewPane::sizeChosen);

  auto* sizes = new QGridLayout;
  sizes->addWidget(widthInches_, 0, 0);
  sizes->addWidget(new QLabel(QStringLiteral("x"), this), 0, 1);
  sizes->addWidget(lengthInches_, 0, 2);
  sizes->addWidget(dpi_, 1, 0, 1, 3);
  auto* title = new QLabel(QStringLiteral("Preview with the test print's sample"), this);
  title->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(title);
  layout->addWidget(picture_, 1);
  layout->addWidget(notes_);
  layout->addLayout(sizes);
}

void LabelPreviewPane::setDesignText(const QString& text) {
  designText_ = text;
  redrawTimer_->start();
}

void LabelPreviewPane::sizeChosen() {
  model_.setPreviewLabelSize(
      {widthInches_->value(), lengthInches_->value(), dpi_->currentData().toInt()});
  redraw();
}

void LabelPreviewPane::redraw() {
  redrawTimer_->stop();
  const DesignPreview shown = model_.previewOf(designText_.toStdString());
  image_ = shown.label ? preview::app::paintLabel(*shown.label) : QImage();
  notes_->setText(QString::fromStdString(shown.notes));
  notes_->setVisible(!shown.notes.empty());
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
  const PixelSize drawn =
      previewDrawnSize({image_.width(), image_.height()}, {picture_->width(), picture_->height()});
  if (image_.isNull() || drawn.width == 0) {
    picture_->setPixmap(QPixmap());
    return;
  }
  // Smooth scaling of the 1-bit label reads better on screen than dropped
  // dots would.
  picture_->setPixmap(
      QPixmap::fromImage(image_.convertToFormat(QImage::Format_RGB32)
                             .scaled(QSize(drawn.width, drawn.height), Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation)));
}

} // namespace velmora::config::app
