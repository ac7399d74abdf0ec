#include "config/win/program_picture.h"

namespace velmora::config::win {

namespace {

// A GDI object selected into a device context for one scope, then deleted.
class Selected final {
public:
  Selected(HDC dc, HGDIOBJ object)
      : dc_(dc), object_(object), previous_(::SelectObject(dc, object)) {}
  ~Selected() {
    ::SelectObject(dc_, previous_);
    ::DeleteObject(object_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

private:
  HDC dc_;
  HGDIOBJ object_;
  HGDIOBJ previous_;
};

constexpr COLORREF kInk = RGB(0x2c, 0x3a, 0x52);
constexpr COLORREF kRoll = RGB(0x5b, 0x6f, 0x8f);
constexpr COLORREF kCore = RGB(0xe8, 0xe8, 0xe8);
constexpr COLORREF kHole = RGB(0xd8, 0x5c, 0x27);

void drawText(HDC dc, const wchar_t* text, int pixelHeight, int weight, COLORREF colour, RECT box) {
  LOGFONTW font{};
  font.lfHeight = -pixelHeight;
  font.lfWeight = weight;
  font.lfQuality = ANTIALIASED_QUALITY;
  lstrcpyW(font.lfFaceName, L"Arial");
  Selected selected(dc, ::CreateFontIndirectW(&font));
  ::SetTextColor(dc, colour);
  ::SetBkMode(dc, TRANSPARENT);
  ::DrawTextW(dc, text, -1, &box, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

} // namespace

void drawProgramPicture(HDC dc, const RECT& area, COLORREF background) {
  const int saved = ::SaveDC(dc);
  {
    Selected fill(dc, ::CreateSolidBrush(background));
    ::PatBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, PATCOPY);
  }
  // Draw in the picture's own 156 x 76 units, stretched to the area.
  ::SetGraphicsMode(dc, GM_ADVANCED);
  XFORM stretch{};
  stretch.eM11 = static_cast<FLOAT>(area.right - area.left) / kProgramPictureWidth;
  stretch.eM22 = static_cast<FLOAT>(area.bottom - area.top) / kProgramPictureHeight;
  stretch.eDx = static_cast<FLOAT>(area.left);
  stretch.eDy = static_cast<FLOAT>(area.top);
  ::SetWorldTransform(dc, &stretch);

  // The roll.
  {
    Selected pen(dc, ::CreatePen(PS_NULL, 0, 0));
    {
      Selected brush(dc, ::CreateSolidBrush(kRoll));
      ::Ellipse(dc, 4, 10, 44, 66);
    }
    Selected brush(dc, ::CreateSolidBrush(kCore));
    ::Ellipse(dc, 16, 28, 32, 48);
  }
  // The label leaving it, with a punched hole and the name.
  {
    Selected pen(dc, ::CreatePen(PS_SOLID, 2, kInk));
    Selected brush(dc, ::CreateSolidBrush(RGB(0xff, 0xff, 0xff)));
    ::RoundRect(dc, 24, 14, 150, 62, 12, 12);
  }
  {
    Selected pen(dc, ::CreatePen(PS_NULL, 0, 0));
    Selected brush(dc, ::CreateSolidBrush(kHole));
    ::Ellipse(dc, 136, 33, 144, 41);
  }
  drawText(dc, L"Cartavell", 17, FW_BOLD, kInk, RECT{34, 16, 134, 42});
  drawText(dc, L"kitchen labels", 10, FW_NORMAL, kRoll, RECT{34, 38, 134, 56});
  ::RestoreDC(dc, saved);
}

} // namespace velmora::config::win
