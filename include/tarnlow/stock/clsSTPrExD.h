// The expense text of a product in a warehouse. From release 6 the row is
// keyed by warehouse and product; below it by one combined column that packs
// the two together.
#pragma once

#include <string>

#include "tarnlow/table_object.h"

namespace tarnlow {

#define TARNLOW_clsSTPrExD_PROPERTIES(X) X(Columns, ProductExpenseTable, LetGet, expense, warehouse, product)

class TARNLOW_API clsSTPrExD final : public TableClass<clsSTPrExD> {
  TARNLOW_TABLE_CLASS(clsSTPrExD, TARNLOW_clsSTPrExD_PROPERTIES)

  clsSTPrExD();

  void PrepareInsertStatement();
  // Inserts expense under the key; a key already there fails with the
  // database's duplicate-key error.
  void InsertRow();
  void PrepareReadStatement();
  // Reads expense for the key; raises "Cannot find stprex for ..." with the
  // combined key, and keeps expense, when there is no row.
  void ReadIt();
  void PrepareUpdateStatement();
  // Sets expense of the row with the key; a key without a row changes
  // nothing and is not reported.
  void UpdateRow();

 private:
  // The combined key: warehouse right-aligned in two characters (a longer
  // one keeps its first two), then product as it stands.
  TARNLOW_LOCAL std::string MakeWhProduct() const;
  // A statement keeps the key layout of the release it was prepared under
  // for the object's life, and its key values are always bound to match it,
  // even if a connection of another release is set later.
  struct Statement {
    StatementHolder holder;
    bool combined_key = false;
  };
  // Below release 6 the key is the one combined column.
  TARNLOW_LOCAL bool CombinedKeyLayout();
  TARNLOW_LOCAL void AddParameters();
  TARNLOW_LOCAL void DeclareKey(Statement& statement);
  TARNLOW_LOCAL void SetKey(Statement& statement);

  Statement insert_, read_, update_;
};

}  // namespace tarnlow
