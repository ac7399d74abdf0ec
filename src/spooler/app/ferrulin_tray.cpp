#include "spooler/app/ferrulin_tray.h"

#include "spooler/daily_log.h"
#include "spooler/spooler_shell.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velmora::spooler::app {

namespace {

QString caption(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QIcon ferrulinIcon() {
  QIcon icon;
  for (const int size : {16, 32, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    // A tag: a rounded card with a cut corner, a punched hole and two text lines.
    QPainterPath tag;
    tag.moveTo(10, 3);
    tag.lineTo(28, 3);
    tag.quadTo(30, 3, 30, 5);
    tag.lineTo(30, 27);
    tag.quadTo(30, 29, 28, 29);
    tag.lineTo(10, 29);
    tag.lineTo(2, 21);
    tag.lineTo(2, 11);
    tag.closeSubpath();
    painter.setPen(QPen(QColor(0x1f, 0x4e, 0x79), 1.5));
    painter.setBrush(QColor(0xf6, 0xc3, 0x44));
    painter.drawPath(tag);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(8, 16), 2.2, 2.2);
    painter.setPen(QPen(QColor(0x1f, 0x4e, 0x79), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(14, 12), QPointF(26, 12));
    painter.drawLine(QPointF(14, 20), QPointF(23, 20));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

FerrulinTray::FerrulinTray(std::function<void()> restore, std::function<void()> sendBack,
                           std::function<void()> openLogFolder, std::function<void()> exit)
    : openItem_(popupMenu_.addAction(caption(spooler::kOpenItemCaption))),
      sendBackItem_(popupMenu_.addAction(caption(spooler::kSendBackItemCaption))),
      openLogFolderItem_(popupMenu_.addAction(caption(spooler::kOpenLogFolderItemCaption))),
      exitItem_(popupMenu_.addAction(caption(spooler::kExitItemCaption))) {
  popupMenu_.setObjectName(QStringLiteral("PopupMenu"));
  openItem_->setObjectName(QStringLiteral("openItem"));
  QFont bold = openItem_->font();
  bold.setBold(true);
  openItem_->setFont(bold);
  popupMenu_.setDefaultAction(openItem_);
  QObject::connect(openItem_, &QAction::triggered, openItem_, restore);
  sendBackItem_->setObjectName(QStringLiteral("sendBackItem"));
  openLogFolderItem_->setObjectName(QStringLiteral("openLogFolderItem"));
  exitItem_->setObjectName(QStringLiteral("ExitItem"));
  QObject::connect(sendBackItem_, &QAction::triggered, sendBackItem_,
                   [sendBack = std::move(sendBack)] { sendBack(); });
  QObject::connect(openLogFolderItem_, &QAction::triggered, openLogFolderItem_,
                   [openLogFolder = std::move(openLogFolder)] { openLogFolder(); });
  trayIcon_.setObjectName(QStringLiteral("TrayIcon"));
  QObject::connect(exitItem_, &QAction::triggered, exitItem_, [exit = std::move(exit)] { exit(); });
  QObject::connect(&trayIcon_, &QSystemTrayIcon::activated, &trayIcon_,
                   [restore = std::move(restore)](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::DoubleClick ||
                         reason == QSystemTrayIcon::Trigger)
                       restore();
                   });
  trayIcon_.setIcon(ferrulinIcon());
  trayIcon_.setToolTip(QString::fromUtf8(spooler::kTrayTip.data(),
                                         static_cast<qsizetype>(spooler::kTrayTip.size())));
  trayIcon_.setContextMenu(&popupMenu_);
  trayIcon_.show();
}

} // namespace velmora::spooler::app
