#include "preview/zpl_renderer.h"

#include "preview/font_metrics.h"
#include "preview/linear_barcodes.h"
#include "preview/qr_code.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>

namespace velmora::preview {
namespace {

char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::optional<Orientation> orientationFrom(char c) {
  switch (upper(c)) {
  case 'N':
    return Orientation::normal;
  case 'R':
    return Orientation::rotated90;
  case 'I':
    return Orientation::inverted180;
  case 'B':
    return Orientation::rotated270;
  default:
    return std::nullopt;
  }
}

// A field's own frame: u along its text, v across it, in a box of W x H
// dots whose corner (0, 0) lies where the orientation puts it on the label.
struct Frame {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  Orientation o = Orientation::normal;

  // The label point of the frame point (u, v).
  std::pair<int, int> point(int u, int v) const {
    switch (o) {
    case Orientation::rotated90:
      return {x + h - v, y + u};
    case Orientation::inverted180:
      return {x + w - u, y + h - v};
    case Orientation::rotated270:
      return {x + v, y + w - u};
    default:
      return {x + u, y + v};
    }
  }
  // The label rectangle of the frame rectangle (u, v, du, dv).
  void place(DrawOp& op, int u, int v, int du, int dv) const {
    switch (o) {
    case Orientation::rotated90:
      op.x = x + h - v - dv;
      op.y = y + u;
      op.width = dv;
      op.height = du;
      break;
    case Orientation::inverted180:
      op.x = x + w - u - du;
      op.y = y + h - v - dv;
      op.width = du;
      op.height = dv;
      break;
    case Orientation::rotated270:
      op.x = x + v;
      op.y = y + w - u - du;
      op.width = dv;
      op.height = du;
      break;
    default:
      op.x = x + u;
      op.y = y + v;
      op.width = du;
      op.height = dv;
      break;
    }
  }
};

struct FieldBlock {
  int width = 0;
  int lines = 1;
  int spacing = 0;
  char justify = 'L';
  int indent = 0;
};

struct Barcode {
  std::string type; // "BC", "B3", "BE", "BQ"
  std::vector<std::string> params;
};

// What the printer keeps from label to label: the encoding ^CI set.
struct PrinterSettings {
  bool utf8 = false; // ^CI28: a field's bytes are UTF-8

  // ^CI's parameters: the character set's number first (none: 0).
  void characterSet(std::string_view params) {
    int number = 0;
    for (std::size_t i = 0;
         i < params.size() && i < 9 && std::isdigit(static_cast<unsigned char>(params[i])); ++i)
      number = number * 10 + (params[i] - '0');
    utf8 = number == 28;
  }
};

class LabelRenderer final {
public:
  LabelRenderer(const RenderOptions& options, std::map<std::string, int>& unknown,
                PrinterSettings& printer)
      : options_(options), unknown_(unknown), printer_(printer) {
    label_.dpi = options.dpi;
  }

  void command(const std::string& name, std::string_view params);
  void fieldData(std::string data) {
    // A QR code takes more than a text field: up to its own capacity, which
    // its encoder checks.
    const std::size_t limit =
        barcode_ && barcode_->type == "BQ" ? kMaxQrFieldDataBytes : kMaxFieldDataBytes;
    if (data.size() > limit) {
      // Cut at a character's start, so the text stays whole UTF-8.
      std::size_t end = limit;
      while (end > 0 && (static_cast<unsigned char>(data[end]) & 0xC0) == 0x80)
        --end;
      note("field data cut to its first " + std::to_string(limit) + " of " +
           std::to_string(data.size()) + " bytes, as the printer takes it");
      data.resize(end);
    }
    data_ = std::move(data);
    hasData_ = true;
  }
  LabelDrawing finish(bool closed);

private:
  int number(std::string_view text, int fallback, int low = 0, int high = kMaxCoordinate);
  void note(std::string text) {
    if (std::find(label_.notes.begin(), label_.notes.end(), text) == label_.notes.end())
      label_.notes.push_back(std::move(text));
  }
  bool add(DrawOp op);
  void endField();
  void resetField();
  std::string decodedData() const;
  void drawText(const std::string& text);
  void drawBarcode(const std::string& text);
  void drawLinear(const LinearBarcode& code, int moduleWidth, double ratio, int height,
                  bool interpretation, bool above, Orientation o);
  void drawQr(const std::string& text);
  // Places a box of w x h dots for the field: ^FO puts its top-left corner
  // at the origin; ^FT puts the frame point (anchorU, anchorV) there.
  Frame frameFor(int w, int h, Orientation o, int anchorU, int anchorV) const;
  DrawOp fieldOp(OpKind kind) const {
    DrawOp op;
    op.kind = kind;
    op.reverse = reverse_;
    return op;
  }

