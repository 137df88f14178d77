#include "tarnlow/collection.h"

#include "framework/class_builder.h"
#include "tarnlow/name_index.h"

namespace tarnlow {

std::size_t KeyedList::Locate(const Variant& index_or_key) const {
  if (const std::string* key = index_or_key.AsText()) {
    const auto it = by_key_.find(LowerCase(*key));
    if (it == by_key_.end()) RaiseRuntime(err::InvalidProcedureCall);
    return it->second;
  }
  const std::int32_t position = index_or_key.ToInt32();
  if (position < 1 || position > Count()) RaiseRuntime(err::SubscriptOutOfRange);
  return static_cast<std::size_t>(position - 1);
}

const ObjectPtr& KeyedList::Item(const Variant& index_or_key) const {
  return members_[Locate(index_or_key)];
}

void KeyedList::Remove(const Variant& index_or_key) {
  const std::size_t at = Locate(index_or_key);
  if (!keys_[at].empty()) by_key_.erase(keys_[at]);
  members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(at));
  keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(at));
  // Later entries move one position down.
  for (auto& [key, position] : by_key_)
    if (position > at) --position;
}

void KeyedList::Clear() {
  members_.clear();
  keys_.clear();
  by_key_.clear();
}

void KeyedList::Append(ObjectPtr member, std::optional<std::string> key) {
  std::string folded;
  if (key) {
    // An empty text is no key a member could later be found by.
    if (key->empty()) RaiseRuntime(err::InvalidProcedureCall);
    folded = LowerCase(*key);
    if (by_key_.contains(folded)) RaiseRuntime(err::DuplicateKey);
    by_key_.emplace(folded, members_.size());
  }
  members_.push_back(std::move(member));
  keys_.push_back(std::move(folded));
}

const ClassInfo& Enumerator::Class() const {
  static const ClassInfo info =
      detail::ClassBuilder<Enumerator>("Enumerator", "", "").Method<&Enumerator::Next>("Next").Build();
  return info;
}

Variant Enumerator::Next() {
  if (next_ >= members_.size()) return {};
  return Variant(members_[next_++]);
}

}  // namespace tarnlow
