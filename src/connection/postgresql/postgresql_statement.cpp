// Statements on a PostgreSQL session: values go to the server as text with
// unspecified types, so the server types each parameter from its context the
// way it would a literal; result cells are read back by their column type.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "connection/postgresql/postgresql_backend.h"
#include "connection/sql_text.h"

namespace tarnlow::backend::pg {
namespace {

// Type identities fixed by the server's catalogue since its first releases.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kDate = 1082;
constexpr Oid kTimestamp = 1114;
constexpr Oid kTimestampTz = 1184;
constexpr Oid kNumeric = 1700;

template <class T>
bool ParseWhole(std::string_view s, T& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

bool ParseReal(std::string_view s, double& out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

// A time-zone offset after the time ("+01", "-05:30") is the session's own
// zone; the wall-clock time before it is the value.
std::string_view WithoutZone(std::string_view s) {
  if (s.size() > 11) {
    const std::size_t sign = s.find_first_of("+-", 11);
    if (sign != std::string_view::npos) return s.substr(0, sign);
  }
  return s;
}

// A number cell's text as the double it reads as, whole numbers of any
// width included; false, with `out` untouched, for any other cell.
bool NumberCell(Oid type, std::string_view s, double& out) {
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8: {
      std::int64_t v = 0;
      if (!ParseWhole(s, v)) return false;
      out = static_cast<double>(v);
      return true;
    }
    case kFloat4:
    case kFloat8:
    case kNumeric: {
      // Infinity and NaN go the general way, which raises Overflow.
      double v = 0.0;
      if (!ParseReal(s, v) || !std::isfinite(v)) return false;
      out = v;
      return true;
    }
    default: return false;
  }
}

// Types whose text CellValue converts; the cells of any other type are
// kept as the text the server sent.
bool Converted(Oid type) {
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kFloat4:
    case kFloat8:
    case kNumeric:
    case kBool:
    case kDate:
    case kTimestamp:
    case kTimestampTz: return true;
    default: return false;
  }
}

}  // namespace

TARNLOW_STATEMENT_PATH void NumberText::Write(double d) {
  constexpr double kWholeLimit = 9223372036854775808.0;  // 2^63
  char* const end = text_ + sizeof text_ - 1;
  const auto r = d == std::trunc(d) && std::fabs(d) < kWholeLimit
                     ? std::to_chars(text_, end, static_cast<std::int64_t>(d))
                     : std::to_chars(text_, end, d);
  *r.ptr = '\0';
}

void CellValue(unsigned type_oid, const char* text, int length, Variant& out) {
  const std::string_view s(text, static_cast<std::size_t>(length));
  switch (type_oid) {
    case kInt2:
    case kInt4: {
      std::int32_t v = 0;
      if (ParseWhole(s, v)) {
        out = Variant(v);
        return;
      }
      break;
    }
    case kInt8: {
      std::int64_t v = 0;
      if (ParseWhole(s, v)) {
        if (v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max())
          out = Variant(static_cast<std::int32_t>(v));
        else
          out = Variant(static_cast<double>(v));
        return;
      }
      break;
    }
    case kFloat4:
    case kFloat8:
    case kNumeric: {
      double v = 0.0;
      if (ParseReal(s, v)) {
        out = Variant(v);
        return;
      }
      break;
    }
    case kBool: out = Variant(s == "t"); return;
    case kDate:
    case kTimestamp:
    case kTimestampTz: {
      Date d;
      if (Date::TryParseIso(type_oid == kTimestampTz ? WithoutZone(s) : s, d)) {
        out = Variant(d);
        return;
      }
      break;  // "infinity" or a date before the common era: the text it is
    }
    default: break;
  }
  out.AssignText(s);
}

const char* ParameterText(const Variant& value, std::string& out, NumberText& number, DateText& date) {
  char buf[64];
  switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null: return nullptr;
    case VarType::String: ReplaceText(out, *value.AsText()); return out.c_str();
    case VarType::Double: return number.Of(value.ToDouble());
    case VarType::Integer:
    case VarType::Long: {
      const auto r = std::to_chars(buf, buf + sizeof buf, value.ToInt32());
      out.assign(buf, r.ptr);
      return out.c_str();
    }
    case VarType::Boolean:
      // True is stored as -1 in the ERP database's flag columns.
      out.assign(value.ToBool() ? "-1" : "0");
      return out.c_str();
    case VarType::Date: return date.CString(value.ToDate());
    case VarType::Object: break;
  }
  RaiseRuntime(err::TypeMismatch);
}

