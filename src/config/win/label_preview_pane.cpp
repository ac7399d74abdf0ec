#include "config/win/label_preview_pane.h"

#include "config/design_preview.h"
#include "config/label_preview_size.h"
#include "win/wide_text.h"
#include "win/window_class.h"

#include <utility>

namespace velmora::config::win {
namespace {

constexpr UINT_PTR kRedrawTimer = 1;

} // namespace

LabelPreviewPane::LabelPreviewPane(const DovetackModel& model) : model_(model) {}

LabelPreviewPane::~LabelPreviewPane() {
  if (window_)
    ::DestroyWindow(window_);
}

HWND LabelPreviewPane::create(HWND parent, int id) {
  const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
  velmora::win::WindowClass<LabelPreviewPane>::registerClass(instance, kLabelPreviewClass,
                                                             {.style = CS_HREDRAW | CS_VREDRAW});
  ::CreateWindowExW(WS_EX_CLIENTEDGE, kLabelPreviewClass, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0,
                    0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
  return window_;
}

void LabelPreviewPane::setDesignText(std::string text) {
  designText_ = std::move(text);
  if (window_)
    ::SetTimer(window_, kRedrawTimer, kPreviewRedrawDelayMs, nullptr);
}

void LabelPreviewPane::redraw() {
  if (window_)
    ::KillTimer(window_, kRedrawTimer);
  DesignPreview shown = model_.previewOf(designText_);
  if (shown.label)
    label_ = std::make_unique<preview::win::LabelBitmap>(*shown.label);
  else
    label_.reset();
  notes_ = std::move(shown.notes);
  if (window_)
    ::InvalidateRect(window_, nullptr, TRUE);
}

void LabelPreviewPane::paint(HDC dc) {
  RECT client{};
  ::GetClientRect(window_, &client);
  ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_APPWORKSPACE));
  RECT picture = client;
  if (!notes_.empty()) {
    // The notes under the picture, as tall as they wrap.
    const std::wstring notes = velmora::win::toWide(notes_);
    const HGDIOBJ previous = font_ ? ::SelectObject(dc, font_) : nullptr;
    RECT box{client.left + 2, 0, client.right - 2, 0};
    ::DrawTextW(dc, notes.c_str(), -1, &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    RECT band{client.left, client.bottom - (box.bottom - box.top) - 4, client.right, client.bottom};
    ::FillRect(dc, &band, ::GetSysColorBrush(COLOR_INFOBK));
    RECT text{band.left + 2, band.top + 2, band.right - 2, band.bottom - 2};
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_INFOTEXT));
    ::DrawTextW(dc, notes.c_str(), -1, &text, DT_WORDBREAK | DT_NOPREFIX);
    if (previous)
      ::SelectObject(dc, previous);
    picture.bottom = band.top;
  }
  if (label_) {
    ::InflateRect(&picture, -4, -4);
    const PixelSize drawn =
        previewDrawnSize({label_->width(), label_->height()},
                         {picture.right - picture.left, picture.bottom - picture.top});
    const int left = picture.left + (picture.right - picture.left - drawn.width) / 2;
    const RECT box{left, picture.top, left + drawn.width, picture.top + drawn.height};
    label_->drawScaled(dc, box);
  }
}

LRESULT LabelPreviewPane::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // WM_PAINT fills the whole client area.
  if (const auto painted =
          velmora::win::paintMessage(window_, message, wParam, [this](HDC dc) { paint(dc); }))
    return *painted;
  if (message == WM_TIMER && wParam == kRedrawTimer) {
    redraw();
    return 0;
  }
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace velmora::config::win
