#include "tarnlow/value.h"

#include <strings.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "tarnlow/error.h"
#include "tarnlow/object.h"

namespace tarnlow {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
  std::int64_t y;
  unsigned m, d;
};
constexpr Civil CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp + (mp < 10 ? 3 : -9);
  return {y + (m <= 2), m, d};
}

constexpr std::int64_t kOrigin = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t kMsPerDay = 86'400'000;
// The first and last calendar days a date may have, counted from the origin.
constexpr std::int64_t kFirstDay = DaysFromCivil(100, 1, 1) - kOrigin;
constexpr std::int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kOrigin;

// A date's calendar day and its time rounded to the millisecond (possibly to
// the next midnight); only for values near the range, so nothing overflows.
struct Split {
  std::int64_t day;
  std::int64_t ms;
};
Split SplitDays(double value) {
  const double whole = std::trunc(value);
  Split s{static_cast<std::int64_t>(whole), std::llround(std::fabs(value - whole) * kMsPerDay)};
  if (s.ms >= kMsPerDay) {
    s.ms -= kMsPerDay;
    s.day += 1;
  }
  return s;
}

// The split of a date, or Overflow when it lies outside the range.
Split CheckedSplit(double value) {
  // One day wider than the range, so that the split's casts stay defined.
  if (!(value > static_cast<double>(kFirstDay - 1) && value < static_cast<double>(kLastDay + 1)))
    RaiseRuntime(err::Overflow);
  const Split s = SplitDays(value);
  if (s.day < kFirstDay || s.day > kLastDay) RaiseRuntime(err::Overflow);
  return s;
}

// Days since the origin of a calendar date and time, unchecked.
double CalendarDays(int year, int month, int day, int hour, int minute, double second) {
  const std::int64_t n =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kOrigin;
  const double t = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return n >= 0 ? static_cast<double>(n) + t : static_cast<double>(n) - t;
}

bool ReadDigits(std::string_view s, std::size_t& i, std::size_t count, int& out) {
  if (i + count > s.size()) return false;
  int v = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const char c = s[i + k];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  i += count;
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// For number text ([-]digits[.digits][e[+|-]digits]) out of a double's
// range: whether it is too large rather than too small.
bool AboveDoubleRange(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && s[i] == '-') ++i;
  // The power of ten of the first significant digit.
  std::int64_t power = 0;
  bool significant = false;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    if (significant)
      ++power;
    else if (s[i] != '0')
      significant = true;
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsDigit(s[i]); ++i) {
      if (significant) continue;
      --power;
      if (s[i] != '0') significant = true;
    }
  }
  if (!significant) return false;  // zero underflows nothing
  std::int64_t exponent = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    const bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    for (; i < s.size() && IsDigit(s[i]); ++i)
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (s[i] - '0');
    if (negative) exponent = -exponent;
  }
  return power + exponent > 0;
}

// Decimal number text as late-bound clients write it: false for text that is
// no number ("inf" and "nan" too); too large raises 6, too small reads as 0.
bool ParseNumber(std::string_view text, double& out) {
  text = TrimBlanks(text);
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  const std::size_t first_digit = !text.empty() && text.front() == '-' ? 1 : 0;
  if (first_digit >= text.size() || !(IsDigit(text[first_digit]) || text[first_digit] == '.')) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  auto [p, ec] = std::from_chars(first, last, out);
  if (p != last) return false;
  if (ec == std::errc::result_out_of_range) {
    if (AboveDoubleRange(text)) RaiseRuntime(err::Overflow);
    out = first_digit == 1 ? -0.0 : 0.0;
    return true;
  }
  return ec == std::errc();
}

template <class Int>
Int RoundToWhole(double d) {
  if (!std::isfinite(d)) RaiseRuntime(err::Overflow);
  const double r = std::nearbyint(d);  // halves to even, as late-bound clients expect
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max()))
    RaiseRuntime(err::Overflow);
  return static_cast<Int>(r);
}

}  // namespace

Date::Date(double days) : value(days) {
  CheckedSplit(days);
}

bool Date::InRange(double days) {
  if (!(days > static_cast<double>(kFirstDay - 1) && days < static_cast<double>(kLastDay + 1))) return false;
  const Split s = SplitDays(days);
  return s.day >= kFirstDay && s.day <= kLastDay;
}

Date Date::FromCalendar(int year, int month, int day, int hour, int minute, double second) {
  return Date(CalendarDays(year, month, day, hour, minute, second));
}

