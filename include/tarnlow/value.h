// Values as late-bound clients see them: a variant that holds nothing, Null,
// text, numbers, a Boolean, a date or an object, with the conversions that
// such clients expect.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "tarnlow/export.h"

namespace tarnlow {

class Object;

// Puts `text` in `to`'s place. Values refilled run after run (parameters,
// properties, fetched cells) mostly keep their length, and std::string's
// assign sends every call through its general replace routine; a text no
// longer than the one held is moved over it here instead. It may lie in
// `to` itself.
inline void ReplaceText(std::string& to, std::string_view text) {
  if (text.size() <= to.size()) {
    std::char_traits<char>::move(to.data(), text.data(), text.size());
    to.erase(text.size());
  } else {
    to.assign(text);
  }
}

// A date and time: days since 30 December 1899 00:00, the time of day as the
// fraction. Before the origin the whole part counts days backwards and the
// fraction still runs forwards (-1.25 is 29 December 1899 06:00), so the
// calendar day is always the whole part.
//
// Dates run from 100-01-01 00:00 to 9999-12-31 23:59:59.999 (the time read to
// the millisecond): making one outside that range from a number, a calendar
// date or text raises 6 "Overflow", and so does reading a date whose value was
// written past the range directly.
struct TARNLOW_API Date {
  double value = 0.0;

  constexpr Date() = default;
  explicit Date(double days);  // raises Overflow outside the range

  // Whether a number of days is a date of the range (NaN and infinities are not).
  static bool InRange(double days);

  static Date FromCalendar(int year, int month, int day, int hour = 0, int minute = 0, double second = 0.0);
  // "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or with 'T' and fractional seconds.
  // Returns false when the text is not such a date, or names one outside the range.
  static bool TryParseIso(std::string_view text, Date& out);
  static Date ParseIso(std::string_view text);  // raises Type mismatch, or Overflow outside the range
  enum class IsoText { Date, NotADate, OutOfRange };
  // Reads the text as TryParseIso does, telling a well-formed date outside
  // the range apart from text that is no date.
  static IsoText ReadIso(std::string_view text, Date& out);

  struct Parts {
    int year, month, day, hour, minute, second, millisecond;
  };
  Parts ToParts() const;  // raises Overflow outside the range
  // "YYYY-MM-DD HH:MM:SS", with ".mmm" only when there are milliseconds.
  std::string ToIso() const;
  // The same text written into `out` (no terminating NUL); its length.
  static constexpr std::size_t kIsoSize = 23;
  std::size_t WriteIso(char (&out)[kIsoSize]) const;
  std::int32_t DayNumber() const;  // calendar day, whole days since the origin
  bool IsZero() const { return value == 0.0; }

  friend bool operator==(const Date&, const Date&) = default;
};

enum class VarType : std::uint8_t {
  Empty = 0,
  Null = 1,
  Integer = 2,  // 16-bit
  Long = 3,     // 32-bit
  Double = 5,
  Date = 7,
  String = 8,
  Object = 9,
  Boolean = 11,
};

TARNLOW_API const char* VarTypeName(VarType type);

struct NullValue {
  friend bool operator==(NullValue, NullValue) = default;
};
inline constexpr NullValue Null{};

class TARNLOW_API Variant {
 public:
  Variant() = default;
  Variant(NullValue) : v_(NullValue{}) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(double d) : v_(d) {}
  Variant(std::int16_t i) : v_(i) {}
  Variant(std::int32_t i) : v_(i) {}
  Variant(bool b) : v_(b) {}
  Variant(Date d) : v_(d) {}
  Variant(std::shared_ptr<Object> o) : v_(std::move(o)) {}
  template <class T>
  requires std::is_base_of_v<Object, T> Variant(std::shared_ptr<T> o)
      : v_(std::shared_ptr<Object>(std::move(o))) {}

  VarType Type() const {
    // In the order of the alternatives of v_.
    constexpr VarType kTypes[] = {VarType::Empty,   VarType::Null,    VarType::String,
                                  VarType::Double,  VarType::Integer, VarType::Long,
                                  VarType::Boolean, VarType::Date,    VarType::Object};
    return kTypes[v_.index()];
  }
  bool IsEmpty() const { return v_.index() == 0; }
  bool IsNull() const { return std::holds_alternative<NullValue>(v_); }
  bool IsObject() const { return std::holds_alternative<std::shared_ptr<Object>>(v_); }
  bool IsNumeric() const;  // integer, long, double or Boolean