  const RenderOptions& options_;
  std::map<std::string, int>& unknown_;
  PrinterSettings& printer_;
  LabelDrawing label_;
  bool opsFull_ = false;
  std::optional<int> printWidth_;
  std::optional<int> labelLength_;
  int homeX_ = 0;
  int homeY_ = 0;
  char defaultFontName_ = 'A';
  int defaultFontHeight_ = 9;
  int defaultFontWidth_ = 5;
  Orientation defaultOrientation_ = Orientation::normal;
  int moduleWidth_ = 2;
  double ratio_ = 3.0;
  int barHeight_ = 10;
  // The field being built, from ^FO / ^FT to ^FS.
  bool hasOrigin_ = false;
  bool typeset_ = false;
  int originX_ = 0;
  int originY_ = 0;
  std::optional<FieldFont> font_;
  std::optional<Orientation> orientation_;
  std::optional<FieldBlock> block_;
  std::optional<Barcode> barcode_;
  std::optional<char> hexIndicator_;
  bool reverse_ = false;
  bool hasData_ = false;
  std::string data_;
};

std::vector<std::string_view> split(std::string_view params) {
  std::vector<std::string_view> result;
  std::size_t start = 0;
  while (true) {
    const auto comma = params.find(',', start);
    result.push_back(params.substr(start, comma - start));
    if (comma == std::string_view::npos || result.size() >= 16)
      return result;
    start = comma + 1;
  }
}

std::string_view param(const std::vector<std::string_view>& list, std::size_t i) {
  return i < list.size() ? list[i] : std::string_view{};
}

int LabelRenderer::number(std::string_view text, int fallback, int low, int high) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  long long value = 0;
  std::size_t digits = 0;
  for (; digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])); ++digits)
    value = std::min(value * 10 + (text[digits] - '0'), 1LL << 40);
  if (digits == 0)
    return fallback;
  if (negative)
    value = -value;
  if (value < low || value > high) {
    note("a value out of range was clamped to " + std::to_string(low) + " to " +
         std::to_string(high));
    value = std::clamp<long long>(value, low, high);
  }
  return static_cast<int>(value);
}

bool LabelRenderer::add(DrawOp op) {
  if (label_.ops.size() >= kMaxOpsPerLabel) {
    if (!opsFull_)
      note("the drawing was cut off after " + std::to_string(kMaxOpsPerLabel) + " elements");
    opsFull_ = true;
    return false;
  }
  label_.ops.push_back(std::move(op));
  return true;
}

void LabelRenderer::resetField() {
  hasOrigin_ = false;
  typeset_ = false;
  font_.reset();
  orientation_.reset();
  block_.reset();
  barcode_.reset();
  hexIndicator_.reset();
  reverse_ = false;
  hasData_ = false;
  data_.clear();
}

Frame LabelRenderer::frameFor(int w, int h, Orientation o, int anchorU, int anchorV) const {
  Frame frame{originX_ + homeX_, originY_ + homeY_, w, h, o};
  if (typeset_) {
    const auto [ax, ay] = frame.point(anchorU, anchorV);
    frame.x += frame.x - ax;
    frame.y += frame.y - ay;
  }
  return frame;
}

// `bytes` with every byte that starts no whole UTF-8 sequence (of a code
// point, shortest form) replaced by U+FFFD.
std::string validUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80             ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    bool whole = length > 0 && i + length <= bytes.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      whole = (next & 0xC0) == 0x80;
      value = value << 6 | (next & 0x3Fu);
    }
    static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (whole &&
        (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)))
      whole = false;
    if (!whole) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    out.append(bytes.substr(i, length));
    i += length;
  }
  return out;
}

