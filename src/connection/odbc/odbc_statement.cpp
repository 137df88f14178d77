// Statements through an ODBC driver, read a block of rows per fetch.
#include <algorithm>
#include <cstring>
#include <limits>

#include "connection/odbc/odbc_backend.h"
#include "connection/sql_text.h"

namespace tarnlow::backend::odbc {
namespace {

// Whether the server no longer holds the statement prepared (26000), as
// after a pooling proxy's DISCARD ALL: the driver does not prepare it again.
bool ForgottenByServer(SQLHSTMT stmt) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  return Ok(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, state, &native, nullptr, 0, &length)) &&
         Narrow(state, 5) == "26000";
}

// Rows per fetch: little for a one-row read, few calls for an order's lines.
constexpr SQLULEN kBlockRows = 64;
// Text columns declared wider are read cell by cell, not into blocks.
constexpr SQLULEN kMaxBoundChars = 4000;

std::int32_t Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

Date DateFromStamp(const SQL_TIMESTAMP_STRUCT& t) {
  return Date::FromCalendar(t.year, t.month, t.day, t.hour, t.minute, t.second + t.fraction / 1e9);
}

// A bit as a flag's stored form: -1 for True.
EngineValue Flag(unsigned char bit) {
  return EngineValue::Integer(bit != 0 ? -1 : 0);
}

// A fixed-size value from a block buffer, which need not be aligned for it.
template <class T>
T Load(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

void WidenInto(std::string_view utf8, WideText& out) {
  out.clear();
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::int32_t n = Utf8Length(lead);
    if (n == 0 || i + static_cast<std::size_t>(n) > utf8.size()) Raise("Text is not valid UTF-8");
    char32_t c = n == 1 ? lead : n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
    for (std::int32_t k = 1; k < n; ++k) {
      const auto b = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) Raise("Text is not valid UTF-8");
      c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) Raise("Text is not valid UTF-8");
    if (c == 0) Raise("Text holding a NUL character cannot be sent to the database");
    if (c < 0x10000) {
      out += static_cast<SQLWCHAR>(c);
    } else {
      c -= 0x10000;
      out += static_cast<SQLWCHAR>(0xD800 + (c >> 10));
      out += static_cast<SQLWCHAR>(0xDC00 + (c & 0x3FF));
    }
    i += static_cast<std::size_t>(n);
  }
}

