// The object model behind both the typed C++ interface and late binding:
// every public class derives from Object and describes its members once, in
// interface order, in a ClassInfo. Column properties are declared in one list
// per class (see TARNLOW_PROPERTIES) that yields their storage, their typed
// accessors, the generic copy and binding routines and their late-bound
// member entries.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "tarnlow/error.h"
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

// Runs one member: for Let and Set the value is the last argument. Arguments
// passed by reference are written back into `args`.
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
};

class TARNLOW_API ClassInfo {
 public:
  using Factory = ObjectPtr (*)();

  ClassInfo(std::string_view name, std::string_view clsid, std::string_view iid,
            std::vector<MemberInfo> members, Factory create);

  std::string_view Name() const { return name_; }
  std::string_view ClassId() const { return clsid_; }
  std::string_view InterfaceId() const { return iid_; }
  bool Creatable() const { return create_ != nullptr; }
  ObjectPtr Create() const;
  std::span<const MemberInfo> Members() const { return members_; }
  // Looks a member up by name, ignoring letter case; null when absent.
  const MemberInfo* Find(std::string_view name) const;

 private:
  std::string_view name_, clsid_, iid_;
  std::vector<MemberInfo> members_;
  std::unordered_map<std::string, std::size_t> index_;
  Factory create_;
};

class TARNLOW_API Object : public std::enable_shared_from_this<Object> {
 public:
  Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object();

  virtual const ClassInfo& Class() const = 0;

  // Number of library objects alive in this process.
  static std::int64_t LiveCount();
};

// ---- properties with storage ----------------------------------------------

namespace detail {
struct FieldAccess;
}

// A property backed by a field of type T. Get-only properties can be read
// but only the owning class (through FieldAccess) writes them.
template <class T, Access A>
class Prop {
 public:
  using value_type = T;
  static constexpr Access access = A;

  const T& operator()() const requires(HasGet(A)) { return v_; }
  operator const T&() const requires(HasGet(A)) { return v_; }
  Prop& operator=(T v) requires(HasLet(A)) {
    v_ = std::move(v);
    return *this;
  }

 private:
  friend struct detail::FieldAccess;
  T v_{};
};

namespace detail {
struct FieldAccess {
  template <class T, Access A>
  static T& Ref(Prop<T, A>& p) {
    return p.v_;
  }
  template <class T, Access A>
  static const T& Ref(const Prop<T, A>& p) {
    return p.v_;
  }
};
}  // namespace detail

// Writable reference to a property's field, for the owning class.
template <class T, Access A>
T& Field(Prop<T, A>& p) {
  return detail::FieldAccess::Ref(p);
}
template <class T, Access A>
const T& Field(const Prop<T, A>& p) {
  return detail::FieldAccess::Ref(p);
}

// One entry of a class's property list.
struct ColumnInfo {
  std::string_view property;  // member name
  std::string_view column;    // database column; empty when the property is no column
  ValueKind kind;
  Access access;
  int size;  // declared parameter size of text columns, 0 otherwise
  Variant (*get)(const Object&);
  void (*set)(Object&, const Variant&);  // converts as a property assignment does
};

namespace detail {
template <class C, auto M>
Variant GetField(const Object& o) {
  return Variant(FieldAccess::Ref(static_cast<const C&>(o).*M));
}
template <class C, auto M>
void SetField(Object& o, const Variant& v) {
  auto& field = FieldAccess::Ref(static_cast<C&>(o).*M);
  field = ConvertTo<std::remove_reference_t<decltype(field)>>(v);
}
}  // namespace detail

// Declares the properties of a class from its list. Each list entry reads
//   X(name, Kind, Access, "column", size)
// with Kind one of Text, Double, Date, Int16, Int32, Bool and the column
// name empty ("") for a property that is no column.
#define TARNLOW_DECLARE_PROP(name, kind, acc, column, size) \
  ::tarnlow::Prop<::tarnlow::KindType<::tarnlow::ValueKind::kind>::type, ::tarnlow::Access::acc> name;
#define TARNLOW_PROPERTIES(Class, LIST)                    \
  using Self = Class;                                      \
  static std::span<const ::tarnlow::ColumnInfo> Columns(); \
  LIST(TARNLOW_DECLARE_PROP)

#define TARNLOW_COLUMN_ENTRY(name, kind, acc, column, size)              \
  ::tarnlow::ColumnInfo{#name,                                           \
                        column,                                          \
                        ::tarnlow::ValueKind::kind,                      \
                        ::tarnlow::Access::acc,                          \
                        size,                                            \
                        &::tarnlow::detail::GetField<Self, &Self::name>, \
                        &::tarnlow::detail::SetField<Self, &Self::name>},
// Defines Class::Columns() from the same list, in a source file.
#define TARNLOW_DEFINE_PROPERTIES(Class, LIST)                             \
  std::span<const ::tarnlow::ColumnInfo> Class::Columns() {                \
    using Self = Class;                                                    \
    static const ::tarnlow::ColumnInfo k[] = {LIST(TARNLOW_COLUMN_ENTRY)}; \
    return k;                                                              \
  }

// Looks a property entry up by its property name (exact spelling).
TARNLOW_API const ColumnInfo& FindColumn(std::span<const ColumnInfo> columns, std::string_view property);

// Copies every property in the list from one object to another of the same class.
TARNLOW_API void CopyProperties(std::span<const ColumnInfo> columns, const Object& from, Object& to);

}  // namespace tarnlow
