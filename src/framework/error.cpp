#include "tarnlow/error.h"

#include <new>

namespace tarnlow {

std::string RuntimeErrorText(std::int32_t number) {
  switch (number) {
    case err::InvalidProcedureCall: return "Invalid procedure call or argument";
    case err::Overflow: return "Overflow";
    case 7: return "Out of memory";
    case err::SubscriptOutOfRange: return "Subscript out of range";
    case err::DivisionByZero: return "Division by zero";
    case err::TypeMismatch: return "Type mismatch";
    case 51: return "Internal error";
    case err::ObjectNotSet: return "Object variable or With block variable not set";
    case err::InvalidUseOfNull: return "Invalid use of Null";
    case err::CannotCreateObject: return "Component can't create object";
    case err::NotSupported: return "Object doesn't support this property or method";
    case 451: return "Object not a collection";
    case err::WrongArguments: return "Wrong number of arguments or invalid property assignment";
    case err::DuplicateKey: return "This key is already associated with an element of this collection";
    case err::ItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case err::ObjectClosed: return "Operation is not allowed when the object is closed.";
    case err::ObjectOpen: return "Operation is not allowed when the object is open.";
    case err::NoCurrentRecord:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case err::NotAllowed:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
             "with one another.";
    case err::UpdateNotSupported:
      return "Current Recordset does not support updating. This may be a limitation of the "
             "provider, or of the selected locktype.";
    case err::NoTransaction: return "No transaction is active.";
    case err::TransactionEnded:
      return "The database has rolled the transaction back after a failed statement; end it with "
             "RollbackTrans to go on.";
    case err::RowNotLocated:
      return "Row cannot be located for updating. Some values may have been changed since it "
             "was last read.";
    default: return "Application-defined or object-defined error";
  }
}

void RaiseRuntime(std::int32_t number) {
  throw Error(number, RuntimeSource, RuntimeErrorText(number));
}

void RaiseRuntime(std::int32_t number, std::string description) {
  throw Error(number, RuntimeSource, std::move(description));
}

void ErrObject::Clear() {
  *this = ErrObject();
}

void ErrObject::Set(const Error& e, std::int32_t line) {
  Number = e.Number();
  Source = e.Source();
  Description = e.Description();
  Line = line;
  Context = e.Context();
}

void ErrObject::Raise(std::int32_t number, std::string source, std::string description) {
  Number = number;
  Source = source;
  Description = description;
  throw Error(number, std::move(source), std::move(description), Context);
}

ErrObject& Err() {
  thread_local ErrObject current;
  return current;
}

Error CurrentException() {
  try {
    throw;
  } catch (const Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return Error(7, RuntimeSource, RuntimeErrorText(7));
  } catch (const std::exception& e) {
    return Error(51, RuntimeSource, e.what());
  } catch (...) {
    return Error(51, RuntimeSource, RuntimeErrorText(51));
  }
}

}  // namespace tarnlow
