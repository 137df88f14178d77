#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tarnlow/connection.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// The row cache as the callers understand it: a plain table searched row by
// row. Every answer of the indexed cache must be the answer this gives.
class PlainTable {
 public:
  void Reshape(std::int32_t columns) {
    columns_ = columns;
    rows_.assign(1, std::vector<Variant>(static_cast<std::size_t>(columns)));
  }
  void Clear() { rows_.clear(); }
  void AddRows(std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) rows_.emplace_back(static_cast<std::size_t>(columns_));
  }
  void SetCell(std::int32_t r, std::int32_t c, const Variant& v) {
    rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = v;
  }
  std::int32_t Find(std::int32_t start, std::int32_t c, const Variant& key) const {
    if (c < 0 || c >= columns_) return -1;
    for (std::int32_t r = std::max(start, 0); r < RowCount(); ++r)
      if (rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] == key) return r;
    return -1;
  }
  // Column 0 here only ever holds empty cells and text.
  void Sort(std::int32_t first, std::int32_t last) {
    std::stable_sort(rows_.begin() + first, rows_.begin() + last + 1, [](const auto& a, const auto& b) {
      if (a[0].IsEmpty() || b[0].IsEmpty()) return a[0].IsEmpty() && !b[0].IsEmpty();
      return *a[0].AsText() < *b[0].AsText();
    });
  }
  void LoadRows(const std::vector<std::vector<Variant>>& rows) {
    if (!rows.empty()) columns_ = static_cast<std::int32_t>(rows.front().size());
    rows_ = rows;
  }
  std::int32_t RowCount() const { return static_cast<std::int32_t>(rows_.size()); }
  const Variant& Cell(std::int32_t r, std::int32_t c) const {
    return rows_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
  }

 private:
  std::int32_t columns_ = 0;
  std::vector<std::vector<Variant>> rows_;
};

// Keys from a small alphabet, so that duplicates are common; column 0 holds
// text or nothing, the other columns any kind of cell.
Variant KeyCell(std::mt19937& rng) {
  static const char* keys[] = {"A", "B", "C", "AB", "a", "B ", "LONG KEY BEYOND SIXTEEN CHARS", ""};
  const unsigned pick = rng() % 9;
  return pick == 8 ? Variant() : Variant(keys[pick]);
}
// A NaN cell: it refuses conversion (Overflow), and equals nothing, itself
// included.
bool IsNaN(const Variant& v) {
  return v.Type() == VarType::Double && !(v == v);
}

Variant AnyCell(std::mt19937& rng) {
  switch (rng() % 9) {
    case 0: return Variant();
    case 1: return Variant(Null);
    case 2: return Variant(std::int16_t{1});
    case 3: return Variant(std::int32_t{1});
    case 4: return Variant(1.0);
    case 5: return Variant("1");
    case 6: return Variant(-0.0);
    case 7: return Variant(-1.0);
    default: return KeyCell(rng);
  }
}

std::vector<Variant> Probes() {
  std::vector<Variant> out;
  for (const char* key : {"A", "B", "C", "AB", "a", "B ", "", "LONG KEY BEYOND SIXTEEN CHARS"})
    out.emplace_back(key);
  for (const Variant& other : {Variant(), Variant(Null), Variant(1.0), Variant(std::int16_t{1}),
                               Variant(std::int32_t{1}), Variant("1"), Variant(0.0), Variant("missing")})
    out.push_back(other);
  return out;
}

void ExpectSame(const RowCache& cache, const PlainTable& plain, std::mt19937& rng, int step) {
  ASSERT_EQ(cache.RowCount(), plain.RowCount()) << "step " << step;
  for (std::int32_t r = 0; r < plain.RowCount(); ++r)
    for (std::int32_t c = 0; c < cache.ColumnCount(); ++c) {
      const Variant got = cache.GetCell(r, c);
      const Variant& want = plain.Cell(r, c);
      // NaN cells equal nothing, so compare them by kind.
      if (IsNaN(want))
        EXPECT_TRUE(IsNaN(got)) << "step " << step;
      else
        ASSERT_EQ(got, want) << "step " << step << " row " << r << " column " << c;
    }
  for (std::int32_t c = -1; c <= cache.ColumnCount(); ++c)
    for (const Variant& key : Probes()) {
      const std::int32_t start = static_cast<std::int32_t>(rng() % (plain.RowCount() + 2)) - 1;
      ASSERT_EQ(cache.Find(0, c, key), plain.Find(0, c, key)) << "step " << step << " column " << c;
      ASSERT_EQ(cache.Find(start, c, key), plain.Find(start, c, key))
          << "step " << step << " column " << c << " start " << start;
    }
}

