// QR Code model 2 encoder: bytes in, the square of modules out, in byte mode
// with the four error correction levels, versions 1 to 40 and the eight
// masks (the lowest penalty chosen unless a mask is asked for). Written here
// because the label preview must build on every platform the programs run
// on and Debian's QR library has no Windows build.
//
// Pure function; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora::preview {

enum class QrErrorCorrection : std::uint8_t { low, medium, quartile, high }; // L M Q H

struct QrCode {
  int version = 0;
  int size = 0;           // modules per side: 17 + 4 * version
  std::vector<bool> dark; // size * size, row by row
  bool isDark(int x, int y) const { return dark[static_cast<std::size_t>(y * size + x)]; }
};

// The largest number of data bytes a symbol holds at a level (version 40).
int qrMaxBytes(QrErrorCorrection level);

// The smallest symbol that holds `data` at `level`, or nothing when the data
// is longer than qrMaxBytes(level). `mask` 0 to 7 forces a mask; any other
// value picks the one with the lowest penalty.
std::optional<QrCode> encodeQr(std::string_view data, QrErrorCorrection level, int mask = -1);

} // namespace velmora::preview
