#include "sqldb/internal/fields.h"

#include <gtest/gtest.h>

namespace talvor::sqldb::internal {
namespace {

TEST(KindOfDeclaredTypeTest, FollowsTheDeclaredType) {
  struct Case {
    const char* declared;
    FieldKind kind;
  };
  for (const Case& c :
       {Case{"TEXT", FieldKind::kText}, Case{"varchar(30)", FieldKind::kText},
        Case{"CHAR(6)", FieldKind::kText}, Case{"INTEGER", FieldKind::kInteger},
        Case{"smallint", FieldKind::kInteger}, Case{"BOOLEAN", FieldKind::kBoolean},
        Case{"BIT", FieldKind::kBoolean}, Case{"DATE", FieldKind::kDateTime},
        Case{"DATETIME", FieldKind::kDateTime}, Case{"TIMESTAMP", FieldKind::kDateTime},
        Case{"REAL", FieldKind::kFloat}, Case{"DOUBLE", FieldKind::kFloat},
        Case{"NUMERIC(10,2)", FieldKind::kFloat}, Case{"CURRENCY", FieldKind::kFloat},
        Case{"", FieldKind::kAny}, Case{"BLOB", FieldKind::kAny}}) {
    EXPECT_EQ(KindOfDeclaredType(c.declared), c.kind) << c.declared;
  }
}

TEST(StoredDateTimeTest, MidnightIsWrittenAsTheDateAlone) {
  EXPECT_EQ(StoredDateTime(DateTime{{2010, 1, 3}, 0, 0, 0}), "2010-01-03");
  EXPECT_EQ(StoredDateTime(DateTime{{2010, 1, 3}, 0, 0, 1}), "2010-01-03 00:00:01");
  EXPECT_EQ(StoredDateTime(DateTime{{999, 12, 31}, 23, 59, 59}), "0999-12-31 23:59:59");
}

TEST(ParseStoredDateTimeTest, AcceptedForms) {
  EXPECT_EQ(ParseStoredDateTime("2010-01-03"), (DateTime{{2010, 1, 3}, 0, 0, 0}));
  EXPECT_EQ(ParseStoredDateTime("2010-01-03 14:05"), (DateTime{{2010, 1, 3}, 14, 5, 0}));
  EXPECT_EQ(ParseStoredDateTime("2010-01-03T14:05:06.250"), (DateTime{{2010, 1, 3}, 14, 5, 6}));
  EXPECT_EQ(ParseStoredDateTime(" 2010-01-03 14:05:06 "), (DateTime{{2010, 1, 3}, 14, 5, 6}));
}

TEST(ParseStoredDateTimeTest, RejectedForms) {
  for (const char* text : {"", "2010-1-3", "2010-02-30", "2010-01-03 25:00", "2010-01-03 10",
                           "2010-01-03x10:00", "1/3/2010", "2010-01-03 10:00:00.x"}) {
    EXPECT_FALSE(ParseStoredDateTime(text).has_value()) << text;
  }
}

TEST(ParseDateTimeTextTest, ShortDateWithOptionalTime) {
  const DateFormats formats;
  EXPECT_EQ(ParseDateTimeText("1/01/2029", formats), (DateTime{{2029, 1, 1}, 0, 0, 0}));
  EXPECT_EQ(ParseDateTimeText("7/3/2015 3:04:05 PM", formats), (DateTime{{2015, 7, 3}, 15, 4, 5}));
  EXPECT_EQ(ParseDateTimeText("7/3/2015 12:00 am", formats), (DateTime{{2015, 7, 3}, 0, 0, 0}));
  EXPECT_EQ(ParseDateTimeText("7/3/2015 23:10", formats), (DateTime{{2015, 7, 3}, 23, 10, 0}));
  EXPECT_FALSE(ParseDateTimeText("13/45/2010", formats).has_value());
  EXPECT_FALSE(ParseDateTimeText("7/3/2015 13:00 PM", formats).has_value());
  EXPECT_FALSE(ParseDateTimeText("7/3/2015 soon", formats).has_value());
  const DateFormats dayFirst{"dd.mm.yyyy", "hh:nn:ss"};
  EXPECT_EQ(ParseDateTimeText("03.07.2015", dayFirst), (DateTime{{2015, 7, 3}, 0, 0, 0}));
}

TEST(ReadStringTest, ByKindAndStorage) {
  const DateFormats formats;
  struct Case {
    Variant cell;
    FieldKind kind;
    const char* expected;
  };
  const Case cases[] = {
      {Variant(), FieldKind::kText, ""},
      {Variant(), FieldKind::kBoolean, ""},
      {Variant(), FieldKind::kDateTime, ""},
      {Variant(std::int64_t{1}), FieldKind::kBoolean, "TRUE"},
      {Variant(std::int64_t{0}), FieldKind::kBoolean, "FALSE"},
      {Variant("0"), FieldKind::kBoolean, "FALSE"},
      {Variant("Y"), FieldKind::kBoolean, "TRUE"},
      // A text that holds no flag reads as it stands, an empty one as an empty text.
      {Variant(""), FieldKind::kBoolean, ""},
      {Variant("  "), FieldKind::kBoolean, "  "},
      {Variant("maybe"), FieldKind::kBoolean, "maybe"},
      {Variant("2010-01-03"), FieldKind::kDateTime, "1/3/2010"},
      {Variant("2010-01-03 00:00:00"), FieldKind::kDateTime, "1/3/2010"},
      {Variant("2010-01-03 14:05:06"), FieldKind::kDateTime, "1/3/2010 2:05:06 PM"},
      {Variant("not a date"), FieldKind::kDateTime, "not a date"},
      {Variant(std::int64_t{42}), FieldKind::kText, "42"},
      {Variant(2.5), FieldKind::kFloat, "2.5"},
      {Variant(0.1), FieldKind::kAny, "0.1"},
      {Variant("  5"), FieldKind::kText, "  5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadString(c.cell, c.kind, formats), c.expected) << c.expected;
  }
}

TEST(ReadNumberTest, ConversionsAndFailures) {
  EXPECT_EQ(ReadInteger(Variant(" 05 "), FieldKind::kText), 5);
  EXPECT_EQ(ReadInteger(Variant("-12"), FieldKind::kText), -12);
  EXPECT_EQ(ReadInteger(Variant("   "), FieldKind::kText), 0);
  EXPECT_EQ(ReadInteger(Variant(2.5), FieldKind::kFloat), 3);
  EXPECT_EQ(ReadInteger(Variant("TRUE"), FieldKind::kBoolean), 1);
  EXPECT_THROW(ReadInteger(Variant("abc"), FieldKind::kText), ConvertFailure);
  EXPECT_THROW(ReadInteger(Variant("5.5"), FieldKind::kText), ConvertFailure);
  EXPECT_DOUBLE_EQ(ReadFloat(Variant("1.25"), FieldKind::kText), 1.25);
  EXPECT_DOUBLE_EQ(ReadFloat(Variant(std::int64_t{3}), FieldKind::kInteger), 3.0);
  EXPECT_THROW(ReadFloat(Variant("1,25"), FieldKind::kText), ConvertFailure);
  try {
    ReadInteger(Variant("abc"), FieldKind::kText);
  } catch (const ConvertFailure& f) {
    EXPECT_EQ(f.message, "'abc' is not a valid integer value");
  }
}

TEST(ReadBooleanTest, TextAndNumbers) {
  for (const char* yes : {"TRUE", "true", "T", "Y", "yes", "1", " -3 "}) {
    EXPECT_TRUE(ReadBoolean(Variant(yes), FieldKind::kText)) << yes;
  }
  for (const char* no : {"FALSE", "f", "N", "no", "0", ""}) {
    EXPECT_FALSE(ReadBoolean(Variant(no), FieldKind::kText)) << no;
  }
  EXPECT_TRUE(ReadBoolean(Variant(std::int64_t{1}), FieldKind::kBoolean));
  EXPECT_FALSE(ReadBoolean(Variant(), FieldKind::kBoolean));
  EXPECT_THROW(ReadBoolean(Variant("maybe"), FieldKind::kText), ConvertFailure);
}

TEST(ReadVariantTest, BooleanColumnGivesFlagsAndKeepsOtherTexts) {
  const DateFormats formats;
  EXPECT_EQ(ReadVariant(Variant(std::int64_t{1}), FieldKind::kBoolean, formats), Variant(true));
  EXPECT_EQ(ReadVariant(Variant("F"), FieldKind::kBoolean, formats), Variant(false));
  EXPECT_EQ(ReadVariant(Variant(""), FieldKind::kBoolean, formats), Variant(""));
  EXPECT_EQ(ReadVariant(Variant(" "), FieldKind::kBoolean, formats), Variant(" "));
  EXPECT_EQ(ReadVariant(Variant("maybe"), FieldKind::kBoolean, formats), Variant("maybe"));
  EXPECT_TRUE(ReadVariant(Variant(), FieldKind::kBoolean, formats).IsNull());
}

TEST(ReadDateTimeTest, StoredTextShortDateNullAndFailure) {
  const DateFormats formats;
  EXPECT_EQ(ReadDateTime(Variant("2029-01-01"), FieldKind::kDateTime, formats),
            (DateTime{{2029, 1, 1}, 0, 0, 0}));
  EXPECT_EQ(ReadDateTime(Variant("1/01/2029"), FieldKind::kDateTime, formats),
            (DateTime{{2029, 1, 1}, 0, 0, 0}));
  EXPECT_EQ(ReadDateTime(Variant(), FieldKind::kDateTime, formats), DateTime{});
  EXPECT_THROW(ReadDateTime(Variant(std::int64_t{5}), FieldKind::kDateTime, formats),
               ConvertFailure);
  EXPECT_THROW(ReadDateTime(Variant("soon"), FieldKind::kText, formats), ConvertFailure);
}

TEST(ToStorageTest, AssignmentConversions) {
  const DateFormats formats;
  struct Case {
    Variant value;
    FieldKind kind;
    Variant stored;
  };
  const Case cases[] = {
      {Variant("05"), FieldKind::kInteger, Variant(5)},
      {Variant(" 12 "), FieldKind::kInteger, Variant(12)},
      {Variant(""), FieldKind::kInteger, Variant()},
      {Variant(2.6), FieldKind::kInteger, Variant(3)},
      {Variant(true), FieldKind::kInteger, Variant(1)},
      {Variant(5), FieldKind::kText, Variant("5")},
      {Variant(""), FieldKind::kText, Variant("")},
      {Variant("   "), FieldKind::kText, Variant("   ")},
      {Variant(true), FieldKind::kText, Variant("TRUE")},
      {Variant(DateTime{{2015, 7, 3}, 0, 0, 0}), FieldKind::kText, Variant("7/3/2015")},
      {Variant("1.5"), FieldKind::kFloat, Variant(1.5)},
      {Variant(2), FieldKind::kFloat, Variant(2.0)},
      {Variant("Y"), FieldKind::kBoolean, Variant(1)},
      {Variant("N"), FieldKind::kBoolean, Variant(0)},
      {Variant(false), FieldKind::kBoolean, Variant(0)},
      {Variant(7), FieldKind::kBoolean, Variant(1)},
      {Variant("1/01/2029"), FieldKind::kDateTime, Variant("2029-01-01")},
      {Variant("2029-01-01 10:00"), FieldKind::kDateTime, Variant("2029-01-01 10:00:00")},
      {Variant(DateTime{{2015, 7, 3}, 9, 0, 0}), FieldKind::kDateTime,
       Variant("2015-07-03 09:00:00")},
      {Variant(""), FieldKind::kDateTime, Variant()},
      {Variant(true), FieldKind::kAny, Variant(1)},
      {Variant("05"), FieldKind::kAny, Variant("05")},
      {Variant(), FieldKind::kText, Variant()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToStorage(c.value, c.kind, formats), c.stored) << c.value.ToString(formats);
  }
}

TEST(ToStorageTest, RefusedAssignments) {
  const DateFormats formats;
  struct Case {
    Variant value;
    FieldKind kind;
    const char* message;
  };
  const Case cases[] = {
      {Variant("abc"), FieldKind::kInteger, "'abc' is not a valid integer value"},
      {Variant("1.5"), FieldKind::kInteger, "'1.5' is not a valid integer value"},
      {Variant("x"), FieldKind::kFloat, "'x' is not a valid floating point value"},
      {Variant("maybe"), FieldKind::kBoolean, "'maybe' is not a valid boolean value"},
      {Variant("13/45/2010"), FieldKind::kDateTime, "'13/45/2010' is not a valid date"},
      {Variant(5), FieldKind::kDateTime, "'5' is not a valid date"},
      {Variant(DateTime{{2015, 7, 3}, 0, 0, 0}), FieldKind::kInteger,
       "'7/3/2015' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    try {
      ToStorage(c.value, c.kind, formats);
      ADD_FAILURE() << "accepted " << c.message;
    } catch (const ConvertFailure& f) {
      EXPECT_EQ(f.message, c.message);
    }
  }
}

TEST(NamesTest, Quote) {
  EXPECT_EQ(QuoteName("Prd Code"), "\"Prd Code\"");
  EXPECT_EQ(QuoteName("a\"b"), "\"a\"\"b\"");
}

}  // namespace
}  // namespace talvor::sqldb::internal
