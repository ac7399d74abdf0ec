// FerrulinTray: the spooler's icon in the notification area (TrayIcon) with
// its tip and its menu (PopupMenu): "Open" (the default item, in bold: what
// a double-click on the icon does), "Send Held Jobs Back" (sendBackItem),
// "Open Log Folder" and "Exit Ferrulin" (ExitItem), through Shell_NotifyIconW.
//
// The icon's mouse events come to the owner window as kCallbackMessage (the
// mouse message in lParam); the menu's items come as WM_COMMAND with
// kOpenItemId, kSendBackItemId, kOpenLogFolderItemId and kExitItemId. When Explorer restarts it
// loses every icon and broadcasts "TaskbarCreated"; the owner then calls add() again. The owner
// window owns this object; destroying it removes the icon. Window thread.
#pragma once

#include <windows.h>
// After windows.h.
#include <shellapi.h>

namespace velmora::spooler::win {

class FerrulinTray final {
public:
  static constexpr UINT kCallbackMessage = WM_APP + 10;
  static constexpr int kSendBackItemId = 1000;
  static constexpr int kExitItemId = 1001;
  static constexpr int kOpenLogFolderItemId = 1002;
  static constexpr int kOpenItemId = 1003;

  FerrulinTray(HWND owner, HICON icon);
  ~FerrulinTray();
  FerrulinTray(const FerrulinTray&) = delete;
  FerrulinTray& operator=(const FerrulinTray&) = delete;

  // Puts the icon into the notification area (again); false when there is
  // none to take it (no shell running).
  bool add();
  // Whether the notification area holds the icon now.
  bool shown() const { return shown_; }

  // Opens PopupMenu at the mouse pointer; its item is posted to the owner.
  void showMenu();

  HMENU PopupMenu() const { return popupMenu_; }

private:
  NOTIFYICONDATAW data_{};
  HMENU popupMenu_ = nullptr;
  bool shown_ = false;
};

} // namespace velmora::spooler::win
