// What every table object shares: its connection (`SageConnection`), the
// statement holders it hands that connection to, and the routines that turn
// a property list into parameters and rows into properties.
#pragma once

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tarnlow/connection.h"
#include "tarnlow/object.h"

namespace tarnlow {

class TARNLOW_API TableObject : public Object {
 public:
  // The connection; a missing or unopened one is reported by the connection
  // check ("Uninitialised connection") and comes back as no object.
  std::shared_ptr<Connection> SageConnection();
  // Stores the connection and hands it to every statement holder.
  void SageConnection(std::shared_ptr<Connection> connection);

 protected:
  TableObject() = default;

  // The holders that receive the connection when it is set.
  void UseHolders(std::initializer_list<StatementHolder*> holders) { holders_ = holders; }
  // Called after a new connection is stored.
  virtual void ConnectionChanged() {}

  // The connection for an operation; raises "Object variable ... not set"
  // after the connection check when there is none.
  Connection& Conn();
  // The physical name of a table, asked of the catalogue.
  std::string TableName(CatalogueTable table);

  // Declares one parameter per property entry, named after its column: text
  // with its size, numbers and dates.
  static void DeclareParameters(StatementHolder& holder, std::span<const ColumnInfo> columns);
  // Gives each entry's parameter the property's value: text through the
  // connection's TextValue, dates through DateValue, numbers unchanged.
  void SetParameters(Command& command, std::span<const ColumnInfo> columns);
  void SetParameter(Command& command, const ColumnInfo& column);
  // "c1,c2,...": the columns of the entries, in list order.
  static std::string ColumnList(std::span<const ColumnInfo> columns);
  // "?,?,...": one placeholder per parameter.
  static std::string Placeholders(std::size_t count);
  // Copies each entry's field of the current row into its property.
  void CopyRow(const Recordset& rs, std::span<const ColumnInfo> columns);

 private:
  std::shared_ptr<Connection> connection_;
  std::vector<StatementHolder*> holders_;
};

}  // namespace tarnlow
