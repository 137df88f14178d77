#include "tarnlow/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <tuple>

#include "tarnlow/error.h"
#include "tarnlow/modules.h"
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
  EXPECT_EQ((std::tuple{p.year, p.month, p.day, p.hour}), (std::tuple{1899, 12, 29, 6}));
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

// Numbers are written as printf writes them ("%.15G", and "%06d" for the
// numbering), without going through it.
TEST(VariantTest, NumbersAreWrittenAsPrintfWritesThem) {
  std::vector<double> values{1.0 / 3, -2.0 / 3};
  values.insert(values.end(), {0.1, 1e15, 1e16, 123456789012345678.0, 1e-5, 1e-4, 999999999999999.9, 0.3, 100,
                               1e21, 1e300, -2.5e-300, 5e-324, 1234567.5, -0.0, 0.0});
  std::mt19937_64 rng(20261206);
  std::uniform_real_distribution<double> plain(-1e7, 1e7);
  for (int i = 0; i < 2000; ++i) {
    values.push_back(plain(rng));
    const std::uint64_t bits = rng();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    if (std::isfinite(any)) values.push_back(any);
  }
  char buf[64];
  for (const double d : values) {
    std::snprintf(buf, sizeof buf, "%.15G", d);
    EXPECT_EQ(Variant(d).ToText(), std::strcmp(buf, "-0") == 0 ? "0" : buf) << buf;
  }
  for (const std::int32_t n :
       {0, 7, -5, 123, -99999, -100000, 999999, 1000000, std::numeric_limits<std::int32_t>::min(),
        std::numeric_limits<std::int32_t>::max()}) {
    std::snprintf(buf, sizeof buf, "%06d", n);
    EXPECT_EQ(SixDigitText(n), buf);
  }
}

TEST(VariantTest, TextAndNumbersConvertAsLateBoundClientsExpect) {
  EXPECT_EQ(Variant("7").ToInt16(), 7);
  EXPECT_EQ(Variant(" 12 ").ToInt32(), 12);
  EXPECT_EQ(Variant(2.5).ToInt16(), 2);  // halves go to the even number
  EXPECT_EQ((std::tuple{Variant(3.5).ToInt16(), Variant(-2.5).ToInt32(), Variant(10.5).ToText(),
                        Variant(0.1 + 0.2).ToText(), Variant(std::int32_t{42}).ToText(),
                        Variant(true).ToDouble(), Variant(true).ToText()}),
            (std::tuple{4, -2, "10.5", "0.3", "42", -1.0, "True"}));
  EXPECT_TRUE(Variant("true").ToBool());
  EXPECT_EQ((std::tuple{Variant().ToText(), Variant().ToDouble(), Variant("2000-01-01").ToDate().value}),
            (std::tuple{"", 0.0, 36526.0}));
}

TEST(VariantTest, FailedConversionsRaiseTheRuntimeErrors) {
  EXPECT_EQ((std::tuple{test::CatchError([] { Variant("abc").ToInt16(); }).Number(),
                        test::CatchError([] { Variant("abc").ToInt16(); }).Description(),
                        test::CatchError([] { Variant("").ToDouble(); }).Number(),
                        test::CatchError([] { Variant(40000.0).ToInt16(); }).Number()}),
            (std::tuple{err::TypeMismatch, "Type mismatch", err::TypeMismatch, err::Overflow}));
  test::ExpectError([] { Variant(Null).ToText(); }, err::InvalidUseOfNull, {}, "Invalid use of Null");
}

TEST(VariantTest, ShortestTextReadsBackExactly) {
  for (double d : {0.1, 1.0 / 3.0, 1e-300, 123456789.125, -0.5, 1e21}) {
    const std::string s = ShortestText(d);
    EXPECT_EQ(std::stod(s), d) << s;
  }
  EXPECT_EQ((std::tuple{ShortestText(10.5), ShortestText(3.0), ShortestText(0.1 + 0.2), ShortestText(-0.0),
                        ShortestText(123456789012.0)}),
            (std::tuple{"10.5", "3", "0.30000000000000004", "-0", "123456789012"}));
}

// ---- ranges: dates from 100-01-01 to 9999-12-31, finite numbers ---------------

std::int32_t Raised(const std::function<void()>& body) {
  return test::CatchError(body).Number();
}

TEST(DateRangeTest, TheFirstAndLastDaysAreDatesAndTheDaysBeyondOverflow) {
  EXPECT_EQ((std::tuple{Date(test::kLastDay).ToIso(), Date(test::kLastDay + 86399.0 / 86400.0).ToIso(),
                        Date(test::kFirstDay).ToIso()}),
            (std::tuple{"9999-12-31 00:00:00", "9999-12-31 23:59:59", "0100-01-01 00:00:00"}));
  EXPECT_EQ(Date(test::kFirstDay - 0.75).ToIso(), "0100-01-01 18:00:00");  // the fraction runs forwards
  EXPECT_EQ(Date::FromCalendar(9999, 12, 31, 23, 59, 59.999).ToIso(), "9999-12-31 23:59:59.999");
  const double beyond[] = {test::kLastDay + 1,
                           test::kFirstDay - 1,
                           test::kLastDay + 86399.9996 / 86400.0,  // reads as 10000-01-01 00:00:00.000
                           1e300,
                           -1e300,
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(),
                           2147483648.0,
                           -2147483649.0};
  for (const double days : beyond) {
    EXPECT_FALSE(Date::InRange(days)) << days;
    EXPECT_EQ(Raised([&] { Date{days}; }), err::Overflow) << days;
    EXPECT_EQ(Raised([&] { Variant(days).ToDate(); }), err::Overflow) << days;
  }
  EXPECT_EQ(Raised([] { Date::FromCalendar(10000, 1, 1); }), err::Overflow);
  EXPECT_EQ(Raised([] { Date::FromCalendar(99, 12, 31, 23, 59, 59); }), err::Overflow);
}

