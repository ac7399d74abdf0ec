#include "preview/win/label_painter.h"

#include "win/wide_text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace velmora::preview::win {
namespace {

struct OneBitInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colours[2];
};

HFONT createLabelFont(HDC dc, int pixelHeight, const wchar_t* face) {
  LOGFONTW font{};
  font.lfHeight = -std::max(1, pixelHeight); // the em, not the cell
  font.lfWeight = FW_BOLD;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  font.lfQuality = NONANTIALIASED_QUALITY;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  HFONT handle = ::CreateFontIndirectW(&font);
  // The font mapper gives another face for one Windows lacks: say so.
  wchar_t given[LF_FACESIZE]{};
  const HGDIOBJ previous = ::SelectObject(dc, handle);
  ::GetTextFaceW(dc, LF_FACESIZE, given);
  ::SelectObject(dc, previous);
  if (lstrcmpiW(given, face) != 0) {
    ::DeleteObject(handle);
    return nullptr;
  }
  return handle;
}

HFONT labelFont(HDC dc, int pixelHeight) {
  if (HFONT font = createLabelFont(dc, pixelHeight, L"Arial Narrow"))
    return font;
  if (HFONT font = createLabelFont(dc, pixelHeight, L"Arial"))
    return font;
  LOGFONTW font{};
  font.lfHeight = -std::max(1, pixelHeight);
  font.lfWeight = FW_BOLD;
  font.lfQuality = NONANTIALIASED_QUALITY;
  return ::CreateFontIndirectW(&font);
}

// The dots of a rectangle or ellipse: the outline `thickness` dots wide
// inside the box, or the whole box when it is that thick. One region, so that
// a reverse field turns each dot over once.
HRGN shapeRegion(const DrawOp& op) {
  const int x1 = op.x, y1 = op.y, x2 = op.x + op.width, y2 = op.y + op.height;
  const int smaller = std::min(op.width, op.height);
  const bool filled = 2 * op.thickness >= smaller;
  const int t = op.thickness;
  HRGN outer = nullptr;
  HRGN inner = nullptr;
  if (op.kind == OpKind::ellipse) {
    outer = ::CreateEllipticRgn(x1, y1, x2 + 1, y2 + 1);
    if (!filled)
      inner = ::CreateEllipticRgn(x1 + t, y1 + t, x2 - t + 1, y2 - t + 1);
  } else {
    const int radius = op.rounding * smaller / 16;
    outer = radius > 0 ? ::CreateRoundRectRgn(x1, y1, x2 + 1, y2 + 1, 2 * radius, 2 * radius)
                       : ::CreateRectRgn(x1, y1, x2, y2);
    if (!filled) {
      const int innerRadius = std::max(0, radius - t);
      inner = innerRadius > 0 ? ::CreateRoundRectRgn(x1 + t, y1 + t, x2 - t + 1, y2 - t + 1,
                                                     2 * innerRadius, 2 * innerRadius)
                              : ::CreateRectRgn(x1 + t, y1 + t, x2 - t, y2 - t);
    }
  }
  if (inner) {
    ::CombineRgn(outer, outer, inner, RGN_DIFF);
    ::DeleteObject(inner);
  }
  return outer;
}

HRGN diagonalRegion(const DrawOp& op) {
  const int x = op.x, y = op.y, w = op.width, h = op.height, t = op.thickness;
  POINT points[4];
  if (op.leftLeaning) {
    points[0] = {x, y};
    points[1] = {x + t, y};
    points[2] = {x + w, y + h};
    points[3] = {x + w - t, y + h};
  } else {
    points[0] = {x, y + h};
    points[1] = {x + t, y + h};
    points[2] = {x + w, y};
    points[3] = {x + w - t, y};
  }
  return ::CreatePolygonRgn(points, 4, WINDING);
}

// The turn of a text run, clockwise on a y-down label.
double radians(Orientation o) {
  constexpr double kQuarter = 1.5707963267948966;
  switch (o) {
  case Orientation::rotated90:
    return kQuarter;
  case Orientation::inverted180:
    return 2 * kQuarter;
  case Orientation::rotated270:
    return 3 * kQuarter;
  default:
    return 0;
  }
}

// The glyphs of a text run as a region in label dots: the face stretched
// along the baseline to the run's measured length, turned, and placed at the
// start of the baseline. Null when there is nothing to draw.
HRGN textRegion(HDC dc, const DrawOp& op, std::map<int, HFONT>& fonts) {
  const std::wstring text = velmora::win::toWide(op.text);
  if (text.empty() || op.advance <= 0)
    return nullptr;
  auto found = fonts.find(op.fontHeight);
  if (found == fonts.end())
    found = fonts.emplace(op.fontHeight, labelFont(dc, op.fontHeight)).first;
  ::SelectObject(dc, found->second);
  SIZE measured{};
  if (!::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &measured) ||
      measured.cx <= 0)
    return nullptr;
  const double stretch = static_cast<double>(op.advance) / measured.cx;
  const double angle = radians(op.orientation);
  const double c = std::cos(angle), s = std::sin(angle);
  XFORM transform{};
  transform.eM11 = static_cast<FLOAT>(stretch * c);
  transform.eM12 = static_cast<FLOAT>(stretch * s);
  transform.eM21 = static_cast<FLOAT>(-s);
  transform.eM22 = static_cast<FLOAT>(c);
  transform.eDx = static_cast<FLOAT>(op.x);
  transform.eDy = static_cast<FLOAT>(op.y);
  ::SetWorldTransform(dc, &transform);
  ::BeginPath(dc);
  ::TextOutW(dc, 0, 0, text.c_str(), static_cast<int>(text.size()));
  ::EndPath(dc);
  // The path holds device dots; the region is made from them as they are.
  HRGN region = ::PathToRegion(dc);
  ::ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  return region;
}

} // namespace

