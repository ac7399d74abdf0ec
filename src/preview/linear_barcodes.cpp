#include "preview/linear_barcodes.h"

#include <array>
#include <cctype>

namespace velmora::preview {
namespace {

// Bar and space widths of the Code 128 symbols 0 to 106 (103 to 105 are the
// start codes A, B, C; 106 is the stop, with its final bar).
constexpr std::array<const char*, 107> kCode128Patterns = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

enum Code128Set { setA, setB, setC };
constexpr int kCodeC = 99;
constexpr int kCodeB = 100;
constexpr int kCodeA = 101;
constexpr int kFnc1 = 102;
constexpr int kStartA = 103;
constexpr int kShift = 98;
constexpr int kStop = 106;
constexpr int kFnc1Marker = -1; // FNC1 among the characters to encode

bool inSetA(int c) {
  return c >= 0 && c < 96;
}
bool inSetB(int c) {
  return c >= 32 && c < 128;
}
int valueIn(Code128Set set, int c) {
  return set == setA ? (c < 32 ? c + 64 : c - 32) : c - 32;
}
int switchTo(Code128Set set) {
  return set == setA ? kCodeA : set == setB ? kCodeB : kCodeC;
}

std::size_t digitRun(const std::vector<int>& chars, std::size_t from) {
  std::size_t n = from;
  while (n < chars.size() && chars[n] >= '0' && chars[n] <= '9')
    ++n;
  return n - from;
}

// The set for the characters from `from` on when C does not apply: A when a
// control character comes before any small letter, else B.
Code128Set letterSetFor(const std::vector<int>& chars, std::size_t from) {
  for (std::size_t i = from; i < chars.size(); ++i) {
    if (chars[i] >= 0 && chars[i] < 32)
      return setA;
    if (chars[i] >= 96)
      return setB;
  }
  return setB;
}

void appendElements(LinearBarcode& code, int symbol) {
  for (const char* p = kCode128Patterns[static_cast<std::size_t>(symbol)]; *p; ++p)
    code.elements.push_back(static_cast<std::uint8_t>(*p - '0'));
}

LinearBarcode finishCode128(const std::vector<int>& symbols, std::string human) {
  LinearBarcode code;
  int sum = symbols.front();
  for (std::size_t i = 1; i < symbols.size(); ++i)
    sum += symbols[i] * static_cast<int>(i);
  for (const int s : symbols)
    appendElements(code, s);
  appendElements(code, sum % 103);
  appendElements(code, kStop);
  code.humanReadable = std::move(human);
  return code;
}

LinearBarcode automaticCode128(const std::vector<int>& chars, std::string human) {
  std::vector<int> symbols;
  const auto startRun = digitRun(chars, 0);
  Code128Set set = startRun >= 4 || (startRun == chars.size() && startRun % 2 == 0)
                       ? setC
                       : letterSetFor(chars, 0);
  symbols.push_back(kStartA + set);
  std::size_t i = 0;
  while (i < chars.size()) {
    const int c = chars[i];
    if (c == kFnc1Marker) {
      symbols.push_back(kFnc1);
      ++i;
      continue;
    }
    if (set == setC) {
      if (digitRun(chars, i) >= 2) {
        symbols.push_back((chars[i] - '0') * 10 + chars[i + 1] - '0');
        i += 2;
        continue;
      }
      set = letterSetFor(chars, i);
      symbols.push_back(switchTo(set));
      continue;
    }
    const auto run = digitRun(chars, i);
    if (run >= 4 && (run % 2 == 0 || run >= 5) && (i + run == chars.size() || run >= 6)) {
      if (run % 2 == 1) { // one digit in the current set first
        symbols.push_back(valueIn(set, c));
        ++i;
      }
      set = setC;
      symbols.push_back(kCodeC);
      continue;
    }
    const bool fits = set == setA ? inSetA(c) : inSetB(c);
    if (!fits) {
      const Code128Set other = set == setA ? setB : setA;
      const bool nextFitsCurrent =
          i + 1 < chars.size() && (set == setA ? inSetA(chars[i + 1]) : inSetB(chars[i + 1]));
      if (nextFitsCurrent) { // a single character of the other set
        symbols.push_back(kShift);
        symbols.push_back(valueIn(other, c));
        ++i;
        continue;
      }
      set = other;
      symbols.push_back(switchTo(set));
    }
    symbols.push_back(valueIn(set, c));
    ++i;
  }
  return finishCode128(symbols, std::move(human));
}

} // namespace

LinearBarcode encodeCode128(std::string_view data, bool automatic) {
  LinearBarcode failed;
  std::vector<int> chars;
  std::string human;
  const bool hasStart = !automatic && data.size() >= 2 && data[0] == '>' &&
                        (data[1] == '9' || data[1] == ':' || data[1] == ';');
  std::vector<int> symbols;
  Code128Set set = setB;
  std::size_t i = 0;
  if (hasStart) {
    set = data[1] == '9' ? setA : data[1] == ':' ? setB : setC;
    symbols.push_back(kStartA + set);
    i = 2;
  }
  for (; i < data.size(); ++i) {
    int c = static_cast<unsigned char>(data[i]);
    if (c > 127) {
      failed.error = "Code 128 takes ASCII characters only";
      return failed;
    }
    if (!automatic && c == '>' && i + 1 < data.size()) {
      const char code = data[i + 1];
      const int command = code == '>'   ? '>'
                          : code == '8' ? kFnc1Marker
                          : code == '7' ? -2
                          : code == '6' ? -3
                          : code == '5' ? -4
                                        : 0;
      if (command != 0) {
        ++i;
        if (command < -1) {
          if (!hasStart)
            continue; // switches only count in a symbol that chose its start
          set = command == -2 ? setA : command == -3 ? setB : setC;
          symbols.push_back(switchTo(set));
          continue;
        }
        c = command;
      }
    }
    if (!hasStart) {
      chars.push_back(c);
      if (c != kFnc1Marker)
        human.push_back(static_cast<char>(c));
      continue;
    }
    if (c == kFnc1Marker) {
      symbols.push_back(kFnc1);
      continue;
    }
    if (set == setC) {
      if (c < '0' || c > '9' || i + 1 >= data.size() || data[i + 1] < '0' || data[i + 1] > '9') {
        failed.error = "Code 128 subset C takes pairs of digits";
        return failed;
      }
      symbols.push_back((c - '0') * 10 + data[i + 1] - '0');
      human.push_back(static_cast<char>(c));
      human.push_back(data[i + 1]);
      ++i;
      continue;
    }
    if (set == setA ? !inSetA(c) : !inSetB(c)) {
      failed.error = "Code 128: a character is not in the chosen subset";
      return failed;
    }
    symbols.push_back(valueIn(set, c));
    human.push_back(static_cast<char>(c));
  }
  if (hasStart)
    return finishCode128(symbols, std::move(human));
  if (chars.empty()) {
    failed.error = "Code 128 without data";
    return failed;
  }
  return automaticCode128(chars, std::move(human));
}

namespace {

constexpr std::string_view kCode39Chars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
// n = narrow, w = wide; bar, space, bar, ... nine elements.
constexpr std::array<const char*, 44> kCode39Patterns = {
    "nnnwwnwnn", "wnnwnnnnw", "nnwwnnnnw", "wnwwnnnnn", "nnnwwnnnw", "wnnwwnnnn", "nnwwwnnnn",
    "nnnwnnwnw", "wnnwnnwnn", "nnwwnnwnn", "wnnnnwnnw", "nnwnnwnnw", "wnwnnwnnn", "nnnnwwnnw",
    "wnnnwwnnn", "nnwnwwnnn", "nnnnnwwnw", "wnnnnwwnn", "nnwnnwwnn", "nnnnwwwnn", "wnnnnnnww",
    "nnwnnnnww", "wnwnnnnwn", "nnnnwnnww", "wnnnwnnwn", "nnwnwnnwn", "nnnnnnwww", "wnnnnnwwn",
    "nnwnnnwwn", "nnnnwnwwn", "wwnnnnnnw", "nwwnnnnnw", "wwwnnnnnn", "nwnnwnnnw", "wwnnwnnnn",
    "nwwnwnnnn", "nwnnnnwnw", "wwnnnnwnn", "nwwnnnwnn", "nwnwnwnnn", "nwnwnnnwn", "nwnnnwnwn",
    "nnnwnwnwn", "nwnnwnwnn"}; // the last: the start and stop character "*"

void appendCode39(LinearBarcode& code, std::size_t index) {
  if (!code.elements.empty())
    code.elements.push_back(1); // the gap between characters
  for (const char* p = kCode39Patterns[index]; *p; ++p)
    code.elements.push_back(*p == 'w' ? 2 : 1);
}

} // namespace

LinearBarcode encodeCode39(std::string_view data, bool checkDigit) {
  LinearBarcode code;
  std::vector<std::size_t> indexes;
  for (const char raw : data) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
    const auto index = kCode39Chars.find(c);
    if (index == std::string_view::npos) {
      code.error = "Code 39 cannot hold the character '" + std::string(1, raw) + "'";
      return code;
    }
    indexes.push_back(index);
  }
  if (indexes.empty()) {
    code.error = "Code 39 without data";
    return code;
  }
  if (checkDigit) {
    std::size_t sum = 0;
    for (const auto index : indexes)
      sum += index;
    indexes.push_back(sum % 43);
  }
  appendCode39(code, 43);
  code.humanReadable = "*";
  for (const auto index : indexes) {
    appendCode39(code, index);
    code.humanReadable.push_back(kCode39Chars[index]);
  }
  appendCode39(code, 43);
  code.humanReadable.push_back('*');
  return code;
}

