#include "xbase/apollo_field.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/code_page.h"
#include "xbase/apollo_error.h"
#include "xbase/apollo_table.h"

namespace velmora::xbase {

namespace {

constexpr const char* kOutOfBounds = "Translate error. Value out of bounds";

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) {
    text.remove_suffix(1);
  }
  return text;
}

bool parseWhole(std::string_view text, std::int64_t& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

bool parseNumber(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
         std::isfinite(value);
}

std::string shortest(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string leftPad(std::string text, std::size_t width) {
  if (text.size() < width) {
    text.insert(0, width - text.size(), ' ');
  }
  return text;
}

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool validDate(int year, int month, int day) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1) {
    return false;
  }
  const int last = days[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
  return day <= last;
}

const char* typeName(const TFieldValue& value) {
  switch (value.index()) {
  case 1:
    return "String";
  case 2:
    return "Integer";
  case 3:
    return "Float";
  case 4:
    return "Boolean";
  case 5:
    return "Date";
  default:
    return "Null";
  }
}

[[noreturn]] void cannotAccess(const TFieldInfo& info, const char* type) {
  throw EApolloError("Cannot access field '" + info.name + "' as type " + type);
}

std::int64_t checkedRange(TFieldType type, const TFieldInfo& info, std::int64_t value) {
  const std::int64_t low = type == TFieldType::ftSmallint ? -32768 : INT32_MIN;
  const std::int64_t high = type == TFieldType::ftSmallint ? 32767 : INT32_MAX;
  if (value < low || value > high) {
    throw EApolloError(std::to_string(value) + " is not a valid value for field '" + info.name +
                       "'. The allowed range is " + std::to_string(low) + " to " +
                       std::to_string(high));
  }
  return value;
}

std::string upperAscii(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return result;
}

} // namespace

std::optional<TFieldType> fieldTypeOf(char typeLetter, std::size_t width, unsigned decimals) {
  switch (typeLetter) {
  case 'C':
    return TFieldType::ftString;
  case 'N':
  case 'F':
    return decimals > 0 || width > 4 ? TFieldType::ftFloat : TFieldType::ftSmallint;
  case 'I':
    return TFieldType::ftInteger;
  case 'L':
    return TFieldType::ftBoolean;
  case 'D':
    return TFieldType::ftDate;
  case 'M':
    return TFieldType::ftMemo;
  case 'B':
  case 'G':
  case 'P':
    return TFieldType::ftBlob;
  default:
    return std::nullopt;
  }
}

TFieldValue readFieldText(TFieldType type, const TFieldInfo& info, std::string_view raw) {
  switch (type) {
  case TFieldType::ftString: {
    std::string_view text = raw;
    while (!text.empty() && text.back() == ' ') {
      text.remove_suffix(1);
    }
    return platform::ansiToUtf8(text);
  }
  case TFieldType::ftSmallint:
  case TFieldType::ftInteger: {
    const std::string_view text = trimBlanks(raw);
    if (text.empty()) {
      return std::monostate{};
    }
    std::int64_t value = 0;
    return parseWhole(text, value) ? value : std::int64_t{0};
  }
  case TFieldType::ftFloat: {
    const std::string_view text = trimBlanks(raw);
    if (text.empty()) {
      return std::monostate{};
    }
    double value = 0;
    return parseNumber(text, value) ? value : 0.0;
  }
  case TFieldType::ftBoolean: {
    const char flag = raw.empty() ? ' ' : raw.front();
    if (flag == ' ') {
      return std::monostate{};
    }
    return flag == 'T' || flag == 'Y';
  }
  case TFieldType::ftDate: {
    if (raw.size() < 8) {
      return std::monostate{};
    }
    int parts[8];
    for (int i = 0; i < 8; ++i) {
      const char c = raw[static_cast<std::size_t>(i)];
      if (c < '0' || c > '9') {
        return std::monostate{}; // blank or incomplete
      }
      parts[i] = c - '0';
    }
    const int year = parts[0] * 1000 + parts[1] * 100 + parts[2] * 10 + parts[3];
    const int month = parts[4] * 10 + parts[5];
    const int day = parts[6] * 10 + parts[7];
    if (!validDate(year, month, day)) {
      return TDate{};
    }
    return TDate{year, month, day};
  }
  case TFieldType::ftMemo:
  case TFieldType::ftBlob:
    return std::string(raw);
  }
  (void)info;
  return std::monostate{};
}

