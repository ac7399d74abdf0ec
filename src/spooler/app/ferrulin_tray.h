// FerrulinTray: the spooler's icon in the notification area (TrayIcon) with
// its menu (PopupMenu): "Open" (openItem, the default, in bold), "Send Held
// Jobs Back" (sendBackItem), "Open Log Folder" (openLogFolderItem) and "Exit
// Ferrulin" (ExitItem).
//
// The icon is shown for the whole life of the object. A click or a
// double-click on it asks for the window back (`restore`), as "Open" does;
// the menu opens on a right-click; its other items ask to send the held jobs
// back (`sendBack`), to show the log's folder (`openLogFolder`) and to end
// the program (`exit`). The main window owns this object.
// GUI thread only.
#pragma once

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include <functional>

namespace velmora::spooler::app {

// The program's icon, drawn at run time: a label tag. Used for the tray and
// the window.
QIcon ferrulinIcon();

class FerrulinTray final {
public:
  FerrulinTray(std::function<void()> restore, std::function<void()> sendBack,
               std::function<void()> openLogFolder, std::function<void()> exit);
  FerrulinTray(const FerrulinTray&) = delete;
  FerrulinTray& operator=(const FerrulinTray&) = delete;

  QSystemTrayIcon& TrayIcon() { return trayIcon_; }
  QMenu& PopupMenu() { return popupMenu_; }
  QAction& openItem() { return *openItem_; }
  QAction& sendBackItem() { return *sendBackItem_; }
  QAction& openLogFolderItem() { return *openLogFolderItem_; }
  QAction& ExitItem() { return *exitItem_; }

private:
  QMenu popupMenu_;
  QAction* openItem_;          // owned by popupMenu_
  QAction* sendBackItem_;      // owned by popupMenu_
  QAction* openLogFolderItem_; // owned by popupMenu_
  QAction* exitItem_;          // owned by popupMenu_
  QSystemTrayIcon trayIcon_;
};

} // namespace velmora::spooler::app