PostgresStatement::PostgresStatement(std::shared_ptr<Session> session, std::string_view sql, bool repeated)
    : session_(std::move(session)),
      sql_(sql),
      text_(sqltext::NumberPlaceholders(sqltext::StripEscapes(sql), parameter_count_)) {
  values_.resize(static_cast<std::size_t>(parameter_count_));
  pointers_.resize(static_cast<std::size_t>(parameter_count_), nullptr);
  dates_.resize(static_cast<std::size_t>(parameter_count_));
  numbers_.resize(static_cast<std::size_t>(parameter_count_));
  if (repeated) {
    std::string name = session_->NextStatementName();
    Checked(ResultHandle(PQprepare(session_->Conn(), name.c_str(), text_.c_str(), parameter_count_, nullptr)),
            session_->Conn(), sql_);
    name_ = std::move(name);
  }
}

PostgresStatement::~PostgresStatement() {
  result_.reset();
  if (name_.empty() || !session_->Usable()) return;
  // Inside a failed transaction the server refuses even this; the statement
  // then lives until the session ends, which is harmless.
  const PGTransactionStatusType state = PQtransactionStatus(session_->Conn());
  if (state != PQTRANS_IDLE && state != PQTRANS_INTRANS) return;
  const std::string sql = "DEALLOCATE \"" + name_ + "\"";
  ResultHandle(PQexec(session_->Conn(), sql.c_str()));
}

std::size_t PostgresStatement::Slot(int index) const {
  if (index < 1 || index > parameter_count_) RaiseRuntime(err::SubscriptOutOfRange);
  return static_cast<std::size_t>(index - 1);
}

TARNLOW_STATEMENT_PATH void PostgresStatement::Bind(int index, const Variant& value) {
  const std::size_t i = Slot(index);
  pointers_[i] = ParameterText(value, values_[i], numbers_[i], dates_[i]);
}

// Text is sent from the caller's own storage; every other value is written
// as text here all the same.
TARNLOW_STATEMENT_PATH void PostgresStatement::BindInPlace(int index, const Variant& value) {
  const std::string* text = value.AsText();
  if (text == nullptr) return Bind(index, value);
  BindTextInPlace(index, *text);
}

TARNLOW_STATEMENT_PATH void PostgresStatement::BindTextInPlace(int index, const std::string& text) {
  pointers_[Slot(index)] = text.c_str();
}

TARNLOW_STATEMENT_PATH void PostgresStatement::BindNumber(int index, double number) {
  const std::size_t i = Slot(index);
  // What is no number at all raises as any conversion of it does.
  if (!std::isfinite(number)) number = Variant(number).ToDouble();
  pointers_[i] = numbers_[i].Of(number);
}

TARNLOW_STATEMENT_PATH void PostgresStatement::BindDate(int index, const Date& date) {
  const std::size_t i = Slot(index);
  pointers_[i] = dates_[i].CString(date);
}

// Sent and read as libpq's own PQexecPrepared and PQexecParams do, less
// their first step, which reads away any result an earlier command left
// unread: every command on a session is read to its end, so there never is
// one.
TARNLOW_STATEMENT_PATH ExecStatusType PostgresStatement::Run() {
  PGconn* conn = session_->Conn();
  const int sent = name_.empty() ? PQsendQueryParams(conn, text_.c_str(), parameter_count_, nullptr,
                                                     pointers_.data(), nullptr, nullptr, 0)
                                 : PQsendQueryPrepared(conn, name_.c_str(), parameter_count_,
                                                       pointers_.data(), nullptr, nullptr, 0);
  ExecStatusType status = PGRES_FATAL_ERROR;
  if (sent) {
    while (PGresult* res = PQgetResult(conn)) {
      result_.reset(res);
      status = PQresultStatus(res);
      if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH ||
          PQstatus(conn) == CONNECTION_BAD)
        break;
    }
  }
  return status;
}

// A DISCARD ALL or DEALLOCATE ALL on the session, as a pooling proxy sends
// between its clients, leaves the statement unknown to the server (26000,
// invalid_sql_statement_name). Outside a transaction block nothing was done
// and the statement can be prepared again under its name.
bool PostgresStatement::PrepareAgain(const PGresult* failed) {
  if (name_.empty() || failed == nullptr) return false;
  const char* state = PQresultErrorField(failed, PG_DIAG_SQLSTATE);
  if (state == nullptr || std::strcmp(state, "26000") != 0) return false;
  if (PQtransactionStatus(session_->Conn()) != PQTRANS_IDLE) return false;
  Checked(ResultHandle(PQprepare(session_->Conn(), name_.c_str(), text_.c_str(), parameter_count_, nullptr)),
          session_->Conn(), sql_);
  return true;
}

TARNLOW_STATEMENT_PATH bool PostgresStatement::Execute() {
  Reset();
  ExecStatusType status = Run();
  if (!Succeeded(status) && PrepareAgain(result_.get())) status = Run();
  if (!Succeeded(status)) {
    const ResultHandle failed = std::move(result_);
    RaiseCommandError(failed.get(), session_->Conn(), sql_);
  }
  if (status == PGRES_TUPLES_OK) {
    rows_ = PQntuples(result_.get());
    // A prepared statement's columns are fixed once known: the server
    // refuses to run it with others.
    if (name_.empty() || !columns_known_) TakeColumns(result_.get());
  }
  return rows_ > 0;
}

