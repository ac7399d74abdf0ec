#include "spooler/win/merged_job_window.h"

#include "win/dpi_scaling.h"
#include "win/message_box.h"
#include "win/wide_text.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace velmora::spooler::win {
namespace {

using velmora::win::scaled;

constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_VSCROLL;
constexpr int kGap = 8;         // around and between the labels, in pixels at 96 dpi
constexpr int kScrollLine = 24; // one click of the scroll bar's arrows
constexpr int kWheelLines = 3;  // one notch of the mouse wheel

// The scroll bar's action a key stands for. The labels fit the window's
// width: Left and Right scroll like Up and Down.
std::optional<WORD> scrollOfKey(WPARAM key) {
  switch (key) {
  case VK_UP:
  case VK_LEFT:
    return SB_LINEUP;
  case VK_DOWN:
  case VK_RIGHT:
    return SB_LINEDOWN;
  case VK_PRIOR:
    return SB_PAGEUP;
  case VK_NEXT:
    return SB_PAGEDOWN;
  case VK_HOME:
    return SB_TOP;
  case VK_END:
    return SB_BOTTOM;
  default:
    return std::nullopt;
  }
}

} // namespace

MergedJobWindow::MergedJobWindow(HWND owner, const std::string& jobLine,
                                 const MergedJobPicture& picture)
    : notes_(picture.notes) {
  for (const auto& label : picture.rendering.labels)
    labels_.push_back(std::make_unique<preview::win::LabelBitmap>(label));

  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  velmora::win::WindowClass<MergedJobWindow>::registerClass(
      instance, kWindowClass,
      {.style = CS_HREDRAW | CS_VREDRAW,
       .icon = ::LoadIconW(instance, MAKEINTRESOURCEW(velmora::win::kProgramIconId))});
  const UINT dpi = owner ? velmora::win::windowDpi(owner) : velmora::win::kDefaultDpi;
  font_ = velmora::win::GdiFont(L"Tahoma", 8, false, dpi);
  const SIZE outer = labels_.empty()
                         ? velmora::win::outerSizeForClient(360, 120, kWindowStyle, 0, dpi)
                         : velmora::win::outerSizeForClient(860, 600, kWindowStyle, 0, dpi);
  ::CreateWindowExW(0, kWindowClass, velmora::win::toWide(jobLine).c_str(), kWindowStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, outer.cx, outer.cy, owner, nullptr, instance,
                    this);
  if (!window_)
    throw std::runtime_error("Cannot create the merged job's window (error " +
                             std::to_string(::GetLastError()) + ")");
  updateScrollBar();
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::UpdateWindow(window_);
}

MergedJobWindow::~MergedJobWindow() {
  if (window_)
    ::DestroyWindow(window_);
}

RECT MergedJobWindow::pictureArea() const {
  RECT client{};
  ::GetClientRect(window_, &client);
  if (notes_.empty())
    return client;
  const HDC dc = ::GetDC(window_);
  const HGDIOBJ previous = ::SelectObject(dc, font_.get());
  RECT box{client.left + 2, 0, client.right - 2, 0};
  ::DrawTextW(dc, velmora::win::toWide(notes_).c_str(), -1, &box,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ::SelectObject(dc, previous);
  ::ReleaseDC(window_, dc);
  client.bottom = std::max(client.top, client.bottom - (box.bottom - box.top) - 4);
  return client;
}

int MergedJobWindow::contentHeight(int pictureWidth) const {
  const int gap = scaled(kGap, velmora::win::windowDpi(window_));
  const int room = std::max(1, pictureWidth - 2 * gap);
  int height = gap;
  for (const auto& label : labels_) {
    const int width = std::min(room, label->width());
    height += static_cast<int>(static_cast<long long>(label->height()) * width /
                               std::max(1, label->width())) +
              gap;
  }
  return height;
}

void MergedJobWindow::updateScrollBar() {
  const RECT picture = pictureArea();
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = contentHeight(picture.right - picture.left) - 1;
  info.nPage = static_cast<UINT>(std::max<LONG>(0, picture.bottom - picture.top));
  info.nPos = scroll_;
  ::SetScrollInfo(window_, SB_VERT, &info, TRUE);
  // The range may have shrunk under the position.
  info.fMask = SIF_POS;
  ::GetScrollInfo(window_, SB_VERT, &info);
  scroll_ = info.nPos;
}

void MergedJobWindow::scrollTo(int position) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_POS;
  info.nPos = position;
  ::SetScrollInfo(window_, SB_VERT, &info, TRUE);
  ::GetScrollInfo(window_, SB_VERT, &info); // kept within the range
  if (info.nPos != scroll_) {
    scroll_ = info.nPos;
    ::InvalidateRect(window_, nullptr, TRUE);
  }
}

