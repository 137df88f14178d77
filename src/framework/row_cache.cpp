#include "tarnlow/row_cache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>

#include "tarnlow/modules.h"

namespace tarnlow {

namespace {

constexpr std::int32_t kEmptySlot = -1;
constexpr std::int32_t kDeletedSlot = -2;

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  x ^= x >> 31;
  return x;
}

// Zero and minus zero are equal cells, so they must hash alike.
std::uint64_t Bits(double d) {
  if (d == 0.0) d = 0.0;
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// A cell that equals nothing (NaN) can never be found: it is not indexed.
bool Indexable(const Variant& v) {
  switch (v.Type()) {
    case VarType::Double: return !std::isnan(v.ToDouble());
    case VarType::Date: return !std::isnan(v.ToDate().value);
    default: return true;
  }
}

// Equal cells hash alike; the type takes part (text "1" is not the number 1).
std::uint32_t HashOf(const Variant& v) {
  std::uint64_t h = 0;
  switch (v.Type()) {
    case VarType::String: h = std::hash<std::string_view>{}(*v.AsText()); break;
    case VarType::Double: h = Bits(v.ToDouble()); break;
    case VarType::Date: h = Bits(v.ToDate().value); break;
    case VarType::Integer: h = static_cast<std::uint64_t>(v.ToInt16()); break;
    case VarType::Long: h = static_cast<std::uint64_t>(v.ToInt32()); break;
    case VarType::Boolean: h = v.ToBool() ? 1 : 0; break;
    case VarType::Object: h = reinterpret_cast<std::uintptr_t>(v.ToObject().get()); break;
    case VarType::Empty:
    case VarType::Null: break;
  }
  h = Mix(h + (static_cast<std::uint64_t>(v.Type()) + 1) * 0x9e3779b97f4a7c15ULL);
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// Sort's total order: empty and Null, numbers, dates, text (bytes), objects.
int Rank(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: return 0;
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Boolean: return 1;
    case VarType::Date: return 2;
    case VarType::String: return 3;
    case VarType::Object: return 4;
  }
  return 5;
}

bool NumberLess(double a, double b) {
  if (std::isnan(a)) return false;
  return std::isnan(b) || a < b;
}

bool SortsBefore(const Variant& a, const Variant& b) {
  const int ra = Rank(a), rb = Rank(b);
  if (ra != rb) return ra < rb;
  switch (ra) {
    case 1: return NumberLess(a.ToDouble(), b.ToDouble());
    case 2: return NumberLess(a.ToDate().value, b.ToDate().value);
    case 3: return *a.AsText() < *b.AsText();
    case 4: return std::less<const Object*>{}(a.ToObject().get(), b.ToObject().get());
    default: return false;
  }
}

}  // namespace

// Open-addressing hash table over one column: a slot per distinct value
// names its lowest row, and a group holds the rows of a repeated value.
class RowCache::Index {
 public:
  explicit Index(std::size_t values) { slots_.assign(CapacityFor(values), Slot{}); }

  std::int32_t Find(const RowCache& cache, std::int32_t column, std::int32_t start,
                    const Variant& key) const {
    if (!Indexable(key)) return -1;
    const std::size_t at = Locate(cache, column, key, HashOf(key));
    if (at == kNone) return -1;
    const Slot& s = slots_[at];
    if (s.group < 0) return s.row >= start ? s.row : -1;
    const std::vector<std::int32_t>& rows = groups_[static_cast<std::size_t>(s.group)];
    const auto it = std::lower_bound(rows.begin(), rows.end(), start);
    return it == rows.end() ? -1 : *it;
  }

  void Insert(const RowCache& cache, std::int32_t column, std::int32_t row) {
    const Variant& v = cache.Cell(row, column);
    if (!Indexable(v)) return;
    Insert(cache, column, row, HashOf(v));
  }

