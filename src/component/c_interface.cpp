// The C interface (tarnlow/tarnlow_c.h) over the registry and late binding.
// Every entry point is noexcept in effect: whatever the C++ side throws
// becomes this thread's error record and a TARNLOW_FAILED return, so no
// exception crosses into a C caller's frames. Anything handed out is built
// completely before the caller's variables change, so a failure half way
// leaves nothing of the library's to free.
#include "component/c_interface.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "tarnlow/component/clsTarnlowSTDataVer.h"
#include "tarnlow/connection.h"
#include "tarnlow/late_binding.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow::capi {
namespace {

// Handles are numbers, never addresses: a slot of the process's handle table
// and the slot's generation, packed into the bits of the pointer type. The
// generation moves on when a handle is released, so a released handle never
// matches the slot's next holder; a value the table never gave out names no
// slot at all. Each call looks its handle up and holds its own reference to
// the object until it returns, so nothing a callback does (releasing the
// very handle, say) can free the object under it.
class HandleTable {
 public:
  tarnlow_object* Add(ObjectPtr object) {
    std::lock_guard lock(mutex_);
    std::uint32_t index = free_;
    if (index == kNone) {
      if (slots_.size() >= kNone) throw std::bad_alloc();
      slots_.emplace_back();
      index = static_cast<std::uint32_t>(slots_.size() - 1);
    }
    Slot& slot = slots_[index];
    free_ = slot.next_free;
    slot.object = std::move(object);
    return Encode(index, slot.generation);
  }

  // The object the handle holds, for the caller to keep while it works.
  ObjectPtr Find(const tarnlow_object* handle) {
    std::lock_guard lock(mutex_);
    return Live(handle).object;
  }

  // Gives the handle's slot back and answers its reference to the object, to
  // be dropped by the caller once the table is unlocked: the object's end may
  // release handles of its own.
  ObjectPtr Remove(const tarnlow_object* handle) {
    std::lock_guard lock(mutex_);
    Slot& slot = Live(handle);
    ObjectPtr object = std::move(slot.object);
    if (++slot.generation == 0) slot.generation = 1;
    slot.next_free = free_;
    free_ = static_cast<std::uint32_t>(&slot - slots_.data());
    return object;
  }

 private:
  static_assert(sizeof(std::uintptr_t) >= sizeof(std::uint64_t), "a handle packs two 32-bit numbers");
  static constexpr std::uint32_t kNone = UINT32_MAX;

  struct Slot {
    ObjectPtr object;
    std::uint32_t generation = 1;  // never 0, so that no handle is the null pointer
    std::uint32_t next_free = kNone;
  };

  static tarnlow_object* Encode(std::uint32_t index, std::uint32_t generation) {
    const std::uint64_t bits = (std::uint64_t{generation} << 32) | index;
    return reinterpret_cast<tarnlow_object*>(static_cast<std::uintptr_t>(bits));
  }

  Slot& Live(const tarnlow_object* handle) {
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
    const auto index = static_cast<std::uint32_t>(bits);
    const auto generation = static_cast<std::uint32_t>(bits >> 32);
    if (index >= slots_.size() || slots_[index].generation != generation || !slots_[index].object)
      RaiseRuntime(err::ObjectNotSet, RuntimeErrorText(err::ObjectNotSet) +
                                          ": the handle was released or is no handle of this library");
    return slots_[index];
  }

