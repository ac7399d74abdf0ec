#include "config/win/about_box.h"

#include "config/program_messages.h"
#include "config/win/program_picture.h"
#include "win/window_class.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>

namespace velmora::config::win {

namespace {

constexpr const wchar_t* kClassName = kAboutBoxClass;
constexpr int kClientWidth = 402;
constexpr int kClientHeight = 219;
// LM_GETIDEALSIZE of the SysLink control, which MinGW's commctrl.h lacks.
constexpr UINT kLinkGetIdealSize = WM_USER + 0x301;

} // namespace

TAboutBox::TAboutBox(HINSTANCE instance, std::string programFolder)
    : instance_(instance), programFolder_(std::move(programFolder)) {}

TAboutBox::~TAboutBox() {
  if (window_)
    ::DestroyWindow(window_);
  if (font_)
    ::DeleteObject(font_);
  if (boldFont_)
    ::DeleteObject(boldFont_);
  if (white_)
    ::DeleteObject(white_);
}

void TAboutBox::create(HWND owner) {
  velmora::win::WindowClass<TAboutBox>::registerClass(
      instance_, kClassName, {.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
  owner_ = owner;
  white_ = ::CreateSolidBrush(RGB(0xff, 0xff, 0xff));
  // A tool window with a caption and no caption buttons (no system menu).
  window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
                              kClassName, L"About", WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN, 0, 0,
                              kClientWidth, kClientHeight, owner, nullptr, instance_, this);
  auto child = [&](const wchar_t* className, const wchar_t* text, DWORD style,
                   AboutBoxControlId id) {
    return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10,
                             window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                             nullptr);
  };
  programPicture_ = child(WC_STATICW, L"", SS_OWNERDRAW, AboutBoxControlId::ProgramPicture);
  lblProductVersion_ = child(WC_STATICW, toWide(kVersionLines[0].caption).c_str(),
                             SS_CENTER | SS_NOPREFIX, AboutBoxControlId::ProductVersion);
  lblServiceVersion_ = child(WC_STATICW, toWide(kVersionLines[1].caption).c_str(),
                             SS_CENTER | SS_NOPREFIX, AboutBoxControlId::ServiceVersion);
  const std::wstring address = toWide(kMakerWebAddress);
  const std::wstring link = L"<a href=\"" + address + L"\">" + address + L"</a>";
  link_ = child(WC_LINK, link.c_str(), WS_TABSTOP, AboutBoxControlId::Link);
  okButton_ = child(WC_BUTTONW, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, AboutBoxControlId::Ok);
  applyDpi(windowDpi(window_));
}

void TAboutBox::applyDpi(UINT dpi) {
  dpi_ = dpi;
  for (HFONT* font : {&font_, &boldFont_})
    if (*font)
      ::DeleteObject(*font);
  font_ = createMessageFont(dpi, false);
  boldFont_ = createMessageFont(dpi, true);
  for (HWND control : {link_, okButton_})
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  for (HWND control : {lblProductVersion_, lblServiceVersion_})
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), TRUE);
  const SIZE frame = velmora::win::outerSizeForClient(
      kClientWidth, kClientHeight, static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE)),
      static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE)), dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  layout();
}

void TAboutBox::layout() {
  RECT client{};
  ::GetClientRect(window_, &client);
  const int margin = scaled(8, dpi_);
  const int buttonHeight = scaled(25, dpi_);
  const int buttonWidth = scaled(75, dpi_);
  const int line = scaled(18, dpi_);
  panel_ =
      RECT{margin, margin, client.right - margin, client.bottom - margin - buttonHeight - margin};
  const int inner = scaled(6, dpi_);
  const int width = panel_.right - panel_.left - 2 * inner;
  int bottom = panel_.bottom - inner;
  ::MoveWindow(link_, panel_.left + inner, bottom - line, width, line, TRUE);
  bottom -= line;
  ::MoveWindow(lblServiceVersion_, panel_.left + inner, bottom - line, width, line, TRUE);
  bottom -= line;
  ::MoveWindow(lblProductVersion_, panel_.left + inner, bottom - line, width, line, TRUE);
  bottom -= line + scaled(4, dpi_);
  // The picture centred above the lines, scaled with its proportions kept.
  const int top = panel_.top + inner;
  int pictureHeight = bottom - top;
  int pictureWidth = MulDiv(pictureHeight, kProgramPictureWidth, kProgramPictureHeight);
  if (pictureWidth > width) {
    pictureWidth = width;
    pictureHeight = MulDiv(width, kProgramPictureHeight, kProgramPictureWidth);
  }
  ::MoveWindow(programPicture_, (client.right - pictureWidth) / 2, top, pictureWidth, pictureHeight,
               TRUE);
  ::MoveWindow(okButton_, (client.right - buttonWidth) / 2, client.bottom - margin - buttonHeight,
               buttonWidth, buttonHeight, TRUE);
  // The link label as wide as its text, centred.
  SIZE ideal{};
  if (::SendMessageW(link_, kLinkGetIdealSize, static_cast<WPARAM>(width),
                     reinterpret_cast<LPARAM>(&ideal)) &&
      ideal.cx > 0 && ideal.cx < width)
    ::MoveWindow(link_, (client.right - ideal.cx) / 2, panel_.bottom - inner - line, ideal.cx, line,
                 TRUE);
}

