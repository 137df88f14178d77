// A whole table that a table object reads into memory on its first lookup and
// then answers lookups from, without asking the database again until the copy
// is reset. What goes into the copy, in which steps, and what a miss does are
// the class's own; this holds the copy, its loaded state and the routines
// every such class runs the same way.
//
// `Rows` is where the rows go: a RowCache, or a keyed collection of copies of
// the object. A collection is held through a pointer and created on the first
// load, since its own header needs the object's class.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "tarnlow/connection.h"
#include "tarnlow/error.h"
#include "tarnlow/recordset.h"
#include "tarnlow/row_cache.h"

namespace tarnlow {

template <class Rows>
class TableCache {
  static constexpr bool kRowCache = std::is_same_v<Rows, RowCache>;
  using Store = std::conditional_t<kRowCache, RowCache, std::shared_ptr<Rows>>;

 public:
  // A row cache's empty shape has `columns` columns (Reset).
  explicit TableCache(std::int32_t columns = 0) : columns_(columns) {}

  bool Loaded() const { return loaded_; }

  // Unless loaded: runs `load` on the rows, then counts them loaded. A load
  // that fails leaves the copy not loaded, so the next lookup loads again. A
  // collection is created on the first load and emptied before each.
  template <class Load>
  void LoadOnce(Load&& load) {
    if (loaded_) return;
    if constexpr (kRowCache) {
      load(store_);
    } else {
      if (!store_) store_ = std::make_shared<Rows>();
      store_->ClearList();
      load(*store_);
    }
    loaded_ = true;
  }

  // Forgets the copy: a row cache goes to its empty shape (Clear, then
  // Reshape with 0, 0, 0 and the column count), and the next lookup loads
  // again.
  void Reset() requires kRowCache {
    store_.Clear();
    store_.Reshape(0, 0, 0, columns_);
    loaded_ = false;
  }

  // Runs a whole-table statement forward-only and read-only and hands the
  // row set, on its first row, to `take`, which reads its rows through and
  // runs nothing else on the connection meanwhile; closes it when `take` is
  // done.
  template <class Take>
  static void ReadAll(const std::string& sql, DatabaseConnection& connection, Take&& take) {
    Recordset rs;
    rs.OpenReadThrough(sql, connection);
    take(rs);
    rs.Close();
  }

  // The first row whose cell in `column` equals `key` exactly (RowCache::Find
  // from row 0), -1 when there is none.
  std::int32_t Find(std::int32_t column, const Variant& key) const requires kRowCache {
    return store_.Find(0, column, key);
  }
  // The copy filed under `key` (letter case ignored), null when there is none
  // or anything else stops the lookup.
  auto Find(const std::string& key) const requires(!kRowCache) {
    decltype(store_->Item(Variant(key))) found;
    if (!store_) return found;
    try {
      found = store_->Item(Variant(key));
    } catch (const Error&) {
    }
    return found;
  }

  // The rows of a row cache, for the class's own cell reads.
  const RowCache& Cells() const requires kRowCache { return store_; }

 private:
  Store store_;
  std::int32_t columns_;
  bool loaded_ = false;
};

}  // namespace tarnlow