  std::mutex mutex_;
  std::vector<Slot> slots_;
  std::uint32_t free_ = kNone;  // first free slot; each free slot names the next
};

HandleTable& Handles() {
  // Never destroyed: objects behind handles a program never released must
  // not run their ends during exit, after what they rely on may be gone.
  static HandleTable& table = *new HandleTable;
  return table;
}

constexpr std::int32_t kOutOfMemory = 7;
constexpr const char* kOutOfMemoryText = "Out of memory";

// The error record of this thread. Its texts live in the strings; when even
// copying them fails, the record falls back to static text.
struct ErrorRecord {
  tarnlow_error shown{0, "", ""};
  std::string source, description;
};
thread_local ErrorRecord t_error;

void ClearError() noexcept {
  t_error.shown = tarnlow_error{0, "", ""};
}

void RecordOutOfMemory() noexcept {
  t_error.shown = tarnlow_error{kOutOfMemory, RuntimeSource, kOutOfMemoryText};
}

void Record(std::int32_t number, const std::string& source, const std::string& description) noexcept {
  try {
    t_error.source = source;
    t_error.description = description;
    t_error.shown = tarnlow_error{number, t_error.source.c_str(), t_error.description.c_str()};
  } catch (...) {
    RecordOutOfMemory();
  }
}

// Call from a catch block.
void RecordCurrentException() noexcept {
  try {
    throw;
  } catch (const Error& e) {
    Record(e.Number(), e.Source(), e.Description());
  } catch (const std::bad_alloc&) {
    RecordOutOfMemory();
  } catch (...) {
    try {
      const Error e = CurrentException();
      Record(e.Number(), e.Source(), e.Description());
    } catch (...) {
      RecordOutOfMemory();
    }
  }
}

template <class Body>
int Guard(Body&& body) noexcept {
  ClearError();
  try {
    body();
    return TARNLOW_OK;
  } catch (...) {
    RecordCurrentException();
    return TARNLOW_FAILED;
  }
}

// The object a call works on; the caller keeps it for the whole call.
ObjectPtr Target(const tarnlow_object* handle) {
  if (handle == nullptr) RaiseRuntime(err::ObjectNotSet);
  return Handles().Find(handle);
}

const char* Required(const char* text) {
  if (text == nullptr) RaiseRuntime(err::InvalidProcedureCall);
  return text;
}

template <class T>
T* RequiredOut(T* out) {
  if (out == nullptr) RaiseRuntime(err::InvalidProcedureCall);
  return out;
}

tarnlow_value EmptyValue() {
  tarnlow_value v;
  std::memset(&v, 0, sizeof v);
  v.type = TARNLOW_EMPTY;
  return v;
}

Variant FromC(const tarnlow_value& v) {
  switch (v.type) {
    case TARNLOW_EMPTY: return {};
    case TARNLOW_NULL: return Variant(Null);
    case TARNLOW_TEXT:
      if (v.as.text.data == nullptr) {
        if (v.as.text.length != 0) RaiseRuntime(err::InvalidProcedureCall);
        return Variant(std::string());
      }
      return Variant(std::string(v.as.text.data, v.as.text.length));
    case TARNLOW_NUMBER: return Variant(v.as.number);
    case TARNLOW_DATE: return Variant(Date(v.as.date));
    case TARNLOW_BOOLEAN: return Variant(v.as.boolean != 0);
    case TARNLOW_OBJECT: return Variant(Unwrap(v.as.object));
  }
  RaiseRuntime(err::InvalidProcedureCall);
}

std::vector<Variant> ArgumentsFromC(const tarnlow_value* args, std::size_t count) {
  if (args == nullptr && count != 0) RaiseRuntime(err::InvalidProcedureCall);
  std::vector<Variant> out;
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) out.push_back(FromC(args[i]));
  return out;
}

// A value of the caller's under construction: released again unless the
// call gets as far as handing it over.
class Pending {
 public:
  Pending() : value_(EmptyValue()) {}
  explicit Pending(const Variant& v) : value_(EmptyValue()) { Fill(v); }
  Pending(Pending&& other) noexcept : value_(other.value_) { other.value_ = EmptyValue(); }
  Pending& operator=(Pending&&) = delete;
  ~Pending() { tarnlow_value_free(&value_); }

  tarnlow_value Release() noexcept {
    const tarnlow_value out = value_;
    value_ = EmptyValue();
    return out;
  }

