#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tarnlow/value.h"

namespace tarnlow {

// A whole-table cache's cells by row and column, from 0. Find answers from a
// hash index over the column, built on load, sort or first Find and kept
// right by every change: a lookup costs the same for ten rows or 100,000.
class TARNLOW_API RowCache {
 public:
  RowCache();
  ~RowCache();
  RowCache(const RowCache& other);
  RowCache& operator=(const RowCache& other);
  RowCache(RowCache&&) noexcept;
  RowCache& operator=(RowCache&&) noexcept;

  Variant GetCell(std::int32_t row, std::int32_t column) const;
  void SetCell(std::int32_t row, std::int32_t column, Variant value);
  void Clear();
  void Reshape(std::int32_t, std::int32_t, std::int32_t, std::int32_t columns);
  void AddRows(std::int32_t count);
  // The lowest row from start whose cell equals key exactly (type too), or -1.
  std::int32_t Find(std::int32_t start, std::int32_t column, const Variant& key) const;
  // Orders rows first..last stably by column 0; a range out of bounds stays.
  void Sort(std::int32_t first, std::int32_t last);
  std::int32_t RowCount() const { return rows_; }
  std::int32_t LastRow() const { return RowCount() - 1; }
  std::int32_t ColumnCount() const { return columns_; }
  // Replaces the contents with a fetched array's rows; a ragged one raises 9.
  void LoadRows(std::vector<std::vector<Variant>> rows);
  // Takes `cells`, row after row, `columns` apiece, as Recordset::GetCells
  // gives them; no whole number of rows raises 9. Indexed on Sort or Find.
  void LoadCells(std::vector<Variant> cells, std::int32_t columns);

 private:
  class Index;
  TARNLOW_LOCAL void Check(std::int32_t row, std::int32_t column) const;
  const Variant& Cell(std::int32_t row, std::int32_t column) const {
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) +
                  static_cast<std::size_t>(column)];
  }
  TARNLOW_LOCAL void DropIndexes();
  TARNLOW_LOCAL void BuildIndex(std::int32_t column) const;

  std::int32_t columns_ = 0;
  std::int32_t rows_ = 0;
  std::vector<Variant> cells_;  // row after row
  // One per column, null until that column is indexed.
  mutable std::vector<std::unique_ptr<Index>> indexes_;
};

}  // namespace tarnlow
