// The object model behind the typed interface and late binding: every
// public class derives from Object and describes its members, in interface
// order, in a ClassInfo. One property list per class (TARNLOW_PROPERTIES)
// yields the storage, typed accessors, copy and binding routines and
// late-bound entries of its column properties.
#pragma once

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarnlow/error.h"
#include "tarnlow/name_index.h"
#include "tarnlow/tables.h"
#include "tarnlow/value.h"

namespace tarnlow {

class Object;
class ClassInfo;
using ObjectPtr = std::shared_ptr<Object>;

// Which accessors a property has, in the order its interface lists them.
enum class Access : std::uint8_t { Get, Let, GetLet, LetGet, GetSet, SetGet };

constexpr bool HasGet(Access a) {
  return a != Access::Let;
}
constexpr bool HasLet(Access a) {
  return a == Access::Let || a == Access::GetLet || a == Access::LetGet;
}
constexpr bool HasSet(Access a) {
  return a == Access::GetSet || a == Access::SetGet;
}

// How a member is being reached.
enum class CallKind : std::uint8_t { Get, Let, Set, Method };

struct ArgInfo {
  std::string_view name;
  ValueKind kind;
  bool by_ref;
};

// Runs one member; for Let and Set the value is the last argument, and
// arguments passed by reference are written back into `args`.
using Invoker = Variant (*)(Object& self, CallKind call, std::span<Variant> args);

struct ColumnInfo;

struct MemberInfo {
  std::string_view name;
  bool is_method;   // an operation rather than a property
  Access access;    // properties only
  ValueKind kind;   // property type or method result (Variant for none)
  bool has_result;  // methods only
  std::vector<ArgInfo> args;
  Invoker invoke;                      // null for a stored property
  const ColumnInfo* column = nullptr;  // the stored property's entry
  bool default_member = false;         // reached when a call names no member
  bool enumeration = false;            // yields the enumerator of a collection
  bool let_by_ref = false;             // a property whose Let takes its value by reference
};

class TARNLOW_API ClassInfo {
 public:
  using Factory = ObjectPtr (*)();

  ClassInfo(std::string_view name, std::string_view clsid, std::string_view iid,
            std::vector<MemberInfo> members, Factory create);

  std::string_view Name() const { return name_; }
  std::string_view ClassId() const { return clsid_; }
  std::string_view InterfaceId() const { return iid_; }
  // The default interface: "_" and the class name.
  std::string_view InterfaceName() const { return interface_name_; }
  bool Creatable() const { return create_ != nullptr; }
  ObjectPtr Create() const;
  std::span<const MemberInfo> Members() const { return members_; }
  // Looks a member up by name, ignoring letter case; null when absent.
  const MemberInfo* Find(std::string_view name) const;

 private:
  std::string_view name_, clsid_, iid_;
  std::string interface_name_;
  std::vector<MemberInfo> members_;
  NameIndex names_;  // of members_
  Factory create_;
};

template <class T, Access A>
class Prop;
struct ColumnInfo;
class TableObject;
class Recordset;
namespace detail {
template <class C, auto M>
struct PropertyEntry;
struct ColumnWriter;
}  // namespace detail

class TARNLOW_API Object : public std::enable_shared_from_this<Object> {
 public:
  Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object();

  virtual const ClassInfo& Class() const = 0;

  // Number of library objects alive in this process.
  static std::int64_t LiveCount();

 protected:
  // The field behind a property (const for a const one), writable by the
  // owning class alone.
  template <class P>
  static auto& Field(P& p) {
    return p.v_;
  }

 private:
  template <class C, auto M>
  friend struct detail::PropertyEntry;
};

// A property backed by a field of type T; a get-only one is written only by
// the owning class.
template <class T, Access A>
class Prop {
 public:
  using value_type = T;
  static constexpr Access access = A;

  const T& operator()() const requires(HasGet(A)) { return v_; }
  operator const T&() const requires(HasGet(A)) { return v_; }
  // Copied into the storage the property has, so that a client setting keys
  // before every call costs no allocation.
  Prop& operator=(const T& v) requires(HasLet(A)) {
    if constexpr (std::is_same_v<T, std::string>)
      ReplaceText(v_, v);
    else
      v_ = v;
    return *this;
  }
  Prop& operator=(T&& v) requires(HasLet(A)) {
    v_ = std::move(v);
    return *this;
  }
  // Text from a literal or a view goes straight into the storage; a null
  // pointer is empty text.
  Prop& operator=(std::string_view v) requires(HasLet(A) && std::is_same_v<T, std::string>) {
    ReplaceText(v_, v);
    return *this;
  }
  Prop& operator=(const char* v) requires(HasLet(A) && std::is_same_v<T, std::string>) {
    return *this = v != nullptr ? std::string_view(v) : std::string_view();
  }

