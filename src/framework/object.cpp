#include "tarnlow/object.h"

#include <algorithm>

#include "tarnlow/name_index.h"

namespace tarnlow {
namespace {
std::atomic<std::int64_t> g_live{0};
}  // namespace

Object::Object() {
  g_live.fetch_add(1, std::memory_order_relaxed);
}
Object::~Object() {
  g_live.fetch_sub(1, std::memory_order_relaxed);
}
std::int64_t Object::LiveCount() {
  return g_live.load(std::memory_order_relaxed);
}

ClassInfo::ClassInfo(std::string_view name, std::string_view clsid, std::string_view iid,
                     std::vector<MemberInfo> members, Factory create)
    : name_(name),
      clsid_(clsid),
      iid_(iid),
      interface_name_("_" + std::string(name)),
      members_(std::move(members)),
      create_(create) {
  for (std::size_t i = 0; i < members_.size(); ++i)
    names_.Add(members_[i].name, static_cast<std::uint32_t>(i),
               [&](std::uint32_t at) { return members_[at].name; });
}

ObjectPtr ClassInfo::Create() const {
  if (!create_) RaiseRuntime(err::CannotCreateObject);
  return create_();
}

// Late-bound callers look a member up by name on every call.
const MemberInfo* ClassInfo::Find(std::string_view name) const {
  const std::uint32_t at = names_.Find(name, [&](std::uint32_t i) { return members_[i].name; });
  return at == NameIndex::kMissing ? nullptr : &members_[at];
}

}  // namespace tarnlow
