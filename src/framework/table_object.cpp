#include "tarnlow/table_object.h"

#include <dlfcn.h>

#include <array>
#include <bitset>
#include <cmath>

#include "connection/backend.h"
#include "connection/sql_text.h"
#include "tarnlow/modules.h"

namespace tarnlow {

std::shared_ptr<Connection> TableObject::SageConnection() {
  if (!connection_) connection_ = std::make_shared<Connection>();
  return CheckConnection(connection_);
}

void TableObject::SageConnection(std::shared_ptr<Connection> connection) {
  connection_ = std::move(connection);
  for (StatementHolder* h : holders_) h->Connection(connection_);
  ConnectionChanged();
}

TARNLOW_STATEMENT_PATH Connection& TableObject::Conn() {
  // The common case goes straight through; the check and its message are
  // for a missing connection only.
  if (connection_ && connection_->IsOpen()) return *connection_;
  // The getter stores an unopened connection object when there is none, so
  // the check passes; that object reports itself closed on its first use.
  return *SageConnection();
}

std::string TableObject::TableName(CatalogueTable table) {
  return Conn().TableCatalogue()->Name(table);
}

void TableObject::DeclareParameter(StatementHolder& holder, const tables::Column& c) {
  switch (c.kind) {
    case ValueKind::Text: holder.AddTextParameter(c.name, c.size); break;
    case ValueKind::Date:
      if (c.Has(tables::kDateKeyOnKind2) && KindTwo())
        holder.AddTextParameter(c.name, 6);
      else
        holder.AddDateParameter(c.name);
      break;
    default: holder.AddNumberParameter(c.name); break;
  }
}

void TableObject::DeclareParameters(StatementHolder& holder, std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns) DeclareParameter(holder, *c.declaration);
}

// Text goes into the parameter's own storage. The connection's TextValue
// passes text through unchanged, so only its check of the connection is
// kept on this path.
TARNLOW_STATEMENT_PATH void TableObject::BindText(Command& command, const tables::Column& c,
                                                  const std::string& text) {
  if (c.kind != ValueKind::Text) return BindColumn(command, c, Variant(text));
  Parameter& p = command.Declared(c);
  Conn();
  p.value.AssignText(text);
}

void TableObject::BindColumn(Command& command, const tables::Column& c, const Variant& v) {
  BindColumn(command.Declared(c), c, v);
}

void TableObject::BindColumn(Parameter& p, const tables::Column& c, const Variant& v) {
  switch (c.kind) {
    case ValueKind::Text:
      if (const std::string* text = v.AsText()) {
        Conn();
        p.value.AssignText(*text);
      } else {
        p.value = Conn().TextValue(v.ToText());
      }
      break;
    case ValueKind::Date: {
      const Date date = v.ToDate();
      if (c.Has(tables::kNullWhenZero) && date.IsZero())
        p.value = Variant(Null);
      else if (c.Has(tables::kDateKeyOnKind2) && KindTwo())
        p.value = Variant(DateKeyText(date));
      else
        p.value = Conn().DateValue(date);
      break;
    }
    default: p.value.AssignNumber(v.ToDouble()); break;
  }
}

void TableObject::UseHolders(std::initializer_list<StatementHolder*> holders) {
  holders_ = holders;
  for (StatementHolder* h : holders_) h->Command().owner_ = this;
}

TARNLOW_STATEMENT_PATH TableObject::ParameterPass::ParameterPass(TableObject& object, Command& command,
                                                                 bool bind)
    : object_(object), command_(command), own_(object.Owns(command)) {
  if (bind)
    command_.BeginPass();
  else
    command_.Forget();
}

// Inline, so that the loop over a statement's columns makes no call but
// the property's own and the statement's binding. A value the database
// refuses (a date out of its range) ends the pass and is left to the run,
// which raises it at the run's line, as it always has.
template <bool Planned, class Binding>
[[gnu::always_inline]] inline void TableObject::ParameterPass::Bound(std::size_t i, Binding&& binding) {
  try {
    binding();
    if constexpr (Planned)
      ++bound_;
    else
      bound_ += command_.Stamp(i);
  } catch (const Error&) {
    command_.Forget();
  }
}

