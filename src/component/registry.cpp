#include "tarnlow/registry.h"

#include <strings.h>

#include <mutex>

namespace tarnlow {
namespace {

struct Entries {
  std::mutex mutex;
  std::vector<Registry::InfoFunction> functions;
};
Entries& All() {
  static Entries entries;
  return entries;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

bool Registry::Add(InfoFunction info) {
  Entries& e = All();
  std::lock_guard lock(e.mutex);
  e.functions.push_back(info);
  return true;
}

std::vector<const ClassInfo*> Registry::Classes() {
  Entries& e = All();
  std::lock_guard lock(e.mutex);
  std::vector<const ClassInfo*> out;
  for (InfoFunction f : e.functions) out.push_back(&f());
  return out;
}

const ClassInfo* Registry::Find(std::string_view key) {
  for (const ClassInfo* info : Classes())
    if (SameText(info->Name(), key) || SameText(info->ClassId(), key)) return info;
  return nullptr;
}

ObjectPtr CreateObject(std::string_view key) {
  const ClassInfo* info = Registry::Find(key);
  if (!info || !info->Creatable())
    RaiseRuntime(err::CannotCreateObject,
                 RuntimeErrorText(err::CannotCreateObject) + ": " + std::string(key));
  return info->Create();
}

bool CanUnloadNow() { return Object::LiveCount() == 0; }

}  // namespace tarnlow
