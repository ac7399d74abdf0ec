// DbfCondition: the query conditions that the table component's Locate
// builds, parsed once and tested against raw records:
//
//   FIELD="text"          the field's first characters equal the text (as
//                         many as the text has: give the text padded with
//                         blanks to the field's width for an exact match)
//   UPPER(FIELD)="TEXT"   the same without regard to case
//   FIELD=12.5            the field's number equals the number (blank is 0)
//   FIELD= .T.  / .F.     a logical field is true (T, t, Y, y) or not
//   DTOS(FIELD)="yyyymmdd" the date field's eight characters
//
// Blanks around "=" are allowed. The text runs from the first to the last
// double-quote character, so a quote inside the text is taken as it stands.
// Character data is in the ANSI code page; the text of a condition is UTF-8.
// Pure values; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "xbase/dbf_table.h"

namespace velmora::xbase {

class DbfCondition final {
public:
  // Throws DbfError for a form it does not know or a field the table lacks.
  static DbfCondition parse(std::string_view condition, const std::vector<DbfField>& fields);

  bool matches(std::string_view rawRecord) const;

private:
  enum class Kind { Text, Number, Logical };
  DbfCondition() = default;

  Kind kind_ = Kind::Text;
  DbfField field_;
  bool ignoreCase_ = false;
  std::u32string text_;
  double number_ = 0;
  bool logical_ = false;
};

} // namespace velmora::xbase
