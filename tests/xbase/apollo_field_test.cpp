// Field kinds by type letter and the conversions between a column's text and
// its value, in both directions.
#include "xbase/apollo_field.h"

#include <gtest/gtest.h>

#include "xbase/apollo_error.h"

namespace velmora::xbase {
namespace {

TFieldInfo column(char letter, std::size_t width, unsigned decimals = 0) {
  TFieldInfo info;
  info.name = "COL";
  info.typeLetter = letter;
  info.Width = width;
  info.Decimals = decimals;
  return info;
}

TEST(ApolloField, KindFollowsTheTypeLetterWidthAndDecimals) {
  struct Case {
    char letter;
    std::size_t width;
    unsigned decimals;
    std::optional<TFieldType> kind;
  };
  const Case cases[] = {
      {'C', 10, 0, TFieldType::ftString},  {'N', 4, 0, TFieldType::ftSmallint},
      {'N', 4, 1, TFieldType::ftFloat},    {'N', 5, 0, TFieldType::ftFloat},
      {'F', 2, 0, TFieldType::ftSmallint}, {'F', 8, 3, TFieldType::ftFloat},
      {'I', 4, 0, TFieldType::ftInteger},  {'L', 1, 0, TFieldType::ftBoolean},
      {'D', 8, 0, TFieldType::ftDate},     {'M', 10, 0, TFieldType::ftMemo},
      {'B', 10, 0, TFieldType::ftBlob},    {'G', 10, 0, TFieldType::ftBlob},
      {'P', 10, 0, TFieldType::ftBlob},    {'T', 8, 0, std::nullopt},
      {'0', 1, 0, std::nullopt},           {'X', 3, 0, std::nullopt},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(1, test.letter) + std::to_string(test.width));
    EXPECT_EQ(fieldTypeOf(test.letter, test.width, test.decimals), test.kind);
  }
}

TEST(ApolloField, ReadsColumnText) {
  struct Case {
    TFieldType kind;
    TFieldInfo info;
    std::string raw;
    TFieldValue value;
  };
  const Case cases[] = {
      {TFieldType::ftString, column('C', 6), "PREP1 ", std::string("PREP1")},
      {TFieldType::ftString, column('C', 6), "      ", std::string()},
      {TFieldType::ftString, column('C', 6), "Caf\xE9  ", std::string("Café")},
      {TFieldType::ftSmallint, column('N', 3), " 12", std::int64_t{12}},
      {TFieldType::ftSmallint, column('N', 3), " -7", std::int64_t{-7}},
      {TFieldType::ftSmallint, column('N', 3), "   ", std::monostate{}},
      {TFieldType::ftSmallint, column('N', 3), " x1", std::int64_t{0}},
      {TFieldType::ftInteger, column('I', 4), "1.5 ", std::int64_t{0}},
      {TFieldType::ftFloat, column('N', 6, 2), " 12.50", 12.5},
      {TFieldType::ftFloat, column('N', 6, 2), "      ", std::monostate{}},
      {TFieldType::ftFloat, column('N', 6, 2), "  abc ", 0.0},
      {TFieldType::ftBoolean, column('L', 1), "T", true},
      {TFieldType::ftBoolean, column('L', 1), "Y", true},
      {TFieldType::ftBoolean, column('L', 1), "y", false},
      {TFieldType::ftBoolean, column('L', 1), "t", false},
      {TFieldType::ftBoolean, column('L', 1), "F", false},
      {TFieldType::ftBoolean, column('L', 1), " ", std::monostate{}},
      {TFieldType::ftDate, column('D', 8), "20240229", TDate{2024, 2, 29}},
      {TFieldType::ftDate, column('D', 8), "        ", std::monostate{}},
      {TFieldType::ftDate, column('D', 8), "2024    ", std::monostate{}},
      {TFieldType::ftDate, column('D', 8), "20240001", TDate{}},
      {TFieldType::ftDate, column('D', 8), "20230229", TDate{}},
      {TFieldType::ftMemo, column('M', 10), "        17", std::string("        17")},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE("\"" + test.raw + "\"");
    EXPECT_EQ(readFieldText(test.kind, test.info, test.raw), test.value);
  }
}

TEST(ApolloField, WritesColumnText) {
  struct Case {
    TFieldType kind;
    TFieldInfo info;
    TFieldValue value;
    std::string raw;
  };
  const Case cases[] = {
      {TFieldType::ftString, column('C', 6), std::string("PREP1"), "PREP1 "},
      {TFieldType::ftString, column('C', 4), std::string("PREP10"), "PREP"},
      {TFieldType::ftString, column('C', 5), std::string("Café"), "Caf\xE9 "},
      {TFieldType::ftString, column('C', 3), std::monostate{}, "   "},
      {TFieldType::ftSmallint, column('N', 2), std::int64_t{7}, " 7"},
      {TFieldType::ftSmallint, column('N', 2), std::int64_t{-5}, "-5"},
      {TFieldType::ftSmallint, column('N', 2), std::monostate{}, "  "},
      {TFieldType::ftInteger, column('I', 4), std::int64_t{1234}, "1234"},
      {TFieldType::ftFloat, column('N', 6, 2), 12.5, " 12.50"},
      {TFieldType::ftFloat, column('N', 5, 0), 1252.0, " 1252"},
      {TFieldType::ftFloat, column('N', 6, 2), -0.125, " -0.12"},
      {TFieldType::ftFloat, column('N', 6, 2), std::monostate{}, "      "},
      {TFieldType::ftBoolean, column('L', 1), true, "T"},
      {TFieldType::ftBoolean, column('L', 1), false, "F"},
      {TFieldType::ftBoolean, column('L', 1), std::monostate{}, " "},
      {TFieldType::ftDate, column('D', 8), TDate{2024, 5, 1}, "20240501"},
      {TFieldType::ftDate, column('D', 8), TDate{85, 1, 2}, "19850102"},
      {TFieldType::ftDate, column('D', 8), TDate{24, 1, 2}, "20240102"},
      {TFieldType::ftDate, column('D', 8), std::monostate{}, "        "},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE("\"" + test.raw + "\"");
    EXPECT_EQ(writeFieldText(test.kind, test.info, test.value), test.raw);
  }
}

TEST(ApolloField, RefusesNumbersWiderThanTheirColumn) {
  struct Case {
    TFieldType kind;
    TFieldInfo info;
    TFieldValue value;
  };
  const Case cases[] = {
      {TFieldType::ftSmallint, column('N', 2), std::int64_t{120}},
      {TFieldType::ftSmallint, column('N', 2), std::int64_t{-10}},
      {TFieldType::ftInteger, column('I', 4), std::int64_t{12345}},
      // A number whose text would be cut (123.46 stored as "123.4") is refused too.
      {TFieldType::ftFloat, column('N', 5, 2), 123.456},
      {TFieldType::ftFloat, column('N', 5, 0), 123456.0},
  };
  for (const Case& test : cases) {
    try {
      writeFieldText(test.kind, test.info, test.value);
      ADD_FAILURE() << "written";
    } catch (const EApolloError& error) {
      EXPECT_STREQ(error.what(), "Translate error. Value out of bounds");
    }
  }
}

TEST(ApolloField, ConvertsAssignedValuesToTheFieldKind) {
  EXPECT_EQ(convertForField(TFieldType::ftSmallint, column('N', 3), 2.6),
            TFieldValue(std::int64_t{3}));
  EXPECT_EQ(convertForField(TFieldType::ftSmallint, column('N', 3), std::string(" 42 ")),
            TFieldValue(std::int64_t{42}));
  EXPECT_EQ(convertForField(TFieldType::ftFloat, column('N', 5, 1), std::int64_t{4}),
            TFieldValue(4.0));
  EXPECT_EQ(convertForField(TFieldType::ftString, column('C', 5), std::int64_t{99}),
            TFieldValue(std::string("99")));
  EXPECT_EQ(convertForField(TFieldType::ftBoolean, column('L', 1), false), TFieldValue(false));
  EXPECT_EQ(convertForField(TFieldType::ftDate, column('D', 8), std::string("20240501")),
            TFieldValue(TDate{2024, 5, 1}));
  EXPECT_EQ(convertForField(TFieldType::ftSmallint, column('N', 3), std::monostate{}),
            TFieldValue(std::monostate{}));

  struct Refused {
    TFieldType kind;
    TFieldValue value;
    const char* message;
  };
  const Refused refused[] = {
      {TFieldType::ftBoolean, std::int64_t{1}, "Cannot access field 'COL' as type Integer"},
      {TFieldType::ftSmallint, true, "Cannot access field 'COL' as type Boolean"},
      {TFieldType::ftSmallint, std::int64_t{40000},
       "40000 is not a valid value for field 'COL'. The allowed range is -32768 to 32767"},
      {TFieldType::ftSmallint, std::string("abc"), "'abc' is not a valid integer value"},
      {TFieldType::ftMemo, std::string("text"), "Cannot access field 'COL' as type String"},
  };
  for (const Refused& test : refused) {
    try {
      convertForField(test.kind, column('N', 3), test.value);
      ADD_FAILURE() << test.message;
    } catch (const EApolloError& error) {
      EXPECT_STREQ(error.what(), test.message);
    }
  }
}

} // namespace
} // namespace velmora::xbase
