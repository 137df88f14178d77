#include "tarnlow/table_object.h"

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

Connection& TableObject::Conn() {
  // The common case goes straight through; the check and its message are
  // for a missing connection only.
  if (connection_ && connection_->IsOpen()) return *connection_;
  auto checked = SageConnection();
  if (!checked) RaiseRuntime(err::ObjectNotSet);
  return *checked;
}

std::string TableObject::TableName(CatalogueTable table) {
  return Conn().TableCatalogue()->Name(table);
}

void TableObject::DeclareParameters(StatementHolder& holder, std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns) {
    switch (c.kind) {
      case ValueKind::Text: holder.AddTextParameter(c.column, c.size); break;
      case ValueKind::Date: holder.AddDateParameter(c.column); break;
      default: holder.AddNumberParameter(c.column); break;
    }
  }
}

void TableObject::SetParameter(Command& command, const ColumnInfo& c) {
  Parameter& p = command[c.column];
  Variant v = c.get(*this);
  switch (c.kind) {
    case ValueKind::Text: p.value = Conn().TextValue(*v.AsText()); break;
    case ValueKind::Date: p.value = Conn().DateValue(v.ToDate()); break;
    default: p.value = Variant(v.ToDouble()); break;
  }
}

void TableObject::SetParameters(Command& command, std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns) SetParameter(command, c);
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

void TableObject::CopyRow(const Recordset& rs, std::span<const ColumnInfo> columns) {
  for (const ColumnInfo& c : columns) c.set(*this, rs.Fields(c.column));
}

}  // namespace tarnlow
