#include "config/app/program_picture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace velmora::config::app {

QPixmap programPicture() {
  QPixmap picture(156, 76);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  // The roll.
  QLinearGradient roll(0, 10, 0, 66);
  roll.setColorAt(0, QColor(0x5b, 0x6f, 0x8f));
  roll.setColorAt(1, QColor(0x2c, 0x3a, 0x52));
  painter.setBrush(roll);
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRectF(4, 10, 40, 56));
  painter.setBrush(QColor(0xe8, 0xe8, 0xe8));
  painter.drawEllipse(QRectF(16, 28, 16, 20));
  // The label leaving it, with a punched hole and the name.
  QPainterPath label;
  label.addRoundedRect(QRectF(24, 14, 126, 48), 6, 6);
  painter.setBrush(Qt::white);
  painter.setPen(QPen(QColor(0x2c, 0x3a, 0x52), 2));
  painter.drawPath(label);
  painter.setBrush(QColor(0xd8, 0x5c, 0x27));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRectF(136, 33, 8, 8));
  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(17);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(0x2c, 0x3a, 0x52));
  painter.drawText(QRectF(34, 16, 100, 26), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Cartavell"));
  font.setPixelSize(10);
  font.setBold(false);
  painter.setFont(font);
  painter.setPen(QColor(0x5b, 0x6f, 0x8f));
  painter.drawText(QRectF(34, 38, 100, 18), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("kitchen labels"));
  return picture;
}

QIcon programIcon() {
  QPixmap icon(32, 32);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::white);
  painter.setPen(QPen(QColor(0x2c, 0x3a, 0x52), 2));
  painter.drawRoundedRect(QRectF(3, 7, 26, 18), 3, 3);
  painter.setBrush(QColor(0xd8, 0x5c, 0x27));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRectF(21, 13, 5, 5));
  return QIcon(icon);
}

} // namespace velmora::config::app
