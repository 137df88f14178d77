// A whole table a table object reads into memory on its first lookup and
// answers lookups from until reset; what is loaded and what a miss does are
// the class's own. `Rows` is a RowCache or a keyed collection of copies of
// the object, held through a pointer and created on the first load (its
// header needs the object's class).
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

  // Unless loaded: runs `load` on the emptied rows, then counts them loaded;
  // a failed load leaves them to load again.
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

  // Forgets the copy: the row cache goes to its empty shape.
  void Reset() requires kRowCache {
    store_.Clear();
    store_.Reshape(0, 0, 0, columns_);
    loaded_ = false;
  }

  // Runs a whole-table read and hands the row set to `take`, which reads it
  // through and runs nothing else on the connection meanwhile.
  template <class Take>
  static void ReadAll(const std::string& sql, DatabaseConnection& connection, Take&& take) {
    Recordset rs;
    rs.OpenReadThrough(sql, connection);
    take(rs);
    rs.Close();
  }

  // The first row whose cell in `column` equals `key` exactly, or -1.
  std::int32_t Find(std::int32_t column, const Variant& key) const requires kRowCache {
    return store_.Find(0, column, key);
  }
  // The copy filed under `key` (letter case ignored), null when none.
  auto Find(const std::string& key) const requires(!kRowCache) {
    decltype(store_->Item(Variant(key))) found;
    if (!store_) return found;
    try {
      found = store_->Item(Variant(key));
    } catch (const Error&) {
    }
    return found;
  }

  const RowCache& Cells() const requires kRowCache { return store_; }

 private:
  Store store_;
  std::int32_t columns_;
  bool loaded_ = false;
};

}  // namespace tarnlow