template <bool Planned>
[[gnu::always_inline]] inline void TableObject::ParameterPass::Bind(std::size_t i) {
  CompiledStatement* statement = command_.PassStatement();
  if (statement == nullptr) return;
  const Variant& value = command_.parameters_[i].value;
  const int index = static_cast<int>(i) + 1;
  if (const std::string* text = value.AsText()) {
    // A NUL or bytes that are no UTF-8 are refused by the run, as ever.
    if (!sqltext::Unfit(*text)) Bound<Planned>(i, [&] { statement->BindTextInPlace(index, *text); });
  } else if (value.Type() == VarType::Double) {
    Bound<Planned>(i, [&] { statement->BindNumber(index, value.ToDouble()); });
  } else {
    Bound<Planned>(i, [&] { statement->BindInPlace(index, value); });
  }
}

// Text checks the connection as BindText does, once for all the columns:
// nothing between two of them can close it.
template <bool Planned>
[[gnu::always_inline]] inline void TableObject::ParameterPass::WriteAt(const ColumnInfo& c, std::size_t i,
                                                                       bool as_is) {
  const tables::Column& column = *c.declaration;
  fresh_ = false;
  if (column.kind == ValueKind::Text) {
    if (!connected_) {
      object_.Conn();
      connected_ = true;
    }
    if (own_ && c.kind == ValueKind::Text && c.storage != nullptr) {
      const std::string& text = *static_cast<const std::string*>(c.storage(object_));
      command_.Tie(i, text);
      CompiledStatement* statement = command_.PassStatement();
      if (statement && !sqltext::Unfit(text))
        Bound<Planned>(i, [&] { statement->BindTextInPlace(static_cast<int>(i) + 1, text); });
      return;
    }
  }
  Parameter& p = command_.Untied(i);
  if (c.put == nullptr || !c.put(object_, column, p.value)) {
    if (as_is)
      p.value = c.get(object_);
    else
      object_.BindColumn(p, column, c.get(object_));
  }
  Bind<Planned>(i);
}

[[gnu::always_inline]] inline void TableObject::ParameterPass::Write(const ColumnInfo& c, bool as_is) {
  WriteAt<false>(c, command_.DeclaredIndex(*c.declaration), as_is);
}

void TableObject::ParameterPass::Put(const ColumnInfo& c) {
  Write(c, false);
}

void TableObject::ParameterPass::PutAsIs(const ColumnInfo& c) {
  Write(c, true);
}

void TableObject::ParameterPass::PutAll(std::span<const ColumnInfo> columns) {
  PutList(columns, false);
}

TARNLOW_STATEMENT_PATH void TableObject::ParameterPass::PutWithDatesAsIs(
    std::span<const ColumnInfo> columns) {
  PutList(columns, true);
}

namespace {

// Whether a list lives as long as the program, as a class's own list of
// its properties does: only such a list is known again by its address.
bool Lasting(const void* list) {
  Dl_info info;
  return dladdr(list, &info) != 0;
}

}  // namespace

// The plan's steps, with what stays the same from column to column kept at
// hand: the statement (null once a binding fails), the ties and the count.
// The object's own text, double and date properties are read and bound
// where they lie; any other entry goes the general way.
TARNLOW_STATEMENT_PATH void TableObject::ParameterPass::PutPlanned(bool dates_as_is) {
  using Step = Command::PlanStep;
  Command& command = command_;
  fresh_ = false;
  if (command.plan_texts_ && !connected_) {
    object_.Conn();
    connected_ = true;
  }
  CompiledStatement* statement = command.PassStatement();
  const std::string** tied = command.Ties();
  std::size_t bound = 0;
  auto bind = [&](auto&& binding) {
    try {
      binding();
      ++bound;
    } catch (const Error&) {
      command.Forget();
      statement = nullptr;
    }
  };
  for (const Step& step : command.plan_) {
    const std::size_t i = step.index;
    const int index = static_cast<int>(i) + 1;
    switch (step.how) {
      case Step::None: continue;
      case Step::Text: {
        const std::string& text = *static_cast<const std::string*>(step.field);
        tied[i] = &text;
        // A NUL or bytes that are no UTF-8 are refused by the run, as ever.
        if (statement && !sqltext::Unfit(text)) bind([&] { statement->BindTextInPlace(index, text); });
        continue;
      }
      case Step::Number: {
        // As the entry's put writes it; what is no number at all goes the
        // general way, which raises.
        const double number = *static_cast<const double*>(step.field);
        if (!std::isfinite(number)) break;
        command.Untied(i).value.AssignNumber(number);
        if (statement) bind([&] { statement->BindNumber(index, number); });
        continue;
      }
      case Step::Date: {
        // As the entry's get gives it.
        const Date& date = *static_cast<const Date*>(step.field);
        command.Untied(i).value.AssignDate(date);
        if (statement) bind([&] { statement->BindDate(index, date); });
        continue;
      }
      case Step::General: break;
    }
    bound_ += bound;
    bound = 0;
    WriteAt<true>(*step.entry, i, dates_as_is && step.entry->kind == ValueKind::Date);
    statement = command.PassStatement();
  }
  bound_ += bound;
}

