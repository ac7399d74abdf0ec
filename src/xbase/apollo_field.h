// The fields of a TApolloTable: what each column of the table offers to the
// programs (a field kind chosen by its type letter), the typed values, and
// the conversions between a column's text in the raw record and its value.
//
// Kinds by type letter: C string; N and F float when the column has decimals
// or more than 4 digits, else small integer; I integer; L boolean; D date;
// M memo; B, G, P blob. A column of any other letter gets no field; its bytes
// are kept as they are.
//
// Character data in the file is in the ANSI code page (platform/code_page.h);
// values are UTF-8. A TApolloField belongs to its table, is made at open and
// freed at close; use it from the table's thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace velmora::xbase {

class TApolloTable;

enum class TFieldType {
  ftString,
  ftSmallint,
  ftInteger,
  ftFloat,
  ftBoolean,
  ftDate,
  ftMemo,
  ftBlob
};

// A calendar date; the zero date (all 0) stands for a date the file holds
// but that does not exist ("00" as month or day, 31 February).
struct TDate final {
  int year = 0;
  int month = 0;
  int day = 0;
  bool isZero() const { return year == 0 && month == 0 && day == 0; }
  friend bool operator==(const TDate&, const TDate&) = default;
};

// A field value: null, text, whole number, number, logical or date.
using TFieldValue = std::variant<std::monostate, std::string, std::int64_t, double, bool, TDate>;

// Where a column lies: in the raw record, and in the component's buffer.
struct TFieldInfo final {
  std::string name; // upper case
  char typeLetter = 'C';
  std::size_t SDEOffset = 0;    // 0-based offset in the raw record
  std::size_t NativeOffset = 0; // position of the value in the record buffer
  std::size_t Width = 0;
  unsigned Decimals = 0;
};

// The field kind a column gets, or nothing for a letter that gets no field.
std::optional<TFieldType> fieldTypeOf(char typeLetter, std::size_t width, unsigned decimals);

// Raw text to value (reading).
TFieldValue readFieldText(TFieldType type, const TFieldInfo& info, std::string_view raw);

// Value to raw text of exactly info.Width bytes (writing). Throws
// EApolloError "Translate error. Value out of bounds" for a number that does
// not fit.
std::string writeFieldText(TFieldType type, const TFieldInfo& info, const TFieldValue& value);

// Converts a value given by a program to the kind of the field (a whole
// number into a numeric field, true/false into a logical field, text into a
// text field, ...). Throws EApolloError for a kind the field does not take.
TFieldValue convertForField(TFieldType type, const TFieldInfo& info, const TFieldValue& value);

class TApolloField final {
public:
  TApolloField(TApolloTable& table, TFieldType type, TFieldInfo info, int fieldNo)
      : table_(table), type_(type), info_(std::move(info)), fieldNo_(fieldNo) {}

  const std::string& FieldName() const { return info_.name; }
  TFieldType DataType() const { return type_; }
  const TFieldInfo& info() const { return info_; }
  int FieldNo() const { return fieldNo_; } // 1-based among the fields
  // Characters for a string field, else 0.
  std::size_t Size() const { return type_ == TFieldType::ftString ? info_.Width : 0; }

  const TFieldValue& Value() const;
  bool IsNull() const;
  std::string AsString() const;
  std::int64_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  TDate AsDate() const;

  // Assigns a value to the current record's buffer; only in edit or insert
  // state ("Data set must be in Edit or Insert mode to update").
  void SetValue(const TFieldValue& value);
  void Clear() { SetValue(std::monostate{}); }

private:
  TApolloTable& table_;
  TFieldType type_;
  TFieldInfo info_;
  int fieldNo_;
};

} // namespace velmora::xbase