TARNLOW_STATEMENT_PATH bool PostgresStatement::Next() {
  if (row_ >= rows_) return false;
  ++row_;
  return row_ < rows_;
}

void PostgresStatement::TakeColumns(const PGresult* res) const {
  layout_ = session_->Layout(res);
  values_read_.resize(layout_->types.size());
  columns_known_ = true;
}

int PostgresStatement::ColumnCount() const {
  // A prepared statement can say what it returns before it first runs; a
  // literal statement only knows once it has run.
  if (!columns_known_ && !name_.empty()) {
    TakeColumns(
        Checked(ResultHandle(PQdescribePrepared(session_->Conn(), name_.c_str())), session_->Conn(), sql_)
            .get());
  }
  return layout_ ? static_cast<int>(layout_->names.size()) : 0;
}

void PostgresStatement::CheckColumn(int index) const {
  if (index < 0 || index >= ColumnCount()) RaiseRuntime(err::SubscriptOutOfRange);
}

const std::string& PostgresStatement::ColumnName(int index) const {
  CheckColumn(index);
  return layout_->names[static_cast<std::size_t>(index)];
}

Variant PostgresStatement::Column(int index) const {
  Variant unused;
  return ColumnValue(index, unused);
}

const Variant& PostgresStatement::ColumnValue(int index, Variant&) const {
  CheckColumn(index);
  if (row_ >= rows_) RaiseRuntime(err::NoCurrentRecord);
  Variant& value = values_read_[static_cast<std::size_t>(index)];
  int length = 0;
  if (const char* text = CellText(index, length))
    CellValue(layout_->types[static_cast<std::size_t>(index)], text, length, value);
  else
    value = Variant(Null);
  return value;
}

// Null where the cell is null, or where there is no row; otherwise its text.
// On a row the columns are known, and only an empty cell can be null.
const char* PostgresStatement::CellText(int index, int& length) const {
  if (row_ >= rows_ || static_cast<std::size_t>(index) >= values_read_.size()) {
    CheckColumn(index);
    return nullptr;
  }
  length = PQgetlength(result_.get(), row_, index);
  if (length == 0 && PQgetisnull(result_.get(), row_, index)) return nullptr;
  return PQgetvalue(result_.get(), row_, index);
}

// CellText's checks once for the row, then each cell as CellText reads it.
TARNLOW_STATEMENT_PATH std::size_t PostgresStatement::CopyCells(const std::uint32_t* at,
                                                                const CellCopy* cells, std::size_t n) const {
  if (row_ >= rows_) return 0;
  const PGresult* result = result_.get();
  const int row = row_;
  const std::size_t columns = values_read_.size();
  const Oid* types = layout_->types.data();
  for (std::size_t i = 0; i < n; ++i) {
    if (at[i] >= columns) return i;
    const int index = static_cast<int>(at[i]);
    const int length = PQgetlength(result, row, index);
    if (length == 0 && PQgetisnull(result, row, index)) return i;
    const char* text = PQgetvalue(result, row, index);
    const Oid type = types[at[i]];
    const CellCopy& cell = cells[i];
    if (cell.kind == CellCopy::Text && !Converted(type))
      ReplaceText(*static_cast<std::string*>(cell.out), {text, static_cast<std::size_t>(length)});
    else if (cell.kind != CellCopy::Number ||
             !NumberCell(type, {text, static_cast<std::size_t>(length)}, *static_cast<double*>(cell.out)))
      return i;
  }
  return n;
}

// The count is the last word of the command's tag ("INSERT 0 1",
// "UPDATE 3"); a tag without one ("CREATE TABLE") changed no rows. Read
// here rather than through PQcmdTuples, which first tries the tag against
// each command it knows.
TARNLOW_STATEMENT_PATH std::int64_t PostgresStatement::RowsAffected() const {
  if (!result_) return 0;
  // The count is the tag's last word, digits after a blank.
  const char* const tag = PQcmdStatus(result_.get());
  const char* const end = tag + std::strlen(tag);
  const char* digits = end;
  while (digits != tag && digits[-1] >= '0' && digits[-1] <= '9') --digits;
  // No count reaches 19 digits, which could overflow.
  if (digits == end || digits == tag || digits[-1] != ' ' || end - digits > 18) return 0;
  std::int64_t n = 0;
  for (; digits != end; ++digits) n = n * 10 + (*digits - '0');
  return n;
}

TARNLOW_STATEMENT_PATH void PostgresStatement::Reset() {
  result_.reset();
  row_ = 0;
  rows_ = 0;
}

}  // namespace tarnlow::backend::pg