LabelBitmap::LabelBitmap(const LabelDrawing& label)
    : width_(std::max(1, label.widthDots)), height_(std::max(1, label.lengthDots)),
      stride_((width_ + 31) / 32 * 4) {
  OneBitInfo info{};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = width_;
  info.header.biHeight = -height_; // top down
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  info.header.biClrUsed = 2;
  info.colours[0] = {0, 0, 0, 0};
  info.colours[1] = {255, 255, 255, 0};
  void* bits = nullptr;
  bitmap_ = ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                               nullptr, 0);
  if (!bitmap_ || !bits) {
    width_ = height_ = 0;
    return;
  }
  bits_ = static_cast<const std::uint8_t*>(bits);
  std::fill_n(static_cast<std::uint8_t*>(bits), static_cast<std::size_t>(stride_) * height_,
              std::uint8_t{0xff}); // a white label

  HDC dc = ::CreateCompatibleDC(nullptr);
  const HGDIOBJ previousBitmap = ::SelectObject(dc, bitmap_);
  ::SetGraphicsMode(dc, GM_ADVANCED);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  ::SetPolyFillMode(dc, WINDING);
  const HGDIOBJ previousFont = ::GetCurrentObject(dc, OBJ_FONT);
  HBRUSH black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  std::map<int, HFONT> fonts;
  for (const DrawOp& op : label.ops) {
    HRGN region = nullptr;
    switch (op.kind) {
    case OpKind::rectangle:
    case OpKind::ellipse:
      region = shapeRegion(op);
      break;
    case OpKind::diagonal:
      region = diagonalRegion(op);
      break;
    case OpKind::text:
      region = textRegion(dc, op, fonts);
      break;
    }
    if (!region)
      continue;
    // Reverse fields turn each dot over (XOR); the others paint over.
    if (op.reverse)
      ::InvertRgn(dc, region);
    else
      ::FillRgn(dc, region, op.black ? black : white);
    ::DeleteObject(region);
  }
  ::SelectObject(dc, previousFont);
  for (const auto& [height, font] : fonts)
    ::DeleteObject(font);
  ::SelectObject(dc, previousBitmap);
  ::DeleteDC(dc);
  ::GdiFlush(); // the bits are read directly
}

LabelBitmap::~LabelBitmap() {
  if (bitmap_)
    ::DeleteObject(bitmap_);
}

bool LabelBitmap::isBlack(int x, int y) const {
  if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_)
    return false;
  const std::uint8_t byte = bits_[static_cast<std::size_t>(y) * stride_ + x / 8];
  return (byte & (0x80 >> (x % 8))) == 0;
}

long long LabelBitmap::blackCount() const {
  long long count = 0;
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      count += isBlack(x, y) ? 1 : 0;
  return count;
}

void LabelBitmap::drawScaled(HDC dc, const RECT& box) const {
  if (!bitmap_ || width_ <= 0 || height_ <= 0)
    return;
  const int roomWidth = box.right - box.left;
  const int roomHeight = box.bottom - box.top;
  if (roomWidth <= 0 || roomHeight <= 0)
    return;
  const double scale = std::min(
      {1.0, static_cast<double>(roomWidth) / width_, static_cast<double>(roomHeight) / height_});
  const int w = std::max(1, static_cast<int>(std::lround(width_ * scale)));
  const int h = std::max(1, static_cast<int>(std::lround(height_ * scale)));
  const int x = box.left + (roomWidth - w) / 2;
  HDC source = ::CreateCompatibleDC(dc);
  const HGDIOBJ previous = ::SelectObject(source, bitmap_);
  // Halftone scaling of the 1-bit label reads better on screen than dropped
  // dots would.
  const int previousMode = ::SetStretchBltMode(dc, HALFTONE);
  POINT origin{};
  ::SetBrushOrgEx(dc, 0, 0, &origin);
  const COLORREF text = ::SetTextColor(dc, RGB(0, 0, 0));
  const COLORREF back = ::SetBkColor(dc, RGB(255, 255, 255));
  ::StretchBlt(dc, x, box.top, w, h, source, 0, 0, width_, height_, SRCCOPY);
  ::SetTextColor(dc, text);
  ::SetBkColor(dc, back);
  ::SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  ::SetStretchBltMode(dc, previousMode);
  ::SelectObject(source, previous);
  ::DeleteDC(source);
}

} // namespace velmora::preview::win
