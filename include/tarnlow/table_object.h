// What every table object shares: its connection, the statement holders it
// hands it to, the routines that turn a property list into statements,
// parameters and rows, and the operations that recur from class to class.
// A class is written as
//   class clsX final : public TableClass<clsX> {
//     TARNLOW_TABLE_CLASS(clsX, TARNLOW_clsX_PROPERTIES)
//     ... its operations ...
//   };
// and, in its source file, TARNLOW_DEFINE_CLASS(clsX, LIST, "{class id}",
// "{interface id}") followed by the body that lists its interface.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnlow/command.h"
#include "tarnlow/connection.h"
#include "tarnlow/object.h"
#include "tarnlow/recordset.h"
#include "tarnlow/registry.h"
#include "tarnlow/row_cache.h"

namespace tarnlow {

namespace detail {
template <class C>
class ClassBuilder;
}  // namespace detail

// Text usable as a template argument: operation names of procedure labels.
template <std::size_t N>
struct FixedString {
  char text[N]{};
  constexpr FixedString(const char (&s)[N]) { std::copy_n(s, N, text); }
  constexpr std::string_view View() const { return {text, N - 1}; }
};

class TARNLOW_API TableObject : public Object {
 public:
  // The connection, through the connection check; when none was set, a new
  // unopened one, which reports itself closed on first use.
  std::shared_ptr<Connection> SageConnection();
  // Stores the connection and hands it to every statement holder.
  void SageConnection(std::shared_ptr<Connection> connection);

 protected:
  TableObject() = default;

  void UseHolders(std::initializer_list<StatementHolder*> holders);  // receive the connection
  virtual void ConnectionChanged() {}                                // after a new connection is stored
  // The connection as stored, unchecked: what an owner hands its companions.
  const std::shared_ptr<Connection>& StoredConnection() const { return connection_; }

  Connection& Conn();
  std::string TableName(CatalogueTable table);
  bool KindTwo() { return Conn().DatabaseKind() == 2; }

  // Declares one parameter per entry, named after its column, in list order
  // (a date kind 2 keeps as a date key as six-character text).
  void DeclareParameters(StatementHolder& holder, std::span<const ColumnInfo> columns);
  void DeclareParameter(StatementHolder& holder, const tables::Column& column);
  template <ColumnProperty... P>
  void DeclareParameters(StatementHolder& holder, const P&...) {
    (DeclareParameter(holder, *P::column), ...);
  }
  // Gives each entry's parameter the property's value: text through
  // TextValue, dates through DateValue (or as date-key text, or null for a
  // date not known yet, as the column says), numbers unchanged. Entries that
  // are no column are passed over.
  void SetParameters(Command& command, std::span<const ColumnInfo> columns);
  void SetParameter(Command& command, const ColumnInfo& column);
  // Sets the parameters of one statement from several sources in turn.
  class ParameterPass {
   public:
    ParameterPass(TableObject& object, Command& command);
    // An entry's property as SetParameter sets it; a list's entries (no
    // column: passed over); the same with dates unconverted; a value of the
    // class's own, which may replace what a list put.
    void Put(const ColumnInfo& c);
    void PutAll(std::span<const ColumnInfo> columns);
    void PutWithDatesAsIs(std::span<const ColumnInfo> columns);
    void Set(const tables::Column& column, Variant value);

   private:
    TARNLOW_LOCAL void Write(const ColumnInfo& c, bool date_as_is);

    TableObject& object_;
    Command& command_;
    // Where the next entry's parameter is looked for first.
    std::size_t next_ = 0;
  };
  template <ColumnProperty P>
  void SetParameter(Command& command, const P& property) {
    BindField(ParameterOf(command, *P::column), *P::column, Field(property));
  }
  // "c1,c2,...", "?,?,..." and the entries that are columns, in list order.
  static std::string ColumnList(std::span<const ColumnInfo> columns);
  static std::string Placeholders(std::size_t count);
  static std::vector<ColumnInfo> TableColumns(std::span<const ColumnInfo> columns);

  // Copies each entry's field of the current row into its property, in list
  // order (a failing conversion leaves the later ones). Given `date`, date
  // columns go to it with their field (null when absent) and entries of no
  // column are passed over.
  using DateField = void (*)(TableObject& self, const ColumnInfo& entry, const Variant* field);
  void CopyRow(const Recordset& rs, std::span<const ColumnInfo> columns, DateField date = nullptr);
  void Assign(const ColumnInfo& column, const Variant& value);
  // Assigns empty text, the zero date or `zero` (a number 0 of the class's
  // type), as the property's kind says; in place where a copy fills it.
  void AssignEmpty(const ColumnInfo& column, const Variant& zero);
  // CopyRow for the properties named, in order.
  template <ColumnProperty... P>
  void CopyFields(const Recordset& rs, P&... properties) {
    const CellCopy cells[] = {CellCopy::Into(*P::column, Field(properties))...};
    rs.CopyCells(cells);
  }

