// Values as late-bound clients see them, with the conversions they expect.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <variant>

#include "tarnlow/export.h"

namespace tarnlow {

class Object;

// Puts `text` (which may lie in `to`) in `to`'s place. Values refilled run
// after run mostly keep their length, so a text no longer than the one held
// is moved over it rather than through assign's general replace routine.
inline void ReplaceText(std::string& to, std::string_view text) {
  if (text.size() <= to.size()) {
    std::char_traits<char>::move(to.data(), text.data(), text.size());
    to.erase(text.size());
  } else {
    to.assign(text);
  }
}

// Days since 30 December 1899 00:00, the time of day as the fraction, which
// runs forwards before the origin too (-1.25 is 29 December 1899 06:00), so
// the calendar day is always the whole part. Dates run from 100-01-01 to
// 9999-12-31 23:59:59.999; making or reading one outside raises 6 "Overflow".
struct TARNLOW_API Date {
  double value = 0.0;

  constexpr Date() = default;
  explicit Date(double days);  // raises Overflow outside the range

  // Whether a number of days is a date of the range.
  static bool InRange(double days);

  static Date FromCalendar(int year, int month, int day, int hour = 0, int minute = 0, double second = 0.0);
  // "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", or with 'T' and fractional seconds;
  // false for other text or a date outside the range.
  static bool TryParseIso(std::string_view text, Date& out);
  static Date ParseIso(std::string_view text);  // raises Type mismatch, or Overflow outside the range
  enum class IsoText { Date, NotADate, OutOfRange };
  static IsoText ReadIso(std::string_view text, Date& out);

  struct Parts {
    int year, month, day, hour, minute, second, millisecond;
  };
  Parts ToParts() const;  // raises Overflow outside the range
  // "YYYY-MM-DD HH:MM:SS", with ".mmm" only when there are milliseconds.
  std::string ToIso() const;
  // The same written into `out` (no NUL); returns its length.
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

  // Conversions by late-bound clients' rules: Null raises 94, text that is
  // no number 13, a number out of range 6; whole numbers round halves to
  // even. An infinity or NaN held here, text past the largest double and a
  // date outside the range raise 6 when converted.
  std::string ToText() const;
  // Held doubles and dates are given inline; the rest convert out of line.
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
  // Makes this a String holding `text`, in the held text's storage if any.
  void AssignText(std::string_view text) {
    if (std::string* held = std::get_if<std::string>(&v_))
      ReplaceText(*held, text);
    else
      v_.emplace<std::string>(text);
  }

  // Makes this a Double, in place when it is one already.
  void AssignNumber(double d) { v_ = d; }

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
struct KindType {
  using type =
      std::tuple_element_t<static_cast<std::size_t>(K),
                           std::tuple<std::string, double, Date, std::int16_t, std::int32_t, bool, Variant>>;
};

// Converts a variant to a typed value the way a property assignment does.
template <class T>
T ConvertTo(const Variant& v) {
  if constexpr (std::is_same_v<T, std::string>)
    return v.ToText();
  else if constexpr (std::is_same_v<T, double>)
    return v.ToDouble();
  else if constexpr (std::is_same_v<T, Date>)
    return v.ToDate();
  else if constexpr (std::is_same_v<T, std::int16_t>)
    return v.ToInt16();
  else if constexpr (std::is_same_v<T, std::int32_t>)
    return v.ToInt32();
  else if constexpr (std::is_same_v<T, bool>)
    return v.ToBool();
  else
    return Variant(v);
}

// Stores a value in a typed field as ConvertTo does, text in its storage.
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