int ean13CheckDigit(std::string_view twelveDigits) {
  int sum = 0;
  for (std::size_t i = 0; i < 12 && i < twelveDigits.size(); ++i)
    sum += (twelveDigits[i] - '0') * (i % 2 == 0 ? 1 : 3);
  return (10 - sum % 10) % 10;
}

LinearBarcode encodeEan13(std::string_view data) {
  LinearBarcode code;
  for (const char c : data)
    if (c < '0' || c > '9') {
      code.error = "EAN-13 takes digits only";
      return code;
    }
  if (data.size() > 13) {
    code.error = "EAN-13 takes 12 digits";
    return code;
  }
  std::string digits(data.substr(0, 12));
  digits.insert(0, 12 - digits.size(), '0');
  digits.push_back(static_cast<char>('0' + ean13CheckDigit(digits)));

  static constexpr std::array<const char*, 10> kLeftOdd = {
      "0001101", "0011001", "0010011", "0111101", "0100011",
      "0110001", "0101111", "0111011", "0110111", "0001011"};
  static constexpr std::array<const char*, 10> kParity = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL",
                                                          "LGLLGG", "LGGLLG", "LGGGLL", "LGLGLG",
                                                          "LGLGGL", "LGGLGL"};
  std::string modules = "101";
  const char* parity = kParity[static_cast<std::size_t>(digits[0] - '0')];
  for (std::size_t i = 1; i <= 12; ++i) {
    if (i == 7)
      modules += "01010";
    const std::string odd = kLeftOdd[static_cast<std::size_t>(digits[i] - '0')];
    std::string right = odd;
    for (char& m : right)
      m = m == '0' ? '1' : '0';
    if (i >= 7)
      modules += right;
    else if (parity[i - 1] == 'L')
      modules += odd;
    else
      modules += std::string(right.rbegin(), right.rend());
  }
  modules += "101";
  // Runs of equal modules, starting with the first bar.
  for (std::size_t i = 0; i < modules.size();) {
    std::size_t j = i;
    while (j < modules.size() && modules[j] == modules[i])
      ++j;
    code.elements.push_back(static_cast<std::uint8_t>(j - i));
    i = j;
  }
  code.humanReadable = digits;
  return code;
}

} // namespace velmora::preview