  // The current row's value for a property's column.
  static const Variant& FieldOf(const Recordset& rs, const ColumnInfo& c) { return rs.Field(c.column); }
  static Parameter& ParameterOf(Command& command, const tables::Column& column);
  template <class Build>
  static void PrepareOnce(StatementHolder& holder, Build&& build) {
    if (holder.Prepared()) return;
    build();
    holder.Prepared(true);
  }
  // Runs a read and copies its first row, closing the row set on every path;
  // false without a row.
  template <class Copy>
  static bool ReadOneRow(Command& command, Copy&& copy) {
    Recordset& rs = RunForFirstRowInPlace(command);
    RowSetCloser closer{rs};
    if (rs.AtEOF()) return false;
    copy(rs);
    return true;
  }
  // The first field of a next-number query's row, Null without one; closed
  // at once, since an open read would pin the table's snapshot.
  static Variant HighestNumber(Command& query);
  // Runs the insert under candidate after candidate (`next()`, raising when
  // none is left; `assign(text)` puts it into statement and property) until
  // the database takes one: a key clash means another writer took it, any
  // other failure ends the insert.
  template <class Next, class Assign>
  static void InsertUnderFreeNumber(Command& insert, Next&& next, Assign&& assign) {
    for (;;) {
      assign(next());
      if (TryInsert(insert)) return;
    }
  }
  // An insert under a fresh unique number on kind 2: a failure shows
  // `retry_prompt` and retries once under a new number (only on OK if
  // `answer_decides`); a second failure is only shown (`failed_text`).
  // Elsewhere the database's error reaches the caller.
  void InsertWithUniqueNumber(StatementHolder& holder, std::string_view retry_prompt, bool answer_decides,
                              std::string_view failed_text);
  static std::string FreshUniqueNumber();

 private:
  struct RowSetCloser {
    Recordset& rs;
    ~RowSetCloser();
  };
  static bool TryInsert(Command& insert);
  // A read whose first row the caller copies, then closes, at once.
  TARNLOW_LOCAL static Recordset& RunForFirstRowInPlace(Command& command);
  // A property's value for its column's parameter, as SetParameters binds.
  TARNLOW_LOCAL void BindColumn(Parameter& parameter, const tables::Column& column, const Variant& value);
  // The same from a property's own field: text for a text column and a
  // finite number for a number column go straight into the parameter,
  // without a Variant in between, which is how most keys and values go.
  TARNLOW_LOCAL void BindField(Parameter& parameter, const tables::Column& column, const std::string& text);
  TARNLOW_LOCAL void BindField(Parameter& parameter, const tables::Column& column, double number);
  template <class T>
  void BindField(Parameter& parameter, const tables::Column& column, const T& value) {
    BindColumn(parameter, column, Variant(value));
  }
  TARNLOW_LOCAL void AssignEmptyValue(const ColumnInfo& column, const Variant& zero);

  std::shared_ptr<Connection> connection_;
  std::vector<StatementHolder*> holders_;
};

// The skeleton of a table class: its class description and the procedure
// labels of its error exits.
template <class Derived>
class TableClass : public TableObject {
 public:
  const ClassInfo& Class() const override { return Derived::Info(); }

 protected:
  // "<Op> of Class Module <class><kLabelEnding>", joined when compiled.
  template <FixedString Op>
  static std::string_view Label() {
    return {kLabel<Op>.data(), kLabel<Op>.size()};
  }
  static constexpr std::string_view kLabelEnding = "";

 private:
  static constexpr std::string_view kModule = " of Class Module ";
  template <FixedString Op>
  static constexpr auto kLabel = [] {
    constexpr std::string_view parts[] = {Op.View(), kModule, Derived::kClassName, Derived::kLabelEnding};
    std::array<char,
               Op.View().size() + kModule.size() + Derived::kClassName.size() + Derived::kLabelEnding.size()>
        text{};
    auto out = text.begin();
    for (std::string_view part : parts) out = std::copy(part.begin(), part.end(), out);
    return text;
  }();
};

}  // namespace tarnlow

// In the class body: name, class description and the properties of the list.
#define TARNLOW_TABLE_CLASS(C, LIST)           \
  TARNLOW_CLASS_IDENTITY(C)                    \
  TARNLOW_PROPERTIES(C, LIST)                  \
                                               \
 private:                                      \
  friend class ::tarnlow::TableClass<C>;       \
  friend struct ::tarnlow::detail::PassAccess; \
                                               \
 public:

// In the source file: the property entries, the class description built by
// the Describe body that follows, and the registration by name.
#define TARNLOW_DEFINE_CLASS(C, LIST, CLSID, IID) \
  TARNLOW_DEFINE_PROPERTIES(C, LIST)              \
  TARNLOW_DEFINE_CLASS_INFO(C, CLSID, IID)

// Late-bound entries of operations without named arguments, in order.
#define TARNLOW_METHOD_ENTRY(name) .Method<&Self::name>(#name)
#define TARNLOW_METHODS(...) TARNLOW_FOR_EACH(TARNLOW_METHOD_ENTRY, __VA_ARGS__)