 private:
  friend class Object;
  T v_{};
};

// A column property: statement lists, parameters and copies name its column
// by the member rather than by text.
template <const tables::Column* C, ValueKind K, Access A>
class ColumnProp : public Prop<typename KindType<K>::type, A> {
 public:
  static constexpr const tables::Column* column = C;
  using Prop<typename KindType<K>::type, A>::operator=;
};

// A text column property whose let removes trailing blanks, for codes looked
// up in caches of trimmed keys.
template <const tables::Column* C, Access A>
class TrimmedColumnProp : public ColumnProp<C, ValueKind::Text, A> {
  static_assert(C->kind == ValueKind::Text, "only text columns are trimmed");

 public:
  TrimmedColumnProp& operator=(std::string v) requires(HasLet(A)) {
    v.erase(v.find_last_not_of(' ') + 1);
    Prop<std::string, A>::operator=(std::move(v));
    return *this;
  }
};

template <class P>
concept ColumnProperty = requires {
  P::column;
};

namespace detail {
// Lets PassedProp reach the owner's private PassOn.
struct PassAccess {
  template <class Owner>
  static void PassOn(Owner& owner, const tables::Column& column) {
    owner.PassOn(column);
  }
};
}  // namespace detail

// A column property the owner hands on to its companions: every assignment,
// typed or late-bound, stores it and runs the owner's PassOn(column);
// Field(p) = v, for the copy routines, only stores.
template <const tables::Column* C, ValueKind K, Access A, class Owner>
class PassedProp : public ColumnProp<C, K, A> {
  using Base = ColumnProp<C, K, A>;

 public:
  explicit PassedProp(Owner& owner) : owner_(owner) {}
  PassedProp(const PassedProp&) = delete;
  // One line's number given to another is handed on as well.
  PassedProp& operator=(const PassedProp& other) requires(HasLet(A) && HasGet(A)) {
    return *this = typename Base::value_type(other());
  }
  PassedProp& operator=(typename Base::value_type v) requires(HasLet(A)) {
    Base::operator=(std::move(v));
    detail::PassAccess::PassOn(owner_, *C);
    return *this;
  }

 private:
  Owner& owner_;
};

// A typed property Recordset::CopyCells fills from the current row, text
// and numbers straight from the database's cell where it can.
struct CellCopy {
  enum Kind : std::uint8_t { Text, Number, Other };
  template <class T>
  static CellCopy Into(const tables::Column& column, T& out) {
    const Kind kind = std::is_same_v<T, std::string> ? Text : std::is_same_v<T, double> ? Number : Other;
    return {&column, &out, kind,
            [](void* field, const Variant& v) { AssignConverted(*static_cast<T*>(field), v); }};
  }
  const tables::Column* column;
  void* out;
  Kind kind;
  void (*convert)(void* out, const Variant& value);
};

// One entry of a class's property list.
struct ColumnInfo {
  using Getter = Variant (*)(const Object&);
  using Setter = void (*)(Object&, const Variant&);
  using Cell = CellCopy (*)(Object&, const tables::Column&);
  using Storage = const void* (*)(const Object&);

  // `declaration_` is the column's declaration, or nullptr for a property
  // that is no column: told apart by type, not by testing the pointer, so
  // that the list stays a constant expression under the sanitizers.
  template <class Declaration>
  requires std::is_same_v<Declaration, const tables::Column*> || std::is_null_pointer_v<Declaration>
  constexpr ColumnInfo(std::string_view property_, Declaration declaration_, ValueKind kind_, Access access_,
                       Getter get_, Setter set, Cell cell = nullptr, Storage storage_ = nullptr)
      : property(property_),
        column(Of(declaration_).name),
        kind(kind_),
        access(access_),
        size(Of(declaration_).size),
        declaration(declaration_),
        get(get_),
        storage(storage_),
        set_(set),
        cell_(cell) {}

  std::string_view property;  // member name
  std::string_view column;    // database column; empty when the property is no column
  ValueKind kind;             // the property's type
  Access access;
  int size;                           // the column's width for text, 0 otherwise
  const tables::Column* declaration;  // the table's column; null when the property is no column
  Getter get;
  // Where a text or double property keeps its value, so that setting a
  // parameter reads it without a Variant; null for any other property and
  // for a passed or trimmed one.
  Storage storage;

 private:
  // The declaration to read the name and width from (kNoColumn for none);
  // only a run-time call can meet a null one.
  static constexpr tables::Column kNoColumn{};
  static constexpr const tables::Column& Of(const tables::Column* c) {
    return !std::is_constant_evaluated() && c == nullptr ? kNoColumn : *c;
  }
  static constexpr const tables::Column& Of(std::nullptr_t) { return kNoColumn; }

