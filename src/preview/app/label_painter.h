// Paints a label's drawing operations with Qt, the way the printer prints
// them: at the printer's resolution (one pixel per dot), black and white,
// one bit deep. The front ends scale the picture for the screen.
//
// Text is drawn with DejaVu Sans Condensed Bold (Debian's fonts-dejavu-extra)
// stretched along the baseline to the length the renderer measured: an
// approximation of the printer's own font. Needs a QGuiApplication; GUI
// thread, or any thread that owns its QImage.
#pragma once

#include "preview/drawing.h"

#include <QImage>

#include <vector>

namespace velmora::preview::app {

// The label as a 1-bit image of widthDots x lengthDots pixels.
QImage paintLabel(const LabelDrawing& label);

// Labels one below the other, `gap` pixels of grey between them, on one
// image as wide as the widest.
QImage stackLabels(const std::vector<QImage>& labels, int gap = 16);

} // namespace velmora::preview::app