Date::Parts Date::ToParts() const {
  const Split s = CheckedSplit(value);
  const Civil c = CivilFromDays(s.day + kOrigin);
  Parts p{};
  p.year = static_cast<int>(c.y);
  p.month = static_cast<int>(c.m);
  p.day = static_cast<int>(c.d);
  p.hour = static_cast<int>(s.ms / 3'600'000);
  p.minute = static_cast<int>(s.ms / 60'000 % 60);
  p.second = static_cast<int>(s.ms / 1000 % 60);
  p.millisecond = static_cast<int>(s.ms % 1000);
  return p;
}

std::int32_t Date::DayNumber() const {
  CheckedSplit(value);
  return static_cast<std::int32_t>(std::trunc(value));
}

namespace {

// "00" to "99", so that the two digits of a field are copied at once.
constexpr auto kPairs = [] {
  std::array<char, 200> t{};
  for (int i = 0; i < 100; ++i) {
    t[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    t[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return t;
}();

// Writes the two digits of v (0 to 99).
char* Pair(char* out, int v) {
  std::memcpy(out, &kPairs[static_cast<std::size_t>(2 * v)], 2);
  return out + 2;
}

}  // namespace

// Written on every bind, so digits go directly, not through a formatter.
std::size_t Date::WriteIso(char (&out)[kIsoSize]) const {
  const Parts p = ToParts();
  char* o = Pair(out, p.year / 100);
  o = Pair(o, p.year % 100);
  *o++ = '-';
  o = Pair(o, p.month);
  *o++ = '-';
  o = Pair(o, p.day);
  *o++ = ' ';
  o = Pair(o, p.hour);
  *o++ = ':';
  o = Pair(o, p.minute);
  *o++ = ':';
  o = Pair(o, p.second);
  if (p.millisecond != 0) {
    *o++ = '.';
    *o++ = static_cast<char>('0' + p.millisecond / 100);
    o = Pair(o, p.millisecond % 100);
  }
  return static_cast<std::size_t>(o - out);
}

std::string Date::ToIso() const {
  char buf[kIsoSize];
  return std::string(buf, WriteIso(buf));
}

Date::IsoText Date::ReadIso(std::string_view s, Date& out) {
  s = TrimBlanks(s);
  std::size_t i = 0;
  int y, mo, d, h = 0, mi = 0, sec = 0;
  double frac = 0.0;
  if (!ReadDigits(s, i, 4, y) || i >= s.size() || s[i++] != '-' || !ReadDigits(s, i, 2, mo) ||
      i >= s.size() || s[i++] != '-' || !ReadDigits(s, i, 2, d))
    return IsoText::NotADate;
  if (mo < 1 || mo > 12 || d < 1 || d > 31) return IsoText::NotADate;
  const Civil check = CivilFromDays(DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)));
  if (static_cast<int>(check.m) != mo || static_cast<int>(check.d) != d) return IsoText::NotADate;
  if (i < s.size()) {
    if (s[i] != ' ' && s[i] != 'T') return IsoText::NotADate;
    ++i;
    if (!ReadDigits(s, i, 2, h) || i >= s.size() || s[i++] != ':' || !ReadDigits(s, i, 2, mi))
      return IsoText::NotADate;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!ReadDigits(s, i, 2, sec)) return IsoText::NotADate;
      if (i < s.size() && s[i] == '.') {
        ++i;
        double scale = 0.1;
        const std::size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
          frac += (s[i] - '0') * scale;
          scale /= 10;
          ++i;
        }
        if (i == start) return IsoText::NotADate;
      }
    }
    if (i < s.size() && s[i] == 'Z') ++i;
    if (i != s.size()) return IsoText::NotADate;
    if (h > 23 || mi > 59 || sec > 59) return IsoText::NotADate;
  }
  const double days = CalendarDays(y, mo, d, h, mi, sec + frac);
  if (!InRange(days)) return IsoText::OutOfRange;
  out = Date(days);
  return IsoText::Date;
}

bool Date::TryParseIso(std::string_view text, Date& out) {
  return ReadIso(text, out) == IsoText::Date;
}

Date Date::ParseIso(std::string_view text) {
  Date d;
  const IsoText read = ReadIso(text, d);
  if (read != IsoText::Date) RaiseRuntime(read == IsoText::OutOfRange ? err::Overflow : err::TypeMismatch);
  return d;
}