// A pass over the object's own command that sets nothing else follows the
// command's plan when it has one for the list; otherwise it looks each
// parameter up, and makes the plan when the list names every parameter
// once and lasts.
TARNLOW_STATEMENT_PATH void TableObject::ParameterPass::PutList(std::span<const ColumnInfo> columns,
                                                                bool dates_as_is) {
  using Step = Command::PlanStep;
  Command& command = command_;
  std::vector<Step>& plan = command.plan_;
  if (fresh_ && own_ && command.plan_list_ == columns.data() && plan.size() == columns.size() &&
      command.plan_dates_as_is_ == dates_as_is) {
    PutPlanned(dates_as_is);
    planned_ = true;
    // Lookups by name after the list are counted from where they would be
    // without the plan.
    command.lookups_ += command.parameters_.size();
    return;
  }
  const bool planning = fresh_ && own_;
  if (planning) {
    command.plan_list_ = nullptr;
    command.plan_texts_ = false;
    plan.clear();
  }
  std::size_t declared = 0;
  for (const ColumnInfo& c : columns) {
    if (c.declaration == nullptr) {
      if (planning) plan.push_back({nullptr, nullptr, 0, Step::None});
      continue;
    }
    const std::size_t i = command.DeclaredIndex(*c.declaration);
    const bool as_is = dates_as_is && c.kind == ValueKind::Date;
    WriteAt<false>(c, i, as_is);
    ++declared;
    if (!planning) continue;
    // The kinds of step follow the general way's own choices.
    const ValueKind kind = c.declaration->kind;
    Step step{&c, nullptr, static_cast<std::uint32_t>(i), Step::General};
    if (const void* stored = c.storage ? c.storage(object_) : nullptr) {
      if (kind == ValueKind::Text && c.kind == ValueKind::Text) {
        step = {&c, stored, step.index, Step::Text};
        command.plan_texts_ = true;
      } else if (c.kind == ValueKind::Double && kind != ValueKind::Text && kind != ValueKind::Date) {
        step = {&c, stored, step.index, Step::Number};
      } else if (as_is) {
        step = {&c, stored, step.index, Step::Date};
      }
    }
    plan.push_back(step);
  }
  // Statements have far fewer parameters than a plan can hold.
  constexpr std::size_t kMostPlanned = 512;
  if (planning && declared == command.parameters_.size() && declared <= kMostPlanned &&
      Lasting(columns.data())) {
    std::bitset<kMostPlanned> named;
    for (const Step& step : plan) {
      if (step.how == Step::None) continue;
      if (named[step.index]) return;  // a parameter named twice
      named[step.index] = true;
    }
    command.plan_list_ = columns.data();
    command.plan_dates_as_is_ = dates_as_is;
  }
}

void TableObject::ParameterPass::Set(const tables::Column& column, Variant value) {
  fresh_ = false;
  const std::size_t i = command_.DeclaredIndex(column);
  command_.Untied(i).value = std::move(value);
  if (!planned_) return Bind(i);
  // The plan has counted this parameter already, and a binding counts once.
  const std::size_t counted = bound_;
  Bind<true>(i);
  bound_ = counted;
}

void TableObject::SetParameter(Command& command, const ColumnInfo& c) {
  ParameterPass(*this, command, false).Put(c);
}

