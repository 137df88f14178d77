// The keyed collection: an ordered list of shared members with optional
// unique keys (letter case ignored), positions from 1. Collections differ in
// member class, Add and interface order:
//   class colX final : public Collection<colX, clsM> {
//     TARNLOW_COLLECTION_CLASS(colX)
//     std::shared_ptr<clsM> Add(clsM& oM);
//   };
//   TARNLOW_DEFINE_COLLECTION(colX, "{class id}", "{interface id}") {
//     b.Creatable().Method<&Self::Add>("Add", {"oM"}).Item().Count().Remove().ClearList().NewEnum();
//   }
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarnlow/object.h"
#include "tarnlow/registry.h"

namespace tarnlow {

namespace detail {
template <class C>
class ClassBuilder;
}  // namespace detail

// The list behind every collection, on plain objects.
class TARNLOW_API KeyedList {
 public:
  std::int32_t Count() const { return static_cast<std::int32_t>(members_.size()); }
  // By position (1 to Count, else error 9) or key (text; 5 when absent).
  const ObjectPtr& Item(const Variant& index_or_key) const;
  void Remove(const Variant& index_or_key);
  void Clear();
  // Appends under the key, if any; an empty key raises 5, a held one 457.
  void Append(ObjectPtr member, std::optional<std::string> key);
  const std::vector<ObjectPtr>& Members() const { return members_; }

 private:
  TARNLOW_LOCAL std::size_t Locate(const Variant& index_or_key) const;

  std::vector<ObjectPtr> members_;
  std::vector<std::string> keys_;                        // folded key of each entry, "" for none
  std::unordered_map<std::string, std::size_t> by_key_;  // folded key -> position - 1
};

// Yields a snapshot of a collection's members, one per Next, then Nothing.
class TARNLOW_API Enumerator final : public Object {
 public:
  explicit Enumerator(std::vector<ObjectPtr> members) : members_(std::move(members)) {}
  const ClassInfo& Class() const override;
  // The next member, or Nothing (an empty variant) after the last.
  Variant Next();

 private:
  std::vector<ObjectPtr> members_;
  std::size_t next_ = 0;
};

template <class Derived, class Member>
class Collection : public Object {
 public:
  using member_type = Member;

  const ClassInfo& Class() const override { return Derived::Info(); }

  std::int32_t Count() const { return list_.Count(); }
  // The member at a position or under a key; no copy is made.
  std::shared_ptr<Member> Item(const Variant& vntIndexKey) const {
    return std::static_pointer_cast<Member>(list_.Item(vntIndexKey));
  }
  void Remove(const Variant& vntIndexKey) { list_.Remove(vntIndexKey); }
  // Removes the entry at position 1 until none is left.
  void ClearList() { list_.Clear(); }
  std::shared_ptr<Enumerator> NewEnum() const { return std::make_shared<Enumerator>(list_.Members()); }

  // Range-for over the members, in insertion order.
  class iterator {
   public:
    explicit iterator(std::vector<ObjectPtr>::const_iterator it) : it_(it) {}
    std::shared_ptr<Member> operator*() const { return std::static_pointer_cast<Member>(*it_); }
    iterator& operator++() {
      ++it_;
      return *this;
    }
    friend bool operator==(const iterator&, const iterator&) = default;

   private:
    std::vector<ObjectPtr>::const_iterator it_;
  };
  iterator begin() const { return iterator(list_.Members().begin()); }
  iterator end() const { return iterator(list_.Members().end()); }

 protected:
  std::shared_ptr<Member> Append(std::shared_ptr<Member> member, std::optional<std::string> key) {
    list_.Append(member, std::move(key));
    return member;
  }
  // The collections whose Add takes a key text store an empty one as none.
  static std::optional<std::string> KeyUnlessEmpty(const std::string& key) {
    return key.empty() ? std::nullopt : std::optional(key);
  }
  // A new member with its creation defaults that has copied `source`.
  static std::shared_ptr<Member> NewCopy(Member& source) {
    auto copy = std::make_shared<Member>();
    copy->CopyFrom(source);
    return copy;
  }

 private:
  KeyedList list_;
};

}  // namespace tarnlow

// In the collection's class body.
#define TARNLOW_COLLECTION_CLASS(C) \
  TARNLOW_CLASS_IDENTITY(C)         \
  using Self = C;

// In its source file, followed by the body that lists its interface.
#define TARNLOW_DEFINE_COLLECTION(C, CLSID, IID) TARNLOW_DEFINE_CLASS_INFO(C, CLSID, IID)
