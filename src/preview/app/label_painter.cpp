#include "preview/app/label_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <map>

namespace velmora::preview::app {
namespace {

QFont labelFont(int pixelHeight) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStretch(QFont::Condensed);
  font.setWeight(QFont::Bold);
  font.setPixelSize(std::max(1, pixelHeight));
  font.setStyleStrategy(QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// The outline of a rectangle or ellipse `thickness` dots wide inside the
// box, or the whole box when it is that thick: one path, so that a reverse
// (XOR) field inverts each dot once.
QPainterPath shapePath(const DrawOp& op) {
  const QRectF outer(op.x, op.y, op.width, op.height);
  const double smaller = std::min(op.width, op.height);
  const bool filled = 2.0 * op.thickness >= smaller;
  QPainterPath path;
  path.setFillRule(Qt::OddEvenFill);
  if (op.kind == OpKind::ellipse) {
    path.addEllipse(outer);
    if (!filled)
      path.addEllipse(outer.adjusted(op.thickness, op.thickness, -op.thickness, -op.thickness));
    return path;
  }
  const double radius = op.rounding * smaller / 16.0;
  if (radius > 0)
    path.addRoundedRect(outer, radius, radius);
  else
    path.addRect(outer);
  if (!filled) {
    const QRectF inner = outer.adjusted(op.thickness, op.thickness, -op.thickness, -op.thickness);
    const double innerRadius = std::max(0.0, radius - op.thickness);
    if (innerRadius > 0)
      path.addRoundedRect(inner, innerRadius, innerRadius);
    else
      path.addRect(inner);
  }
  return path;
}

QPainterPath diagonalPath(const DrawOp& op) {
  const double x = op.x, y = op.y, w = op.width, h = op.height, t = op.thickness;
  QPolygonF polygon;
  if (op.leftLeaning)
    polygon << QPointF(x, y) << QPointF(x + t, y) << QPointF(x + w, y + h)
            << QPointF(x + w - t, y + h);
  else
    polygon << QPointF(x, y + h) << QPointF(x + t, y + h) << QPointF(x + w, y)
            << QPointF(x + w - t, y);
  QPainterPath path;
  path.addPolygon(polygon);
  path.closeSubpath();
  return path;
}

int degrees(Orientation o) {
  switch (o) {
  case Orientation::rotated90:
    return 90;
  case Orientation::inverted180:
    return 180;
  case Orientation::rotated270:
    return 270;
  default:
    return 0;
  }
}

} // namespace

QImage paintLabel(const LabelDrawing& label) {
  QImage image(std::max(1, label.widthDots), std::max(1, label.lengthDots), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setPen(Qt::NoPen);
  std::map<int, QFont> fonts;
  for (const DrawOp& op : label.ops) {
    // Reverse fields XOR white onto the label, which turns each dot over.
    painter.setCompositionMode(op.reverse ? QPainter::RasterOp_SourceXorDestination
                                          : QPainter::CompositionMode_SourceOver);
    const QColor color = op.reverse || !op.black ? Qt::white : Qt::black;
    switch (op.kind) {
    case OpKind::rectangle:
      if (op.rounding == 0 && 2 * op.thickness >= std::min(op.width, op.height))
        painter.fillRect(op.x, op.y, op.width, op.height, color);
      else
        painter.fillPath(shapePath(op), color);
      break;
    case OpKind::ellipse:
      painter.fillPath(shapePath(op), color);
      break;
    case OpKind::diagonal:
      painter.fillPath(diagonalPath(op), color);
      break;
    case OpKind::text: {
      auto found = fonts.find(op.fontHeight);
      if (found == fonts.end())
        found = fonts.emplace(op.fontHeight, labelFont(op.fontHeight)).first;
      const QString text =
          QString::fromUtf8(op.text.data(), static_cast<qsizetype>(op.text.size()));
      const double measured = QFontMetricsF(found->second).horizontalAdvance(text);
      if (measured <= 0 || op.advance <= 0)
        break;
      painter.save();
      painter.translate(op.x, op.y);
      painter.rotate(degrees(op.orientation));
      painter.scale(op.advance / measured, 1.0);
      QPainterPath path;
      path.addText(0, 0, found->second, text);
      painter.fillPath(path, color);
      painter.restore();
      break;
    }
    }
  }
  painter.end();
  return image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
}

QImage stackLabels(const std::vector<QImage>& labels, int gap) {
  int width = 1;
  int height = 0;
  for (const QImage& label : labels) {
    width = std::max(width, label.width());
    height += label.height();
  }
  height += gap * static_cast<int>(labels.size() > 0 ? labels.size() - 1 : 0);
  QImage result(width, std::max(1, height), QImage::Format_RGB32);
  result.fill(QColor(200, 200, 200));
  QPainter painter(&result);
  int y = 0;
  for (const QImage& label : labels) {
    painter.drawImage(0, y, label);
    y += label.height() + gap;
  }
  return result;
}

} // namespace velmora::preview::app
