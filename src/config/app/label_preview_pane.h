// The label preview beside the design editor on the "Label Editor" page: the
// design merged with the test print's sample job and drawn as the printer
// would print it (DovetackModel::previewOf), redrawn a moment
// (kPreviewRedrawDelayMs) after each edit, at the zoom of previewDrawnSize.
//
// Under the picture, the width, length and resolution of the label the
// preview falls back on where the design sets no ^PW / ^LL, as a user may
// choose them (config/label_preview_size.h); a choice goes to the model and
// the picture is redrawn. A design that is not ZPL, and whatever the
// renderer clamped or refused, shows as a note under the picture. GUI thread
// only; owned by its parent widget; the model outlives it.
#pragma once

#include "config/dovetack_model.h"

#include <QImage>
#include <QWidget>

class QComboBox;
class QLabel;
class QSpinBox;
class QTimer;

namespace velmora::config::app {

class LabelPreviewPane final : public QWidget {
  Q_OBJECT
public:
  explicit LabelPreviewPane(DovetackModel& model, QWidget* parent = nullptr);

  // The design changed: redraw after kPreviewRedrawDelayMs (edits meanwhile
  // wait with it).
  void setDesignText(const QString& text);
  // Redraws now.
  void redraw();

  // What the pane shows: the label at printer resolution (null when there is
  // no preview) and the notes under it.
  const QImage& labelImage() const { return image_; }
  QString notesText() const;

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void sizeChosen();
  void showScaled();

  DovetackModel& model_;
  QString designText_;
  QImage image_;
  QLabel* picture_ = nullptr;
  QLabel* notes_ = nullptr;
  QSpinBox* widthInches_ = nullptr;
  QSpinBox* lengthInches_ = nullptr;
  QComboBox* dpi_ = nullptr;
  QTimer* redrawTimer_ = nullptr;
};

} // namespace velmora::config::app
