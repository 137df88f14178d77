// The ODBC backend, over unixODBC. Text crosses as UTF-16 (the wide calls),
// so that no driver converts it through the process's locale.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/backend.h"

namespace tarnlow::backend::odbc {

// One ODBC handle of one type, freed with that type.
template <SQLSMALLINT Type>
void FreeHandle(SQLHANDLE h) {
  SQLFreeHandle(Type, h);
}
template <SQLSMALLINT Type>
using Handle = std::unique_ptr<void, FreeWith<&FreeHandle<Type>>>;
using EnvHandle = Handle<SQL_HANDLE_ENV>;
using DbcHandle = Handle<SQL_HANDLE_DBC>;
using StmtHandle = Handle<SQL_HANDLE_STMT>;

using WideText = std::basic_string<SQLWCHAR>;
// Widening raises for text that is not UTF-8 or holds a NUL. The Into forms
// fill the caller's storage; on a refusal `out` holds part of the text.
void WidenInto(std::string_view utf8, WideText& out);
void NarrowInto(const SQLWCHAR* text, std::size_t length, std::string& out);
inline WideText Widen(std::string_view utf8) {
  WideText out;
  WidenInto(utf8, out);
  return out;
}
inline std::string Narrow(const SQLWCHAR* text, std::size_t length) {
  std::string out;
  NarrowInto(text, length, out);
  return out;
}
// The text a driver wrote into a fixed buffer, cut to the buffer.
template <std::size_t N>
std::string NarrowFilled(const SQLWCHAR (&buffer)[N], SQLLEN bytes) {
  return Narrow(buffer, std::min<std::size_t>(
                            static_cast<std::size_t>(std::max<SQLLEN>(bytes, 0)) / sizeof(SQLWCHAR), N - 1));
}

// The error record of a failed call, saying the connection is gone when
// `dbc` (may be null) or the diagnostics' states say so.
[[noreturn]] void Raise(SQLSMALLINT type, SQLHANDLE handle, SQLHDBC dbc, std::string_view statement = {});
// For a connection that could not be opened; for failures found here.
[[noreturn]] void RaiseConnectError(SQLHDBC dbc);
[[noreturn]] void Raise(std::string description);
// True when the driver says the connection is gone; false for no connection.
bool ConnectionDead(SQLHDBC dbc);

inline bool Ok(SQLRETURN rc) {
  return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// One driver connection, shared by the database and its statements.
class Session {
 public:
  explicit Session(const std::string& text);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  SQLHDBC Dbc() const { return dbc_.get(); }
  const std::string& DbmsName() const { return dbms_; }  // "PostgreSQL", "SQLite", ...
  // True when SQLGetData may read a row of a fetched block: only then are rows fetched in blocks.
  bool GetDataInBlocks() const { return getdata_block_; }
  StmtHandle NewStatement();

 private:
  EnvHandle env_;
  DbcHandle dbc_;
  bool connected_ = false;
  std::string dbms_;
  bool getdata_block_ = false;
};

class OdbcStatement final : public Statement {
 public:
  // A repeated statement is prepared here, a literal one sent when run;
  // `sent`, when given, goes to the driver instead of the caller's `sql`.
  OdbcStatement(std::shared_ptr<Session> session, std::string_view sql, bool repeated,
                std::string_view sent = {});
  ~OdbcStatement() override;
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  int ParameterCount() const override { return static_cast<int>(params_.size()); }
  void Bind(int index, const EngineValue& value) override;
  bool Execute(Rows rows) override;
  bool Next() override;
  int ColumnCount() const override;
  const std::string& ColumnName(int index) const override;
  EngineValue Cell(int index) const override;
  std::int64_t RowsAffected() const override { return rows_affected_; }
  void Reset() override;

  // The declared layout of the result columns (after preparing or running).
  std::vector<ColumnDescription> Describe();

 private:
  // A parameter's buffers; its address stays put for the driver.
  struct Param {
    SQLSMALLINT c_type = SQL_C_WCHAR;
    SQLSMALLINT sql_type = SQL_WVARCHAR;
    SQLULEN size = 1;
    SQLSMALLINT digits = 0;
    SQLLEN indicator = SQL_NULL_DATA;
    WideText text;
    // A new text is widened here, then copied into `text`, so that one that
    // cannot be sent leaves the parameter as it was.
    WideText spare;
    double number = 0;
    SQLINTEGER whole = 0;
    SQLBIGINT big = 0;  // a whole number past 32 bits
    SQL_TIMESTAMP_STRUCT stamp{};
  };
  enum class Kind : std::uint8_t { Text, Whole, Big, Real, Date, Bit, Binary };
  struct ColumnInfo {
    std::string name;
    std::string type_name;  // the database's own name for the type
    SQLSMALLINT sql_type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    Kind kind = Kind::Text;
    // Bound block buffers: one element of `width` bytes per row of the block.
    std::size_t width = 0;
    std::vector<unsigned char> data;
    std::vector<SQLLEN> indicators;
  };

  [[noreturn]] void Fail() const;
  // Describes the result, of a prepared statement before it first runs too.
  void LoadColumns() const;
  void BindColumns();
  bool FetchBlock();
  // A cell from the block buffers; one read with SQLGetData (text in texts_).
  EngineValue BlockCell(std::size_t index, std::size_t row) const;
  EngineValue ReadData(std::size_t index) const;

  std::shared_ptr<Session> session_;
  StmtHandle stmt_;
  std::string sql_;  // as the caller wrote it, for error records
  WideText text_;
  bool prepared_ = false;
  std::vector<Param> params_;

  mutable bool columns_known_ = false;
  mutable std::vector<ColumnInfo> columns_;
  mutable bool bound_ = false;  // columns bound for block fetch
  SQLULEN block_rows_ = 1;      // rows per fetch as the driver accepted
  SQLULEN fetched_ = 0;         // rows of the current block
  std::size_t position_ = 0;    // current row within the block
  std::vector<SQLUSMALLINT> row_status_;
  bool cursor_open_ = false;
  bool has_row_ = false;
  std::int64_t rows_affected_ = 0;
  // Cells SQLGetData has read for the current row, for unbound columns.
  mutable std::vector<EngineValue> row_cache_;
  mutable std::vector<bool> row_cached_;
  // Per column, its cell's text as last read (one column's text stays while
  // another is read), and SQLGetData's buffers, kept between runs.
  mutable std::vector<std::string> texts_;
  mutable WideText wide_;
  mutable std::vector<unsigned char> data_bytes_;
  mutable std::vector<unsigned char> data_chunk_;
};

class OdbcDatabase final : public Database {
 public:
  explicit OdbcDatabase(std::shared_ptr<Session> session);

  std::unique_ptr<Statement> Prepare(std::string_view sql, bool repeated = true) override;
  void ExecuteScript(std::string_view sql) override;
  bool TableExists(std::string_view table) override;
  std::vector<std::vector<std::string>> UniqueKeys(std::string_view table) override;
  std::vector<ColumnDescription> Columns(std::string_view table) override;
  std::string_view Dialect() const override { return dialect_; }
  // By the rules of the database behind the driver, asking a PostgreSQL
  // server for its client encoding where needed (a statement may set it).
  std::string QuoteLiteral(std::string_view text) override;

 private:
  // The table's empty result, prepared; null when no such table answers.
  std::unique_ptr<OdbcStatement> Probe(std::string_view table);

  std::shared_ptr<Session> session_;
  std::string dialect_;
};

}  // namespace tarnlow::backend::odbc
