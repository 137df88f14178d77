// Statements with declared parameters: the command that runs one, and the
// statement holder through which table objects prepare theirs.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "tarnlow/connection.h"
#include "tarnlow/value.h"

namespace tarnlow {

class Recordset;

enum class ParameterType : std::uint8_t { Text, Number, Date };

struct Parameter {
  std::string name;
  ParameterType type;
  std::int32_t size;  // text only
  Variant value;
};

inline constexpr int adCmdText = 1;
inline constexpr int adCmdTable = 2;
inline constexpr int adCmdUnknown = 8;

// A statement with its declared parameters on a connection. A prepared
// command is compiled on its first execution and re-executed with new
// values afterwards; one that is not is compiled for each execution. Each
// run binds every parameter's value as it is then.
class TARNLOW_API Command {
 public:
  Command();
  ~Command();
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  void CommandText(std::string sql);
  const std::string& CommandText() const;
  // adCmdText (or adCmdUnknown): the text is a statement; adCmdTable: the
  // text names a table whose rows the command reads. Any other type raises
  // "Arguments are of the wrong type...".
  void CommandType(int type);
  int CommandType() const;
  // True (the default: statement holders exist to prepare once) keeps the
  // compiled statement for later executions.
  void Prepared(bool prepared);
  bool Prepared() const;
  void ActiveConnection(std::shared_ptr<Connection> connection);

  void Append(Parameter parameter);
  void ClearParameters();
  std::span<Parameter> Parameters();
  // The parameter of that name, letter case ignored (the first of two of
  // one name); raises "Item cannot be found in the collection..." when
  // there is none.
  Parameter& operator[](std::string_view name);

  // Runs the statement; the row set is positioned on its first row. A text
  // value holding a NUL character is refused before anything runs.
  std::shared_ptr<Recordset> Execute();
  // The same for a caller that reads the first row only: the rows after it
  // may be left unread.
  std::shared_ptr<Recordset> ExecuteForFirstRow();
  // Runs the statement and discards any rows; returns the rows changed.
  std::int64_t ExecuteNoRows();
  // The same for a caller that does not ask how many rows changed, which
  // some databases make a client work out from the server's answer.
  void ExecuteNoCount();

  // The connection layer's own part of the command.
  struct Impl;

 private:
  friend struct CommandAccess;
  Impl& Own() { return impl_ ? *impl_ : Make(); }
  TARNLOW_LOCAL Impl& Make();
  TARNLOW_LOCAL const Impl& Own() const;
  std::unique_ptr<Impl> impl_;
};

class TARNLOW_API StatementHolder {
 public:
  StatementHolder();

  bool Prepared() const { return prepared_; }
  void Prepared(bool prepared) { prepared_ = prepared; }
  const std::string& SQL() const { return command_.CommandText(); }
  void SQL(std::string sql) { command_.CommandText(std::move(sql)); }
  const std::shared_ptr<tarnlow::Connection>& Connection() const { return connection_; }
  void Connection(std::shared_ptr<tarnlow::Connection> connection);
  tarnlow::Command& Command() { return command_; }

  void AddTextParameter(std::string_view name, std::int32_t size);
  void AddNumberParameter(std::string_view name);
  void AddDateParameter(std::string_view name);
  // Give a declared parameter its value, converted as the connection's
  // TextValue and DateValue convert property values. TextValue passes text
  // through unchanged: it goes into the parameter's own storage, which a
  // value set over and over keeps.
  void SetTextValue(std::string_view name, const std::string& value) { SetTextValue(command_[name], value); }
  void SetNumberValue(std::string_view name, double value) { SetNumberValue(command_[name], value); }
  void SetDateValue(std::string_view name, const Date& value) { SetDateValue(command_[name], value); }
  // The same for one of this holder's parameters at hand.
  static void SetTextValue(Parameter& parameter, const std::string& value) {
    parameter.value.AssignText(value);
  }
  static void SetNumberValue(Parameter& parameter, double value) { parameter.value.AssignNumber(value); }
  void SetDateValue(Parameter& parameter, const Date& value) const {
    parameter.value = connection_ ? connection_->DateValue(value) : Variant(value);
  }
  void ClearParameters();
  // The default member: gives the named parameter a new value.
  void operator()(std::string_view name, Variant value);

 private:
  bool prepared_ = false;
  std::shared_ptr<tarnlow::Connection> connection_;
  tarnlow::Command command_;
};

}  // namespace tarnlow