void NarrowInto(const SQLWCHAR* text, std::size_t length, std::string& out) {
  out.clear();
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    // A lead byte marking how many follow, then six bits in each.
    static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(kLead[more] | (c >> (6 * more)));
    for (int k = more - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
}

OdbcStatement::OdbcStatement(std::shared_ptr<Session> session, std::string_view sql, bool repeated,
                             std::string_view sent)
    : session_(std::move(session)),
      stmt_(session_->NewStatement()),
      sql_(sql),
      text_(Widen(sent.empty() ? sql : sent)) {
  int count = 0;
  sqltext::NumberPlaceholders(std::string(sql), count);
  params_.resize(static_cast<std::size_t>(count));
  if (repeated) {
    if (!Ok(SQLPrepareW(stmt_.get(), text_.data(), static_cast<SQLINTEGER>(text_.size())))) Fail();
    prepared_ = true;
  }
}

OdbcStatement::~OdbcStatement() {
  if (cursor_open_) SQLFreeStmt(stmt_.get(), SQL_CLOSE);
}

void OdbcStatement::Fail() const {
  Raise(SQL_HANDLE_STMT, stmt_.get(), session_->Dbc(), sql_);
}

// Each value goes typed, from the parameter's own buffers.
void OdbcStatement::Bind(int index, const EngineValue& value) {
  if (index < 1 || index > ParameterCount()) RaiseRuntime(err::SubscriptOutOfRange);
  Param& p = params_[static_cast<std::size_t>(index - 1)];
  const auto typed = [&p](SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits,
                          SQLLEN indicator) {
    p.c_type = c_type;
    p.sql_type = sql_type;
    p.size = size;
    p.digits = digits;
    p.indicator = indicator;
  };
  switch (value.kind) {
    case EngineValue::Kind::Null:
      // The last value's type stays, for a driver that typed it on first run.
      p.indicator = SQL_NULL_DATA;
      return;
    case EngineValue::Kind::Text:
      WidenInto(value.text, p.spare);
      p.text.assign(p.spare);
      typed(SQL_C_WCHAR, SQL_VARCHAR, std::max<SQLULEN>(p.text.size(), 1), 0,
            static_cast<SQLLEN>(p.text.size() * sizeof(SQLWCHAR)));
      return;
    case EngineValue::Kind::Real:
      p.number = value.real;
      typed(SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, 0);
      return;
    case EngineValue::Kind::Integer:
      if (value.integer >= std::numeric_limits<SQLINTEGER>::min() &&
          value.integer <= std::numeric_limits<SQLINTEGER>::max()) {
        p.whole = static_cast<SQLINTEGER>(value.integer);
        typed(SQL_C_SLONG, SQL_INTEGER, 10, 0, 0);
      } else {
        p.big = value.integer;
        typed(SQL_C_SBIGINT, SQL_BIGINT, 19, 0, 0);
      }
      return;
    case EngineValue::Kind::Date: {
      const Date::Parts d = value.date.ToParts();
      p.stamp.year = static_cast<SQLSMALLINT>(d.year);
      p.stamp.month = static_cast<SQLUSMALLINT>(d.month);
      p.stamp.day = static_cast<SQLUSMALLINT>(d.day);
      p.stamp.hour = static_cast<SQLUSMALLINT>(d.hour);
      p.stamp.minute = static_cast<SQLUSMALLINT>(d.minute);
      p.stamp.second = static_cast<SQLUSMALLINT>(d.second);
      p.stamp.fraction = static_cast<SQLUINTEGER>(d.millisecond) * 1'000'000u;
      // "YYYY-MM-DD HH:MM:SS" and, only with milliseconds, ".mmm": drivers
      // that store dates as text write what the other backends write.
      typed(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, d.millisecond != 0 ? 23 : 19,
            d.millisecond != 0 ? 3 : 0, sizeof(SQL_TIMESTAMP_STRUCT));
      return;
    }
  }
}

// Every mode runs alike: rows come a block at a time as read, and the
// cursor closes at their end or on Reset.
bool OdbcStatement::Execute(Rows /*rows*/) {
  Reset();
  rows_affected_ = 0;
  SQLHSTMT stmt = stmt_.get();
  for (std::size_t i = 0; i < params_.size(); ++i) {
    Param& p = params_[i];
    SQLPOINTER buffer = nullptr;
    SQLLEN length = 0;
    switch (p.c_type) {
      case SQL_C_WCHAR:
        buffer = p.text.data();
        length = static_cast<SQLLEN>(p.text.size() * sizeof(SQLWCHAR));
        break;
      case SQL_C_DOUBLE: buffer = &p.number; break;
      case SQL_C_SLONG: buffer = &p.whole; break;
      case SQL_C_SBIGINT: buffer = &p.big; break;
      default: buffer = &p.stamp; break;
    }
    const SQLRETURN rc = SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, p.c_type,
                                          p.sql_type, p.size, p.digits, buffer, length, &p.indicator);
    if (!Ok(rc)) Fail();
  }
  SQLRETURN rc = prepared_ ? SQLExecute(stmt)
                           : SQLExecDirectW(stmt, text_.data(), static_cast<SQLINTEGER>(text_.size()));
  // Prepared again once; the values stay bound.
  if (rc == SQL_ERROR && prepared_ && ForgottenByServer(stmt) &&
      Ok(SQLPrepareW(stmt, text_.data(), static_cast<SQLINTEGER>(text_.size()))))
    rc = SQLExecute(stmt);
  // A searched update or delete that touched no row answers SQL_NO_DATA.
  if (rc == SQL_NO_DATA) return false;
  if (!Ok(rc)) Fail();
  cursor_open_ = true;

  SQLSMALLINT count = 0;
  if (!Ok(SQLNumResultCols(stmt, &count))) Fail();
  if (count == 0) {
    SQLLEN rows = 0;
    if (Ok(SQLRowCount(stmt, &rows)) && rows > 0) rows_affected_ = rows;
    Reset();
    return false;
  }
  if (!columns_known_ || columns_.size() != static_cast<std::size_t>(count)) LoadColumns();
  if (!bound_) BindColumns();
  has_row_ = FetchBlock();
  return has_row_;
}

