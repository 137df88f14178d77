// Statements on a PostgreSQL session: values go to the server as text with
// unspecified types, so the server types each parameter from its context the
// way it would a literal; result cells are read back by their column type.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
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

// The whole text as one number.
template <class T>
bool Parse(std::string_view s, T& out) {
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

}  // namespace

void NumberText::Write(double d) {
  constexpr double kWholeLimit = 9223372036854775808.0;  // 2^63
  char* const end = text_ + sizeof text_ - 1;
  const auto r = d == std::trunc(d) && std::fabs(d) < kWholeLimit
                     ? std::to_chars(text_, end, static_cast<std::int64_t>(d))
                     : std::to_chars(text_, end, d);
  *r.ptr = '\0';
}

// True is read as -1, the stored form the ERP database's clients expect of a
// flag. "infinity" or a date before the common era has no date value: its
// text is the value.
EngineValue CellOf(Oid type, std::string_view text) {
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8: {
      std::int64_t v = 0;
      if (Parse(text, v)) return EngineValue::Integer(v);
      break;
    }
    case kFloat4:
    case kFloat8:
    case kNumeric: {
      double v = 0.0;
      if (Parse(text, v)) return EngineValue::Real(v);
      break;
    }
    case kBool: return EngineValue::Integer(text == "t" ? -1 : 0);
    case kDate:
    case kTimestamp:
    case kTimestampTz: {
      Date d;
      if (Date::TryParseIso(type == kTimestampTz ? WithoutZone(text) : text, d))
        return EngineValue::OfDate(d);
      break;
    }
    default: break;
  }
  return EngineValue::Text(text);
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

// Every value goes as text. A bound text is copied: libpq reads a value up
// to its NUL, and the caller's text need not end in one.
void PostgresStatement::Bind(int index, const EngineValue& value) {
  const std::size_t i = Slot(index);
  switch (value.kind) {
    case EngineValue::Kind::Null: pointers_[i] = nullptr; return;
    case EngineValue::Kind::Integer: {
      char digits[24];
      const auto r = std::to_chars(digits, digits + sizeof digits, value.integer);
      values_[i].assign(digits, r.ptr);
      pointers_[i] = values_[i].c_str();
      return;
    }
    case EngineValue::Kind::Real: pointers_[i] = numbers_[i].Of(value.real); return;
    case EngineValue::Kind::Text:
      ReplaceText(values_[i], value.text);
      pointers_[i] = values_[i].c_str();
      return;
    case EngineValue::Kind::Date: pointers_[i] = dates_[i].CString(value.date); return;
  }
}

// Sent and read as libpq's own PQexecPrepared and PQexecParams do, less
// their first step, which reads away any result an earlier command left
// unread: every command on a session is read to its end, so there never is
// one.
ExecStatusType PostgresStatement::Run() {
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

// libpq reads the whole result before it hands over any of it, so every
// mode runs alike: the rows stay with the statement until it next runs or
// is reset.
bool PostgresStatement::Execute(Rows /*rows*/) {
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

bool PostgresStatement::Next() {
  if (row_ >= rows_) return false;
  ++row_;
  return row_ < rows_;
}

// Names are written over the ones before, so that a literal statement run
// again takes no memory for them.
void PostgresStatement::TakeColumns(const PGresult* res) const {
  const auto n = static_cast<std::size_t>(PQnfields(res));
  names_.resize(n);
  types_.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    names_[i].assign(PQfname(res, static_cast<int>(i)));
    types_[i] = PQftype(res, static_cast<int>(i));
  }
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
  return static_cast<int>(names_.size());
}

void PostgresStatement::CheckColumn(int index) const {
  if (index < 0 || index >= ColumnCount()) RaiseRuntime(err::SubscriptOutOfRange);
}

const std::string& PostgresStatement::ColumnName(int index) const {
  // Columns not known yet are asked for first.
  if (index < 0 || static_cast<std::size_t>(index) >= names_.size()) CheckColumn(index);
  return names_[static_cast<std::size_t>(index)];
}

// The text of a cell stays in the result, which the statement keeps until
// it next runs or is reset. On a row the columns are known, and only an
// empty cell can be null.
EngineValue PostgresStatement::Cell(int index) const {
  if (row_ >= rows_ || index < 0 || static_cast<std::size_t>(index) >= types_.size()) {
    CheckColumn(index);
    RaiseRuntime(err::NoCurrentRecord);
  }
  const int length = PQgetlength(result_.get(), row_, index);
  if (length == 0 && PQgetisnull(result_.get(), row_, index)) return {};
  return CellOf(types_[static_cast<std::size_t>(index)],
                {PQgetvalue(result_.get(), row_, index), static_cast<std::size_t>(length)});
}

// The count is the last word of the command's tag ("INSERT 0 1",
// "UPDATE 3"); a tag without one ("CREATE TABLE") changed no rows. Read
// here rather than through PQcmdTuples, which first tries the tag against
// each command it knows.
std::int64_t PostgresStatement::RowsAffected() const {
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

void PostgresStatement::Reset() {
  result_.reset();
  row_ = 0;
  rows_ = 0;
}

}  // namespace tarnlow::backend::pg
