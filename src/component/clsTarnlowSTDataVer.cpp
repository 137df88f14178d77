#include "tarnlow/component/clsTarnlowSTDataVer.h"

#include <dlfcn.h>

#include <string_view>

#include "framework/class_builder.h"
#include "tarnlow/registry.h"

namespace tarnlow {
namespace {

// The name of the file this code was loaded from, without its folder and
// without the ".so" ending and the version numbers after it, so that a
// renamed or relocated copy reports the name it is loaded under.
const char kAnchor = 0;  // any address inside the library

std::string LibraryBaseName() {
  Dl_info where{};
  std::string_view path;
  if (::dladdr(&kAnchor, &where) != 0 && where.dli_fname != nullptr) path = where.dli_fname;
  if (const auto slash = path.rfind('/'); slash != std::string_view::npos) path.remove_prefix(slash + 1);
  if (const auto so = path.find(".so"); so != std::string_view::npos) path = path.substr(0, so);
  return path.empty() ? std::string("libtarnlowstdata") : std::string(path);
}

}  // namespace

const ClassInfo& clsTarnlowSTDataVer::Info() {
  static const ClassInfo info = detail::ClassBuilder<clsTarnlowSTDataVer>(
                                    "clsTarnlowSTDataVer", "{498C305D-3C19-4EDE-AE98-50B1B74E73B1}",
                                    "{84E8D80E-A652-4982-8CE1-0F850B81B81B}")
                                    .Creatable()
                                    .Get<&clsTarnlowSTDataVer::TarnlowSTDataVer>("TarnlowSTDataVer")
                                    .Build();
  return info;
}

const std::string& clsTarnlowSTDataVer::TarnlowSTDataVer() const {
  static const std::string text = LibraryBaseName() + ": " + std::to_string(TARNLOW_VERSION_MAJOR) + "." +
                                  std::to_string(TARNLOW_VERSION_MINOR) + "." +
                                  std::to_string(TARNLOW_VERSION_PATCH);
  return text;
}

TARNLOW_REGISTER_CLASS(clsTarnlowSTDataVer)

}  // namespace tarnlow