void MergedJobWindow::paint(HDC dc) const {
  RECT client{};
  ::GetClientRect(window_, &client);
  const RECT picture = pictureArea();
  ::FillRect(dc, &picture, ::GetSysColorBrush(COLOR_APPWORKSPACE));
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, picture.left, picture.top, picture.right, picture.bottom);
  const int gap = scaled(kGap, velmora::win::windowDpi(window_));
  const int room = std::max(1, static_cast<int>(picture.right - picture.left) - 2 * gap);
  int top = picture.top + gap - scroll_;
  for (const auto& label : labels_) {
    const int width = std::min(room, label->width());
    const int height = static_cast<int>(static_cast<long long>(label->height()) * width /
                                        std::max(1, label->width()));
    if (top < picture.bottom && top + height > picture.top) {
      const RECT box{picture.left + gap, top, picture.left + gap + room, top + height};
      label->drawScaled(dc, box);
    }
    top += height + gap;
  }
  ::RestoreDC(dc, saved);
  if (!notes_.empty()) {
    const RECT band{client.left, picture.bottom, client.right, client.bottom};
    ::FillRect(dc, &band, ::GetSysColorBrush(COLOR_INFOBK));
    const HGDIOBJ previous = ::SelectObject(dc, font_.get());
    RECT text{band.left + 2, band.top + 2, band.right - 2, band.bottom - 2};
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_INFOTEXT));
    ::DrawTextW(dc, velmora::win::toWide(notes_).c_str(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, previous);
  }
}

LRESULT MergedJobWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // WM_PAINT fills the whole client area.
  if (const auto painted =
          velmora::win::paintMessage(window_, message, wParam, [this](HDC dc) { paint(dc); }))
    return *painted;
  switch (message) {
  case WM_SIZE:
    updateScrollBar();
    ::InvalidateRect(window_, nullptr, TRUE);
    return 0;
  case WM_VSCROLL: {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(window_, SB_VERT, &info);
    const int line = scaled(kScrollLine, velmora::win::windowDpi(window_));
    int position = scroll_;
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
      position -= line;
      break;
    case SB_LINEDOWN:
      position += line;
      break;
    case SB_PAGEUP:
      position -= static_cast<int>(info.nPage);
      break;
    case SB_PAGEDOWN:
      position += static_cast<int>(info.nPage);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      position = info.nTrackPos;
      break;
    case SB_TOP:
      position = info.nMin;
      break;
    case SB_BOTTOM:
      position = info.nMax;
      break;
    default:
      break;
    }
    scrollTo(position);
    return 0;
  }
  case WM_KEYDOWN: {
    if (wParam == VK_ESCAPE) {
      ::SendMessageW(window_, WM_CLOSE, 0, 0);
      return 0;
    }
    if (const auto scroll = scrollOfKey(wParam)) {
      handleMessage(WM_VSCROLL, MAKEWPARAM(*scroll, 0), 0);
      return 0;
    }
    break;
  }
  case WM_MOUSEWHEEL: {
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam);
    const int line = scaled(kScrollLine, velmora::win::windowDpi(window_));
    scrollTo(scroll_ - notches * kWheelLines * line / WHEEL_DELTA);
    return 0;
  }
  case WM_DPICHANGED: {
    font_ = velmora::win::GdiFont(L"Tahoma", 8, false, HIWORD(wParam));
    const auto* suggested = reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  default:
    break;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace velmora::spooler::win