void OdbcStatement::LoadColumns() const {
  SQLHSTMT stmt = stmt_.get();
  SQLSMALLINT count = 0;
  if (!Ok(SQLNumResultCols(stmt, &count))) Fail();
  if (bound_) SQLFreeStmt(stmt, SQL_UNBIND);
  bound_ = false;
  columns_.clear();
  columns_.resize(static_cast<std::size_t>(count));
  for (SQLSMALLINT i = 0; i < count; ++i) {
    ColumnInfo& c = columns_[static_cast<std::size_t>(i)];
    std::vector<SQLWCHAR> name(128);
    SQLSMALLINT name_length = 0;
    SQLSMALLINT nullable = 0;
    const auto describe = [&] {
      return SQLDescribeColW(stmt, static_cast<SQLUSMALLINT>(i + 1), name.data(),
                             static_cast<SQLSMALLINT>(name.size()), &name_length, &c.sql_type, &c.size,
                             &c.digits, &nullable);
    };
    SQLRETURN rc = describe();
    if (Ok(rc) && name_length >= static_cast<SQLSMALLINT>(name.size())) {
      name.resize(static_cast<std::size_t>(name_length) + 1);
      rc = describe();
    }
    if (!Ok(rc)) Fail();
    c.name = Narrow(name.data(), static_cast<std::size_t>(std::max<SQLSMALLINT>(name_length, 0)));
    SQLWCHAR type_name[128] = {};
    SQLSMALLINT type_length = 0;
    if (Ok(SQLColAttributeW(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_DESC_TYPE_NAME, type_name,
                            sizeof type_name, &type_length, nullptr)))
      c.type_name = NarrowFilled(type_name, type_length);
    switch (c.sql_type) {
      case SQL_SMALLINT:
      case SQL_INTEGER:
      case SQL_TINYINT: c.kind = Kind::Whole; break;
      case SQL_BIGINT: c.kind = Kind::Big; break;
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE:
      case SQL_NUMERIC:
      case SQL_DECIMAL: c.kind = Kind::Real; break;
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIMESTAMP:
      case SQL_DATE:
      case SQL_TIMESTAMP: c.kind = Kind::Date; break;
      case SQL_BIT: c.kind = Kind::Bit; break;
      case SQL_BINARY:
      case SQL_VARBINARY:
      case SQL_LONGVARBINARY: c.kind = Kind::Binary; break;
      default: c.kind = Kind::Text; break;
    }
  }
  row_cache_.assign(columns_.size(), EngineValue());
  row_cached_.assign(columns_.size(), false);
  texts_.resize(columns_.size());
  columns_known_ = true;
}

// Block buffers where all widths are bounded and the driver allows, else SQLGetData.
void OdbcStatement::BindColumns() {
  SQLHSTMT stmt = stmt_.get();
  block_rows_ = 1;
  bool boundable = session_->GetDataInBlocks();
  for (ColumnInfo& c : columns_) {
    switch (c.kind) {
      case Kind::Text:
        // A character may take two UTF-16 units; one more for the NUL.
        boundable = boundable && c.size > 0 && c.size <= kMaxBoundChars;
        c.width = (2 * c.size + 1) * sizeof(SQLWCHAR);
        break;
      case Kind::Binary:
        boundable = boundable && c.size > 0 && c.size <= 2 * kMaxBoundChars;
        c.width = c.size;
        break;
      case Kind::Whole: c.width = sizeof(SQLINTEGER); break;
      case Kind::Big: c.width = sizeof(SQLBIGINT); break;
      case Kind::Real: c.width = sizeof(double); break;
      case Kind::Date: c.width = sizeof(SQL_TIMESTAMP_STRUCT); break;
      case Kind::Bit: c.width = sizeof(unsigned char); break;
    }
  }
  if (boundable) {
    block_rows_ = kBlockRows;
    const SQLRETURN rc =
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlockRows), 0);
    // The driver may choose another block size (or none): take what it says.
    if ((rc == SQL_SUCCESS_WITH_INFO || !Ok(rc)) &&
        (!Ok(SQLGetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &block_rows_, 0, nullptr)) || block_rows_ == 0))
      block_rows_ = 1;
  }
  row_status_.assign(block_rows_, SQL_ROW_SUCCESS);
  if (!Ok(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0))) Fail();
  if (block_rows_ > 1 && !Ok(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, row_status_.data(), 0))) Fail();
  if (!boundable) return;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    ColumnInfo& c = columns_[i];
    static constexpr SQLSMALLINT kCType[] = {SQL_C_WCHAR,          SQL_C_SLONG, SQL_C_SBIGINT, SQL_C_DOUBLE,
                                             SQL_C_TYPE_TIMESTAMP, SQL_C_BIT,   SQL_C_BINARY};
    c.data.assign(block_rows_ * c.width, 0);
    c.indicators.assign(block_rows_, 0);
    const SQLRETURN rc = SQLBindCol(stmt, static_cast<SQLUSMALLINT>(i + 1), kCType[static_cast<int>(c.kind)],
                                    c.data.data(), static_cast<SQLLEN>(c.width), c.indicators.data());
    if (!Ok(rc)) Fail();
  }
  bound_ = true;
}