 private:
  void Fill(const Variant& v) {
    value_.owned = 1;
    switch (v.Type()) {
      case VarType::Empty: value_.type = TARNLOW_EMPTY; break;
      case VarType::Null: value_.type = TARNLOW_NULL; break;
      case VarType::Integer:
      case VarType::Long:
      case VarType::Double:
        value_.type = TARNLOW_NUMBER;
        value_.as.number = v.ToDouble();
        break;
      case VarType::Date:
        value_.type = TARNLOW_DATE;
        value_.as.date = v.ToDate().value;
        break;
      case VarType::Boolean:
        value_.type = TARNLOW_BOOLEAN;
        value_.as.boolean = v.ToBool() ? 1 : 0;
        break;
      case VarType::String: {
        const std::string* text = v.AsText();
        auto copy = std::make_unique<char[]>(text->size() + 1);
        std::memcpy(copy.get(), text->c_str(), text->size() + 1);
        value_.type = TARNLOW_TEXT;
        value_.as.text.length = text->size();
        value_.as.text.data = copy.release();
        break;
      }
      case VarType::Object: {
        ObjectPtr object = v.ToObject();
        value_.as.object = object ? Wrap(std::move(object)) : nullptr;
        value_.type = TARNLOW_OBJECT;
        break;
      }
    }
  }

  tarnlow_value value_;
};

void Hand(tarnlow_value* out, Pending& value) noexcept {
  if (out != nullptr) *out = value.Release();
}

}  // namespace

tarnlow_object* Wrap(ObjectPtr object) {
  return object ? Handles().Add(std::move(object)) : nullptr;
}

ObjectPtr Unwrap(const tarnlow_object* handle) {
  return handle != nullptr ? Handles().Find(handle) : nullptr;
}

}  // namespace tarnlow::capi

using namespace tarnlow;
using namespace tarnlow::capi;

