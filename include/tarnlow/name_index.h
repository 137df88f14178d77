// Lookups by name with letter case ignored, as every name of this library
// (members, parameters, fields) is looked up.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tarnlow {

// Names are compared without regard to letter case, folded as ASCII
// whatever the locale: lookups key on this form.
constexpr char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A name as lookups key on it.
inline std::string LowerCase(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = FoldCase(c);
  return out;
}

// FoldCase on eight bytes at once. Each byte's low seven bits plus 37 reach
// the high bit above 'Z', plus 63 from 'A' on; neither sum carries into the
// next byte. A byte from 'A' to 'Z' with its own high bit clear gains 0x20.
constexpr std::uint64_t FoldCaseWord(std::uint64_t w) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
  const std::uint64_t low = w & ~kHighs;
  const std::uint64_t above_z = low + kOnes * (0x7F - 'Z');
  const std::uint64_t from_a = low + kOnes * (0x80 - 'A');
  return w | ((from_a & ~above_z & ~w & kHighs) >> 2);
}

// The eight bytes of a name of eight bytes or more from `at` on, folded, as
// a word whose bytes past the name's end are zero: the last word is read as
// the name's last eight bytes, those already taken shifted out.
inline std::uint64_t FoldedWord(std::string_view name, std::size_t at) {
  const std::size_t n = name.size() - at;
  std::uint64_t w;
  std::memcpy(&w, name.data() + (n >= 8 ? at : name.size() - 8), 8);
  if (n < 8) w >>= (8 - n) * 8;
  return FoldCaseWord(w);
}

// Two names alike but for letter case. Short names go a byte at a time,
// longer ones a word at a time.
inline bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() < 8) {
    for (std::size_t i = 0; i < a.size(); ++i)
      if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
  }
  for (std::size_t at = 0; at < a.size(); at += 8)
    if (FoldedWord(a, at) != FoldedWord(b, at)) return false;
  return true;
}

// The folded name's hash: FNV-1a over a short name's bytes, a multiplicative
// hash of a longer one's words.
inline std::uint32_t FoldedHash(std::string_view name) {
  if (name.size() < 8) {
    std::uint32_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(FoldCase(c))) * 16777619u;
    return hash;
  }
  std::uint64_t hash = name.size();
  for (std::size_t at = 0; at < name.size(); at += 8) {
    hash = (hash ^ FoldedWord(name, at)) * 0x9E3779B97F4A7C15u;
    hash ^= hash >> 29;
  }
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
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