  // Conversions with the rules of late-bound clients: Null raises "Invalid use
  // of Null" (94), text that is no number raises "Type mismatch" (13), a
  // number out of range raises "Overflow" (6), and whole-number conversions
  // round halves to even. Numbers are finite: an infinity or NaN held here
  // (from a host or a database) and text past the largest double raise
  // "Overflow" when converted, and so does a date outside the range.
  std::string ToText() const;
  // Held doubles and dates, the common cases, are given inline; the rest
  // convert out of line.
  double ToDouble() const {
    if (const double* d = std::get_if<double>(&v_); d != nullptr && std::isfinite(*d)) return *d;
    return ConvertedDouble();
  }
  std::int16_t ToInt16() const;
  std::int32_t ToInt32() const;
  bool ToBool() const;
  Date ToDate() const {
    if (const Date* d = std::get_if<Date>(&v_)) return *d;
    return ConvertedDate();
  }
  std::shared_ptr<Object> ToObject() const;  // Nothing for Empty; else Type mismatch

  // Direct access where the held type is known.
  const std::string* AsText() const { return std::get_if<std::string>(&v_); }
  // Makes this a String holding `text`, in the storage of the text it
  // already holds where that is large enough: values refilled over and
  // over (parameters, fetched cells) then cost no allocation.
  void AssignText(std::string_view text) {
    if (std::string* held = std::get_if<std::string>(&v_))
      ReplaceText(*held, text);
    else
      v_.emplace<std::string>(text);
  }

  // Makes this a Double, in place when it is one already.
  void AssignNumber(double d) { v_ = d; }
  void AssignDate(const Date& d) { v_ = d; }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  double ConvertedDouble() const;
  Date ConvertedDate() const;
  std::variant<std::monostate, NullValue, std::string, double, std::int16_t, std::int32_t, bool, Date,
               std::shared_ptr<Object>>
      v_;
};

// Typed value of each kind a property or column can have.
enum class ValueKind : std::uint8_t { Text, Double, Date, Int16, Int32, Bool, Variant, Object };

template <ValueKind K>
struct KindType;
template <>
struct KindType<ValueKind::Text> {
  using type = std::string;
};
template <>
struct KindType<ValueKind::Double> {
  using type = double;
};
template <>
struct KindType<ValueKind::Date> {
  using type = Date;
};
template <>
struct KindType<ValueKind::Int16> {
  using type = std::int16_t;
};
template <>
struct KindType<ValueKind::Int32> {
  using type = std::int32_t;
};
template <>
struct KindType<ValueKind::Bool> {
  using type = bool;
};
template <>
struct KindType<ValueKind::Variant> {
  using type = Variant;
};

// Converts a variant to a typed value the way a property assignment does.
template <class T>
T ConvertTo(const Variant& v);
template <>
inline std::string ConvertTo<std::string>(const Variant& v) {
  return v.ToText();
}
template <>
inline double ConvertTo<double>(const Variant& v) {
  return v.ToDouble();
}
template <>
inline Date ConvertTo<Date>(const Variant& v) {
  return v.ToDate();
}
template <>
inline std::int16_t ConvertTo<std::int16_t>(const Variant& v) {
  return v.ToInt16();
}
template <>
inline std::int32_t ConvertTo<std::int32_t>(const Variant& v) {
  return v.ToInt32();
}
template <>
inline bool ConvertTo<bool>(const Variant& v) {
  return v.ToBool();
}
template <>
inline Variant ConvertTo<Variant>(const Variant& v) {
  return v;
}

// Stores a value in a typed field as ConvertTo converts it; text goes into
// the field's own storage.
template <class T>
void AssignConverted(T& field, const Variant& v) {
  field = ConvertTo<T>(v);
}
template <>
inline void AssignConverted<std::string>(std::string& field, const Variant& v) {
  if (const std::string* text = v.AsText())
    ReplaceText(field, *text);
  else
    field = v.ToText();
}
template <>
inline void AssignConverted<Variant>(Variant& field, const Variant& v) {
  if (const std::string* text = v.AsText())
    field.AssignText(*text);
  else
    field = v;
}

// Shortest decimal text that reads back to the same double.
TARNLOW_API std::string ShortestText(double d);

}  // namespace tarnlow
