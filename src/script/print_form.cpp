#include <cmath>
#include <cstdio>

#include "script.h"
#include "tarnlow/object.h"

namespace tarnlow::script {
namespace {

// The date rounded to the whole second, as "#YYYY-MM-DD HH:MM:SS#". The last
// second of the range is cut instead, as rounding it up would leave the range.
std::string DateForm(const Date& d) {
  const double whole = std::trunc(d.value);
  const double exact = std::fabs(d.value - whole) * 86400.0;
  auto days = [&](double seconds) {
    return d.value < 0 ? whole - seconds / 86400.0 : whole + seconds / 86400.0;
  };
  double rounded = days(std::round(exact));
  if (!Date::InRange(rounded)) rounded = days(std::floor(exact));
  const Date::Parts p = Date(rounded).ToParts();
  char buf[64];
  std::snprintf(buf, sizeof buf, "#%04d-%02d-%02d %02d:%02d:%02d#", p.year, p.month, p.day, p.hour, p.minute,
                p.second);
  return buf;
}

}  // namespace

std::string QuotedText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"': out += "\"\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", byte);
          out += buf;
        } else {
          out += c;
        }
      }
    }
  }
  out += '"';
  return out;
}

std::string PrintForm(const Variant& value) {
  switch (value.Type()) {
    case VarType::Empty: return "Empty";
    case VarType::Null: return "Null";
    case VarType::String: return QuotedText(*value.AsText());
    case VarType::Integer: return std::to_string(value.ToInt16());
    case VarType::Long: return std::to_string(value.ToInt32());
    case VarType::Double: return ShortestText(value.ToDouble());
    case VarType::Boolean: return value.ToBool() ? "True" : "False";
    case VarType::Date: return DateForm(value.ToDate());
    case VarType::Object: {
      const ObjectPtr object = value.ToObject();
      if (!object) return "Nothing";
      return "Object(" + std::string(object->Class().Name()) + ")";
    }
  }
  return "Empty";
}

}  // namespace tarnlow::script
