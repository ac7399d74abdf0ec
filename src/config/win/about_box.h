// Dovetack's about box TAboutBox on the Windows API. A tool window without
// caption buttons, centred on the screen, client area 402 x 219 (scaled by
// the monitor's DPI): a white framed panel with the program picture, the
// bold version lines lblProductVersion and lblServiceVersion, the link (a
// SysLink whose address the shell opens), and the default button "OK" below
// it.
//
// Created once, hidden, after the main window; shown modally on every
// double-click of the program picture (showModal), which works out the
// version lines again (FormShow). Its controls are private; control() finds
// each by its id. The program owns it; window thread only.
#pragma once

#include "config/win/window_text.h"
#include "win/window_class.h"

#include <string>

namespace velmora::config::win {

// The about box's window class, by which the window tests' driver finds it.
inline constexpr wchar_t kAboutBoxClass[] = L"VelmoraDovetackAboutBox";

// The about box's controls' ids; "OK" has the dialog's own.
enum class AboutBoxControlId : int {
  ProgramPicture = 1100,
  Link,
  ProductVersion,
  ServiceVersion,
  Ok = IDOK,
};

class TAboutBox final {
public:
  // `programFolder`: the folder of the running program, where the two
  // executables of the version lines are looked for.
  TAboutBox(HINSTANCE instance, std::string programFolder);
  ~TAboutBox();
  TAboutBox(const TAboutBox&) = delete;
  TAboutBox& operator=(const TAboutBox&) = delete;

  // Makes the (hidden) window, owned by `owner`.
  void create(HWND owner);
  HWND handle() const { return window_; }
  HWND control(AboutBoxControlId id) const { return ::GetDlgItem(window_, static_cast<int>(id)); }

  // Fills the two version lines; run on every show.
  void FormShow();
  // Shows the box centred and modal to its owner; returns when "OK" is
  // pressed (or the box gets IDOK or IDCANCEL).
  void showModal();
  bool showing() const { return showing_; }

private:
  friend class velmora::win::WindowClass<TAboutBox>;
  LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void applyDpi(UINT dpi);
  void layout();
  void close();

  HINSTANCE instance_;
  std::string programFolder_;
  HWND window_ = nullptr;
  HWND owner_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  HBRUSH white_ = nullptr;
  RECT panel_{};
  bool showing_ = false;
  // The controls are children of the box, which destroys them.
  HWND programPicture_ = nullptr;
  HWND lblProductVersion_ = nullptr;
  HWND lblServiceVersion_ = nullptr;
  HWND link_ = nullptr;
  HWND okButton_ = nullptr;
};

} // namespace velmora::config::win