bool OdbcStatement::FetchBlock() {
  position_ = 0;
  fetched_ = 0;
  std::fill(row_cached_.begin(), row_cached_.end(), false);
  const SQLRETURN rc = SQLFetch(stmt_.get());
  if (rc == SQL_NO_DATA) {
    // Ending the execution now releases what the driver holds for it.
    Reset();
    return false;
  }
  if (!Ok(rc)) Fail();
  if (fetched_ == 0) fetched_ = 1;  // drivers that leave the count alone for single rows
  for (SQLULEN r = 0; r < fetched_ && block_rows_ > 1; ++r)
    if (row_status_[r] == SQL_ROW_ERROR) Fail();
  return true;
}

bool OdbcStatement::Next() {
  if (!has_row_) return false;
  if (++position_ < fetched_) {
    std::fill(row_cached_.begin(), row_cached_.end(), false);
    return true;
  }
  has_row_ = FetchBlock();
  return has_row_;
}

int OdbcStatement::ColumnCount() const {
  if (!columns_known_ && prepared_) LoadColumns();
  return static_cast<int>(columns_.size());
}

const std::string& OdbcStatement::ColumnName(int index) const {
  if (index < 0 || index >= ColumnCount()) RaiseRuntime(err::SubscriptOutOfRange);
  return columns_[static_cast<std::size_t>(index)].name;
}

EngineValue OdbcStatement::Cell(int index) const {
  if (index < 0 || index >= ColumnCount()) RaiseRuntime(err::SubscriptOutOfRange);
  if (!has_row_) RaiseRuntime(err::NoCurrentRecord);
  const auto i = static_cast<std::size_t>(index);
  if (bound_) return BlockCell(i, position_);
  // SQLGetData reads a row's columns once each, in order: read all at once.
  if (!row_cached_[i]) {
    for (std::size_t k = 0; k < columns_.size(); ++k) {
      if (row_cached_[k]) continue;
      row_cache_[k] = ReadData(k);
      row_cached_[k] = true;
    }
  }
  return row_cache_[i];
}

// Text is narrowed into the column's kept storage; bytes are given in place.
EngineValue OdbcStatement::BlockCell(std::size_t index, std::size_t row) const {
  const ColumnInfo& c = columns_[index];
  const SQLLEN indicator = c.indicators[row];
  if (indicator == SQL_NULL_DATA) return {};
  const unsigned char* p = c.data.data() + row * c.width;
  switch (c.kind) {
    case Kind::Text:
    case Kind::Binary: {
      const std::size_t room = c.kind == Kind::Text ? c.width - sizeof(SQLWCHAR) : c.width;
      if (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room) {
        // Longer than declared: read it whole where the driver allows.
        if (session_->GetDataInBlocks() &&
            Ok(SQLSetPos(stmt_.get(), static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE)))
          return ReadData(index);
        Raise("A value of column " + c.name + " is longer than the " + std::to_string(c.size) +
              " characters the driver declared for it");
      }
      if (c.kind == Kind::Binary)
        return EngineValue::Text({reinterpret_cast<const char*>(p), static_cast<std::size_t>(indicator)});
      NarrowInto(reinterpret_cast<const SQLWCHAR*>(p), static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR),
                 texts_[index]);
      return EngineValue::Text(texts_[index]);
    }
    case Kind::Whole: return EngineValue::Integer(Load<SQLINTEGER>(p));
    case Kind::Big: return EngineValue::Integer(Load<SQLBIGINT>(p));
    case Kind::Real: return EngineValue::Real(Load<double>(p));
    case Kind::Date: return EngineValue::OfDate(DateFromStamp(Load<SQL_TIMESTAMP_STRUCT>(p)));
    case Kind::Bit: return Flag(*p);
  }
  return {};
}

