#include "preview/qr_code.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace velmora::preview {
namespace {

// Error correction codewords per block and number of blocks, by level
// (L, M, Q, H) and version (index 0 unused).
constexpr std::array<std::array<int, 41>, 4> kEccPerBlock = {{
    {-1, 7,  10, 15, 20, 26, 18, 20, 24, 30, 18, 20, 24, 26, 30, 22, 24, 28, 30, 28, 28,
     28, 28, 30, 30, 26, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {-1, 10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26, 26,
     26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28},
    {-1, 13, 22, 18, 26, 18, 24, 18, 22, 20, 24, 28, 26, 24, 20, 30, 24, 28, 28, 26, 30,
     28, 30, 30, 30, 30, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {-1, 17, 28, 22, 16, 22, 28, 26, 26, 24, 28, 24, 28, 22, 24, 24, 30, 28, 28, 26, 28,
     30, 24, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
}};
constexpr std::array<std::array<int, 41>, 4> kBlockCount = {{
    {-1, 1, 1, 1,  1,  1,  2,  2,  2,  2,  4,  4,  4,  4,  4,  6,  6,  6,  6,  7, 8,
     8,  9, 9, 10, 12, 12, 12, 13, 14, 15, 16, 17, 18, 19, 19, 20, 21, 22, 24, 25},
    {-1, 1,  1,  1,  2,  2,  4,  4,  4,  5,  5,  5,  8,  9,  9,  10, 10, 11, 13, 14, 16,
     17, 17, 18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49},
    {-1, 1,  1,  2,  2,  4,  4,  6,  6,  8,  8,  8,  10, 12, 16, 12, 17, 16, 18, 21, 20,
     23, 23, 25, 27, 29, 34, 34, 35, 38, 40, 43, 45, 48, 51, 53, 56, 59, 62, 65, 68},
    {-1, 1,  1,  2,  4,  4,  4,  5,  6,  8,  8,  11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
     25, 34, 30, 32, 35, 37, 40, 42, 45, 48, 51, 54, 57, 60, 63, 66, 70, 74, 77, 81},
}};
// The two format bits of each level, in the order of the enumeration.
constexpr std::array<int, 4> kFormatBits = {1, 0, 3, 2};

int rawModules(int version) {
  int result = (16 * version + 128) * version + 64;
  if (version >= 2) {
    const int align = version / 7 + 2;
    result -= (25 * align - 10) * align - 55;
    if (version >= 7)
      result -= 36;
  }
  return result;
}

int dataCodewords(int version, QrErrorCorrection level) {
  const auto l = static_cast<std::size_t>(level);
  const auto v = static_cast<std::size_t>(version);
  return rawModules(version) / 8 - kEccPerBlock[l][v] * kBlockCount[l][v];
}

constexpr std::string_view kAlphanumeric = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
constexpr int kModeCount = 3;

std::size_t modeIndex(QrMode mode) {
  return static_cast<std::size_t>(mode);
}

// The 4-bit mode indicator.
unsigned modeIndicator(QrMode mode) {
  return mode == QrMode::numeric ? 1 : mode == QrMode::alphanumeric ? 2 : 4;
}

// The width of a segment's character count, by version 1-9, 10-26, 27-40.
int countBits(QrMode mode, int version) {
  static constexpr std::array<std::array<int, 3>, kModeCount> kBits = {
      {{10, 12, 14}, {9, 11, 13}, {8, 16, 16}}};
  const std::size_t range = version <= 9 ? 0 : version <= 26 ? 1 : 2;
  return kBits[modeIndex(mode)][range];
}

bool holds(QrMode mode, char c) {
  switch (mode) {
  case QrMode::numeric:
    return c >= '0' && c <= '9';
  case QrMode::alphanumeric:
    return kAlphanumeric.find(c) != std::string_view::npos;
  case QrMode::byte:
    break;
  }
  return true;
}

// The bits of `count` characters in `mode`, without mode and count.
long dataBits(QrMode mode, std::size_t count) {
  const auto n = static_cast<long>(count);
  switch (mode) {
  case QrMode::numeric: // three digits in 10 bits, two in 7, one in 4
    return n / 3 * 10 + (n % 3 == 2 ? 7 : n % 3 == 1 ? 4 : 0);
  case QrMode::alphanumeric: // two characters in 11 bits, one in 6
    return n / 2 * 11 + (n % 2) * 6;
  case QrMode::byte:
    break;
  }
  return n * 8;
}

struct Segment {
  QrMode mode;
  std::string_view data;
};

// The bits of the segments at `version`, or -1 when a segment's count does
// not fit its count field there.
long totalBits(const std::vector<Segment>& segments, int version) {
  long total = 0;
  for (const Segment& segment : segments) {
    const int bits = countBits(segment.mode, version);
    if (segment.data.size() >= (std::size_t{1} << bits))
      return -1;
    total += 4 + bits + dataBits(segment.mode, segment.data.size());
  }
  return total;
}

// The data split into the segments of fewest bits for the count widths of
// `version`: for every character, the cheapest way to have it in each mode
// (going on in the mode of the character before, or starting a segment),
// counted in sixths of a bit so that a digit (10/3 bits) and an alphanumeric
// character (11/2) are whole numbers; then the cheapest path back.
std::vector<Segment> automaticSegments(std::string_view data, int version) {
  static constexpr std::array<QrMode, kModeCount> kModes = {QrMode::numeric, QrMode::alphanumeric,
                                                            QrMode::byte};
  static constexpr std::array<long, kModeCount> kCharCost = {20, 33, 48};
  constexpr long kNone = -1;
  std::array<long, kModeCount> headCost{};
  for (std::size_t m = 0; m < kModeCount; ++m)
    headCost[m] = (4L + countBits(kModes[m], version)) * 6;
  // from[i][m]: the mode of character i on the cheapest path that has the
  // next character in mode m (kNone: no path).
  std::vector<std::array<long, kModeCount>> from(data.size());
  std::array<long, kModeCount> cost = headCost;
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::array<long, kModeCount> next{};
    for (std::size_t m = 0; m < kModeCount; ++m) {
      const bool fits = holds(kModes[m], data[i]);
      next[m] = fits ? cost[m] + kCharCost[m] : kNone;
      from[i][m] = fits ? static_cast<long>(m) : kNone;
    }
    const std::array<long, kModeCount> inMode = next;
    for (std::size_t m = 0; m < kModeCount; ++m)
      for (std::size_t k = 0; k < kModeCount; ++k) {
        if (inMode[k] == kNone)
          continue;
        const long switched = (inMode[k] + 5) / 6 * 6 + headCost[m];
        if (next[m] == kNone || switched < next[m]) {
          next[m] = switched;
          from[i][m] = static_cast<long>(k);
        }
      }
    cost = next;
  }
  std::size_t mode = 0;
  for (std::size_t m = 1; m < kModeCount; ++m)
    if (cost[m] < cost[mode])
      mode = m;
  std::vector<QrMode> modes(data.size());
  for (std::size_t i = data.size(); i-- > 0;) {
    mode = static_cast<std::size_t>(from[i][mode]);
    modes[i] = kModes[mode];
  }
  std::vector<Segment> segments;
  for (std::size_t i = 0; i < data.size();) {
    std::size_t end = i + 1;
    while (end < data.size() && modes[end] == modes[i])
      ++end;
    segments.push_back({modes[i], data.substr(i, end - i)});
    i = end;
  }
  return segments;
}

int alphanumericValue(char c) {
  return static_cast<int>(kAlphanumeric.find(c));
}

std::uint8_t gfMultiply(std::uint8_t x, std::uint8_t y) {
  int z = 0;
  for (int i = 7; i >= 0; --i) {
    z = (z << 1) ^ ((z >> 7) * 0x11D);
    z ^= ((y >> i) & 1) * x;
  }
  return static_cast<std::uint8_t>(z);
}

std::vector<std::uint8_t> reedSolomonDivisor(int degree) {
  std::vector<std::uint8_t> result(static_cast<std::size_t>(degree));
  result.back() = 1;
  std::uint8_t root = 1;
  for (int i = 0; i < degree; ++i) {
    for (std::size_t j = 0; j < result.size(); ++j) {
      result[j] = gfMultiply(result[j], root);
      if (j + 1 < result.size())
        result[j] ^= result[j + 1];
    }
    root = gfMultiply(root, 0x02);
  }
  return result;
}

std::vector<std::uint8_t> reedSolomonRemainder(const std::vector<std::uint8_t>& data,
                                               const std::vector<std::uint8_t>& divisor) {
  std::vector<std::uint8_t> result(divisor.size());
  for (const std::uint8_t b : data) {
    const auto factor = static_cast<std::uint8_t>(b ^ result.front());
    result.erase(result.begin());
    result.push_back(0);
    for (std::size_t i = 0; i < result.size(); ++i)
      result[i] ^= gfMultiply(divisor[i], factor);
  }
  return result;
}

class Matrix final {
public:
  explicit Matrix(int version)
      : version_(version), size_(version * 4 + 17), dark_(static_cast<std::size_t>(size_ * size_)),
        function_(static_cast<std::size_t>(size_ * size_)) {}

  int size() const { return size_; }
  bool dark(int x, int y) const { return dark_[index(x, y)]; }
  void set(int x, int y, bool value) { dark_[index(x, y)] = value; }
  void setFunction(int x, int y, bool value) {
    dark_[index(x, y)] = value;
    function_[index(x, y)] = true;
  }
  bool isFunction(int x, int y) const { return function_[index(x, y)]; }
  std::vector<bool>& modules() { return dark_; }

  void drawFunctionPatterns(int formatBits) {
    for (int i = 0; i < size_; ++i) {
      setFunction(6, i, i % 2 == 0);
      setFunction(i, 6, i % 2 == 0);
    }
    drawFinder(3, 3);
    drawFinder(size_ - 4, 3);
    drawFinder(3, size_ - 4);
    const std::vector<int> positions = alignmentPositions();
    const auto count = positions.size();
    for (std::size_t i = 0; i < count; ++i)
      for (std::size_t j = 0; j < count; ++j)
        if (!((i == 0 && j == 0) || (i == 0 && j == count - 1) || (i == count - 1 && j == 0)))
          drawAlignment(positions[i], positions[j]);
    drawFormat(formatBits);
    drawVersion();
  }

  void drawFormat(int formatBits) {
    int remainder = formatBits;
    for (int i = 0; i < 10; ++i)
      remainder = (remainder << 1) ^ ((remainder >> 9) * 0x537);
    const int bits = ((formatBits << 10) | remainder) ^ 0x5412;
    const auto bit = [bits](int i) { return ((bits >> i) & 1) != 0; };
    for (int i = 0; i <= 5; ++i)
      setFunction(8, i, bit(i));
    setFunction(8, 7, bit(6));
    setFunction(8, 8, bit(7));
    setFunction(7, 8, bit(8));
    for (int i = 9; i < 15; ++i)
      setFunction(14 - i, 8, bit(i));
    for (int i = 0; i < 8; ++i)
      setFunction(size_ - 1 - i, 8, bit(i));
    for (int i = 8; i < 15; ++i)
      setFunction(8, size_ - 15 + i, bit(i));
    setFunction(8, size_ - 8, true);
  }

  void drawCodewords(const std::vector<std::uint8_t>& codewords) {
    std::size_t i = 0;
    const std::size_t totalBits = codewords.size() * 8;
    for (int right = size_ - 1; right >= 1; right -= 2) {
      if (right == 6)
        right = 5;
      for (int vert = 0; vert < size_; ++vert) {
        for (int j = 0; j < 2; ++j) {
          const int x = right - j;
          const bool upward = ((right + 1) & 2) == 0;
          const int y = upward ? size_ - 1 - vert : vert;
          if (!isFunction(x, y) && i < totalBits) {
            set(x, y, ((codewords[i >> 3] >> (7 - static_cast<int>(i & 7))) & 1) != 0);
            ++i;
          }
        }
      }
    }
  }

  void applyMask(int mask) {
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x) {
        bool invert = false;
        switch (mask) {
        case 0:
          invert = (x + y) % 2 == 0;
          break;
        case 1:
          invert = y % 2 == 0;
          break;
        case 2:
          invert = x % 3 == 0;
          break;
        case 3:
          invert = (x + y) % 3 == 0;
          break;
        case 4:
          invert = (x / 3 + y / 2) % 2 == 0;
          break;
        case 5:
          invert = x * y % 2 + x * y % 3 == 0;
          break;
        case 6:
          invert = (x * y % 2 + x * y % 3) % 2 == 0;
          break;
        default:
          invert = ((x + y) % 2 + x * y % 3) % 2 == 0;
          break;
        }
        if (invert && !isFunction(x, y))
          set(x, y, !dark(x, y));
      }
  }

  long penalty() const {
    long result = 0;
    // Runs of five or more in rows and columns, and finder-like patterns.
    for (int pass = 0; pass < 2; ++pass) {
      for (int a = 0; a < size_; ++a) {
        bool runColor = false;
        int run = 0;
        std::vector<bool> line(static_cast<std::size_t>(size_));
        for (int b = 0; b < size_; ++b) {
          const bool d = pass == 0 ? dark(b, a) : dark(a, b);
          line[static_cast<std::size_t>(b)] = d;
          if (b > 0 && d == runColor) {
            ++run;
            if (run == 5)
              result += 3;
            else if (run > 5)
              ++result;
          } else {
            runColor = d;
            run = 1;
          }
        }
        result += 40 * finderLikeCount(line);
      }
    }
    for (int y = 0; y + 1 < size_; ++y)
      for (int x = 0; x + 1 < size_; ++x) {
        const bool c = dark(x, y);
        if (c == dark(x + 1, y) && c == dark(x, y + 1) && c == dark(x + 1, y + 1))
          result += 3;
      }
    long darkCount = 0;
    for (const bool d : dark_)
      darkCount += d ? 1 : 0;
    const long total = static_cast<long>(size_) * size_;
    const long k = (std::labs(darkCount * 20 - total * 10) + total - 1) / total - 1;
    result += std::max(0L, k) * 10;
    return result;
  }

private:
  std::size_t index(int x, int y) const { return static_cast<std::size_t>(y * size_ + x); }

  // 1:1:3:1:1 dark-light pattern with four light modules on one side
  // (the quiet zone beyond the symbol counts as light).
  long finderLikeCount(const std::vector<bool>& line) const {
    static constexpr std::array<bool, 11> kPatternA = {true, false, true,  true,  true, false,
                                                       true, false, false, false, false};
    static constexpr std::array<bool, 11> kPatternB = {false, false, false, false, true, false,
                                                       true,  true,  true,  false, true};
    long count = 0;
    const int n = static_cast<int>(line.size());
    for (int start = -4; start + 11 <= n + 4; ++start) {
      bool a = true;
      bool b = true;
      for (int i = 0; i < 11; ++i) {
        const int p = start + i;
        const bool d = p >= 0 && p < n && line[static_cast<std::size_t>(p)];
        a = a && d == kPatternA[static_cast<std::size_t>(i)];
        b = b && d == kPatternB[static_cast<std::size_t>(i)];
      }
      count += (a ? 1 : 0) + (b ? 1 : 0);
    }
    return count;
  }

  std::vector<int> alignmentPositions() const {
    if (version_ == 1)
      return {};
    const int count = version_ / 7 + 2;
    const int step = version_ == 32 ? 26 : (version_ * 4 + count * 2 + 1) / (count * 2 - 2) * 2;
    std::vector<int> result(static_cast<std::size_t>(count));
    result[0] = 6;
    for (int i = count - 1, pos = size_ - 7; i >= 1; --i, pos -= step)
      result[static_cast<std::size_t>(i)] = pos;
    return result;
  }

  void drawFinder(int cx, int cy) {
    for (int dy = -4; dy <= 4; ++dy)
      for (int dx = -4; dx <= 4; ++dx) {
        const int dist = std::max(std::abs(dx), std::abs(dy));
        const int x = cx + dx;
        const int y = cy + dy;
        if (x >= 0 && x < size_ && y >= 0 && y < size_)
          setFunction(x, y, dist != 2 && dist != 4);
      }
  }

  void drawAlignment(int cx, int cy) {
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        setFunction(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
  }

  void drawVersion() {
    if (version_ < 7)
      return;
    int remainder = version_;
    for (int i = 0; i < 12; ++i)
      remainder = (remainder << 1) ^ ((remainder >> 11) * 0x1F25);
    const long bits = static_cast<long>(version_) << 12 | remainder;
    for (int i = 0; i < 18; ++i) {
      const bool d = ((bits >> i) & 1) != 0;
      const int a = size_ - 11 + i % 3;
      const int b = i / 3;
      setFunction(a, b, d);
      setFunction(b, a, d);
    }
  }

  int version_;
  int size_;
  std::vector<bool> dark_;
  std::vector<bool> function_;
};

// The symbol of `segments` (a function of the version, as the count widths
// depend on it) at the smallest version that holds them.
template <typename SegmentsAt>
std::optional<QrCode> encodeSegments(SegmentsAt segmentsAt, QrErrorCorrection level, int mask) {
  int version = 1;
  std::vector<Segment> segments;
  for (; version <= 40; ++version) {
    segments = segmentsAt(version);
    const long bits = totalBits(segments, version);
    if (bits >= 0 && bits <= static_cast<long>(dataCodewords(version, level)) * 8)
      break;
  }
  if (version > 40)
    return std::nullopt;

  // The data bits: each segment's mode, count and characters, then the
  // terminator, padding to whole bytes and the alternating pad bytes.
  const int capacityBits = dataCodewords(version, level) * 8;
  std::vector<bool> bits;
  const auto append = [&bits](unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i)
      bits.push_back(((value >> i) & 1) != 0);
  };
  for (const Segment& segment : segments) {
    const std::string_view data = segment.data;
    append(modeIndicator(segment.mode), 4);
    append(static_cast<unsigned>(data.size()), countBits(segment.mode, version));
    switch (segment.mode) {
    case QrMode::numeric:
      for (std::size_t i = 0; i < data.size(); i += 3) {
        const std::size_t digits = std::min<std::size_t>(3, data.size() - i);
        unsigned value = 0;
        for (std::size_t k = 0; k < digits; ++k)
          value = value * 10 + static_cast<unsigned>(data[i + k] - '0');
        append(value, static_cast<int>(digits * 3 + 1));
      }
      break;
    case QrMode::alphanumeric:
      for (std::size_t i = 0; i < data.size(); i += 2) {
        if (i + 1 < data.size())
          append(static_cast<unsigned>(alphanumericValue(data[i]) * 45 +
                                       alphanumericValue(data[i + 1])),
                 11);
        else
          append(static_cast<unsigned>(alphanumericValue(data[i])), 6);
      }
      break;
    case QrMode::byte:
      for (const char c : data)
        append(static_cast<unsigned char>(c), 8);
      break;
    }
  }
  append(0, std::min(4, capacityBits - static_cast<int>(bits.size())));
  append(0, (8 - static_cast<int>(bits.size() % 8)) % 8);
  for (unsigned pad = 0xEC; static_cast<int>(bits.size()) < capacityBits; pad ^= 0xEC ^ 0x11)
    append(pad, 8);
  std::vector<std::uint8_t> codewords(bits.size() / 8);
  for (std::size_t i = 0; i < bits.size(); ++i)
    if (bits[i])
      codewords[i >> 3] = static_cast<std::uint8_t>(codewords[i >> 3] | 1 << (7 - (i & 7)));

  // Split into blocks, add each block's error correction, interleave.
  const auto l = static_cast<std::size_t>(level);
  const auto v = static_cast<std::size_t>(version);
  const int blocks = kBlockCount[l][v];
  const int eccLength = kEccPerBlock[l][v];
  const int rawCodewords = rawModules(version) / 8;
  const int shortBlocks = blocks - rawCodewords % blocks;
  const int shortLength = rawCodewords / blocks;
  const auto divisor = reedSolomonDivisor(eccLength);
  std::vector<std::vector<std::uint8_t>> blockData;
  for (int i = 0, k = 0; i < blocks; ++i) {
    const int dataLength = shortLength - eccLength + (i < shortBlocks ? 0 : 1);
    std::vector<std::uint8_t> block(codewords.begin() + k, codewords.begin() + k + dataLength);
    k += dataLength;
    const auto ecc = reedSolomonRemainder(block, divisor);
    if (i < shortBlocks)
      block.push_back(0); // a gap so that every block has the same length
    block.insert(block.end(), ecc.begin(), ecc.end());
    blockData.push_back(std::move(block));
  }
  std::vector<std::uint8_t> interleaved;
  for (std::size_t i = 0; i < blockData[0].size(); ++i)
    for (std::size_t j = 0; j < blockData.size(); ++j)
      if (i != static_cast<std::size_t>(shortLength - eccLength) ||
          j >= static_cast<std::size_t>(shortBlocks))
        interleaved.push_back(blockData[j][i]);

  Matrix matrix(version);
  matrix.drawFunctionPatterns(kFormatBits[l] << 3);
  matrix.drawCodewords(interleaved);
  int chosen = mask;
  if (chosen < 0 || chosen > 7) {
    long best = -1;
    for (int m = 0; m < 8; ++m) {
      matrix.applyMask(m);
      matrix.drawFormat(kFormatBits[l] << 3 | m);
      const long p = matrix.penalty();
      if (best < 0 || p < best) {
        best = p;
        chosen = m;
      }
      matrix.applyMask(m); // undoes it
    }
  }
  matrix.applyMask(chosen);
  matrix.drawFormat(kFormatBits[l] << 3 | chosen);
  return QrCode{version, matrix.size(), std::move(matrix.modules())};
}

} // namespace

bool qrModeHolds(QrMode mode, std::string_view data) {
  return std::all_of(data.begin(), data.end(), [mode](char c) { return holds(mode, c); });
}

int qrCapacity(QrMode mode, QrErrorCorrection level) {
  const long bits = static_cast<long>(dataCodewords(40, level)) * 8 - 4 - countBits(mode, 40);
  switch (mode) {
  case QrMode::numeric:
    return static_cast<int>(bits / 10 * 3 + (bits % 10 >= 7 ? 2 : bits % 10 >= 4 ? 1 : 0));
  case QrMode::alphanumeric:
    return static_cast<int>(bits / 11 * 2 + (bits % 11 >= 6 ? 1 : 0));
  case QrMode::byte:
    break;
  }
  return static_cast<int>(bits / 8);
}

std::optional<QrCode> encodeQr(std::string_view data, QrErrorCorrection level, int mask) {
  // The split depends only on the count widths, the same within each of the
  // three version ranges.
  std::array<std::optional<std::vector<Segment>>, 3> byRange;
  return encodeSegments(
      [&](int version) {
        auto& segments = byRange[version <= 9 ? 0 : version <= 26 ? 1 : 2];
        if (!segments)
          segments = automaticSegments(data, version);
        return *segments;
      },
      level, mask);
}

std::optional<QrCode> encodeQr(std::string_view data, QrMode mode, QrErrorCorrection level,
                               int mask) {
  if (!qrModeHolds(mode, data))
    return std::nullopt;
  const std::vector<Segment> segments = {{mode, data}};
  return encodeSegments([&](int) { return segments; }, level, mask);
}

} // namespace velmora::preview
