// Builds a class's late-bound description in interface order.
#pragma once

#include <algorithm>
#include <memory>
#include <span>
#include <stdexcept>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "tarnlow/object.h"
#include "tarnlow/table_object.h"

namespace tarnlow::detail {

template <class T>
concept SharedPtr = std::is_same_v<T, std::shared_ptr<typename T::element_type>>;

// The kind whose KindType is T; Object for an object, Variant for any other.
template <class T, ValueKind K = ValueKind::Text>
constexpr ValueKind KindOf() {
  using U = std::remove_cvref_t<T>;
  if constexpr (SharedPtr<U>)
    return ValueKind::Object;
  else if constexpr (K == ValueKind::Variant || std::is_same_v<U, typename KindType<K>::type>)
    return K;
  else
    return KindOf<T, static_cast<ValueKind>(static_cast<int>(K) + 1)>();
}

// A late-bound argument converted to the parameter type of a member function.
template <class T>
T FromVariant(const Variant& v) {
  if constexpr (SharedPtr<T>) {
    auto object = v.ToObject();
    if (!object) return nullptr;
    auto typed = std::dynamic_pointer_cast<typename T::element_type>(object);
    if (!typed) RaiseRuntime(err::TypeMismatch);
    return typed;
  } else {
    return ConvertTo<T>(v);
  }
}

// How an argument travels from a variant: values converted (and written
// back by reference), library objects as the object held, which must be set.
template <class A>
struct ArgPassing {
  using Stored = std::remove_cvref_t<A>;
  static constexpr bool kObject = false;
  static constexpr bool kWriteBack =
      std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;
  static Stored Take(const Variant& v) { return FromVariant<Stored>(v); }
  static Stored& Pass(Stored& s) { return s; }
};
template <class A>
requires std::is_base_of_v<Object, std::remove_cvref_t<A>>
struct ArgPassing<A> {
  using Stored = std::shared_ptr<std::remove_cvref_t<A>>;
  static constexpr bool kObject = true;
  static constexpr bool kWriteBack = false;
  static Stored Take(const Variant& v) {
    Stored object = FromVariant<Stored>(v);
    if (!object) RaiseRuntime(err::ObjectNotSet);
    return object;
  }
  static std::remove_cvref_t<A>& Pass(Stored& s) { return *s; }
};

// An argument's name; ByRef: by reference, though the function keeps it.
struct ArgName {
  constexpr ArgName(const char* n) : name(n) {}
  constexpr ArgName(std::string_view n, bool r = false) : name(n), by_ref(r) {}
  std::string_view name;
  bool by_ref = false;
};
constexpr ArgName ByRef(std::string_view name) {
  return ArgName(name, true);
}

// Reaches a member function late-bound; Self is the class (const for const).
template <auto F, class Self, class R, class... A>
struct MethodAdapter {
  static constexpr bool kHasResult = !std::is_void_v<R>;
  // The kind of the result in the member's description; Variant for none.
  static constexpr ValueKind kResult = [] {
    if constexpr (kHasResult)
      return KindOf<R>();
    else
      return ValueKind::Variant;
  }();

  static std::vector<ArgInfo> Args(std::span<const ArgName> names) {
    std::vector<ArgInfo> out;
    std::size_t i = 0;
    ((out.push_back(
          ArgInfo{i < names.size() ? names[i].name : std::string_view("arg"),
                  ArgPassing<A>::kObject ? ValueKind::Object : KindOf<A>(),
                  (i < names.size() && names[i].by_ref) ||
                      (std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>)}),
      ++i),
     ...);
    return out;
  }

  static Variant Invoke(Object& self, CallKind, std::span<Variant> args) {
    if (args.size() != sizeof...(A)) RaiseRuntime(err::WrongArguments);
    return Call(static_cast<Self&>(self), args, std::index_sequence_for<A...>{});
  }

  template <std::size_t... I>
  static Variant Call(Self& self, [[maybe_unused]] std::span<Variant> args, std::index_sequence<I...>) {
    std::tuple<typename ArgPassing<A>::Stored...> values{ArgPassing<A>::Take(args[I])...};
    Variant result;
    if constexpr (kHasResult)
      result = Variant((self.*F)(ArgPassing<A>::Pass(std::get<I>(values))...));
    else
      (self.*F)(ArgPassing<A>::Pass(std::get<I>(values))...);
    // Arguments passed by reference go back to the caller's variables.
    (
        [&] {
          if constexpr (ArgPassing<A>::kWriteBack) args[I] = Variant(std::get<I>(values));
        }(),
        ...);
    return result;
  }
};

template <auto F>
struct Method;
template <class C, class R, class... A, R (C::*F)(A...)>
struct Method<F> : MethodAdapter<F, C, R, A...> {};
template <class C, class R, class... A, R (C::*F)(A...) const>
struct Method<F> : MethodAdapter<F, const C, R, A...> {};

// `SageConnection` of a table object: get and set, as the class has them.
template <class C>
Variant ConnectionInvoke(Object& self, CallKind call, std::span<Variant> args) {
  auto& t = static_cast<C&>(self);
  if (call == CallKind::Let || call == CallKind::Set) {
    if (args.size() != 1) RaiseRuntime(err::WrongArguments);
    t.SageConnection(FromVariant<std::shared_ptr<Connection>>(args.back()));
    return {};
  }
  if (!args.empty()) RaiseRuntime(err::WrongArguments);
  return Variant(t.SageConnection());
}

template <class C>
class ClassBuilder {
 public:
  ClassBuilder(std::string_view name, std::string_view clsid, std::string_view iid)
      : name_(name), clsid_(clsid), iid_(iid) {}

