// The label preview beside the design editor on the "Label Editor" page: the
// design merged with the test print's sample job and drawn as the printer
// would print it, redrawn a moment (kRedrawDelayMs) after each edit.
//
// The label's size comes from the design's ^PW and ^LL where it has them,
// else from the width, length and resolution chosen in the pane, which live
// for this session only (nothing is stored). A design that is not ZPL, and
// whatever the renderer clamped or refused, shows as a note under the
// picture. GUI thread only; owned by its parent widget.
#pragma once

#include "preview/zpl_renderer.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <string>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QTimer;

namespace velmora::config::app {

class LabelPreviewPane final : public QWidget {
  Q_OBJECT
public:
  static constexpr int kRedrawDelayMs = 150;

  // `sampleTime` gives the text of the sample job's time line at each redraw.
  explicit LabelPreviewPane(std::function<std::string()> sampleTime, QWidget* parent = nullptr);

  // The design changed: redraw after kRedrawDelayMs (edits meanwhile wait
  // with it).
  void setDesignText(const QString& text);
  // Redraws now.
  void redraw();

  // What the pane shows: the label at printer resolution (null when there is
  // no preview) and the notes under it.
  const QImage& labelImage() const { return image_; }
  QString notesText() const;
  preview::RenderOptions options() const;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void showScaled();

  std::function<std::string()> sampleTime_;
  QString designText_;
  QImage image_;
  QLabel* picture_ = nullptr;
  QLabel* notes_ = nullptr;
  QComboBox* dpi_ = nullptr;
  QDoubleSpinBox* widthInches_ = nullptr;
  QDoubleSpinBox* lengthInches_ = nullptr;
  QTimer* redrawTimer_ = nullptr;
};

} // namespace velmora::config::app
