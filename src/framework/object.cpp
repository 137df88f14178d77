#include "tarnlow/object.h"

#include <algorithm>

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
  std::size_t capacity = 16;
  while (capacity < members_.size() * 2) capacity *= 2;
  slots_.assign(capacity, 0);
  lower_names_.reserve(members_.size());
  for (std::size_t i = 0; i < members_.size(); ++i) {
    lower_names_.push_back(LowerCase(members_[i].name));
    const std::string& name = lower_names_.back();
    std::size_t at = FoldedHash(name) & (capacity - 1);
    // Of two members of one name, the first is the one found.
    bool taken = false;
    for (; slots_[at] != 0 && !taken; at = (at + 1) & (capacity - 1))
      taken = lower_names_[slots_[at] - 1] == name;
    if (!taken) slots_[at] = static_cast<std::uint32_t>(i + 1);
  }
}

ObjectPtr ClassInfo::Create() const {
  if (!create_) RaiseRuntime(err::CannotCreateObject);
  return create_();
}

// Late-bound callers look a member up by name on every call: the name is
// lowered and hashed in one pass, without a copy, and a probe or two finds it.
const MemberInfo* ClassInfo::Find(std::string_view name) const {
  char buf[64];
  if (name.size() >= sizeof buf) return nullptr;
  std::uint32_t hash = kFoldedHashBasis;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = FoldCase(name[i]);
    buf[i] = c;
    hash = FoldedHashStep(hash, c);
  }
  const std::string_view key(buf, name.size());
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask; slots_[at] != 0; at = (at + 1) & mask) {
    const std::size_t i = slots_[at] - 1;
    if (lower_names_[i] == key) return &members_[i];
  }
  return nullptr;
}

}  // namespace tarnlow