TEST(DateRangeTest, ADateWrittenPastTheRangeIsRefusedWhenRead) {
  // The value is public: a date can be given any number directly, and every
  // reading of it must then refuse rather than split a day count that no
  // calendar holds.
  for (const double days : {1e300, -1e300, test::kLastDay + 1, std::numeric_limits<double>::quiet_NaN()}) {
    Date d;
    d.value = days;
    EXPECT_EQ(Raised([&] { d.ToParts(); }), err::Overflow) << days;
    EXPECT_EQ(Raised([&] { d.ToIso(); }), err::Overflow) << days;
    EXPECT_EQ(Raised([&] { d.DayNumber(); }), err::Overflow) << days;
    EXPECT_EQ(Raised([&] { DateKey(d); }), err::Overflow) << days;
    EXPECT_EQ(Raised([&] { DateKeyText(d); }), err::Overflow) << days;
    EXPECT_EQ(Raised([&] { Variant(d).ToText(); }), err::Overflow) << days;
  }
  EXPECT_EQ(DateKey(Date(test::kLastDay)), 2958464);
  EXPECT_EQ(DateKey(Date(test::kFirstDay)), -657435);
}

TEST(DateRangeTest, DateTextOutsideTheRangeIsNoDateAndConvertsWithOverflow) {
  for (const char* text : {"0099-12-31", "0000-01-01", "9999-12-31 23:59:59.9999"}) {
    Date d(1.0);
    EXPECT_FALSE(Date::TryParseIso(text, d)) << text;
    EXPECT_EQ(d.value, 1.0) << "a refused text leaves the date alone";
    EXPECT_EQ(Date::ReadIso(text, d), Date::IsoText::OutOfRange) << text;
    EXPECT_EQ(Raised([&] { Date::ParseIso(text); }), err::Overflow) << text;
    EXPECT_EQ(Raised([&] { Variant(text).ToDate(); }), err::Overflow) << text;
  }
  Date d;
  EXPECT_EQ(Date::ReadIso("0100-01-01", d), Date::IsoText::Date);
  EXPECT_EQ(d.value, test::kFirstDay);
  EXPECT_EQ(Date::ReadIso("9999-12-31 23:59:59.999", d), Date::IsoText::Date);
  EXPECT_EQ(Date::ReadIso("10000-01-01", d), Date::IsoText::NotADate);
  EXPECT_EQ(Raised([] { Variant("10000-01-01").ToDate(); }), err::TypeMismatch);
}

TEST(NumberRangeTest, InfinitiesAndNaNRaiseOverflowWhenConverted) {
  const double kInf = std::numeric_limits<double>::infinity();
  for (const double d : {kInf, -kInf, std::numeric_limits<double>::quiet_NaN()}) {
    const Variant v(d);
    EXPECT_EQ(
        (std::tuple{Raised([&] { v.ToDouble(); }), Raised([&] { v.ToInt32(); }), Raised([&] { v.ToInt16(); }),
                    Raised([&] { v.ToBool(); }), Raised([&] { v.ToDate(); }), Raised([&] { v.ToText(); }),
                    Raised([&] { ConvertTo<double>(v); })}),
        (std::tuple{err::Overflow, err::Overflow, err::Overflow, err::Overflow, err::Overflow, err::Overflow,
                    err::Overflow}));
  }
  EXPECT_EQ(Variant(std::numeric_limits<double>::max()).ToDouble(), std::numeric_limits<double>::max());
}

TEST(NumberRangeTest, NumberTextPastTheLargestDoubleOverflowsAndWordsAreNoNumbers) {
  const std::string digits = "1" + std::string(309, '0');  // 1e309 written out
  for (const std::string text : {"1e400", "-1e400", " 1E+309 ", "+2e308", "999e306", digits.c_str()})
    EXPECT_EQ(Raised([&] { Variant(text).ToDouble(); }), err::Overflow) << text;
  // Below the smallest fraction a number is zero, as it prints.
  EXPECT_EQ(Variant("1e-400").ToDouble(), 0.0);
  EXPECT_EQ(Variant("0.0000e999999999999").ToDouble(), 0.0);
  EXPECT_TRUE(std::signbit(Variant("-1e-400").ToDouble()));
  EXPECT_EQ(Variant("1.7976931348623157e308").ToDouble(), std::numeric_limits<double>::max());
  EXPECT_EQ(Variant("+.5").ToDouble(), 0.5);
  for (const char* text : {"inf", "-inf", "infinity", "nan", "NaN", "+-5", "+", "-", ".", "- 5"})
    EXPECT_EQ(Raised([&] { Variant(text).ToDouble(); }), err::TypeMismatch) << text;
}

}  // namespace
}  // namespace tarnlow