std::string LabelRenderer::decodedData() const {
  if (!hexIndicator_)
    return data_;
  const auto hex = [](char c) {
    return std::isdigit(static_cast<unsigned char>(c))    ? c - '0'
           : std::isxdigit(static_cast<unsigned char>(c)) ? upper(c) - 'A' + 10
                                                          : -1;
  };
  std::string result;
  for (std::size_t i = 0; i < data_.size(); ++i) {
    if (data_[i] == *hexIndicator_) {
      const int hi = i + 1 < data_.size() ? hex(data_[i + 1]) : -1;
      const int lo = i + 2 < data_.size() ? hex(data_[i + 2]) : -1;
      if (hi >= 0 && lo >= 0) {
        const auto byte = static_cast<unsigned char>(hi * 16 + lo);
        if (byte < 0x80 || printer_.utf8) {
          result.push_back(static_cast<char>(byte)); // under ^CI28 a byte of UTF-8
        } else { // a byte of the printer's Latin code page, as UTF-8
          result.push_back(static_cast<char>(0xC0 | byte >> 6));
          result.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
        i += 2;
        continue;
      }
    }
    result.push_back(data_[i]);
  }
  return printer_.utf8 ? validUtf8(result) : result;
}

void LabelRenderer::command(const std::string& name, std::string_view params) {
  const auto list = split(params);
  if (name == "FO" || name == "FT") {
    if (hasOrigin_ && hasData_)
      endField();
    hasOrigin_ = true;
    typeset_ = name == "FT";
    originX_ = number(param(list, 0), 0);
    originY_ = number(param(list, 1), 0);
  } else if (name == "FS") {
    endField();
  } else if (name == "LH") {
    homeX_ = number(param(list, 0), 0);
    homeY_ = number(param(list, 1), 0);
  } else if (name == "PW") {
    printWidth_ = number(param(list, 0), 0, 2);
  } else if (name == "LL") {
    labelLength_ = number(param(list, 0), 0, 1);
  } else if (name == "FH") {
    const auto p = param(list, 0);
    hexIndicator_ = p.empty() ? '_' : p.front();
  } else if (name == "FR") {
    reverse_ = true;
  } else if (name == "CI") {
    printer_.characterSet(params);
  } else if (name == "FW") {
    const auto p = param(list, 0);
    if (!p.empty())
      defaultOrientation_ = orientationFrom(p.front()).value_or(defaultOrientation_);
  } else if (name == "CF") {
    const auto p = param(list, 0);
    if (!p.empty())
      defaultFontName_ = upper(p.front());
    const int h = number(param(list, 1), 0, 0, kMaxFontDots);
    const int w = number(param(list, 2), 0, 0, kMaxFontDots);
    if (h > 0) { // a height alone lets the width follow it
      defaultFontHeight_ = h;
      defaultFontWidth_ = w;
    } else if (w > 0) {
      defaultFontWidth_ = w;
    }
  } else if (name.size() == 2 && name[0] == 'A') {
    // ^Afo,h,w: the font's name is the command's second letter, the
    // orientation the first parameter's first letter.
    const auto first = param(list, 0);
    if (!first.empty())
      orientation_ = orientationFrom(first.front());
    const int h = number(param(list, 1), 0, 0, kMaxFontDots);
    const int w = number(param(list, 2), 0, 0, kMaxFontDots);
    font_ = fieldFont(name[1], h > 0 ? h : defaultFontHeight_, w);
  } else if (name == "FB") {
    FieldBlock block;
    block.width = number(param(list, 0), 0);
    block.lines = number(param(list, 1), 1, 1, 9999);
    block.spacing = number(param(list, 2), 0, -9999, 9999);
    const auto j = param(list, 3);
    block.justify = j.empty() ? 'L' : upper(j.front());
    block.indent = number(param(list, 4), 0, 0, 9999);
    block_ = block;
  } else if (name == "GB" || name == "GC" || name == "GE" || name == "GD") {
    DrawOp op = fieldOp(name == "GB"   ? OpKind::rectangle
                        : name == "GD" ? OpKind::diagonal
                                       : OpKind::ellipse);
    std::size_t colorIndex = 3;
    if (name == "GC") {
      const int d = number(param(list, 0), 3, 3, 4095);
      op.width = op.height = d;
      op.thickness = number(param(list, 1), 1, 1, 4095);
      colorIndex = 2;
    } else {
      op.thickness = number(param(list, 2), 1, 1, kMaxCoordinate);
      op.width = std::max(number(param(list, 0), op.thickness, 1, kMaxCoordinate), op.thickness);
      op.height = std::max(number(param(list, 1), op.thickness, 1, kMaxCoordinate), op.thickness);
    }
    const auto color = param(list, colorIndex);
    op.black = color.empty() || upper(color.front()) != 'W';
    if (name == "GB")
      op.rounding = number(param(list, 4), 0, 0, 8);
    if (name == "GD") {
      const auto lean = param(list, 4);
      op.leftLeaning = !lean.empty() && (upper(lean.front()) == 'L' || lean.front() == '\\');
    }
    const Frame frame = frameFor(op.width, op.height, Orientation::normal, 0, op.height);
    op.x = frame.x;
    op.y = frame.y;
    add(std::move(op));
    resetField();
  } else if (name == "BY") {
    moduleWidth_ = number(param(list, 0), moduleWidth_, 1, 10);
    const auto r = param(list, 1);
    if (!r.empty()) {
      // The printer's decimal point, whatever the user's locale says.
      double ratio = 3.0;
      const auto parsed = std::from_chars(r.data(), r.data() + r.size(), ratio);
      if (parsed.ec == std::errc() && std::isfinite(ratio))
        ratio_ = std::clamp(ratio, 2.0, 3.0);
    }
    barHeight_ = number(param(list, 2), barHeight_, 1);
  } else if (name == "BC" || name == "B3" || name == "BE" || name == "BQ") {
    barcode_ = Barcode{name, {}};
    for (const auto p : list)
      barcode_->params.emplace_back(p);
  } else if (name != "XA" && name != "FX") {
    ++unknown_[name[0] == '~' ? name : "^" + name];
  }
}

void LabelRenderer::endField() {
  if (hasData_) {
    const std::string text = decodedData();
    if (barcode_)
      drawBarcode(text);
    else
      drawText(text);
  }
  resetField();
}

void LabelRenderer::drawText(const std::string& text) {
  const FieldFont font =
      font_ ? *font_ : fieldFont(defaultFontName_, defaultFontHeight_, defaultFontWidth_);
  const Orientation o = orientation_.value_or(defaultOrientation_);
  const int ascent = baselineOffset(font);
  std::vector<std::string> lines;
  int blockWidth = 0;
  if (block_) {
    // Words wrapped into the block's width; "\&" breaks a line. Lines past
    // the block's count are dropped.
    blockWidth = block_->width;
    std::string line;
    const auto flush = [&] {
      if (static_cast<int>(lines.size()) < block_->lines)
        lines.push_back(line);
      line.clear();
    };
    std::size_t i = 0;
    while (i < text.size() && static_cast<int>(lines.size()) < block_->lines) {
      if (text.compare(i, 2, "\\&") == 0) {
        flush();
        i += 2;
        continue;
      }
      std::size_t end = i;
      while (end < text.size() && text[end] != ' ' && text.compare(end, 2, "\\&") != 0)
        ++end;
      const std::string word = text.substr(i, end - i);
      const std::string joined = line.empty() ? word : line + " " + word;
      if (!line.empty() && textAdvance(joined, font) > blockWidth) {
        flush();
        line = word;
      } else {
        line = joined;
      }
      i = end;
      while (i < text.size() && text[i] == ' ')
        ++i;
    }
    if (!line.empty() && static_cast<int>(lines.size()) < block_->lines)
      lines.push_back(line);
  } else {
    lines.push_back(text);
    blockWidth = textAdvance(text, font);
  }
  const int lineStep = std::max(1, font.height + (block_ ? block_->spacing : 0));
  const int boxHeight = static_cast<int>(std::min<long long>(
      static_cast<long long>(lineStep) * std::max<std::size_t>(lines.size(), 1), kMaxCoordinate));
  const Frame frame = frameFor(blockWidth, boxHeight, o, 0, ascent);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty())
      continue;
    DrawOp op = fieldOp(OpKind::text);
    op.advance = textAdvance(lines[i], font);
    int u = 0;
    if (block_ && block_->justify == 'C')
      u = (blockWidth - op.advance) / 2;
    else if (block_ && block_->justify == 'R')
      u = blockWidth - op.advance;
    else if (block_ && i > 0)
      u = block_->indent;
    if (u < 0)
      u = 0;
    const long long v = static_cast<long long>(i) * lineStep + ascent;
    if (v > kMaxCoordinate)
      break;
    std::tie(op.x, op.y) = frame.point(u, static_cast<int>(v));
    op.orientation = o;
    op.fontHeight = font.height;
    op.text = lines[i];
    if (!add(std::move(op)))
      return;
  }
}

