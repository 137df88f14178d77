#include "tarnlow/late_binding.h"

#include <vector>

namespace tarnlow::detail {
// Late-bound assignments reach a property's field once the accessors allow it.
struct ColumnWriter {
  static void Set(const ColumnInfo& c, Object& o, const Variant& v) { c.set_(o, v); }
};
}  // namespace tarnlow::detail

namespace tarnlow::late {
namespace {

[[noreturn]] void NotSupported() {
  RaiseRuntime(err::NotSupported);
}

constexpr std::int32_t kObjectRequired = 424;

Variant GetProperty(Object& object, const MemberInfo& m, std::span<Variant> args) {
  if (!HasGet(m.access)) NotSupported();
  if (m.column) {
    if (!args.empty()) RaiseRuntime(err::WrongArguments);
    return m.column->get(object);
  }
  return m.invoke(object, CallKind::Get, args);
}

}  // namespace

const MemberInfo& Resolve(const ClassInfo& info, std::string_view member) {
  const MemberInfo* m = info.Find(member);
  if (!m) NotSupported();
  return *m;
}

Variant Invoke(Object& object, const MemberInfo& m, CallKind call, std::span<Variant> args) {
  switch (call) {
    case CallKind::Method:
      if (m.is_method) return m.invoke(object, CallKind::Method, args);
      return GetProperty(object, m, args);
    case CallKind::Get:
      if (m.is_method) return m.invoke(object, CallKind::Method, args);
      return GetProperty(object, m, args);
    case CallKind::Let:
      if (m.is_method || !HasLet(m.access)) NotSupported();
      if (args.empty()) RaiseRuntime(err::WrongArguments);
      if (m.column) {
        if (args.size() != 1) RaiseRuntime(err::WrongArguments);
        detail::ColumnWriter::Set(*m.column, object, args.back());
        return {};
      }
      return m.invoke(object, CallKind::Let, args);
    case CallKind::Set:
      if (m.is_method || !HasSet(m.access)) NotSupported();
      if (args.empty()) RaiseRuntime(err::WrongArguments);
      if (!args.back().IsObject()) RaiseRuntime(kObjectRequired, "Object required");
      return m.invoke(object, CallKind::Set, args);
  }
  NotSupported();
}

Variant Get(Object& object, std::string_view member) {
  return Invoke(object, Resolve(object.Class(), member), CallKind::Get, {});
}

Variant Get(Object& object, std::string_view member, std::span<Variant> args) {
  return Invoke(object, Resolve(object.Class(), member), CallKind::Get, args);
}

void Let(Object& object, std::string_view member, Variant value) {
  Invoke(object, Resolve(object.Class(), member), CallKind::Let, std::span<Variant>(&value, 1));
}

void Set(Object& object, std::string_view member, ObjectPtr value) {
  Variant arg(std::move(value));
  Invoke(object, Resolve(object.Class(), member), CallKind::Set, std::span<Variant>(&arg, 1));
}

Variant Call(Object& object, std::string_view member, std::span<Variant> args) {
  return Invoke(object, Resolve(object.Class(), member), CallKind::Method, args);
}

Variant Call(Object& object, std::string_view member, std::initializer_list<Variant> args) {
  const MemberInfo& m = Resolve(object.Class(), member);
  if (args.size() == 0) return Invoke(object, m, CallKind::Method, {});
  std::vector<Variant> values(args);
  return Invoke(object, m, CallKind::Method, values);
}

}  // namespace tarnlow::late
