#include "tarnlow/value.h"

#include <gtest/gtest.h>

#include "tarnlow/error.h"
#include "test_support.h"

namespace tarnlow {
namespace {

TEST(DateTest, CalendarDaysCountFromThirtiethDecember1899) {
  EXPECT_EQ(Date::FromCalendar(1899, 12, 30).value, 0.0);
  EXPECT_EQ(Date::FromCalendar(1900, 1, 1).value, 2.0);
  EXPECT_EQ(Date::FromCalendar(1900, 3, 1).value, 61.0);  // 1900 was no leap year
  EXPECT_EQ(Date::FromCalendar(2000, 1, 1).value, 36526.0);
  EXPECT_EQ(Date::FromCalendar(2000, 1, 1, 12).value, 36526.5);
}

TEST(DateTest, BeforeTheOriginTheTimeStillRunsForwards) {
  const Date d = Date::FromCalendar(1899, 12, 29, 6);
  EXPECT_EQ(d.value, -1.25);
  const Date::Parts p = d.ToParts();
  EXPECT_EQ(p.year, 1899);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  EXPECT_EQ(d.ToIso(), "1899-12-29 06:00:00");
}

TEST(DateTest, IsoTextRoundTrips) {
  for (const char* text : {"1899-12-30 00:00:00", "2000-02-29 23:59:59", "1753-01-01 00:00:00",
                           "2026-12-05 13:45:10.250", "1850-06-15 18:30:00"}) {
    Date d;
    ASSERT_TRUE(Date::TryParseIso(text, d)) << text;
    EXPECT_EQ(d.ToIso(), text);
  }
  Date d;
  EXPECT_TRUE(Date::TryParseIso("2000-01-01", d));
  EXPECT_EQ(d.value, 36526.0);
  EXPECT_TRUE(Date::TryParseIso("2000-01-01T12:00:00", d));
  EXPECT_EQ(d.value, 36526.5);
  for (const char* bad : {"", "2000-13-01", "2001-02-29", "2000-01-01 24:00:00", "2000/01/01", "x"})
    EXPECT_FALSE(Date::TryParseIso(bad, d)) << bad;
}

TEST(DateTest, TimeJustBeforeMidnightStaysOnItsDay) {
  const Date d(36526.0 + 86399.9996 / 86400.0);  // rounds to the next day's midnight
  EXPECT_EQ(d.ToIso(), "2000-01-02 00:00:00");
  EXPECT_EQ(Date(36526.0 + 86399.0 / 86400.0).DayNumber(), 36526);
}

TEST(VariantTest, TextAndNumbersConvertAsLateBoundClientsExpect) {
  EXPECT_EQ(Variant("7").ToInt16(), 7);
  EXPECT_EQ(Variant(" 12 ").ToInt32(), 12);
  EXPECT_EQ(Variant(2.5).ToInt16(), 2);  // halves go to the even number
  EXPECT_EQ(Variant(3.5).ToInt16(), 4);
  EXPECT_EQ(Variant(-2.5).ToInt32(), -2);
  EXPECT_EQ(Variant(10.5).ToText(), "10.5");
  EXPECT_EQ(Variant(0.1 + 0.2).ToText(), "0.3");
  EXPECT_EQ(Variant(std::int32_t{42}).ToText(), "42");
  EXPECT_EQ(Variant(true).ToDouble(), -1.0);
  EXPECT_EQ(Variant(true).ToText(), "True");
  EXPECT_TRUE(Variant("true").ToBool());
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(Variant().ToDouble(), 0.0);
  EXPECT_EQ(Variant("2000-01-01").ToDate().value, 36526.0);
}

TEST(VariantTest, FailedConversionsRaiseTheRuntimeErrors) {
  EXPECT_EQ(test::CatchError([] { Variant("abc").ToInt16(); }).Number(), err::TypeMismatch);
  EXPECT_EQ(test::CatchError([] { Variant("abc").ToInt16(); }).Description(), "Type mismatch");
  EXPECT_EQ(test::CatchError([] { Variant("").ToDouble(); }).Number(), err::TypeMismatch);
  EXPECT_EQ(test::CatchError([] { Variant(40000.0).ToInt16(); }).Number(), err::Overflow);
  const Error null_error = test::CatchError([] { Variant(Null).ToText(); });
  EXPECT_EQ(null_error.Number(), err::InvalidUseOfNull);
  EXPECT_EQ(null_error.Description(), "Invalid use of Null");
}

TEST(VariantTest, ShortestTextReadsBackExactly) {
  for (double d : {0.1, 1.0 / 3.0, 1e-300, 123456789.125, -0.5, 1e21}) {
    const std::string s = ShortestText(d);
    EXPECT_EQ(std::stod(s), d) << s;
  }
  EXPECT_EQ(ShortestText(10.5), "10.5");
  EXPECT_EQ(ShortestText(3.0), "3");
}

}  // namespace
}  // namespace tarnlow
