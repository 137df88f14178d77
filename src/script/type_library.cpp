// TypeLibInfo(): the type library's facts as an object with read-only
// properties, so that a script checks them the way it reads any object.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "operators.h"
#include "tarnlow/error.h"
#include "tarnlow/registry.h"

namespace tarnlow::script {
namespace {

Variant Name() {
  return Variant(std::string(TypeLibrary().name));
}
Variant Identity() {
  return Variant(std::string(TypeLibrary().identity));
}
Variant MajorVersion() {
  return Variant(static_cast<std::int16_t>(TypeLibrary().major_version));
}
Variant MinorVersion() {
  return Variant(static_cast<std::int16_t>(TypeLibrary().minor_version));
}
Variant Locale() {
  return Variant(static_cast<std::int32_t>(TypeLibrary().locale));
}
Variant Description() {
  return Variant(std::string(TypeLibrary().description));
}

// A read-only property whose value is one of the facts above.
template <Variant (*Fact)()>
Variant ReadFact(Object&, CallKind, std::span<Variant> args) {
  if (!args.empty()) RaiseRuntime(err::WrongArguments);
  return Fact();
}
template <Variant (*Fact)()>
MemberInfo Property(std::string_view name, ValueKind kind) {
  return MemberInfo{name, false, Access::Get, kind, true, {}, &ReadFact<Fact>};
}

class TypeLibInfo final : public Object {
 public:
  const ClassInfo& Class() const override {
    static const ClassInfo info(
        "TypeLibInfo", "", "",
        {Property<&Name>("Name", ValueKind::Text), Property<&Identity>("Identity", ValueKind::Text),
         Property<&MajorVersion>("MajorVersion", ValueKind::Int16),
         Property<&MinorVersion>("MinorVersion", ValueKind::Int16),
         Property<&Locale>("Locale", ValueKind::Int32),
         Property<&Description>("Description", ValueKind::Text)},
        nullptr);
    return info;
  }
};

}  // namespace

ObjectPtr TypeLibraryObject() {
  return std::make_shared<TypeLibInfo>();
}

}  // namespace tarnlow::script
