#include "tarnlow/object.h"

#include <algorithm>
#include <cctype>

#include "framework/text.h"

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
  for (std::size_t i = 0; i < members_.size(); ++i) index_.emplace(LowerCase(members_[i].name), i);
}

ObjectPtr ClassInfo::Create() const {
  if (!create_) RaiseRuntime(err::CannotCreateObject);
  return create_();
}

const MemberInfo* ClassInfo::Find(std::string_view name) const {
  char buf[64];
  if (name.size() >= sizeof buf) return nullptr;
  for (std::size_t i = 0; i < name.size(); ++i)
    buf[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
  const auto it = index_.find(std::string(buf, name.size()));
  return it == index_.end() ? nullptr : &members_[it->second];
}

}  // namespace tarnlow
