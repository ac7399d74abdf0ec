// The bars of the linear barcodes a label design uses: Code 128 (with the
// subsets chosen automatically, or as the data's invocation codes say),
// Code 39 and EAN-13 (its check digit computed).
//
// Each encoder gives the elements of the symbol from its first bar to its
// last, bar and space alternating, each as a width in units: modules for
// Code 128 and EAN-13; 1 (narrow) or 2 (wide) for Code 39, whose wide
// elements are ratio times the narrow ones. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::preview {

struct LinearBarcode {
  std::vector<std::uint8_t> elements; // bar, space, bar, ... widths in units
  std::string humanReadable;          // the interpretation line
  std::string error;                  // set when the data cannot be encoded
};

// Code 128. `automatic`: the subsets are chosen for the shortest symbol
// (C for runs of digits, A for control characters, B otherwise). Otherwise
// the data may carry invocation codes: ">9", ">:", ">;" at its start select
// subset A, B or C; ">7", ">6", ">5" switch to A, B or C inside it; ">8" is
// FNC1 and ">>" a ">". Data without a start code is encoded automatically.
// Characters above 127 are refused.
LinearBarcode encodeCode128(std::string_view data, bool automatic);

// Code 39: digits, capital letters and - . space $ / + %; small letters are
// taken as capitals. With `checkDigit` the modulo-43 check character is added.
LinearBarcode encodeCode39(std::string_view data, bool checkDigit);

// EAN-13 from up to 12 digits (fewer are padded with zeros on the left; a
// 13th is replaced by the computed check digit).
LinearBarcode encodeEan13(std::string_view data);

// The EAN-13 check digit of 12 digits.
int ean13CheckDigit(std::string_view twelveDigits);

} // namespace velmora::preview
