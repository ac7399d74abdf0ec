#include "spooler/win/ferrulin_tray.h"

#include "spooler/daily_log.h"
#include "spooler/spooler_shell.h"
#include "win/wide_text.h"

#include <shellapi.h>

namespace velmora::spooler::win {

FerrulinTray::FerrulinTray(HWND owner, HICON icon) {
  data_.cbSize = sizeof data_;
  data_.hWnd = owner;
  data_.uID = 1;
  data_.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
  data_.uCallbackMessage = kCallbackMessage;
  data_.hIcon = icon;
  const std::wstring tip = velmora::win::toWide(kTrayTip);
  ::lstrcpynW(data_.szTip, tip.c_str(), static_cast<int>(std::size(data_.szTip)));

  popupMenu_ = ::CreatePopupMenu();
  ::AppendMenuW(popupMenu_, MF_STRING, kOpenItemId, velmora::win::toWide(kOpenItemCaption).c_str());
  ::SetMenuDefaultItem(popupMenu_, kOpenItemId, FALSE);
  ::AppendMenuW(popupMenu_, MF_STRING, kSendBackItemId,
                velmora::win::toWide(kSendBackItemCaption).c_str());
  ::AppendMenuW(popupMenu_, MF_STRING, kOpenLogFolderItemId,
                velmora::win::toWide(kOpenLogFolderItemCaption).c_str());
  ::AppendMenuW(popupMenu_, MF_STRING, kExitItemId, velmora::win::toWide(kExitItemCaption).c_str());
  add();
}

FerrulinTray::~FerrulinTray() {
  if (shown_)
    ::Shell_NotifyIconW(NIM_DELETE, &data_);
  ::DestroyMenu(popupMenu_);
}

bool FerrulinTray::add() {
  // Whatever the notification area still holds of the icon goes first, so
  // that adding it again never fails for being there already.
  ::Shell_NotifyIconW(NIM_DELETE, &data_);
  shown_ = ::Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
  return shown_;
}

void FerrulinTray::showMenu() {
  POINT at{};
  ::GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if its owner is the
  // foreground window; the message after it lets the menu go away cleanly.
  ::SetForegroundWindow(data_.hWnd);
  ::TrackPopupMenu(popupMenu_, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, data_.hWnd,
                   nullptr);
  ::PostMessageW(data_.hWnd, WM_NULL, 0, 0);
}

} // namespace velmora::spooler::win
