// The VAT matrix: the VAT code for a pair of an account VAT type and an item
// VAT type. ReadIt reads the exact pair from the database; FindClosestCode
// looks the pair up in a copy of the whole matrix that the object loads
// once, falling back to the rows that leave one side of the pair blank.
#pragma once

#include <string>

#include "tarnlow/table_cache.h"
#include "tarnlow/table_pieces.h"

namespace tarnlow {

#define TARNLOW_clsCEVatMatD_PROPERTIES(X) \
  X(Value, UseList, Bool, GetLet)          \
  X(Columns, VatMatrixTable, LetGet, account_vat_type, description, item_vat_type, vat_code)

class TARNLOW_API clsCEVatMatD final : public TablePieces<clsCEVatMatD> {
  TARNLOW_TABLE_CLASS(clsCEVatMatD, TARNLOW_clsCEVatMatD_PROPERTIES)
  static constexpr std::string_view kLabelEnding = " Line#:";

  clsCEVatMatD();

  // Sets vat_code from the cached matrix row of the exact pair, else of the
  // account type with any item type, else of the item type with any account
  // type, and answers True; answers False and leaves vat_code alone when
  // there is none. The first call (after creation, ResetCache or a new
  // connection) loads the matrix; later calls do not touch the database.
  bool FindClosestCode();
  void PrepareInsertStatement();
  void PrepareReadStatement();
  // Reads the exact pair from the database (never from the cache).
  void ReadIt();
  // Writes the row; the cache does not see it until ResetCache.
  void InsertRow();
  // Empties the cache; the next FindClosestCode loads the matrix again.
  void ResetCache();

 private:
  void ConnectionChanged() override { ResetCache(); }
  TARNLOW_LOCAL void LoadIntoList();
  // The item VAT type in exactly ten characters, then the account VAT type
  // without trailing blanks.
  TARNLOW_LOCAL static std::string MakeKey(const std::string& item_vat_type,
                                           const std::string& account_vat_type);
  TARNLOW_LOCAL void CopyFromRS(const Recordset& rs);
  TARNLOW_LOCAL void AddParameters();

  StatementHolder read_;
  StatementHolder insert_;
  TableCache<RowCache> cache_{2};  // column 0 the matrix key, column 1 the VAT code
};

}  // namespace tarnlow