void LabelRenderer::drawBarcode(const std::string& text) {
  const auto& p = barcode_->params;
  const auto get = [&p](std::size_t i) { return param({p.begin(), p.end()}, i); };
  const auto flag = [&](std::size_t i, bool fallback) {
    const auto v = get(i);
    return v.empty() ? fallback : upper(v.front()) == 'Y';
  };
  const Orientation o = get(0).empty()
                            ? defaultOrientation_
                            : orientationFrom(get(0).front()).value_or(defaultOrientation_);
  if (barcode_->type == "BQ") {
    drawQr(text);
    return;
  }
  LinearBarcode code;
  int height = barHeight_;
  bool interpretation = true;
  bool above = false;
  if (barcode_->type == "BC") {
    height = number(get(1), barHeight_, 1);
    interpretation = flag(2, true);
    above = flag(3, false);
    const auto mode = get(5);
    code = encodeCode128(text, !mode.empty() && upper(mode.front()) == 'A');
  } else if (barcode_->type == "B3") {
    height = number(get(2), barHeight_, 1);
    interpretation = flag(3, true);
    above = flag(4, false);
    code = encodeCode39(text, flag(1, false));
  } else {
    height = number(get(1), barHeight_, 1);
    interpretation = flag(2, true);
    above = flag(3, false);
    code = encodeEan13(text);
  }
  if (!code.error.empty()) {
    note(code.error + ": the barcode was left out");
    return;
  }
  drawLinear(code, moduleWidth_, barcode_->type == "B3" ? ratio_ : 1.0, height, interpretation,
             above, o);
}