  // Clients may create objects of the class by name or identity.
  ClassBuilder& Creatable() {
    create_ = [] { return ObjectPtr(std::make_shared<C>()); };
    return *this;
  }

  // Every property of a list (by default the class's own), in list order.
  ClassBuilder& Properties(std::span<const ColumnInfo> columns) {
    for (const ColumnInfo& c : columns) AddColumn(c);
    return *this;
  }
  ClassBuilder& Properties() { return Properties(C::Columns()); }
  // The properties of the class's list from `First` to `Last`, both included.
  template <auto First, auto Last>
  ClassBuilder& Properties() {
    const std::span<const ColumnInfo> all = C::Columns();
    const ColumnInfo* first = &ColumnOf<First, C>(all);
    const ColumnInfo* last = &ColumnOf<Last, C>(all);
    for (const ColumnInfo* c = first; c <= last; ++c) AddColumn(*c);
    return *this;
  }
  template <auto M>
  ClassBuilder& Property() {
    AddColumn(ColumnOf<M, C>(C::Columns()));
    return *this;
  }

  // `SageConnection`, get and set; `order`: the accessor listed first.
  ClassBuilder& Connection(Access order = Access::GetSet) {
    members_.push_back(
        MemberInfo{"SageConnection", false, order, ValueKind::Object, true, {}, &ConnectionInvoke<C>});
    return *this;
  }

  // A computed property read through a member function.
  template <auto Getter>
  ClassBuilder& Get(std::string_view name) {
    using M = detail::Method<Getter>;
    members_.push_back(MemberInfo{name, false, Access::Get, M::kResult, true, {}, &M::Invoke});
    return *this;
  }
  // A property with a getter and a setter member function, listed in `order`.
  template <auto Getter, auto Setter>
  ClassBuilder& GetLet(std::string_view name, Access order = Access::GetLet) {
    members_.push_back(MemberInfo{
        name, false, order, detail::Method<Getter>::kResult, true, {}, &GetLetInvoke<Getter, Setter>});
    return *this;
  }

  template <auto F>
  ClassBuilder& Method(std::string_view name, std::initializer_list<ArgName> arg_names = {}) {
    using M = detail::Method<F>;
    const std::vector<ArgName> names(arg_names);
    members_.push_back(
        MemberInfo{name, true, Access::Get, M::kResult, M::kHasResult, M::Args(names), &M::Invoke});
    return *this;
  }

  // The members every collection has: Item (the default member), Count,
  // Remove, ClearList and NewEnum (the enumeration member).
  ClassBuilder& Item() {
    MemberInfo m{"Item",      false,
                 Access::Get, ValueKind::Object,
                 true,        {ArgInfo{"vntIndexKey", ValueKind::Variant, false}},
                 &ItemInvoke};
    m.default_member = true;
    members_.push_back(std::move(m));
    return *this;
  }
  ClassBuilder& Count() { return Get<&C::Count>("Count"); }
  ClassBuilder& Remove() { return Method<&C::Remove>("Remove", {"vntIndexKey"}); }
  ClassBuilder& ClearList() { return Method<&C::ClearList>("ClearList"); }
  ClassBuilder& NewEnum() {
    using M = detail::Method<&C::NewEnum>;
    MemberInfo m{"NewEnum", false, Access::Get, ValueKind::Object, true, {}, &M::Invoke};
    m.enumeration = true;
    members_.push_back(std::move(m));
    return *this;
  }

  // The properties named, added before, take an assigned value by reference.
  ClassBuilder& LetByRef(std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
      const auto m = std::ranges::find(members_, name, &MemberInfo::name);
      if (m == members_.end()) throw std::logic_error("LetByRef of a property not yet added");
      m->let_by_ref = true;
    }
    return *this;
  }

  ClassInfo Build() { return ClassInfo(name_, clsid_, iid_, std::move(members_), create_); }

 private:
  template <auto Getter, auto Setter>
  static Variant GetLetInvoke(Object& self, CallKind call, std::span<Variant> args) {
    C& c = static_cast<C&>(self);
    if (call == CallKind::Let || call == CallKind::Set) {
      if (args.size() != 1) RaiseRuntime(err::WrongArguments);
      return detail::Method<Setter>::Invoke(self, CallKind::Method, args);
    }
    if (!args.empty()) RaiseRuntime(err::WrongArguments);
    return Variant((c.*Getter)());
  }

  static Variant ItemInvoke(Object& self, CallKind call, std::span<Variant> args) {
    if (call != CallKind::Get && call != CallKind::Method) RaiseRuntime(err::NotSupported);
    if (args.size() != 1) RaiseRuntime(err::WrongArguments);
    return Variant(static_cast<C&>(self).Item(args[0]));
  }

  void AddColumn(const ColumnInfo& c) {
    members_.push_back(MemberInfo{c.property, false, c.access, c.kind, true, {}, nullptr, &c});
  }

  std::string_view name_, clsid_, iid_;
  std::vector<MemberInfo> members_;
  ClassInfo::Factory create_ = nullptr;
};

}  // namespace tarnlow::detail

namespace tarnlow {
using detail::ByRef;
}  // namespace tarnlow