const char* VarTypeName(VarType type) {
  static constexpr const char* kNames[] = {"Empty", "Null", "Integer", "Long",   nullptr, "Double",
                                           nullptr, "Date", "String",  "Object", nullptr, "Boolean"};
  const auto i = static_cast<std::size_t>(type);
  return i < std::size(kNames) && kNames[i] != nullptr ? kNames[i] : "Unknown";
}

std::string ShortestText(double d) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
}

std::string Variant::ToText() const {
  switch (Type()) {
    case VarType::Empty: return {};
    case VarType::Null: RaiseRuntime(err::InvalidUseOfNull);
    case VarType::String: return std::get<std::string>(v_);
    case VarType::Integer: return std::to_string(std::get<std::int16_t>(v_));
    case VarType::Long: return std::to_string(std::get<std::int32_t>(v_));
    case VarType::Boolean: return std::get<bool>(v_) ? "True" : "False";
    case VarType::Double: {
      // Fifteen significant digits, as late-bound clients print numbers.
      const double d = std::get<double>(v_);
      if (!std::isfinite(d)) RaiseRuntime(err::Overflow);
      // printf's "%.15G", which to_chars writes with a lower-case exponent.
      char buf[64];
      char* end = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15).ptr;
      for (char* p = buf; p != end; ++p)
        if (*p == 'e') *p = 'E';
      const std::string_view text(buf, static_cast<std::size_t>(end - buf));
      return text == "-0" ? "0" : std::string(text);
    }
    case VarType::Date: {
      const Date d = std::get<Date>(v_);
      std::string s = d.ToIso();
      if (d.value == std::trunc(d.value)) s.resize(10);
      return s;
    }
    case VarType::Object: RaiseRuntime(err::TypeMismatch);
  }
  RaiseRuntime(err::TypeMismatch);
}

double Variant::ConvertedDouble() const {
  switch (Type()) {
    case VarType::Empty: return 0.0;
    case VarType::Null: RaiseRuntime(err::InvalidUseOfNull);
    case VarType::Integer: return std::get<std::int16_t>(v_);
    case VarType::Long: return std::get<std::int32_t>(v_);
    case VarType::Double: {
      const double d = std::get<double>(v_);
      if (!std::isfinite(d)) RaiseRuntime(err::Overflow);
      return d;
    }
    case VarType::Boolean: return std::get<bool>(v_) ? -1.0 : 0.0;
    case VarType::Date: return std::get<Date>(v_).value;
    case VarType::String: {
      double d;
      if (!ParseNumber(std::get<std::string>(v_), d)) RaiseRuntime(err::TypeMismatch);
      return d;
    }
    case VarType::Object: RaiseRuntime(err::TypeMismatch);
  }
  RaiseRuntime(err::TypeMismatch);
}

std::int16_t Variant::ToInt16() const {
  if (auto* i = std::get_if<std::int16_t>(&v_)) return *i;
  return RoundToWhole<std::int16_t>(ToDouble());
}

std::int32_t Variant::ToInt32() const {
  if (auto* i = std::get_if<std::int32_t>(&v_)) return *i;
  return RoundToWhole<std::int32_t>(ToDouble());
}

bool Variant::ToBool() const {
  if (auto* b = std::get_if<bool>(&v_)) return *b;
  if (auto* s = std::get_if<std::string>(&v_)) {
    const std::string_view t = TrimBlanks(*s);
    if (t.size() == 4 && strncasecmp(t.data(), "true", 4) == 0) return true;
    if (t.size() == 5 && strncasecmp(t.data(), "false", 5) == 0) return false;
  }
  return ToDouble() != 0.0;
}

Date Variant::ConvertedDate() const {
  switch (Type()) {
    case VarType::Date: return std::get<Date>(v_);
    case VarType::String: {
      Date d;
      const Date::IsoText read = Date::ReadIso(std::get<std::string>(v_), d);
      if (read == Date::IsoText::OutOfRange) RaiseRuntime(err::Overflow);
      return read == Date::IsoText::Date ? d : Date(ToDouble());
    }
    case VarType::Object: RaiseRuntime(err::TypeMismatch);
    case VarType::Boolean: RaiseRuntime(err::TypeMismatch);
    default: return Date(ToDouble());
  }
}

std::shared_ptr<Object> Variant::ToObject() const {
  if (IsEmpty()) return nullptr;
  if (auto* o = std::get_if<std::shared_ptr<Object>>(&v_)) return *o;
  RaiseRuntime(err::TypeMismatch);
}

}  // namespace tarnlow
