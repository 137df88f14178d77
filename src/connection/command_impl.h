// The connection layer's part of a command: its parameters, the column each
// was declared for, its compiled statement and the row set of its last run.
// Table objects reach it through CommandAccess to set parameters from their
// properties and to read a first row in place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "connection/backend.h"
#include "tarnlow/command.h"
#include "tarnlow/name_index.h"
#include "tarnlow/recordset.h"

namespace tarnlow {

struct Command::Impl {
  std::string sql;
  int type = adCmdText;
  bool prepared = true;
  std::shared_ptr<Connection> connection;
  std::vector<Parameter> parameters;
  // Per parameter, the column it was declared for; null for one appended
  // by name.
  std::vector<const tables::Column*> declared;
  NameIndex names;
  std::shared_ptr<CompiledStatement> statement;
  // The row set of the last run, which the next run reuses: valid until
  // then.
  std::shared_ptr<Recordset> last;

  void Append(Parameter parameter, const tables::Column* column);
  // The parameter of that name; raises ItemNotFound.
  std::size_t IndexOf(std::string_view name) const;
  // The parameter declared for a column: `expected` first, since values are
  // mostly set in the order the parameters were declared, then the first
  // declared for it (comparing declarations costs less than hashing a name),
  // and by name only for a column no parameter was declared for.
  std::size_t IndexOf(const tables::Column& column, std::size_t expected) const {
    if (expected < declared.size() && declared[expected] == &column) return expected;
    for (std::size_t i = 0; i < declared.size(); ++i)
      if (declared[i] == &column) return i;
    return IndexOf(column.name);
  }
  // The statement is compiled again before the next run.
  void Recompile() { statement.reset(); }
  // Compiles when needed, binds every parameter's value and runs.
  Recordset& Run(CompiledStatement::Rows rows);
  // The rows changed when `count` asks for them, 0 otherwise.
  std::int64_t RunNoRows(bool count);

 private:
  CompiledStatement& CompileAndBind();
  std::string StatementText() const;
};

struct CommandAccess {
  static Command::Impl& Of(Command& command) { return command.Own(); }
};

}  // namespace tarnlow