EngineValue OdbcStatement::ReadData(std::size_t index) const {
  const ColumnInfo& c = columns_[index];
  SQLHSTMT stmt = stmt_.get();
  const auto column = static_cast<SQLUSMALLINT>(index + 1);
  SQLLEN indicator = 0;
  // A fixed-size value, read whole in one call; false for a null.
  const auto read_fixed = [&](SQLSMALLINT type, auto& v) {
    if (!Ok(SQLGetData(stmt, column, type, &v, 0, &indicator))) Fail();
    return indicator != SQL_NULL_DATA;
  };
  switch (c.kind) {
    case Kind::Text:
    case Kind::Binary: {
      const bool text = c.kind == Kind::Text;
      // Both buffers are the statement's, kept from row to row.
      std::vector<unsigned char>& bytes = data_bytes_;
      std::vector<unsigned char>& chunk = data_chunk_;
      bytes.clear();
      chunk.resize(8192);
      while (true) {
        const SQLRETURN rc = SQLGetData(stmt, column, text ? SQL_C_WCHAR : SQL_C_BINARY, chunk.data(),
                                        static_cast<SQLLEN>(chunk.size()), &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) Fail();
        if (indicator == SQL_NULL_DATA) return {};
        // A full buffer less its terminator, or the rest of the value.
        const std::size_t room = text ? chunk.size() - sizeof(SQLWCHAR) : chunk.size();
        const bool partial = rc == SQL_SUCCESS_WITH_INFO &&
                             (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room);
        const std::size_t got = partial ? room : static_cast<std::size_t>(indicator);
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (!partial) break;
      }
      std::string& out = texts_[index];
      if (!text) {
        ReplaceText(out, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
        return EngineValue::Text(out);
      }
      // Copied out of the bytes, which need not be aligned for them.
      wide_.resize(bytes.size() / sizeof(SQLWCHAR));
      if (!wide_.empty()) std::memcpy(wide_.data(), bytes.data(), wide_.size() * sizeof(SQLWCHAR));
      NarrowInto(wide_.data(), wide_.size(), out);
      return EngineValue::Text(out);
    }
    case Kind::Whole:
    case Kind::Big: {
      SQLBIGINT v = 0;
      return read_fixed(SQL_C_SBIGINT, v) ? EngineValue::Integer(v) : EngineValue();
    }
    case Kind::Real: {
      double v = 0;
      return read_fixed(SQL_C_DOUBLE, v) ? EngineValue::Real(v) : EngineValue();
    }
    case Kind::Date: {
      SQL_TIMESTAMP_STRUCT t{};
      return read_fixed(SQL_C_TYPE_TIMESTAMP, t) ? EngineValue::OfDate(DateFromStamp(t)) : EngineValue();
    }
    case Kind::Bit: {
      unsigned char v = 0;
      return read_fixed(SQL_C_BIT, v) ? Flag(v) : EngineValue();
    }
  }
  return {};
}

void OdbcStatement::Reset() {
  if (cursor_open_) SQLFreeStmt(stmt_.get(), SQL_CLOSE);
  cursor_open_ = false;
  has_row_ = false;
  fetched_ = 0;
  position_ = 0;
}

std::vector<ColumnDescription> OdbcStatement::Describe() {
  if (!columns_known_) LoadColumns();
  std::vector<ColumnDescription> out;
  using K = ColumnDescription::Kind;
  for (const ColumnInfo& c : columns_) {
    ColumnDescription d;
    d.name = c.name;
    d.type = c.type_name;
    const int size =
        c.size > static_cast<SQLULEN>(std::numeric_limits<int>::max()) ? 0 : static_cast<int>(c.size);
    switch (c.sql_type) {
      case SQL_CHAR:
      case SQL_VARCHAR:
      case SQL_WCHAR:
      case SQL_WVARCHAR:
        d.kind = K::Text;
        d.size = size;
        break;
      case SQL_LONGVARCHAR:
      case SQL_WLONGVARCHAR: d.kind = K::Text; break;  // no limit that matters
      case SQL_NUMERIC:
      case SQL_DECIMAL:
        // Without decimals a number column holds whole numbers only.
        d.kind = c.digits > 0 ? K::Number : (c.size >= 10 ? K::Integer : K::SmallInteger);
        d.precision = size;
        d.scale = d.precision == 0 ? 0 : c.digits;
        break;
      case SQL_FLOAT:
      case SQL_DOUBLE: d.kind = K::Number; break;
      case SQL_INTEGER:
      case SQL_BIGINT: d.kind = K::Integer; break;
      case SQL_SMALLINT:
      case SQL_TINYINT:
      case SQL_BIT: d.kind = K::SmallInteger; break;
      case SQL_TYPE_TIMESTAMP:
      case SQL_TIMESTAMP: d.kind = K::DateTime; break;
      case SQL_TYPE_DATE:
      case SQL_DATE: d.kind = K::DateOnly; break;
      default: d.kind = K::Other; break;  // SQL_REAL among them: single precision loses digits
    }
    if (d.type.empty()) d.type = "SQL type " + std::to_string(c.sql_type);
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace tarnlow::backend::odbc
