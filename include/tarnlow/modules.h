// Routines every table object shares: date keys, unique numbers, key text,
// the spare column, the error-record convention, connection check, messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "tarnlow/error.h"
#include "tarnlow/value.h"

namespace tarnlow {

class Connection;

// Calendar days from 31 December 1899 to the date, time of day ignored;
// Overflow for a date outside the range (see Date).
TARNLOW_API std::int32_t DateKey(const Date& date);
// A number written with the pattern "000000" (six digits, zero-padded).
TARNLOW_API std::string SixDigitText(std::int32_t number);
// The date key as the six-digit text kind-2 databases store ("036525").
TARNLOW_API std::string DateKeyText(const Date& date);
// A fresh unique identifier, apostrophes replaced by "X"; its first eight
// characters are unique across calls and processes.
TARNLOW_API std::string UniqueNumber();
// The number right-aligned in width characters, or its first width ones.
TARNLOW_API std::string RightJustify(std::int16_t number, std::int16_t width);
// "spare2" or "spare": the spare text column of the order companion tables.
TARNLOW_API std::string SpareColumnName(const std::shared_ptr<Connection>& connection);
// Empty text for Null, otherwise the value as text.
TARNLOW_API std::string NullToText(const Variant& value);
// The value as text with trailing blanks removed.
TARNLOW_API std::string RTrim(std::string_view text);

// The line of the step an operation is on; an error exit reports it.
using Line = std::int32_t;

namespace detail {
[[noreturn]] TARNLOW_API void LeaveBySavedExit(std::string_view label, Line line);
[[noreturn]] TARNLOW_API void LeaveByDirectExit(std::string_view label, Line line);
// An operation with an error exit that returns normally leaves no current
// error, whatever failed and was passed over inside it.
TARNLOW_API void LeaveNormally() noexcept;

template <class Body>
decltype(auto) RunClearingOnReturn(Body& body, Line& line) {
  if constexpr (std::is_void_v<decltype(body(line))>) {
    body(line);
    LeaveNormally();
  } else {
    decltype(auto) result = body(line);
    LeaveNormally();
    return result;
  }
}
}  // namespace detail

// Runs an operation's steps under the saved error exit: on failure the error
// is saved with the current step's line and raised again with the label.
template <class Body>
decltype(auto) WithErrorExit(std::string_view label, Body&& body) {
  Line line = 0;
  try {
    return detail::RunClearingOnReturn(body, line);
  } catch (...) {
    detail::LeaveBySavedExit(label, line);
  }
}

// The direct form: the line is written straight after the label.
template <class Body>
decltype(auto) WithDirectErrorExit(std::string_view label, Body&& body) {
  Line line = 0;
  try {
    return detail::RunClearingOnReturn(body, line);
  } catch (...) {
    detail::LeaveByDirectExit(label, line);
  }
}

// Message box styles and answers used by the library.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbOK = 1;

// Shows a modal message (empty title: the default); returns the button.
using MessageHandler = std::function<int(std::string_view text, int style, std::string_view title)>;
// Replaces the process's handler, returning the old; the default writes to
// standard error and answers OK.
TARNLOW_API MessageHandler SetMessageHandler(MessageHandler handler);
TARNLOW_API int MsgBox(std::string_view text, int style = vbOKOnly, std::string_view title = {});

// The connection when present, open or not; else shows "Uninitialised
// connection" and returns none.
TARNLOW_API std::shared_ptr<Connection> CheckConnection(const std::shared_ptr<Connection>& connection);

}  // namespace tarnlow