TEST(IndexedRowCacheTest, AnswersExactlyAsARowByRowSearchThroughEveryKindOfChange) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    RowCache cache;
    PlainTable plain;
    cache.Reshape(0, 0, 0, 3);
    plain.Reshape(3);
    for (int step = 0; step < 400; ++step) {
      const unsigned op = rng() % 100;
      if (op < 45 && plain.RowCount() > 0) {
        const auto r = static_cast<std::int32_t>(rng() % plain.RowCount());
        const auto c = static_cast<std::int32_t>(rng() % 3);
        const Variant v = c == 0 ? KeyCell(rng) : AnyCell(rng);
        cache.SetCell(r, c, v);
        plain.SetCell(r, c, v);
      } else if (op < 70) {
        // Mostly one row at a time, as the loaders add them; now and then
        // many, which the index takes in afresh.
        const auto n = static_cast<std::int32_t>(rng() % 10 == 0 ? 1 + rng() % 40 : 1);
        cache.AddRows(n);
        plain.AddRows(n);
      } else if (op < 80 && plain.RowCount() > 0) {
        const auto a = static_cast<std::int32_t>(rng() % plain.RowCount());
        const auto b = static_cast<std::int32_t>(rng() % plain.RowCount());
        cache.Sort(std::min(a, b), std::max(a, b));
        plain.Sort(std::min(a, b), std::max(a, b));
      } else if (op < 83) {
        cache.Clear();
        plain.Clear();
      } else if (op < 86) {
        cache.Reshape(0, 0, 0, 3);
        plain.Reshape(3);
      } else if (op < 89) {
        std::vector<std::vector<Variant>> rows(rng() % 30);
        for (auto& row : rows) row = {KeyCell(rng), AnyCell(rng), AnyCell(rng)};
        cache.LoadRows(rows);
        plain.LoadRows(rows);
      } else if (op < 91) {
        // A copy carries its index with it and goes its own way afterwards.
        RowCache copy(cache);
        cache = RowCache();
        cache = copy;
        if (plain.RowCount() > 0) copy.SetCell(0, 0, Variant("ONLY IN THE COPY"));
      } else if (op < 94) {
        // The same rows handed over as one array.
        std::vector<std::vector<Variant>> rows(rng() % 30);
        std::vector<Variant> cells;
        for (auto& row : rows) {
          row = {KeyCell(rng), AnyCell(rng), AnyCell(rng)};
          cells.insert(cells.end(), row.begin(), row.end());
        }
        cache.LoadCells(std::move(cells), 3);
        plain.LoadRows(rows);
      }
      ExpectSame(cache, plain, rng, step);
      if (HasFatalFailure()) return;
    }
  }
}

// How a sort orders a range, and what Find gives after it, is held to the
// row-by-row search above; a range that does not fit the rows sorts nothing.
TEST(IndexedRowCacheTest, ARangeThatDoesNotFitTheRowsIsLeftAlone) {
  RowCache cache;
  cache.LoadRows({{Variant("C")}, {Variant("B")}, {Variant("A")}});
  for (auto [first, last] : {std::pair{-1, 2}, std::pair{0, 3}, std::pair{2, 1}}) cache.Sort(first, last);
  EXPECT_EQ((std::tuple{cache.GetCell(0, 0), cache.GetCell(2, 0), cache.Find(0, 0, Variant("A"))}),
            (std::tuple{Variant("C"), Variant("A"), 2}));
}

TEST(IndexedRowCacheTest, ACacheOfMixedCellsSortsIntoOneOrder) {
  RowCache cache;
  cache.LoadRows({{Variant("b")},
                  {Variant(2.0)},
                  {Variant(Null)},
                  {Variant(Date(5))},
                  {Variant(std::int16_t{-3})},
                  {Variant("B")},
                  {Variant(true)},
                  {Variant()}});
  cache.Sort(0, cache.LastRow());
  std::vector<std::string> order;
  for (std::int32_t r = 0; r < cache.RowCount(); ++r) {
    const Variant v = cache.GetCell(r, 0);
    order.push_back(v.IsNull() ? "Null" : v.IsEmpty() ? "Empty" : IsNaN(v) ? "NaN" : v.ToText());
  }
  // Nothing first, then numbers (True is -1), dates, and text in byte
  // order. (A NaN cannot reach a cache: values past the finite range raise
  // Overflow where they are made.)
  EXPECT_EQ(order, (std::vector<std::string>{"Null", "Empty", "-3", "True", "2", "1900-01-04", "B", "b"}));
  EXPECT_EQ(cache.Find(0, 0, Variant(2.0)), 4);
  EXPECT_EQ(cache.Find(0, 0, Variant(Date(5))), 5);
}