std::string writeFieldText(TFieldType type, const TFieldInfo& info, const TFieldValue& value) {
  const std::size_t width = info.Width;
  if (std::holds_alternative<std::monostate>(value)) {
    return std::string(width, ' ');
  }
  switch (type) {
  case TFieldType::ftString:
  case TFieldType::ftMemo:
  case TFieldType::ftBlob: {
    const std::string& text = std::get<std::string>(value);
    std::string bytes = type == TFieldType::ftString ? platform::utf8ToAnsi(text) : text;
    bytes.resize(width, ' ');
    return bytes;
  }
  case TFieldType::ftSmallint:
  case TFieldType::ftInteger: {
    const std::string text = std::to_string(std::get<std::int64_t>(value));
    if (text.size() > width) {
      throw EApolloError(kOutOfBounds);
    }
    return leftPad(text, width);
  }
  case TFieldType::ftFloat: {
    const double number = std::get<double>(value);
    char buffer[400];
    const auto result =
        std::isfinite(number)
            ? std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed,
                            static_cast<int>(info.Decimals))
            : std::to_chars_result{buffer, std::errc::value_too_large};
    // A number whose text does not fit its column would be stored cut short
    // (123.46 in N(5,2) as 123.4), so it is refused like a whole number.
    if (result.ec != std::errc() || static_cast<std::size_t>(result.ptr - buffer) > width) {
      throw EApolloError(kOutOfBounds);
    }
    return leftPad(std::string(buffer, result.ptr), width);
  }
  case TFieldType::ftBoolean: {
    std::string text(std::get<bool>(value) ? "T" : "F");
    text.resize(width, ' ');
    return text;
  }
  case TFieldType::ftDate: {
    TDate date = std::get<TDate>(value);
    if (date.isZero()) {
      return std::string(width, ' ');
    }
    if (date.year >= 0 && date.year < 100) {
      date.year += date.year + 1900 >= 1980 ? 1900 : 2000;
    }
    if (date.year < 0 || date.year > 9999) {
      throw EApolloError(kOutOfBounds);
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", date.year, date.month % 100,
                  date.day % 100);
    std::string text(buffer);
    text.resize(width, ' ');
    return text;
  }
  }
  return std::string(width, ' ');
}

