// Operations that many table classes run the same way: the prepare operation
// of a statement, the read of one row by its key, and the run of a statement
// whose parameters are the columns of the property list (the insert of a
// whole row). A class that uses them is written as
//   class clsX final : public TablePieces<clsX> { ... };
// Each class keeps its own statement text, error exit labels and what a
// missing row means; the routines number their steps for that error exit as
// the class's own steps are numbered.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "tarnlow/connection.h"
#include "tarnlow/modules.h"
#include "tarnlow/table_object.h"

namespace tarnlow {

template <class Derived>
class TablePieces : public TableClass<Derived> {
 protected:
  // The line of the caller's error exit that a routine's later step runs
  // under; none for an operation without an error exit.
  struct Step {
    Line* line = nullptr;
    Line number = 0;
    void Begin() const {
      if (line) *line = number;
    }
  };

  // A key value given as it stands, through the holder's default member,
  // rather than from its property through the connection's conversion.
  struct AsIs {
    std::string_view name;
    Variant value;
  };

  // Which error exit an operation has (modules.h).
  enum class Exit { Saved, Direct };

  // The prepare operation of the usual steps, under the error exit with
  // `label`: step 10 does nothing more when the statement is prepared
  // already; step 20 sets its text (`text()`, built only then, so that the
  // catalogue is asked once); step 30 declares its parameters (`declare()`);
  // step 40 marks it prepared. A failure leaves it unprepared.
  template <Exit E = Exit::Saved, class Text, class Declare>
  static void PrepareStatement(std::string_view label, StatementHolder& holder, Text&& text,
                               Declare&& declare) {
    const auto steps = [&](Line& line) {
      line = 10;
      TableObject::PrepareOnce(holder, [&] {
        line = 20;
        holder.SQL(text());
        line = 30;
        declare();
        line = 40;
      });
    };
    if constexpr (E == Exit::Saved)
      WithErrorExit(label, steps);
    else
      WithDirectErrorExit(label, steps);
  }

  // The read of one row by key, its statement prepared: sets each key
  // parameter (a property, as SetParameter sets it, or an AsIs value) in the
  // order given, then, on step `read`, runs the statement and copies its
  // first row with `copy`. False, with nothing copied, when there is no row;
  // the row set is closed on every path.
  template <class Copy, class... Key>
  bool ReadByKey(StatementHolder& holder, Step read, Copy&& copy, const Key&... key) {
    Command& command = holder.Command();
    (SetKey(holder, command, key), ...);
    read.Begin();
    return TableObject::ReadOneRow(command, copy);
  }

  // `head` + " ( c1,c2,...)" + " VALUES ( ?,?,...)": the insert of a value
  // for every column of the list, in list order. `head` is "INSERT INTO "
  // and the table's name, as each class writes it.
  static std::string InsertText(const std::string& head, std::span<const ColumnInfo> columns) {
    return head + " ( " + TableObject::ColumnList(columns) + ")" + " VALUES ( " +
           TableObject::Placeholders(columns.size()) + ")";
  }

  // The run of a prepared statement whose parameters are the columns of the
  // list: sets each from its property (SetParameters: entries that are no
  // column are passed over), then lets `adjust` give the parameters that the
  // class binds otherwise, and on step `run` executes the statement without
  // a row set.
  template <class Adjust>
  void RunWithColumns(StatementHolder& holder, std::span<const ColumnInfo> columns, Step run,
                      Adjust&& adjust) {
    Command& command = holder.Command();
    this->SetParameters(command, columns);
    adjust(command);
    run.Begin();
    command.ExecuteNoCount();
  }
  void RunWithColumns(StatementHolder& holder, std::span<const ColumnInfo> columns, Step run) {
    RunWithColumns(holder, columns, run, [](Command&) {});
  }

 private:
  template <class Key>
  void SetKey(StatementHolder& holder, Command& command, const Key& key) {
    if constexpr (std::is_same_v<Key, AsIs>)
      holder(key.name, key.value);
    else
      this->SetParameter(command, key);
  }
};

}  // namespace tarnlow
