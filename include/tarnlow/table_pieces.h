// Operations many table classes run alike (class clsX : TablePieces<clsX>):
// preparing a statement, reading a row by key, and running a statement
// whose parameters are the property list's columns. Each class keeps its
// statement text, labels and what a missing row means; the routines number
// their steps as the class's own steps are numbered.
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
  // The error exit line a routine's later step runs under (none without one).
  struct Step {
    Line* line = nullptr;
    Line number = 0;
    void Begin() const {
      if (line) *line = number;
    }
  };

  // A key value given as it stands, through the holder's default member.
  struct AsIs {
    std::string_view name;
    Variant value;
  };

  enum class Exit { Saved, Direct };

  // The usual prepare under the error exit with `label`: step 10 stops when
  // prepared already, 20 sets the text (`text()`, built only then), 30
  // declares the parameters, 40 marks it prepared.
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

  // Sets each key parameter (a property, or an AsIs value) in order, then on
  // step `read` runs the statement and copies its first row with `copy`;
  // false when there is no row.
  template <class Copy, class... Key>
  bool ReadByKey(StatementHolder& holder, Step read, Copy&& copy, const Key&... key) {
    Command& command = holder.Command();
    (SetKey(holder, command, key), ...);
    read.Begin();
    return TableObject::ReadOneRow(command, copy);
  }

  // `head` ("INSERT INTO " and the table) + " ( c1,c2,...) VALUES ( ?,?,...)".
  static std::string InsertText(const std::string& head, std::span<const ColumnInfo> columns) {
    return head + " ( " + TableObject::ColumnList(columns) + ")" + " VALUES ( " +
           TableObject::Placeholders(columns.size()) + ")";
  }

  // Sets the list's parameters from their properties, lets `adjust` bind
  // the class's own, and on step `run` executes without a row set.
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
