// Lookups by name with letter case ignored, as every name of this library
// (members, parameters, fields) is looked up.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnlow {

// Names are compared without regard to letter case, folded as ASCII
// whatever the locale: lookups key on this form.
constexpr char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Two names alike but for letter case.
inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

// FNV-1a over the folded name.
inline std::uint32_t FoldedHash(std::string_view name) {
  std::uint32_t hash = 2166136261u;
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(FoldCase(c))) * 16777619u;
  return hash;
}

// Positions by name, letter case ignored, for the lookups by name of
// members, parameters and fields: an open-addressed table of each name's folded hash
// and position. The names stay with their owner, and `name_at` gives a
// position's name back to compare. Filled again, the table reuses its
// storage, so that a row set reading statement after statement allocates
// nothing for it. A name met twice keeps its first position.
class NameIndex {
 public:
  static constexpr std::uint32_t kMissing = 0xFFFFFFFFu;

  void Clear() {
    slots_.assign(slots_.size(), Slot{});
    count_ = 0;
  }
  template <class NameAt>
  void Add(std::string_view name, std::uint32_t at, NameAt&& name_at) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const std::uint32_t hash = FoldedHash(name);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    for (; slots_[i].at != 0; i = (i + 1) & mask)
      if (slots_[i].hash == hash && SameName(name_at(slots_[i].at - 1), name)) return;
    slots_[i] = {hash, at + 1};
    ++count_;
  }
  template <class NameAt>
  std::uint32_t Find(std::string_view name, NameAt&& name_at) const {
    if (count_ == 0) return kMissing;
    const std::uint32_t hash = FoldedHash(name);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].at != 0; i = (i + 1) & mask)
      if (slots_[i].hash == hash && SameName(name_at(slots_[i].at - 1), name)) return slots_[i].at - 1;
    return kMissing;
  }

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t at = 0;  // the position + 1; 0 for an empty slot
  };
  // Twice the slots, at least 16; names are placed again by their hashes.
  void Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.at == 0) continue;
      std::size_t i = slot.hash & mask;
      while (slots_[i].at != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

}  // namespace tarnlow