void LabelRenderer::drawLinear(const LinearBarcode& code, int moduleWidth, double ratio, int height,
                               bool interpretation, bool above, Orientation o) {
  const int wide = static_cast<int>(std::lround(moduleWidth * ratio));
  const auto elementDots = [&](std::uint8_t units) {
    return ratio > 1.0 ? (units == 2 ? wide : moduleWidth) : units * moduleWidth;
  };
  long long total = 0;
  for (const auto e : code.elements)
    total += elementDots(e);
  if (total > kMaxCoordinate) {
    note("a barcode wider than the label's largest size was left out");
    return;
  }
  const auto width = static_cast<int>(total);
  const FieldFont font = fieldFont('0', std::clamp(moduleWidth * 9, 12, 60), 0);
  const int textHeight = interpretation ? font.height + moduleWidth * 2 : 0;
  const int barTop = above ? textHeight : 0;
  const Frame frame = frameFor(width, height + textHeight, o, 0, barTop + height);
  int u = 0;
  bool bar = true;
  for (const auto e : code.elements) {
    const int dots = elementDots(e);
    if (bar) {
      DrawOp op = fieldOp(OpKind::rectangle);
      frame.place(op, u, barTop, dots, height);
      op.thickness = dots;
      if (!add(std::move(op)))
        return;
    }
    u += dots;
    bar = !bar;
  }
  if (interpretation && !code.humanReadable.empty()) {
    DrawOp op = fieldOp(OpKind::text);
    op.advance = textAdvance(code.humanReadable, font);
    const int v = above ? baselineOffset(font) : height + moduleWidth * 2 + baselineOffset(font);
    std::tie(op.x, op.y) = frame.point(std::max(0, (width - op.advance) / 2), v);
    op.orientation = o;
    op.fontHeight = font.height;
    op.text = code.humanReadable;
    add(std::move(op));
  }
}