  // Indexes rows 0 to rows - 1 of a new index, hashes first, so that each
  // slot (mostly a cache miss in a large table) is fetched a few rows ahead.
  void InsertAll(const RowCache& cache, std::int32_t column, std::int32_t rows) {
    constexpr std::int32_t kAhead = 8;
    std::vector<std::uint32_t> hashes(static_cast<std::size_t>(rows));
    for (std::int32_t r = 0; r < rows; ++r) {
      const Variant& v = cache.Cell(r, column);
      hashes[static_cast<std::size_t>(r)] = Indexable(v) ? HashOf(v) : 0;
    }
    for (std::int32_t r = 0; r < rows; ++r) {
      if (r + kAhead < rows)
        __builtin_prefetch(&slots_[hashes[static_cast<std::size_t>(r + kAhead)] & (slots_.size() - 1)]);
      if (Indexable(cache.Cell(r, column))) Insert(cache, column, r, hashes[static_cast<std::size_t>(r)]);
    }
  }

  void Remove(const RowCache& cache, std::int32_t column, std::int32_t row) {
    const Variant& v = cache.Cell(row, column);
    if (!Indexable(v)) return;
    const std::size_t at = Locate(cache, column, v, HashOf(v));
    if (at == kNone) return;
    Slot& s = slots_[at];
    if (s.group < 0) {
      s.row = kDeletedSlot;
      --live_;
      return;
    }
    std::vector<std::int32_t>& rows = groups_[static_cast<std::size_t>(s.group)];
    rows.erase(std::lower_bound(rows.begin(), rows.end(), row));
    s.row = rows.front();
    if (rows.size() == 1) {
      std::vector<std::int32_t>().swap(rows);
      free_groups_.push_back(s.group);
      s.group = -1;
    }
  }

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::int32_t row = kEmptySlot;  // lowest row holding the value, or empty / deleted
    std::int32_t group = -1;        // the value's rows when more than one holds it
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void Insert(const RowCache& cache, std::int32_t column, std::int32_t row, std::uint32_t h) {
    const Variant& v = cache.Cell(row, column);
    if (const std::size_t at = Locate(cache, column, v, h); at != kNone) {
      Join(slots_[at], row);
      return;
    }
    if ((used_ + 1) * 4 > slots_.size() * 3) Rehash(CapacityFor((live_ + 1) * 2));
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = h & mask;
    while (slots_[i].row >= 0) i = (i + 1) & mask;
    if (slots_[i].row == kEmptySlot) ++used_;
    slots_[i] = Slot{h, row, -1};
    ++live_;
  }

  // Room for that many values at three quarters full at most.
  static std::size_t CapacityFor(std::size_t values) {
    std::size_t capacity = 16;
    while (capacity * 3 < values * 4) capacity *= 2;
    return capacity;
  }

  std::size_t Locate(const RowCache& cache, std::int32_t column, const Variant& key, std::uint32_t h) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (s.row == kEmptySlot) return kNone;
      if (s.row >= 0 && s.hash == h && cache.Cell(s.row, column) == key) return i;
    }
  }

  void Join(Slot& s, std::int32_t row) {
    if (s.group < 0) {
      std::int32_t g;
      if (free_groups_.empty()) {
        g = static_cast<std::int32_t>(groups_.size());
        groups_.emplace_back();
      } else {
        g = free_groups_.back();
        free_groups_.pop_back();
      }
      groups_[static_cast<std::size_t>(g)] = {std::min(s.row, row), std::max(s.row, row)};
      s.group = g;
    } else {
      std::vector<std::int32_t>& rows = groups_[static_cast<std::size_t>(s.group)];
      // Rows mostly arrive in ascending order (loads, added rows).
      if (rows.back() < row)
        rows.push_back(row);
      else
        rows.insert(std::lower_bound(rows.begin(), rows.end(), row), row);
    }
    s.row = groups_[static_cast<std::size_t>(s.group)].front();
  }

  void Rehash(std::size_t capacity) {
    std::vector<Slot> old(capacity);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& s : old) {
      if (s.row < 0) continue;
      std::size_t i = s.hash & mask;
      while (slots_[i].row != kEmptySlot) i = (i + 1) & mask;
      slots_[i] = s;
    }
    used_ = live_;
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;  // slots not empty: live values and deleted ones
  std::size_t live_ = 0;
  std::vector<std::vector<std::int32_t>> groups_;
  std::vector<std::int32_t> free_groups_;
};

RowCache::RowCache() = default;
RowCache::~RowCache() = default;
RowCache::RowCache(RowCache&&) noexcept = default;
RowCache& RowCache::operator=(RowCache&&) noexcept = default;

