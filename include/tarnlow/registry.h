// The class registry: every public class by name and identity, and the
// count of live objects that tells whether the library may be unloaded.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/object.h"

namespace tarnlow {

class TARNLOW_API Registry {
 public:
  using InfoFunction = const ClassInfo& (*)();
  // Called once per class, at load time, by TARNLOW_REGISTER_CLASS.
  static bool Add(InfoFunction info);
  // Every registered class, by name (case ignored), whatever the link order.
  static std::vector<const ClassInfo*> Classes();
  // By name or identity in braces (case ignored); null when unknown.
  static const ClassInfo* Find(std::string_view name_or_identity);
};

// A library the type library imports the types of its interfaces from.
struct ImportedLibrary {
  std::string_view name;
  std::string_view source;  // its file, or its identity in braces
  std::string_view version;
  std::string_view description;
};
// A public enumeration and its members.
struct EnumerationInfo {
  struct Member {
    std::string_view name;
    std::int32_t value;
  };
  std::string_view name;
  std::span<const Member> members;
};

// The type library describing the public classes, as clients check it.
struct TypeLibraryInfo {
  std::string_view name;        // "TarnlowSTData"
  std::string_view identity;    // in braces, upper case
  std::uint16_t major_version;  // 2
  std::uint16_t minor_version;  // 15
  std::uint32_t locale;         // 1033
  std::string_view description;
  std::span<const ImportedLibrary> imports;
  std::span<const EnumerationInfo> enumerations;
};
// Every text of it is NUL-terminated, so it may be handed on as C text.
TARNLOW_API const TypeLibraryInfo& TypeLibrary();

// A fresh object of a creatable class, holding its creation defaults; an
// unknown name or identity raises error 429 naming it.
TARNLOW_API ObjectPtr CreateObject(std::string_view name_or_identity);
// The number of library objects alive in this process.
TARNLOW_API std::int64_t LiveObjectCount();
// True when no library object is alive.
TARNLOW_API bool CanUnloadNow();

// Readable descriptions for people and tools. One line: the type library's
// name, identity, version and locale.
TARNLOW_API std::string DescribeTypeLibrary();
// One line per class: name, identity, default interface and creatability.
TARNLOW_API std::string DescribeClasses();
// A heading, then per member in interface order: its kind (accessors, or
// "operation"), name, arguments and type.
TARNLOW_API std::string DescribeMembers(const ClassInfo& info);
// Every class's reference in Markdown: type library, class list, then each
// class's members with kind, arguments, type and meaning.
TARNLOW_API std::string DescribeClassesMarkdown();
// What a member is for, from its column declaration or the meanings kept
// for the class (or its kind); empty when none is known.
TARNLOW_API std::string MemberMeaning(const ClassInfo& info, const MemberInfo& member);
// "get", "let get", "get set", ...: a property's accessors in interface order.
TARNLOW_API std::string_view AccessText(Access access);
// The name the descriptions use for a value type ("Text", "Int16", ...).
TARNLOW_API std::string_view KindText(ValueKind kind);

}  // namespace tarnlow

// Registers a class in its own source file.
#define TARNLOW_REGISTER_CLASS(Class) \
  [[maybe_unused]] static const bool tarnlow_registered_##Class = ::tarnlow::Registry::Add(&Class::Info);

// In every late-bound class body: name, description and its builder.
#define TARNLOW_CLASS_IDENTITY(C)                                            \
 public:                                                                     \
  static constexpr std::string_view kClassName = #C;                         \
  static const ::tarnlow::ClassInfo& Info();                                 \
                                                                             \
 private:                                                                    \
  friend class ::tarnlow::detail::ClassBuilder<C>;                           \
  TARNLOW_LOCAL static void Describe(::tarnlow::detail::ClassBuilder<C>& b); \
                                                                             \
 public:

// In the source file: the description, built once by the Describe body
// that follows, and the registration.
#define TARNLOW_DEFINE_CLASS_INFO(C, CLSID, IID)                       \
  const ::tarnlow::ClassInfo& C::Info() {                              \
    static const ::tarnlow::ClassInfo info = [] {                      \
      ::tarnlow::detail::ClassBuilder<C> b(C::kClassName, CLSID, IID); \
      Describe(b);                                                     \
      return b.Build();                                                \
    }();                                                               \
    return info;                                                       \
  }                                                                    \
  TARNLOW_REGISTER_CLASS(C)                                            \
  void C::Describe([[maybe_unused]] ::tarnlow::detail::ClassBuilder<C>& b)
