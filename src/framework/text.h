// Small text routines the library's lookups share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarnlow {

// Names are compared without regard to letter case, folded as ASCII
// whatever the locale: lookups key on this form.
constexpr char FoldCase(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = FoldCase(c);
  return out;
}

// `lower` (already folded) against `name`, folding `name` as it goes.
inline bool SameLowerCase(std::string_view lower, std::string_view name) {
  if (lower.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (FoldCase(name[i]) != lower[i]) return false;
  return true;
}

// FNV-1a over the folded name, for hashed lookups by name; a caller that
// folds a name character by character can hash it in the same pass.
constexpr std::uint32_t kFoldedHashBasis = 2166136261u;
constexpr std::uint32_t FoldedHashStep(std::uint32_t hash, char folded) {
  return (hash ^ static_cast<unsigned char>(folded)) * 16777619u;
}
inline std::uint32_t FoldedHash(std::string_view name) {
  std::uint32_t hash = kFoldedHashBasis;
  for (const char c : name) hash = FoldedHashStep(hash, FoldCase(c));
  return hash;
}

// Positions by name, letter case ignored, for the lookups by name of
// parameters and fields. A name met twice keeps its first position.
struct FoldedNameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const { return FoldedHash(name); }
};
struct FoldedNameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
  }
};
using NameIndex = std::unordered_map<std::string, std::uint32_t, FoldedNameHash, FoldedNameEqual>;

}  // namespace tarnlow