RowCache::RowCache(const RowCache& other)
    : columns_(other.columns_), rows_(other.rows_), cells_(other.cells_) {
  indexes_.resize(other.indexes_.size());
  for (std::size_t c = 0; c < other.indexes_.size(); ++c)
    if (other.indexes_[c]) indexes_[c] = std::make_unique<Index>(*other.indexes_[c]);
}

RowCache& RowCache::operator=(const RowCache& other) {
  if (this != &other) *this = RowCache(other);
  return *this;
}

void RowCache::Check(std::int32_t row, std::int32_t column) const {
  if (row < 0 || row >= RowCount() || column < 0 || column >= columns_)
    RaiseRuntime(err::SubscriptOutOfRange);
}

void RowCache::DropIndexes() {
  indexes_.clear();
  indexes_.resize(static_cast<std::size_t>(columns_));
}

void RowCache::BuildIndex(std::int32_t column) const {
  auto index = std::make_unique<Index>(static_cast<std::size_t>(rows_));
  index->InsertAll(*this, column, rows_);
  indexes_[static_cast<std::size_t>(column)] = std::move(index);
}

Variant RowCache::GetCell(std::int32_t row, std::int32_t column) const {
  Check(row, column);
  return Cell(row, column);
}

void RowCache::SetCell(std::int32_t row, std::int32_t column, Variant value) {
  Check(row, column);
  Variant& cell = cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                         static_cast<std::size_t>(column)];
  std::unique_ptr<Index>& index = indexes_[static_cast<std::size_t>(column)];
  if (!index || cell == value) {
    cell = std::move(value);
    return;
  }
  index->Remove(*this, column, row);
  cell = std::move(value);
  try {
    index->Insert(*this, column, row);
  } catch (...) {
    index.reset();  // out of memory: the next Find builds it afresh
    throw;
  }
}

// Clear and Reshape give the storage back, so a reset cache holds no memory.
void RowCache::Clear() {
  rows_ = 0;
  std::vector<Variant>().swap(cells_);
  DropIndexes();
}

void RowCache::Reshape(std::int32_t, std::int32_t, std::int32_t, std::int32_t columns) {
  if (columns < 0) RaiseRuntime(err::SubscriptOutOfRange);
  columns_ = columns;
  rows_ = 1;
  std::vector<Variant>(static_cast<std::size_t>(columns)).swap(cells_);
  DropIndexes();
}

void RowCache::AddRows(std::int32_t count) {
  if (count <= 0) return;
  if (count > std::numeric_limits<std::int32_t>::max() - rows_) RaiseRuntime(err::Overflow);
  const std::int32_t first = rows_;
  cells_.resize(cells_.size() + static_cast<std::size_t>(count) * static_cast<std::size_t>(columns_));
  rows_ += count;
  for (std::int32_t c = 0; c < columns_; ++c) {
    std::unique_ptr<Index>& index = indexes_[static_cast<std::size_t>(c)];
    if (!index) continue;
    // Many rows at once cost less to index afresh on the next Find.
    if (count > 1 && count > first / 8) {
      index.reset();
      continue;
    }
    try {
      for (std::int32_t r = first; r < rows_; ++r) index->Insert(*this, c, r);
    } catch (...) {
      index.reset();
      throw;
    }
  }
}

std::int32_t RowCache::Find(std::int32_t start, std::int32_t column, const Variant& key) const {
  if (column < 0 || column >= columns_ || start >= rows_) return -1;
  if (!indexes_[static_cast<std::size_t>(column)]) BuildIndex(column);
  return indexes_[static_cast<std::size_t>(column)]->Find(*this, column, std::max(start, 0), key);
}