TARNLOW_STATEMENT_PATH void TableObject::SetParameters(Command& command,
                                                       std::span<const ColumnInfo> columns) {
  ParameterPass(*this, command).PutList(columns, false);
}

std::string TableObject::ColumnList(std::span<const ColumnInfo> columns) {
  std::string out;
  for (const ColumnInfo& c : columns) {
    if (!out.empty()) out += ',';
    out += c.column;
  }
  return out;
}

std::string TableObject::Placeholders(std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += i == 0 ? "?" : ",?";
  return out;
}

std::vector<ColumnInfo> TableObject::TableColumns(std::span<const ColumnInfo> columns) {
  std::vector<ColumnInfo> out;
  for (const ColumnInfo& c : columns)
    if (c.declaration) out.push_back(c);
  return out;
}

// The entries that the row set can fill go to it together, a piece at a
// time, so that a list of any length needs no storage of its own.
void TableObject::CopyRow(const Recordset& rs, std::span<const ColumnInfo> columns) {
  constexpr std::size_t kPiece = 32;
  std::array<CellCopy, kPiece> cells;
  std::size_t n = 0;
  auto flush = [&] {
    if (n > 0) rs.CopyCells(std::span(cells.data(), n));
    n = 0;
  };
  for (const ColumnInfo& c : columns) {
    if (c.cell_ == nullptr || c.declaration == nullptr) {
      flush();
      c.set_(*this, FieldOf(rs, c));
      continue;
    }
    cells[n++] = c.cell_(*this, *c.declaration);
    if (n == kPiece) flush();
  }
  flush();
}

void TableObject::Assign(const ColumnInfo& column, const Variant& value) {
  column.set_(*this, value);
}

void TableObject::AssignEmpty(const ColumnInfo& column, const Variant& zero) {
  if (column.cell_ != nullptr && column.declaration != nullptr) {
    const CellCopy cell = column.cell_(*this, *column.declaration);
    if (cell.kind == CellCopy::Text && column.kind == ValueKind::Text)
      return static_cast<std::string*>(cell.out)->clear();
    if (cell.kind == CellCopy::Number && column.kind == ValueKind::Double) {
      *static_cast<double*>(cell.out) = 0;
      return;
    }
  }
  AssignEmptyValue(column, zero);
}

// Apart from AssignEmpty, so that the Variants it makes do not weigh on the
// way in place, which most properties take.
[[gnu::noinline]] void TableObject::AssignEmptyValue(const ColumnInfo& column, const Variant& zero) {
  switch (column.kind) {
    case ValueKind::Text: Assign(column, Variant(std::string())); break;
    case ValueKind::Date: Assign(column, Variant(Date())); break;
    default: Assign(column, zero); break;
  }
}

TARNLOW_STATEMENT_PATH TableObject::RowSetCloser::~RowSetCloser() {
  if (rs.State() == adStateOpen) rs.Close();
}

Variant TableObject::HighestNumber(Command& query) {
  std::shared_ptr<Recordset> rs = query.Execute();
  RowSetCloser closer{*rs};
  return rs->AtEOF() ? Variant(Null) : rs->Fields(std::size_t{0});
}

bool TableObject::TryInsert(Command& insert) {
  Err().Clear();
  try {
    insert.ExecuteNoCount();
    return true;
  } catch (const Error& e) {
    if (e.Number() != DbIntegrityViolation) throw;
  }
  return false;
}

std::string TableObject::FreshUniqueNumber() {
  return UniqueNumber().substr(0, 8);
}

TARNLOW_STATEMENT_PATH void TableObject::InsertWithUniqueNumber(StatementHolder& holder,
                                                                std::string_view retry_prompt,
                                                                bool answer_decides,
                                                                std::string_view failed_text) {
  Command& command = holder.Command();
  try {
    command.ExecuteNoCount();
    return;
  } catch (...) {
    if (!KindTwo()) throw;
  }
  // A clash on the unique number is the likely cause: one more attempt
  // under a new number.
  const int answer = MsgBox(retry_prompt, vbOKOnly);
  if (answer_decides && answer != vbOK) return;
  holder("unique_no", Variant(FreshUniqueNumber()));
  try {
    command.ExecuteNoCount();
  } catch (...) {
    MsgBox(failed_text, vbCritical);
  }
}

}  // namespace tarnlow