void LabelRenderer::drawQr(const std::string& text) {
  const auto& p = barcode_->params;
  const auto get = [&p](std::size_t i) { return param({p.begin(), p.end()}, i); };
  const int defaultMagnification = options_.dpi >= 600 ? 6 : options_.dpi >= 300 ? 3 : 2;
  const int magnification = number(get(2), defaultMagnification, 1, 10);
  char levelLetter = get(3).empty() ? 'Q' : upper(get(3).front());
  const auto maskText = get(4);
  const int mask = maskText.empty() ? -1 : number(maskText, 7, 0, 7);
  // The data starts with the error correction letter and the input mode
  // ("QA," automatic or "MM," manual), then a comma. In manual mode a
  // character mode follows: "N" numeric, "A" alphanumeric, "B" and a
  // four-digit length for bytes, or "K" (Kanji, whose bytes go into byte
  // mode here); automatic input picks the modes itself.
  std::string_view data = text;
  std::optional<QrMode> manualMode;
  const auto comma = data.find(',');
  if (comma != std::string_view::npos && comma <= 2) {
    if (comma >= 1 && std::string_view("HQML").find(upper(data[0])) != std::string_view::npos)
      levelLetter = upper(data[0]);
    const bool manual = comma == 2 && upper(data[1]) == 'M';
    data.remove_prefix(comma + 1);
    const char mode = data.empty() ? '\0' : upper(data[0]);
    if (manual && data.size() >= 5 && mode == 'B') {
      manualMode = QrMode::byte;
      data.remove_prefix(5);
    } else if (manual && (mode == 'N' || mode == 'A' || mode == 'K')) {
      manualMode = mode == 'N'   ? QrMode::numeric
                   : mode == 'A' ? QrMode::alphanumeric
                                 : QrMode::byte;
      data.remove_prefix(1);
    }
  }
  const QrErrorCorrection level = levelLetter == 'H'   ? QrErrorCorrection::high
                                  : levelLetter == 'M' ? QrErrorCorrection::medium
                                  : levelLetter == 'L' ? QrErrorCorrection::low
                                                       : QrErrorCorrection::quartile;
  const int chosenMask = mask == 7 ? -1 : mask;
  if (manualMode && !qrModeHolds(*manualMode, data)) {
    note(*manualMode == QrMode::numeric
             ? "a QR code in numeric mode holds a character other than a digit: it was left out"
             : "a QR code in alphanumeric mode holds a character other than 0-9, A-Z, space and "
               "$%*+-./: : it was left out");
    return;
  }
  const auto qr = manualMode ? encodeQr(data, *manualMode, level, chosenMask)
                             : encodeQr(data, level, chosenMask);
  if (!qr) {
    // The data's own kind says how much room there was: all digits, all
    // alphanumeric characters, or bytes (of which automatic input packs runs
    // of digits and capitals tighter).
    const QrMode kind = manualMode                                ? *manualMode
                        : qrModeHolds(QrMode::numeric, data)      ? QrMode::numeric
                        : qrModeHolds(QrMode::alphanumeric, data) ? QrMode::alphanumeric
                                                                  : QrMode::byte;
    const std::string unit = kind == QrMode::numeric        ? " digits"
                             : kind == QrMode::alphanumeric ? " alphanumeric characters"
                                                            : " bytes";
    note("a QR code of " + std::to_string(data.size()) + unit + " was refused: at level " +
         std::string(1, levelLetter) + " a QR code holds at most " +
         std::to_string(qrCapacity(kind, level)) + unit +
         (kind == QrMode::byte && !manualMode ? " (more where they hold runs of digits or capitals)"
                                              : ""));
    return;
  }
  const int side = qr->size * magnification;
  const Frame frame = frameFor(side, side, Orientation::normal, 0, side);
  for (int y = 0; y < qr->size; ++y)
    for (int x = 0; x < qr->size;) {
      if (!qr->isDark(x, y)) {
        ++x;
        continue;
      }
      int end = x;
      while (end < qr->size && qr->isDark(end, y))
        ++end;
      DrawOp op = fieldOp(OpKind::rectangle);
      frame.place(op, x * magnification, y * magnification, (end - x) * magnification,
                  magnification);
      op.thickness = magnification;
      if (!add(std::move(op)))
        return;
      x = end;
    }
}

LabelDrawing LabelRenderer::finish(bool closed) {
  endField();
  if (!closed)
    note("the label is not closed by ^XZ");
  const int dpi = options_.dpi;
  long long width =
      printWidth_.value_or(options_.defaultWidthDots > 0 ? options_.defaultWidthDots : 4 * dpi);
  long long length =
      labelLength_.value_or(options_.defaultLengthDots > 0 ? options_.defaultLengthDots : 2 * dpi);
  width = std::clamp<long long>(width, 1, kMaxCoordinate);
  length = std::clamp<long long>(length, 1, kMaxCoordinate);
  if (width * length > kMaxLabelDots) {
    const long long maxSide = static_cast<long long>(std::sqrt(static_cast<double>(kMaxLabelDots)));
    width = std::min(width, maxSide);
    length = std::min(length, kMaxLabelDots / width);
    note("the label was cut to " + std::to_string(width) + " x " + std::to_string(length) +
         " dots");
  }
  label_.widthDots = static_cast<int>(width);
  label_.lengthDots = static_cast<int>(length);
  return std::move(label_);
}