void TAboutBox::FormShow() {
  const std::array<HWND, 2> labels = {lblProductVersion_, lblServiceVersion_};
  for (std::size_t i = 0; i < kVersionLines.size(); ++i)
    if (const std::optional<std::string> text = aboutVersionText(programFolder_, kVersionLines[i]))
      setWindowText(labels[i], *text);
}

void TAboutBox::showModal() {
  FormShow();
  // Centred on the screen of the owner.
  RECT frame{};
  ::GetWindowRect(window_, &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(owner_ ? owner_ : window_, MONITOR_DEFAULTTOPRIMARY),
                    &monitor);
  const RECT& work = monitor.rcWork;
  ::SetWindowPos(
      window_, HWND_TOP, work.left + (work.right - work.left - (frame.right - frame.left)) / 2,
      work.top + (work.bottom - work.top - (frame.bottom - frame.top)) / 2, 0, 0, SWP_NOSIZE);
  if (owner_)
    ::EnableWindow(owner_, FALSE);
  showing_ = true;
  ::ShowWindow(window_, SW_SHOW);
  ::SetFocus(okButton_);
  MSG message{};
  while (showing_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!::IsDialogMessageW(window_, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  if (message.message == WM_QUIT)
    ::PostQuitMessage(static_cast<int>(message.wParam)); // for the program's own loop
}

void TAboutBox::close() {
  if (!showing_)
    return;
  showing_ = false;
  if (owner_)
    ::EnableWindow(owner_, TRUE);
  ::ShowWindow(window_, SW_HIDE);
  if (owner_)
    ::SetActiveWindow(owner_);
}

LRESULT TAboutBox::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
    if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
      close();
      return 0;
    }
    break;
  case WM_CLOSE:
    close();
    return 0;
  case WM_NOTIFY: {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == static_cast<UINT_PTR>(AboutBoxControlId::Link) &&
        (header->code == NM_CLICK || header->code == NM_RETURN)) {
      const auto* link = reinterpret_cast<const NMLINK*>(lParam);
      ::ShellExecuteW(window_, L"open", link->item.szUrl, nullptr, nullptr, SW_SHOWNORMAL);
      return 0;
    }
    break;
  }
  case WM_DRAWITEM: {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item->hwndItem == programPicture_) {
      drawProgramPicture(item->hDC, item->rcItem, RGB(0xff, 0xff, 0xff));
      return TRUE;
    }
    break;
  }
  case WM_CTLCOLORSTATIC: {
    // The lines stand on the white panel.
    auto dc = reinterpret_cast<HDC>(wParam);
    ::SetBkColor(dc, RGB(0xff, 0xff, 0xff));
    ::SetTextColor(dc, RGB(0, 0, 0));
    return reinterpret_cast<LRESULT>(white_);
  }
  case WM_PAINT: {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(window_, &paint);
    RECT panel = panel_;
    ::FillRect(dc, &panel, white_);
    ::DrawEdge(dc, &panel, BDR_SUNKENOUTER, BF_RECT);
    ::EndPaint(window_, &paint);
    return 0;
  }
  case WM_DPICHANGED:
    applyDpi(HIWORD(wParam));
    return 0;
  default:
    break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace velmora::config::win
