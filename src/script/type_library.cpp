// TypeLibInfo(): the type library's facts as an object with read-only
// properties, so that a script checks them the way it reads any object.
#include <cstdint>
#include <string>

#include "operators.h"
#include "framework/class_builder.h"
#include "tarnlow/registry.h"

namespace tarnlow::script {
namespace {

class TypeLibInfo final : public Object {
 public:
  const ClassInfo& Class() const override {
    static const ClassInfo info = detail::ClassBuilder<TypeLibInfo>("TypeLibInfo", "", "")
                                      .Get<&TypeLibInfo::Name>("Name")
                                      .Get<&TypeLibInfo::Identity>("Identity")
                                      .Get<&TypeLibInfo::MajorVersion>("MajorVersion")
                                      .Get<&TypeLibInfo::MinorVersion>("MinorVersion")
                                      .Get<&TypeLibInfo::Locale>("Locale")
                                      .Get<&TypeLibInfo::Description>("Description")
                                      .Build();
    return info;
  }

  std::string Name() const { return std::string(TypeLibrary().name); }
  std::string Identity() const { return std::string(TypeLibrary().identity); }
  std::int16_t MajorVersion() const { return static_cast<std::int16_t>(TypeLibrary().major_version); }
  std::int16_t MinorVersion() const { return static_cast<std::int16_t>(TypeLibrary().minor_version); }
  std::int32_t Locale() const { return static_cast<std::int32_t>(TypeLibrary().locale); }
  std::string Description() const { return std::string(TypeLibrary().description); }
};

}  // namespace

ObjectPtr TypeLibraryObject() {
  return std::make_shared<TypeLibInfo>();
}

}  // namespace tarnlow::script
