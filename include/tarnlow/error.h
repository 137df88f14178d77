// The error record every failure carries, and the per-thread current error.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "tarnlow/export.h"

namespace tarnlow {

inline constexpr std::int32_t vbObjectError = -2147221504;  // 0x80040000
// The provider's integrity-violation number, raised for a duplicate key.
inline constexpr std::int32_t DbIntegrityViolation = -2147217873;
// Generic failure of the database layer (the database's own message says why).
inline constexpr std::int32_t DbFailure = -2147467259;

// Numbers of the runtime's own errors.
namespace err {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t DivisionByZero = 11;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t InvalidUseOfNull = 94;
inline constexpr std::int32_t NotSupported = 438;
inline constexpr std::int32_t DuplicateKey = 457;
inline constexpr std::int32_t CannotCreateObject = 429;
inline constexpr std::int32_t WrongArguments = 450;
// Row-set layer
inline constexpr std::int32_t ItemNotFound = -2146825023;        // 3265
inline constexpr std::int32_t ObjectClosed = -2146824584;        // 3704
inline constexpr std::int32_t ObjectOpen = -2146824583;          // 3705
inline constexpr std::int32_t NoCurrentRecord = -2146825267;     // 3021
inline constexpr std::int32_t NotAllowed = -2146825287;          // 3001
inline constexpr std::int32_t UpdateNotSupported = -2146825037;  // 3251
inline constexpr std::int32_t RowNotLocated = -2147217864;
inline constexpr std::int32_t NoKeyColumns = -2147467259;
inline constexpr std::int32_t NoTransaction = -2147168242;     // a commit or rollback with none open
inline constexpr std::int32_t TransactionEnded = -2147168231;  // rolled back by the database itself
// A connection text or connection option that cannot be used.
inline constexpr std::int32_t BadConnectionText = vbObjectError + 513;
}  // namespace err

// Source of errors raised by this library's runtime layer itself.
inline constexpr const char* RuntimeSource = "TarnlowSTData";
inline constexpr const char* ConnectionSource = "TarnlowData";

// What a database failure adds to its error record for C++ callers.
struct ErrorContext {
  std::string statement;          // the SQL text that failed, as the caller wrote it
  std::string sql_state;          // the five-character SQLSTATE, when the database gives one
  std::int32_t native_error = 0;  // the database's own error code, when it has one
  bool connection_usable = true;  // false once the connection can run nothing more
};

class TARNLOW_API Error : public std::exception {
 public:
  Error(std::int32_t number, std::string source, std::string description, ErrorContext context = {})
      : number_(number),
        source_(std::move(source)),
        description_(std::move(description)),
        context_(std::move(context)) {}

  std::int32_t Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

  const ErrorContext& Context() const noexcept { return context_; }
  const std::string& Statement() const noexcept { return context_.statement; }
  const std::string& SqlState() const noexcept { return context_.sql_state; }
  std::int32_t NativeError() const noexcept { return context_.native_error; }
  bool ConnectionUsable() const noexcept { return context_.connection_usable; }

 private:
  std::int32_t number_;
  std::string source_;
  std::string description_;
  ErrorContext context_;
};

// The runtime's standard description for one of its own error numbers.
TARNLOW_API std::string RuntimeErrorText(std::int32_t number);
// Raises one of the runtime's own errors with its standard description.
[[noreturn]] TARNLOW_API void RaiseRuntime(std::int32_t number);
[[noreturn]] TARNLOW_API void RaiseRuntime(std::int32_t number, std::string description);

// This thread's current error, as an error handler sees it.
struct TARNLOW_API ErrObject {
  std::int32_t Number = 0;
  std::string Source;
  std::string Description;
  std::int32_t Line = 0;  // line of the failing step, 0 when it had none
  // Kept so that an error raised again still names its statement and code.
  ErrorContext Context;

  void Clear();
  void Set(const Error& e, std::int32_t line = 0);
  // Raises this number, source and description with the last context.
  [[noreturn]] void Raise(std::int32_t number, std::string source, std::string description);
};

TARNLOW_API ErrObject& Err();

// Turns whatever was thrown into an error record; call from a catch block.
TARNLOW_API Error CurrentException();

}  // namespace tarnlow