void RowCache::Sort(std::int32_t first, std::int32_t last) {
  if (columns_ == 0 || first < 0 || last >= RowCount() || first > last) return;
  std::vector<std::int32_t> order(static_cast<std::size_t>(last - first + 1));
  // Keys all text, the usual case, sort as plain text in the same order,
  // most comparisons settled by the sixteen bytes after the prefix all keys
  // share, read as two numbers; equal keys keep their order by row number,
  // cheaper than a stable sort's merging.
  struct TextKey {
    std::uint64_t high, low;
    std::string_view text;
    std::int32_t row;
  };
  std::vector<TextKey> texts;
  texts.reserve(order.size());
  for (std::int32_t r = first; r <= last && texts.size() == static_cast<std::size_t>(r - first); ++r)
    if (const std::string* text = Cell(r, 0).AsText()) texts.push_back({0, 0, *text, r});
  if (texts.size() == order.size()) {
    std::size_t shared = texts.front().text.size();
    for (const TextKey& k : texts) {
      const std::string_view a = texts.front().text.substr(0, shared);
      shared = static_cast<std::size_t>(
          std::mismatch(a.begin(), a.end(), k.text.begin(), k.text.end()).first - a.begin());
    }
    const auto word = [](std::string_view text, std::size_t from) {
      std::uint64_t w = 0;
      if (from + 8 <= text.size()) {
        std::memcpy(&w, text.data() + from, sizeof w);
        if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
        return w;
      }
      for (std::size_t i = from; i < from + 8; ++i)
        w = (w << 8) | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
      return w;
    };
    for (TextKey& k : texts) {
      k.high = word(k.text, shared);
      k.low = word(k.text, shared + 8);
    }
    std::sort(texts.begin(), texts.end(), [](const TextKey& a, const TextKey& b) {
      if (a.high != b.high) return a.high < b.high;
      if (a.low != b.low) return a.low < b.low;
      const int c = a.text.compare(b.text);
      return c < 0 || (c == 0 && a.row < b.row);
    });
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = texts[i].row;
  } else {
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = first + static_cast<std::int32_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::int32_t a, std::int32_t b) { return SortsBefore(Cell(a, 0), Cell(b, 0)); });
  }
  texts = {};
  bool moved = false;
  for (std::size_t i = 0; i < order.size() && !moved; ++i)
    moved = order[i] != first + static_cast<std::int32_t>(i);
  if (moved) {
    // Rows move in place cycle by cycle, one row held aside per cycle.
    const auto width = static_cast<std::size_t>(columns_);
    const auto row = [&](std::int32_t r) {
      return cells_.begin() + static_cast<std::ptrdiff_t>(r) * columns_;
    };
    std::vector<Variant> held(width);
    for (std::size_t i = 0; i < order.size(); ++i) {
      const auto at = first + static_cast<std::int32_t>(i);
      if (order[i] == at) continue;
      std::move(row(at), row(at + 1), held.begin());
      std::int32_t to = at;
      for (;;) {
        const std::int32_t from = order[static_cast<std::size_t>(to - first)];
        order[static_cast<std::size_t>(to - first)] = to;
        if (from == at) {
          std::move(held.begin(), held.end(), row(to));
          break;
        }
        std::move(row(from), row(from + 1), row(to));
        to = from;
      }
    }
    DropIndexes();
  }
  if (!indexes_[0]) BuildIndex(0);
}

void RowCache::LoadRows(std::vector<std::vector<Variant>> rows) {
  const std::size_t width = rows.empty() ? static_cast<std::size_t>(columns_) : rows.front().size();
  if (rows.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ||
      width > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    RaiseRuntime(err::Overflow);
  for (const std::vector<Variant>& row : rows)
    if (row.size() != width) RaiseRuntime(err::SubscriptOutOfRange);
  std::vector<Variant> cells;
  cells.reserve(rows.size() * width);
  for (std::vector<Variant>& row : rows) std::move(row.begin(), row.end(), std::back_inserter(cells));
  columns_ = static_cast<std::int32_t>(width);
  rows_ = static_cast<std::int32_t>(rows.size());
  cells_ = std::move(cells);
  DropIndexes();
  if (columns_ > 0) BuildIndex(0);
}

void RowCache::LoadCells(std::vector<Variant> cells, std::int32_t columns) {
  if (columns < 0 || (columns == 0 ? !cells.empty() : cells.size() % static_cast<std::size_t>(columns) != 0))
    RaiseRuntime(err::SubscriptOutOfRange);
  const std::size_t rows = columns == 0 ? 0 : cells.size() / static_cast<std::size_t>(columns);
  if (rows > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) RaiseRuntime(err::Overflow);
  columns_ = columns;
  rows_ = static_cast<std::int32_t>(rows);
  cells_ = std::move(cells);
  DropIndexes();
}

}  // namespace tarnlow