  // Stores a value as an assignment does, whatever the accessors: for the
  // copy routines and for late-bound assignments that checked them.
  friend class TableObject;
  friend struct detail::ColumnWriter;
  Setter set_;
  // The property as Recordset::CopyCells fills it, as set_ would but
  // straight from the database's row; null where assigning does more.
  Cell cell_;
};

namespace detail {
template <class C, auto M>
struct PropertyEntry {
  static Variant Get(const Object& o) { return Variant(Object::Field(static_cast<const C&>(o).*M)); }
  static void Set(Object& o, const Variant& v) { AssignConverted(Object::Field(static_cast<C&>(o).*M), v); }
  static CellCopy Cell(Object& o, const tables::Column& column) {
    return CellCopy::Into(column, Object::Field(static_cast<C&>(o).*M));
  }
  static const void* Stored(const Object& o) { return &Object::Field(static_cast<const C&>(o).*M); }
  // A keyword's trailing underscore is no part of the property's name
  // (`operator_` is the property "operator").
  template <class Declaration>
  static constexpr ColumnInfo Entry(std::string_view property, Declaration column, ValueKind kind,
                                    Access access) {
    using F = std::remove_cvref_t<decltype(Object::Field(std::declval<const C&>().*M))>;
    ColumnInfo::Storage storage = nullptr;
    if constexpr (std::is_same_v<F, std::string> || std::is_same_v<F, double>) storage = &Stored;
    return ColumnInfo(tables::ColumnName(property), column, kind, access, &Get, &Set, &Cell, storage);
  }
};
// A passed property is assigned through the property itself, so that the
// owner hands the value on.
template <class C, auto M>
struct PassedEntry {
  static void Set(Object& o, const Variant& v) {
    auto& property = static_cast<C&>(o).*M;
    property = ConvertTo<typename std::remove_reference_t<decltype(property)>::value_type>(v);
  }
  static constexpr ColumnInfo Entry(std::string_view property, const tables::Column* column, ValueKind kind,
                                    Access access) {
    return ColumnInfo(property, column, kind, access, &PropertyEntry<C, M>::Get, &Set);
  }
};
// A trimmed property is stored through its own assignment, which trims.
template <class C, auto M>
struct TrimmedEntry {
  static void Let(Object& o, const Variant& v) { static_cast<C&>(o).*M = v.ToText(); }
  static constexpr ColumnInfo Entry(std::string_view property, const tables::Column* column, Access access) {
    return ColumnInfo(tables::ColumnName(property), column, ValueKind::Text, access,
                      &PropertyEntry<C, M>::Get, &Let);
  }
};
}  // namespace detail

// A class lists its properties in interface order, one entry per group:
//   X(Table, T, Access)                         every column of table T
//   X(Columns, T, Access, a, b, ...)            the columns a, b, ... of T
//   X(Column, name, T::column, Access)          named unlike its column
//   X(ColumnAs, name, T::column, Kind, Access)  held as another type
//   X(Value, name, Kind, Access)                a property that is no column
//   X(Trimmed, T, Access, a, b, ...)            lets remove trailing blanks
//   X(Passed, name, T::column, Kind, Access)    handed on (PassedProp)
// Types and text widths come from the table declarations.

#define TARNLOW_PP_FIRST(a, b) a
#define TARNLOW_PP_SECOND(a, b) b
#define TARNLOW_PP_CALL(m, ...) m(__VA_ARGS__)

#define TARNLOW_DECL_COLUMN_OF(T, A, ident) TARNLOW_DECL_Column(ident, T::ident, A)
#define TARNLOW_DECL_TABLE_COLUMN(ctx, ident, kind, size, layout, traits) \
  TARNLOW_PP_CALL(TARNLOW_DECL_COLUMN_OF, TARNLOW_PP_FIRST ctx, TARNLOW_PP_SECOND ctx, ident)
#define TARNLOW_DECL_Table(T, A) TARNLOW_TABLE_##T(TARNLOW_DECL_TABLE_COLUMN, TARNLOW_TABLE_NO_KEY, (T, A))
#define TARNLOW_DECL_Columns(T, A, ...) TARNLOW_FOR_EACH_WITH(TARNLOW_DECL_COLUMN_OF, (T, A), __VA_ARGS__)
#define TARNLOW_DECL_Column(name, column, A)                                                              \
  ::tarnlow::ColumnProp<&::tarnlow::tables::column, ::tarnlow::tables::column.kind, ::tarnlow::Access::A> \
      name;
#define TARNLOW_DECL_ColumnAs(name, column, K, A) \
  ::tarnlow::ColumnProp<&::tarnlow::tables::column, ::tarnlow::ValueKind::K, ::tarnlow::Access::A> name;
#define TARNLOW_DECL_Passed(name, column, K, A)                                                          \
  ::tarnlow::PassedProp<&::tarnlow::tables::column, ::tarnlow::ValueKind::K, ::tarnlow::Access::A, Self> \
      name{*this};
#define TARNLOW_DECL_Value(name, K, A) \
  ::tarnlow::Prop<::tarnlow::KindType<::tarnlow::ValueKind::K>::type, ::tarnlow::Access::A> name;
#define TARNLOW_DECL_TRIMMED_OF(T, A, ident) \
  ::tarnlow::TrimmedColumnProp<&::tarnlow::tables::T::ident, ::tarnlow::Access::A> ident;
#define TARNLOW_DECL_Trimmed(T, A, ...) TARNLOW_FOR_EACH_WITH(TARNLOW_DECL_TRIMMED_OF, (T, A), __VA_ARGS__)
#define TARNLOW_DECLARE_PROPERTY(form, ...) TARNLOW_DECL_##form(__VA_ARGS__)

#define TARNLOW_ENTRY_COLUMN_OF(T, A, ident) TARNLOW_ENTRY_Column(ident, T::ident, A)
#define TARNLOW_ENTRY_TABLE_COLUMN(ctx, ident, kind, size, layout, traits) \
  TARNLOW_PP_CALL(TARNLOW_ENTRY_COLUMN_OF, TARNLOW_PP_FIRST ctx, TARNLOW_PP_SECOND ctx, ident)
#define TARNLOW_ENTRY_Table(T, A) TARNLOW_TABLE_##T(TARNLOW_ENTRY_TABLE_COLUMN, TARNLOW_TABLE_NO_KEY, (T, A))
#define TARNLOW_ENTRY_Columns(T, A, ...) TARNLOW_FOR_EACH_WITH(TARNLOW_ENTRY_COLUMN_OF, (T, A), __VA_ARGS__)
#define TARNLOW_ENTRY_Column(name, column, A)                 \
  ::tarnlow::detail::PropertyEntry<Self, &Self::name>::Entry( \
      #name, &::tarnlow::tables::column, ::tarnlow::tables::column.kind, ::tarnlow::Access::A),
#define TARNLOW_ENTRY_ColumnAs(name, column, K, A)                                              \
  ::tarnlow::detail::PropertyEntry<Self, &Self::name>::Entry(#name, &::tarnlow::tables::column, \
                                                             ::tarnlow::ValueKind::K, ::tarnlow::Access::A),
#define TARNLOW_ENTRY_Passed(name, column, K, A)                                              \
  ::tarnlow::detail::PassedEntry<Self, &Self::name>::Entry(#name, &::tarnlow::tables::column, \
                                                           ::tarnlow::ValueKind::K, ::tarnlow::Access::A),
#define TARNLOW_ENTRY_Value(name, K, A)                                                               \
  ::tarnlow::detail::PropertyEntry<Self, &Self::name>::Entry(#name, nullptr, ::tarnlow::ValueKind::K, \
                                                             ::tarnlow::Access::A),
#define TARNLOW_ENTRY_TRIMMED_OF(T, A, ident)                                                      \
  ::tarnlow::detail::TrimmedEntry<Self, &Self::ident>::Entry(#ident, &::tarnlow::tables::T::ident, \
                                                             ::tarnlow::Access::A),
#define TARNLOW_ENTRY_Trimmed(T, A, ...) TARNLOW_FOR_EACH_WITH(TARNLOW_ENTRY_TRIMMED_OF, (T, A), __VA_ARGS__)
#define TARNLOW_COLUMN_ENTRY(form, ...) TARNLOW_ENTRY_##form(__VA_ARGS__)

// Declares a class's properties from its list, in the class body. Not
// exported: clients find the properties in the ClassInfo.
#define TARNLOW_PROPERTIES(Class, LIST)                                  \
  using Self = Class;                                                    \
  TARNLOW_LOCAL static std::span<const ::tarnlow::ColumnInfo> Columns(); \
  LIST(TARNLOW_DECLARE_PROPERTY)

// Defines Class::Columns() from the list, filled when compiled.
#define TARNLOW_DEFINE_PROPERTIES(Class, LIST)                                 \
  std::span<const ::tarnlow::ColumnInfo> Class::Columns() {                    \
    using Self = Class;                                                        \
    static constexpr ::tarnlow::ColumnInfo k[] = {LIST(TARNLOW_COLUMN_ENTRY)}; \
    return k;                                                                  \
  }

// The entry of a property in its class's list, found by the member itself.
template <auto M, class C>
const ColumnInfo& ColumnOf(std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns)
    if (c.get == &detail::PropertyEntry<C, M>::Get) return c;
  RaiseRuntime(err::NotSupported);
}

}  // namespace tarnlow