extern "C" {

const tarnlow_error* tarnlow_last_error(void) {
  return &t_error.shown;
}

const char* tarnlow_version(void) {
  const char* text = nullptr;
  const int status = Guard([&] {
    static const std::string version = clsTarnlowSTDataVer().TarnlowSTDataVer();
    text = version.c_str();
  });
  return status == TARNLOW_OK ? text : nullptr;
}

const tarnlow_type_library* tarnlow_type_library_info(void) {
  ClearError();
  // The C++ description's texts are NUL-terminated literals.
  static const tarnlow_type_library info = [] {
    const TypeLibraryInfo& lib = TypeLibrary();
    return tarnlow_type_library{lib.name.data(),   lib.identity.data(), lib.major_version,
                                lib.minor_version, lib.locale,          lib.description.data()};
  }();
  return &info;
}

int64_t tarnlow_live_objects(void) {
  ClearError();
  return LiveObjectCount();
}

int tarnlow_can_unload_now(void) {
  ClearError();
  return CanUnloadNow() ? 1 : 0;
}

int tarnlow_set_message_handler(tarnlow_message_fn handler, void* context) {
  return Guard([&] {
    MessageHandler wrapped;
    if (handler != nullptr)
      wrapped = [handler, context](std::string_view text, int style, std::string_view title) {
        const std::string t(text), ti(title);
        return handler(context, t.c_str(), style, ti.c_str());
      };
    SetMessageHandler(std::move(wrapped));
  });
}

int tarnlow_open_connection(const char* connection_text, tarnlow_object** connection) {
  if (connection != nullptr) *connection = nullptr;
  return Guard([&] {
    RequiredOut(connection);
    ObjectPtr opened = Connection::Open(Required(connection_text));
    *connection = Wrap(std::move(opened));
  });
}

int tarnlow_create_object(const char* name_or_identity, tarnlow_object** object) {
  if (object != nullptr) *object = nullptr;
  return Guard([&] {
    RequiredOut(object);
    ObjectPtr created = CreateObject(Required(name_or_identity));
    *object = Wrap(std::move(created));
  });
}

// A release that succeeds leaves the error record alone, so that a caller
// may clean up after a failure before reading it.
int tarnlow_object_release(tarnlow_object* object) {
  if (object == nullptr) return TARNLOW_OK;
  ObjectPtr released;
  try {
    released = Handles().Remove(object);
  } catch (...) {
    RecordCurrentException();
    return TARNLOW_FAILED;
  }
  return TARNLOW_OK;
}

int tarnlow_class_name(const tarnlow_object* object, tarnlow_value* name) {
  const int status = Guard([&] {
    RequiredOut(name);
    const ObjectPtr target = Target(object);
    Pending value{Variant(target->Class().Name())};
    Hand(name, value);
  });
  if (status != TARNLOW_OK && name != nullptr) *name = EmptyValue();
  return status;
}

int tarnlow_get(tarnlow_object* object, const char* member, const tarnlow_value* args, size_t arg_count,
                tarnlow_value* result) {
  const int status = Guard([&] {
    RequiredOut(result);
    const ObjectPtr target = Target(object);
    std::vector<Variant> values = ArgumentsFromC(args, arg_count);
    Pending value{late::Get(*target, Required(member), values)};
    Hand(result, value);
  });
  if (status != TARNLOW_OK && result != nullptr) *result = EmptyValue();
  return status;
}

int tarnlow_let(tarnlow_object* object, const char* member, const tarnlow_value* value) {
  return Guard([&] {
    const ObjectPtr target = Target(object);
    late::Let(*target, Required(member), FromC(*RequiredOut(value)));
  });
}

int tarnlow_set(tarnlow_object* object, const char* member, tarnlow_object* value) {
  return Guard([&] {
    const ObjectPtr target = Target(object);
    late::Set(*target, Required(member), Unwrap(value));
  });
}

int tarnlow_call(tarnlow_object* object, const char* member, tarnlow_value* args, size_t arg_count,
                 tarnlow_value* result) {
  const int status = Guard([&] {
    const ObjectPtr target = Target(object);
    const MemberInfo& m = late::Resolve(target->Class(), Required(member));
    std::vector<Variant> values = ArgumentsFromC(args, arg_count);
    const Variant returned = late::Invoke(*target, m, CallKind::Method, values);
    // Everything handed back is built before any of it is handed over.
    Pending value{returned};
    std::vector<Pending> written_back;
    written_back.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      const bool by_ref = m.is_method && i < m.args.size() && m.args[i].by_ref;
      written_back.emplace_back(by_ref ? Pending(values[i]) : Pending());
    }
    for (std::size_t i = 0; i < values.size(); ++i)
      if (m.is_method && i < m.args.size() && m.args[i].by_ref) args[i] = written_back[i].Release();
    Hand(result, value);
  });
  if (status != TARNLOW_OK && result != nullptr) *result = EmptyValue();
  return status;
}

int tarnlow_enumerate(tarnlow_object* collection, tarnlow_object** enumerator) {
  if (enumerator != nullptr) *enumerator = nullptr;
  return Guard([&] {
    RequiredOut(enumerator);
    const ObjectPtr target = Target(collection);
    for (const MemberInfo& m : target->Class().Members()) {
      if (!m.enumeration) continue;
      ObjectPtr walker = late::Invoke(*target, m, CallKind::Get, {}).ToObject();
      if (!walker) RaiseRuntime(err::ObjectNotSet);
      *enumerator = Wrap(std::move(walker));
      return;
    }
    RaiseRuntime(err::NotSupported);
  });
}

int tarnlow_next(tarnlow_object* enumerator, tarnlow_value* item) {
  const int status = Guard([&] {
    RequiredOut(item);
    const ObjectPtr target = Target(enumerator);
    Pending value{late::Call(*target, "Next")};
    Hand(item, value);
  });
  if (status != TARNLOW_OK && item != nullptr) *item = EmptyValue();
  return status;
}

void tarnlow_value_free(tarnlow_value* value) {
  if (value == nullptr) return;
  if (value->owned) {
    if (value->type == TARNLOW_TEXT) delete[] value->as.text.data;
    if (value->type == TARNLOW_OBJECT) tarnlow_object_release(value->as.object);
  }
  *value = EmptyValue();
}

}  // extern "C"