bool startsWithXa(std::string_view text, std::size_t at) {
  return at + 3 <= text.size() && upper(text[at + 1]) == 'X' && upper(text[at + 2]) == 'A';
}

} // namespace

ZplRendering renderZpl(std::string_view text, const RenderOptions& requested) {
  RenderOptions options = requested;
  if (std::find(std::begin(kSupportedDpi), std::end(kSupportedDpi), options.dpi) ==
      std::end(kSupportedDpi))
    options.dpi = 203;
  ZplRendering result;
  std::optional<LabelRenderer> label;
  std::map<std::string, int> unknown;
  PrinterSettings printer;
  bool truncated = false;
  std::size_t i = 0;
  // Reads the command's parameters: up to the next command prefix, without
  // the line breaks, which the printer ignores.
  const auto readUntilCaret = [&](std::size_t from, bool tildeEnds) {
    std::string value;
    std::size_t j = from;
    for (; j < text.size() && text[j] != '^' && !(tildeEnds && text[j] == '~'); ++j)
      if (text[j] != '\r' && text[j] != '\n')
        value.push_back(text[j]);
    return std::pair{value, j};
  };
  while (i < text.size()) {
    if (text[i] != '^' && text[i] != '~') {
      ++i;
      continue;
    }
    if (!label) {
      if (text[i] == '^' && i + 2 < text.size() && upper(text[i + 1]) == 'C' &&
          upper(text[i + 2]) == 'I') { // the encoding holds from here, also between labels
        auto [params, end] = readUntilCaret(i + 3, true);
        printer.characterSet(params);
        i = end;
        continue;
      }
      if (text[i] == '^' && startsWithXa(text, i)) {
        if (result.labels.size() >= options.maxLabels) {
          truncated = true;
          break;
        }
        result.isZpl = true;
        label.emplace(options, unknown, printer);
      }
      i += text[i] == '^' && startsWithXa(text, i) ? 3 : 1;
      continue;
    }
    if (i + 1 >= text.size())
      break;
    std::string name;
    name.push_back(i + 1 < text.size() ? upper(text[i + 1]) : ' ');
    name.push_back(i + 2 < text.size() ? upper(text[i + 2]) : ' ');
    const bool tilde = text[i] == '~';
    std::size_t next = std::min(i + 3, text.size());
    if (name == "XZ" && !tilde) {
      result.labels.push_back(label->finish(true));
      label.reset();
      i = next;
      continue;
    }
    if (name == "FD" && !tilde) {
      auto [data, end] = readUntilCaret(next, false);
      label->fieldData(std::move(data));
      i = end;
      continue;
    }
    if (name == "FX" && !tilde) {
      i = readUntilCaret(next, false).second;
      continue;
    }
    if (name[0] == 'A' && !tilde) {
      // ^Afo,h,w: the orientation follows the font's name directly.
      auto [params, end] = readUntilCaret(next, true);
      label->command(name, params);
      i = end;
      continue;
    }
    auto [params, end] = readUntilCaret(next, true);
    label->command(tilde ? "~" + name : name, params);
    i = end;
  }
  if (label)
    result.labels.push_back(label->finish(false));
  if (!result.isZpl) {
    result.notes.emplace_back(kNoPreviewNote);
    return result;
  }
  if (truncated)
    result.notes.push_back(options.maxLabels == 1
                               ? std::string("only the first label is shown")
                               : "only the first " + std::to_string(options.maxLabels) +
                                     " labels are shown");
  if (!unknown.empty()) {
    int count = 0;
    std::string names;
    for (const auto& [name, n] : unknown) {
      count += n;
      if (names.size() < 60)
        names += (names.empty() ? "" : " ") + name;
    }
    result.unknownCommands = count;
    result.notes.push_back("skipped " + std::to_string(count) + " unknown command" +
                           (count == 1 ? "" : "s") + ": " + names);
  }
  return result;
}

} // namespace velmora::preview
