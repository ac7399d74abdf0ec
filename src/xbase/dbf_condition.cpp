#include "xbase/dbf_condition.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "platform/code_page.h"
#include "platform/unicode.h"

namespace velmora::xbase {

namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) !=
        std::toupper(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

[[noreturn]] void invalid(std::string_view condition) {
  throw DbfError("Invalid query expression: " + std::string(condition));
}

// Parses a whole text as a decimal number; false when it is not one.
bool parseNumber(std::string_view text, double& value) {
  text = trim(text);
  if (text.empty()) {
    return false;
  }
  if (text.front() == '+') {
    text.remove_prefix(1);
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

} // namespace

DbfCondition DbfCondition::parse(std::string_view condition, const std::vector<DbfField>& fields) {
  std::string_view rest = trim(condition);
  DbfCondition result;
  bool wrapped = false;
  if (startsWithIgnoringCase(rest, "UPPER(")) {
    result.ignoreCase_ = true;
    wrapped = true;
    rest.remove_prefix(6);
  } else if (startsWithIgnoringCase(rest, "DTOS(")) {
    wrapped = true;
    rest.remove_prefix(5);
  }
  rest = trim(rest);
  std::size_t nameLength = 0;
  while (nameLength < rest.size() &&
         (std::isalnum(static_cast<unsigned char>(rest[nameLength])) || rest[nameLength] == '_')) {
    ++nameLength;
  }
  const std::string_view name = rest.substr(0, nameLength);
  if (name.empty()) {
    invalid(condition);
  }
  rest = trim(rest.substr(nameLength));
  if (wrapped) {
    if (rest.empty() || rest.front() != ')') {
      invalid(condition);
    }
    rest = trim(rest.substr(1));
  }
  if (rest.empty() || rest.front() != '=') {
    invalid(condition);
  }
  rest.remove_prefix(1);
  if (!rest.empty() && rest.front() == '=') {
    rest.remove_prefix(1);
  }
  rest = trim(rest);

  const auto field = std::find_if(fields.begin(), fields.end(), [&](const DbfField& f) {
    return f.name.size() == name.size() && startsWithIgnoringCase(f.name, name);
  });
  if (field == fields.end()) {
    throw DbfError("Variable does not exist: " + std::string(name));
  }
  result.field_ = *field;

  if (!rest.empty() && rest.front() == '"') {
    if (rest.size() < 2 || rest.back() != '"') {
      invalid(condition);
    }
    result.kind_ = Kind::Text;
    result.text_ = platform::utf8ToUtf32(rest.substr(1, rest.size() - 2));
    if (result.ignoreCase_) {
      result.text_ = platform::upperCase(result.text_);
    }
  } else if (startsWithIgnoringCase(rest, ".T.") && rest.size() == 3) {
    result.kind_ = Kind::Logical;
    result.logical_ = true;
  } else if (startsWithIgnoringCase(rest, ".F.") && rest.size() == 3) {
    result.kind_ = Kind::Logical;
    result.logical_ = false;
  } else if (!wrapped && parseNumber(rest, result.number_)) {
    result.kind_ = Kind::Number;
  } else {
    invalid(condition);
  }
  return result;
}

bool DbfCondition::matches(std::string_view rawRecord) const {
  if (field_.offset + field_.width > rawRecord.size()) {
    return false;
  }
  const std::string_view bytes = rawRecord.substr(field_.offset, field_.width);
  switch (kind_) {
  case Kind::Text: {
    std::u32string value = platform::utf8ToUtf32(platform::ansiToUtf8(bytes));
    if (ignoreCase_) {
      value = platform::upperCase(value);
    }
    return value.size() >= text_.size() && value.compare(0, text_.size(), text_) == 0;
  }
  case Kind::Number: {
    double value = 0;
    if (!parseNumber(bytes, value)) {
      value = 0;
    }
    return value == number_;
  }
  case Kind::Logical: {
    const char flag = bytes.empty() ? ' ' : bytes.front();
    const bool value = flag == 'T' || flag == 't' || flag == 'Y' || flag == 'y';
    return value == logical_;
  }
  }
  return false;
}

} // namespace velmora::xbase