TEST(IndexedRowCacheTest, TextKeysSortByteForByteWhateverPrefixTheyShare) {
  // Keys of one pattern, as whole-table loads give them: a long shared
  // prefix, then differences early and late, bytes past 0x7F (which sort
  // after ASCII), keys that are prefixes of others, and repeats.
  std::mt19937 rng(7);
  const std::string pieces[] = {"0", "1", "9", " ", "A", "a", "\x80", "\xff", "ACCT", ""};
  std::vector<std::string> keys;
  for (int i = 0; i < 3000; ++i) {
    std::string key = "ITEM000";
    const unsigned n = rng() % 12;
    for (unsigned k = 0; k < n; ++k) key += pieces[rng() % std::size(pieces)];
    keys.push_back(key);
  }
  for (auto [first, last] : {std::pair{0, 2999}, std::pair{100, 2100}}) {
    RowCache cache;
    std::vector<Variant> cells;
    for (int i = 0; i < 3000; ++i) {
      cells.emplace_back(keys[static_cast<std::size_t>(i)]);
      cells.emplace_back(std::int32_t{i});
    }
    cache.LoadCells(std::move(cells), 2);
    cache.Sort(first, last);
    std::vector<int> want(3000);
    for (int i = 0; i < 3000; ++i) want[static_cast<std::size_t>(i)] = i;
    std::stable_sort(want.begin() + first, want.begin() + last + 1, [&](int a, int b) {
      return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    for (std::int32_t r = 0; r < 3000; ++r) {
      const int row = want[static_cast<std::size_t>(r)];
      ASSERT_EQ(cache.GetCell(r, 1).ToInt32(), row) << "rows " << first << " to " << last << ", row " << r;
      ASSERT_EQ(cache.GetCell(r, 0), Variant(keys[static_cast<std::size_t>(row)]));
    }
    for (int i = 0; i < 3000; i += 37) {
      const Variant key(keys[static_cast<std::size_t>(i)]);
      std::int32_t lowest = 0;
      while (!(cache.GetCell(lowest, 0) == key)) ++lowest;
      EXPECT_EQ(cache.Find(0, 0, key), lowest);
    }
  }
}

TEST(IndexedRowCacheTest, LoadedCellsAreTakenWholeRowsOnly) {
  RowCache cache;
  cache.LoadCells({Variant("B"), Variant(1.0), Variant("A"), Variant(2.0), Variant("B"), Variant(3.0)}, 2);
  ASSERT_EQ(cache.ColumnCount(), 2);
  // Cells that are no whole number of rows change nothing.
  EXPECT_EQ(test::CatchError([&] {
              cache.LoadCells({Variant("X"), Variant(1.0), Variant("Y")}, 2);
            }).Number(),
            err::SubscriptOutOfRange);
  EXPECT_EQ(test::CatchError([&] { cache.LoadCells({Variant("X")}, 0); }).Number(), err::SubscriptOutOfRange);
  EXPECT_EQ(test::CatchError([&] { cache.LoadCells({}, -1); }).Number(), err::SubscriptOutOfRange);
  EXPECT_EQ((std::tuple{cache.RowCount(), cache.Find(0, 0, Variant("A")), cache.Find(0, 0, Variant("X"))}),
            (std::tuple{3, 1, -1}));

  cache.LoadCells({}, 2);
  EXPECT_EQ(cache.RowCount(), 0);
  EXPECT_EQ(cache.Find(0, 0, Variant("A")), -1);
}

TEST(IndexedRowCacheTest, ARaggedArrayIsRefusedAndTheContentsStay) {
  RowCache cache;
  cache.LoadRows({{Variant("A"), Variant(1.0)}});
  const Error e = test::CatchError([&] { cache.LoadRows({{Variant("X"), Variant(1.0)}, {Variant("Y")}}); });
  EXPECT_EQ(e.Number(), err::SubscriptOutOfRange);
  EXPECT_EQ((std::tuple{cache.RowCount(), cache.Find(0, 0, Variant("A")), cache.Find(0, 0, Variant("X"))}),
            (std::tuple{1, 0, -1}));
  // An empty array empties the cache and keeps its columns.
  cache.LoadRows({});
  EXPECT_EQ((std::tuple{cache.RowCount(), cache.ColumnCount(), cache.Find(0, 0, Variant("A"))}),
            (std::tuple{0, 2, -1}));
  EXPECT_EQ(test::CatchError([&] { cache.SetCell(0, 0, Variant("A")); }).Number(), err::SubscriptOutOfRange);
}

TEST(IndexedRowCacheTest, LargeCachesKeepEveryKeyReachable) {
  // Enough distinct keys to make the index grow many times over, then a
  // sweep that rewrites every key the way the unit loaders trim them.
  RowCache cache;
  std::vector<std::vector<Variant>> rows;
  for (int i = 0; i < 20000; ++i)
    rows.push_back({Variant("K" + std::to_string(i) + "  "), Variant(std::int32_t{i})});
  cache.LoadRows(std::move(rows));
  for (std::int32_t r = 0; r < cache.RowCount(); ++r) cache.SetCell(r, 0, Variant("K" + std::to_string(r)));
  for (int i = 0; i < 20000; i += 997) {
    EXPECT_EQ(cache.Find(0, 0, Variant("K" + std::to_string(i))), i);
    EXPECT_EQ(cache.Find(0, 0, Variant("K" + std::to_string(i) + "  ")), -1);
  }
  // Row by row growth after the index exists.
  for (int i = 0; i < 5000; ++i) {
    cache.AddRows(1);
    cache.SetCell(cache.LastRow(), 0, Variant("N" + std::to_string(i)));
  }
  EXPECT_EQ(cache.Find(0, 0, Variant("N4999")), 24999);
  EXPECT_EQ(cache.Find(0, 0, Variant()), -1) << "no empty row is left";
}

}  // namespace
}  // namespace tarnlow
