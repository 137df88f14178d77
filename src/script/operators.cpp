#include "operators.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "tarnlow/connection.h"
#include "tarnlow/error.h"
#include "tarnlow/registry.h"

namespace tarnlow::script {
namespace {

// ---- numbers -------------------------------------------------------------------

// The arithmetic type of an operand, narrowest first.
enum class NumKind { Int16, Int32, Double, Date };

struct Num {
  NumKind kind;
  double value;
};

Num ToNum(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty: return {NumKind::Int16, 0};
    case VarType::Boolean: return {NumKind::Int16, v.ToBool() ? -1.0 : 0.0};
    case VarType::Integer: return {NumKind::Int16, static_cast<double>(v.ToInt16())};
    case VarType::Long: return {NumKind::Int32, static_cast<double>(v.ToInt32())};
    case VarType::Date: return {NumKind::Date, v.ToDouble()};
    case VarType::Double:
    case VarType::String: return {NumKind::Double, v.ToDouble()};
    case VarType::Null:
    case VarType::Object: break;
  }
  RaiseRuntime(err::TypeMismatch);
}

// A whole-number result in the narrowest type that holds it, never narrower
// than `at_least`; past 32 bits it becomes a 64-bit float.
Variant WholeResult(double r, NumKind at_least) {
  if (at_least == NumKind::Int16 && r >= std::numeric_limits<std::int16_t>::min() &&
      r <= std::numeric_limits<std::int16_t>::max())
    return Variant(static_cast<std::int16_t>(r));
  if (r >= std::numeric_limits<std::int32_t>::min() && r <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(r));
  return Variant(r);
}

NumKind Wider(NumKind a, NumKind b) {
  return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

Variant Arithmetic(Op op, const Variant& left, const Variant& right) {
  const Num a = ToNum(left);
  const Num b = ToNum(right);
  const NumKind kind = Wider(a.kind, b.kind);
  double r = 0;
  switch (op) {
    case Op::Add: r = a.value + b.value; break;
    case Op::Subtract: r = a.value - b.value; break;
    case Op::Multiply: r = a.value * b.value; break;
    default: RaiseRuntime(err::TypeMismatch);
  }
  if (!std::isfinite(r)) RaiseRuntime(err::Overflow);
  if (kind == NumKind::Date) {
    // A date moved by a number of days stays a date; the distance between
    // two dates, and any product, is a number of days.
    const bool both_dates = a.kind == NumKind::Date && b.kind == NumKind::Date;
    if (op == Op::Multiply || (op == Op::Subtract && both_dates)) return Variant(r);
    return Variant(Date(r));
  }
  if (kind == NumKind::Double) return Variant(r);
  return WholeResult(r, kind);
}

Variant Divide(const Variant& left, const Variant& right) {
  const double a = ToNum(left).value;
  const double b = ToNum(right).value;
  if (b == 0.0) RaiseRuntime(err::DivisionByZero);
  const double r = a / b;
  if (!std::isfinite(r)) RaiseRuntime(err::Overflow);
  return Variant(r);
}

// Integer division and remainder work on both operands rounded to whole numbers.
Variant WholeDivide(Op op, const Variant& left, const Variant& right) {
  const Num a = ToNum(left);
  const Num b = ToNum(right);
  const std::int32_t x = Variant(a.value).ToInt32();
  const std::int32_t y = Variant(b.value).ToInt32();
  if (y == 0) RaiseRuntime(err::DivisionByZero);
  const std::int64_t r =
      op == Op::IntDivide ? static_cast<std::int64_t>(x) / y : static_cast<std::int64_t>(x) % y;
  const NumKind kind = a.kind == NumKind::Int16 && b.kind == NumKind::Int16 ? NumKind::Int16 : NumKind::Int32;
  return WholeResult(static_cast<double>(r), kind);
}

Variant Concatenate(const Variant& left, const Variant& right) {
  if (left.IsNull() && right.IsNull()) return Variant(Null);
  std::string text = left.IsNull() ? std::string() : left.ToText();
  text += right.IsNull() ? std::string() : right.ToText();
  return Variant(std::move(text));
}

// ---- comparisons -------------------------------------------------------------------

int Sign(double d) {
  return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// -1, 0 or 1; a text compared with a number compares as a number when it is
// one and as text otherwise.
int Compare(const Variant& a, const Variant& b) {
  if (a.IsObject() || b.IsObject()) RaiseRuntime(err::TypeMismatch);
  const bool a_text = a.Type() == VarType::String;
  const bool b_text = b.Type() == VarType::String;
  if (a_text || b_text) {
    if (a_text && b_text) return Sign(static_cast<double>(a.AsText()->compare(*b.AsText())));
    const Variant& text = a_text ? a : b;
    const Variant& other = a_text ? b : a;
    const int flip = a_text ? 1 : -1;
    if (other.IsEmpty()) return flip * Sign(static_cast<double>(text.AsText()->compare("")));
    double number = 0;
    bool numeric = true;
    try {
      number = text.ToDouble();
    } catch (const Error&) {
      numeric = false;
    }
    if (numeric) return flip * Sign(number - ToNum(other).value);
    return flip * Sign(static_cast<double>(text.AsText()->compare(other.ToText())));
  }
  return Sign(ToNum(a).value - ToNum(b).value);
}

Variant Comparison(Op op, const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) return Variant(Null);
  const int c = Compare(a, b);
  switch (op) {
    case Op::Equal: return Variant(c == 0);
    case Op::NotEqual: return Variant(c != 0);
    case Op::Less: return Variant(c < 0);
    case Op::Greater: return Variant(c > 0);
    case Op::LessEqual: return Variant(c <= 0);
    case Op::GreaterEqual: return Variant(c >= 0);
    default: RaiseRuntime(err::TypeMismatch);
  }
}

// ---- logic -----------------------------------------------------------------------

// An operand of Not, And, Or, Xor: Null, a Boolean, or a whole number whose
// bits are combined ("True" and "False" texts count as Booleans).
struct Logical {
  enum { IsNull, IsBool, IsWhole } kind;
  std::int32_t bits;  // Booleans as -1 and 0
  bool narrow;        // fits the 16-bit type
};

Logical ToLogical(const Variant& v) {
  switch (v.Type()) {
    case VarType::Null: return {Logical::IsNull, 0, true};
    case VarType::Boolean: return {Logical::IsBool, v.ToBool() ? -1 : 0, true};
    case VarType::String: {
      const std::string& t = *v.AsText();
      if (t == "True" || t == "true" || t == "TRUE") return {Logical::IsBool, -1, true};
      if (t == "False" || t == "false" || t == "FALSE") return {Logical::IsBool, 0, true};
      return {Logical::IsWhole, v.ToInt32(), false};
    }
    case VarType::Empty:
    case VarType::Integer: return {Logical::IsWhole, v.ToInt32(), true};
    default: return {Logical::IsWhole, v.ToInt32(), false};
  }
}

Variant LogicalResult(std::int32_t bits, const Logical& a, const Logical& b) {
  if (a.kind == Logical::IsBool && b.kind == Logical::IsBool) return Variant(bits != 0);
  if (a.narrow && b.narrow) return Variant(static_cast<std::int16_t>(bits));
  return Variant(bits);
}

Variant Logic(Op op, const Variant& left, const Variant& right) {
  const Logical a = ToLogical(left);
  const Logical b = ToLogical(right);
  if (a.kind == Logical::IsNull || b.kind == Logical::IsNull) {
    // Null is "unknown": False And unknown is False, True Or unknown is True.
    const Logical& known = a.kind == Logical::IsNull ? b : a;
    if (known.kind != Logical::IsNull) {
      if (op == Op::And && known.bits == 0) return LogicalResult(0, known, known);
      if (op == Op::Or && known.bits == -1) return LogicalResult(-1, known, known);
    }
    return Variant(Null);
  }
  switch (op) {
    case Op::And: return LogicalResult(a.bits & b.bits, a, b);
    case Op::Or: return LogicalResult(a.bits | b.bits, a, b);
    case Op::Xor: return LogicalResult(a.bits ^ b.bits, a, b);
    default: RaiseRuntime(err::TypeMismatch);
  }
}

// ---- text ------------------------------------------------------------------------

// Positions in text count characters, not bytes, so that text with accented
// letters is cut between characters.
bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CharCount(std::string_view s) {
  std::size_t n = 0;
  for (char c : s)
    if (!IsContinuation(c)) ++n;
  return n;
}

// The byte where character number `chars` (from 0) starts, or the size.
std::size_t ByteOffset(std::string_view s, std::size_t chars) {
  std::size_t i = 0;
  for (; i < s.size(); ++i) {
    if (IsContinuation(s[i])) continue;
    if (chars == 0) return i;
    --chars;
  }
  return s.size();
}

std::string CharsFrom(std::string_view s, std::size_t start, std::size_t count) {
  const std::size_t from = ByteOffset(s, start);
  const std::size_t to = from + ByteOffset(s.substr(from), count);
  return std::string(s.substr(from, to - from));
}

[[noreturn]] void BadArgument() {
  RaiseRuntime(err::InvalidProcedureCall);
}

std::int32_t Count(const Variant& v) {
  const std::int32_t n = v.ToInt32();
  if (n < 0) BadArgument();
  return n;
}

std::string Trimmed(std::string_view s, bool left, bool right) {
  std::size_t from = 0, to = s.size();
  if (left)
    while (from < to && s[from] == ' ') ++from;
  if (right)
    while (to > from && s[to - 1] == ' ') --to;
  return std::string(s.substr(from, to - from));
}

std::string Chr(std::int32_t code) {
  if (code < 0 || code > 255) BadArgument();
  if (code < 0x80) return std::string(1, static_cast<char>(code));
  // Codes above 127 are the Latin-1 letters, written in UTF-8.
  return {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
}

std::int32_t Asc(std::string_view s) {
  if (s.empty()) BadArgument();
  const auto b0 = static_cast<unsigned char>(s[0]);
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
  std::int32_t code = extra == 0 ? b0 : b0 & (0x3F >> extra);
  for (int k = 1; k <= extra && static_cast<std::size_t>(k) < s.size(); ++k)
    code = (code << 6) | (static_cast<unsigned char>(s[static_cast<std::size_t>(k)]) & 0x3F);
  return code;
}

Variant Whole(std::int64_t n) {
  if (n >= std::numeric_limits<std::int16_t>::min() && n <= std::numeric_limits<std::int16_t>::max())
    return Variant(static_cast<std::int16_t>(n));
  return Variant(static_cast<std::int32_t>(n));
}

Variant InStr(std::span<const Variant> args) {
  std::int32_t start = 1;
  if (args.size() == 3) {
    start = args[0].ToInt32();
    if (start < 1) BadArgument();
    args = args.subspan(1);
  }
  if (args[0].IsNull() || args[1].IsNull()) return Variant(Null);
  const std::string haystack = args[0].ToText();
  const std::string needle = args[1].ToText();
  const auto length = static_cast<std::int32_t>(CharCount(haystack));
  if (length == 0) return Variant(std::int32_t{0});
  if (needle.empty()) return Variant(start);
  if (start > length) return Variant(std::int32_t{0});
  const std::size_t from = ByteOffset(haystack, static_cast<std::size_t>(start - 1));
  const std::size_t at = haystack.find(needle, from);
  if (at == std::string::npos) return Variant(std::int32_t{0});
  return Variant(static_cast<std::int32_t>(CharCount(std::string_view(haystack).substr(0, at)) + 1));
}

}  // namespace

Variant ApplyUnary(Op op, const Variant& value) {
  if (value.IsObject()) RaiseRuntime(err::TypeMismatch);
  if (value.IsNull()) return Variant(Null);
  switch (op) {
    case Op::Not: {
      const Logical a = ToLogical(value);
      return LogicalResult(~a.bits, a, a);
    }
    case Op::Plus: return value;
    case Op::Negate: {
      const Num n = ToNum(value);
      if (n.kind == NumKind::Date) return Variant(Date(-n.value));
      if (n.kind == NumKind::Double) return Variant(-n.value);
      return WholeResult(-n.value, n.kind);
    }
    default: RaiseRuntime(err::TypeMismatch);
  }
}

Variant ApplyBinary(Op op, const Variant& left, const Variant& right) {
  switch (op) {
    case Op::Concat: return Concatenate(left, right);
    case Op::And:
    case Op::Or:
    case Op::Xor: return Logic(op, left, right);
    case Op::Equal:
    case Op::NotEqual:
    case Op::Less:
    case Op::Greater:
    case Op::LessEqual:
    case Op::GreaterEqual: return Comparison(op, left, right);
    case Op::Is: {
      if (!left.IsObject() || !right.IsObject()) RaiseRuntime(424, "Object required");
      return Variant(left.ToObject() == right.ToObject());
    }
    default: break;
  }
  if (left.IsObject() || right.IsObject()) RaiseRuntime(err::TypeMismatch);
  if (left.IsNull() || right.IsNull()) return Variant(Null);
  switch (op) {
    case Op::Add:
      // Two texts are joined; Empty takes the other side's type.
      if (left.Type() == VarType::String && (right.Type() == VarType::String || right.IsEmpty()))
        return Variant(*left.AsText() + right.ToText());
      if (left.IsEmpty() && right.Type() == VarType::String) return right;
      return Arithmetic(op, left, right);
    case Op::Subtract:
    case Op::Multiply: return Arithmetic(op, left, right);
    case Op::Divide: return Divide(left, right);
    case Op::IntDivide:
    case Op::Mod: return WholeDivide(op, left, right);
    default: RaiseRuntime(err::TypeMismatch);
  }
}

Variant ApplyBuiltin(Builtin builtin, std::span<const Variant> args) {
  if (builtin == Builtin::TypeLibInfo) return Variant(TypeLibraryObject());
  const Variant& a = args[0];
  // The text functions pass Null through, as late-bound clients expect.
  switch (builtin) {
    case Builtin::Len:
    case Builtin::Left:
    case Builtin::Right:
    case Builtin::Mid:
    case Builtin::Trim:
    case Builtin::LTrim:
    case Builtin::RTrim:
    case Builtin::UCase:
    case Builtin::LCase:
      if (a.IsNull()) return Variant(Null);
      break;
    default: break;
  }
  switch (builtin) {
    case Builtin::Len: return Variant(static_cast<std::int32_t>(CharCount(a.ToText())));
    case Builtin::Left: {
      const std::string s = a.ToText();
      return Variant(CharsFrom(s, 0, static_cast<std::size_t>(Count(args[1]))));
    }
    case Builtin::Right: {
      const std::string s = a.ToText();
      const std::size_t n = static_cast<std::size_t>(Count(args[1]));
      const std::size_t length = CharCount(s);
      return Variant(n >= length ? s : CharsFrom(s, length - n, n));
    }
    case Builtin::Mid: {
      const std::string s = a.ToText();
      const std::int32_t start = args[1].ToInt32();
      if (start < 1) BadArgument();
      const std::size_t count = args.size() == 3 ? static_cast<std::size_t>(Count(args[2])) : s.size();
      return Variant(CharsFrom(s, static_cast<std::size_t>(start - 1), count));
    }
    case Builtin::InStr: return InStr(args);
    case Builtin::Trim: return Variant(Trimmed(a.ToText(), true, true));
    case Builtin::LTrim: return Variant(Trimmed(a.ToText(), true, false));
    case Builtin::RTrim: return Variant(Trimmed(a.ToText(), false, true));
    case Builtin::UCase:
    case Builtin::LCase: {
      std::string s = a.ToText();
      for (char& c : s) {
        if (builtin == Builtin::UCase && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (builtin == Builtin::LCase && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
      return Variant(std::move(s));
    }
    case Builtin::Chr: return Variant(Chr(a.ToInt32()));
    case Builtin::Asc: return Whole(Asc(a.ToText()));
    case Builtin::CStr: return Variant(a.ToText());
    case Builtin::CInt: return Variant(a.ToInt16());
    case Builtin::CLng: return Variant(a.ToInt32());
    case Builtin::CDbl: return Variant(a.ToDouble());
    case Builtin::CBool: return Variant(a.ToBool());
    case Builtin::CDate: return Variant(a.ToDate());
    case Builtin::IsNull: return Variant(a.IsNull());
    case Builtin::IsEmpty: return Variant(a.IsEmpty());
    case Builtin::IsObject: return Variant(a.IsObject());
    case Builtin::TypeName: {
      if (!a.IsObject()) return Variant(VarTypeName(a.Type()));
      const ObjectPtr o = a.ToObject();
      return Variant(o ? std::string(o->Class().Name()) : std::string("Nothing"));
    }
    case Builtin::CreateObject: return Variant(CreateObject(a.ToText()));
    case Builtin::OpenConnection: return Variant(Connection::Open(a.ToText()));
    case Builtin::TypeLibInfo:    // needs no argument: answered above
    case Builtin::MsgBox: break;  // shown by the interpreter
  }
  RaiseRuntime(err::InvalidProcedureCall);
}

}  // namespace tarnlow::script
