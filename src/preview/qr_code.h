// QR Code model 2 encoder: data in, the square of modules out, with the
// three data modes a label printer uses (numeric, alphanumeric, byte; not
// Kanji), the four error correction levels, versions 1 to 40 and the eight
// masks (the lowest penalty chosen unless a mask is asked for). Written here
// because the label preview must build on every platform the programs run
// on and Debian's QR library has no Windows build.
//
// Automatic input, as a ZPL printer encodes ^BQ's data after "A,": the data
// is split into segments of the three modes that together take the fewest
// bits (a long run of digits in numeric mode, of capitals in alphanumeric
// mode, the rest in byte mode), for the smallest version that holds them.
// Manual input puts the whole data into one mode the caller names.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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

// Numeric: digits; alphanumeric: digits, capitals, space and $ % * + - . / :;
// byte: any byte.
enum class QrMode : std::uint8_t { numeric, alphanumeric, byte };

// Whether every character of `data` has a place in `mode`.
bool qrModeHolds(QrMode mode, std::string_view data);

// The most characters of `mode` the largest symbol (version 40) holds at
// `level`, all in that one mode: at M 5596 digits, 3391 alphanumeric
// characters or 2331 bytes.
int qrCapacity(QrMode mode, QrErrorCorrection level);

// Automatic input: the smallest symbol that holds `data` at `level`, or
// nothing when no version holds it. `mask` 0 to 7 forces a mask; any other
// value picks the one with the lowest penalty.
std::optional<QrCode> encodeQr(std::string_view data, QrErrorCorrection level, int mask = -1);

// Manual input: the whole of `data` in `mode`; nothing when the mode has no
// place for one of its characters or no version holds it.
std::optional<QrCode> encodeQr(std::string_view data, QrMode mode, QrErrorCorrection level,
                               int mask = -1);

} // namespace velmora::preview