TFieldValue convertForField(TFieldType type, const TFieldInfo& info, const TFieldValue& value) {
  if (std::holds_alternative<std::monostate>(value)) {
    return value;
  }
  switch (type) {
  case TFieldType::ftString:
    if (const auto* text = std::get_if<std::string>(&value)) {
      return *text;
    }
    if (const auto* whole = std::get_if<std::int64_t>(&value)) {
      return std::to_string(*whole);
    }
    if (const auto* number = std::get_if<double>(&value)) {
      return shortest(*number);
    }
    break;
  case TFieldType::ftSmallint:
  case TFieldType::ftInteger:
    if (const auto* whole = std::get_if<std::int64_t>(&value)) {
      return checkedRange(type, info, *whole);
    }
    if (const auto* number = std::get_if<double>(&value)) {
      if (!std::isfinite(*number) || std::fabs(*number) > 1e15) {
        throw EApolloError(kOutOfBounds);
      }
      return checkedRange(type, info, std::llround(*number));
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
      std::int64_t whole = 0;
      if (!parseWhole(trimBlanks(*text), whole)) {
        throw EApolloError("'" + *text + "' is not a valid integer value");
      }
      return checkedRange(type, info, whole);
    }
    break;
  case TFieldType::ftFloat:
    if (const auto* whole = std::get_if<std::int64_t>(&value)) {
      return static_cast<double>(*whole);
    }
    if (const auto* number = std::get_if<double>(&value)) {
      return *number;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
      double number = 0;
      if (!parseNumber(trimBlanks(*text), number)) {
        throw EApolloError("'" + *text + "' is not a valid floating point value");
      }
      return number;
    }
    break;
  case TFieldType::ftBoolean:
    if (const auto* flag = std::get_if<bool>(&value)) {
      return *flag;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
      const std::string upper = upperAscii(trimBlanks(*text));
      if (upper.empty()) {
        return std::monostate{};
      }
      if (upper == "T" || upper == "TRUE" || upper == "Y" || upper == "YES") {
        return true;
      }
      if (upper == "F" || upper == "FALSE" || upper == "N" || upper == "NO") {
        return false;
      }
      throw EApolloError("'" + *text + "' is not a valid boolean value for field '" + info.name +
                         "'");
    }
    break;
  case TFieldType::ftDate:
    if (const auto* date = std::get_if<TDate>(&value)) {
      return *date;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
      const TFieldValue date = readFieldText(type, info, trimBlanks(*text));
      if (trimBlanks(*text).size() != 8 || !std::holds_alternative<TDate>(date)) {
        throw EApolloError("'" + *text + "' is not a valid date");
      }
      return date;
    }
    break;
  case TFieldType::ftMemo:
  case TFieldType::ftBlob:
    break;
  }
  cannotAccess(info, typeName(value));
}

const TFieldValue& TApolloField::Value() const {
  return table_.currentValue(info_.NativeOffset);
}

bool TApolloField::IsNull() const {
  return std::holds_alternative<std::monostate>(Value());
}

std::string TApolloField::AsString() const {
  const TFieldValue& value = Value();
  switch (value.index()) {
  case 1:
    return std::get<std::string>(value);
  case 2:
    return std::to_string(std::get<std::int64_t>(value));
  case 3:
    return shortest(std::get<double>(value));
  case 4:
    return std::get<bool>(value) ? "True" : "False";
  case 5: {
    const TDate date = std::get<TDate>(value);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", date.year, date.month, date.day);
    return buffer;
  }
  default:
    return std::string();
  }
}

std::int64_t TApolloField::AsInteger() const {
  const TFieldValue& value = Value();
  if (const auto* whole = std::get_if<std::int64_t>(&value)) {
    return *whole;
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return std::llround(*number);
  }
  if (std::holds_alternative<std::monostate>(value)) {
    return 0;
  }
  cannotAccess(info_, "Integer");
}

double TApolloField::AsFloat() const {
  const TFieldValue& value = Value();
  if (const auto* whole = std::get_if<std::int64_t>(&value)) {
    return static_cast<double>(*whole);
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return *number;
  }
  if (std::holds_alternative<std::monostate>(value)) {
    return 0;
  }
  cannotAccess(info_, "Float");
}

bool TApolloField::AsBoolean() const {
  const TFieldValue& value = Value();
  if (const auto* flag = std::get_if<bool>(&value)) {
    return *flag;
  }
  if (std::holds_alternative<std::monostate>(value)) {
    return false;
  }
  cannotAccess(info_, "Boolean");
}

TDate TApolloField::AsDate() const {
  const TFieldValue& value = Value();
  if (const auto* date = std::get_if<TDate>(&value)) {
    return *date;
  }
  if (std::holds_alternative<std::monostate>(value)) {
    return TDate{};
  }
  cannotAccess(info_, "Date");
}

void TApolloField::SetValue(const TFieldValue& value) {
  table_.assignValue(*this, value);
}

} // namespace velmora::xbase
