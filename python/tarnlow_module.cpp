// The Python package's extension module, `tarnlow._tarnlow`: the library's
// late binding made Python's attribute protocol. Every object the library
// hands out becomes a wrapper of the Python type made for its class
// (`tarnlow.clsPORService`, ...), which holds one shared reference to it, so
// wrappers may be released in any order, by the garbage collector or by
// another thread, and the object lives while any holder keeps it.
//
// Attribute reads, assignments and calls are the type's own slots, written
// against Python's C API: a property read goes straight from the attribute
// name to the member entry, with no Python-level method in between. The
// module's functions use pybind11.
#include <Python.h>
#include <datetime.h>
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <structmember.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tarnlow/collection.h"
#include "tarnlow/component/clsTarnlowSTDataVer.h"
#include "tarnlow/connection.h"
#include "tarnlow/error.h"
#include "tarnlow/late_binding.h"
#include "tarnlow/name_index.h"
#include "tarnlow/registry.h"
#include "tarnlow/schema.h"
#include "tarnlow/value.h"

namespace py = pybind11;

namespace {

using tarnlow::CallKind;
using tarnlow::ClassInfo;
using tarnlow::MemberInfo;
using tarnlow::ObjectPtr;
using tarnlow::Variant;
using tarnlow::VarType;

// ---- module state: made once at import, used with the interpreter lock held --

PyObject* g_error = nullptr;         // tarnlow.Error
PyObject* g_member_error = nullptr;  // tarnlow.MemberError: Error and AttributeError
PyTypeObject* g_object_type = nullptr;
PyTypeObject* g_bound_type = nullptr;
PyTypeObject* g_iterator_type = nullptr;
PyTypeObject* g_ref_type = nullptr;
// The Python type of each class met so far, and the class of each type.
std::unordered_map<const ClassInfo*, PyTypeObject*> g_types;
std::unordered_map<PyTypeObject*, const ClassInfo*> g_classes;
// Type names ("tarnlow.clsPORService") live as long as their types.
std::deque<std::string> g_type_names;

struct Wrapper {
  PyObject_HEAD ObjectPtr object;
};

struct BoundMember {
  PyObject_HEAD PyObject* self;  // the wrapper, held
  const MemberInfo* member;
  vectorcallfunc vectorcall;
};

struct Iterator {
  PyObject_HEAD ObjectPtr enumerator;
};

struct Ref {
  PyObject_HEAD PyObject* value;
};

Wrapper* AsWrapper(PyObject* o) {
  return reinterpret_cast<Wrapper*>(o);
}

// ---- errors ----------------------------------------------------------------------

// Text as the library holds it (UTF-8), bytes that are no UTF-8 kept as lone
// surrogates so that they go back unchanged.
PyObject* TextToPython(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
}

// Sets the Python error for an error record; a missing member reached as an
// attribute is also an AttributeError, so that hasattr and getattr with a
// default work.
void SetError(const tarnlow::Error& e, bool attribute = false) {
  PyObject* type = attribute && e.Number() == tarnlow::err::NotSupported ? g_member_error : g_error;
  PyObject* source = TextToPython(e.Source());
  PyObject* description = TextToPython(e.Description());
  if (source == nullptr || description == nullptr) {
    Py_XDECREF(source);
    Py_XDECREF(description);
    return;
  }
  PyObject* exception = PyObject_CallFunction(type, "iNN", static_cast<int>(e.Number()), source, description);
  if (exception == nullptr) return;
  PyErr_SetObject(type, exception);
  Py_DECREF(exception);
}

// Runs the body and turns whatever it raises into the Python error; returns
// `failed` then. A Python error already set (a conversion of Python's own)
// is left as it is.
struct PythonErrorSet {};

template <class Result, class Body>
Result Guarded(Result failed, Body&& body, bool attribute = false) {
  try {
    return body();
  } catch (const PythonErrorSet&) {
  } catch (const py::error_already_set& e) {
    // Copy first: restore takes the error out of the object it came in.
    py::error_already_set pending = e;
    pending.restore();
  } catch (const tarnlow::Error& e) {
    SetError(e, attribute);
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (...) {
    SetError(tarnlow::CurrentException(), attribute);
  }
  return failed;
}

void Check(PyObject* made) {
  if (made == nullptr) throw PythonErrorSet{};
}

// ---- values ----------------------------------------------------------------------

PyObject* Wrap(ObjectPtr object);

PyObject* ToPython(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: Py_RETURN_NONE;
    case VarType::String: return TextToPython(*v.AsText());
    case VarType::Double: return PyFloat_FromDouble(v.ToDouble());
    case VarType::Integer: return PyLong_FromLong(v.ToInt16());
    case VarType::Long: return PyLong_FromLong(v.ToInt32());
    case VarType::Boolean: return PyBool_FromLong(v.ToBool());
    case VarType::Date: {
      const tarnlow::Date::Parts p = v.ToDate().ToParts();
      return PyDateTime_FromDateAndTime(p.year, p.month, p.day, p.hour, p.minute, p.second,
                                        p.millisecond * 1000);
    }
    case VarType::Object: {
      ObjectPtr object = v.ToObject();
      if (!object) Py_RETURN_NONE;
      return Wrap(std::move(object));
    }
  }
  Py_RETURN_NONE;
}

Variant TextFromPython(PyObject* o) {
  Py_ssize_t size = 0;
  if (const char* utf8 = PyUnicode_AsUTF8AndSize(o, &size)) return Variant(std::string_view(utf8, size));
  // Lone surrogates: what came from the library as bytes that are no UTF-8
  // goes back as those bytes; any other is no text the library can hold.
  PyErr_Clear();
  PyObject* bytes = PyUnicode_AsEncodedString(o, "utf-8", "surrogateescape");
  if (bytes == nullptr) {
    PyErr_Clear();
    tarnlow::RaiseRuntime(tarnlow::err::InvalidProcedureCall);
  }
  Variant text(std::string_view(PyBytes_AS_STRING(bytes), PyBytes_GET_SIZE(bytes)));
  Py_DECREF(bytes);
  return text;
}

// A Python value as the library's variant: None is Null, and a type the
// library has no value for is its own error 13.
Variant FromPython(PyObject* o) {
  if (PyUnicode_Check(o)) return TextFromPython(o);
  if (o == Py_None) return Variant(tarnlow::Null);
  if (PyBool_Check(o)) return Variant(o == Py_True);
  if (PyFloat_Check(o)) return Variant(PyFloat_AS_DOUBLE(o));
  if (PyLong_Check(o)) {
    int overflow = 0;
    const long whole = PyLong_AsLongAndOverflow(o, &overflow);
    if (overflow == 0 && whole >= INT32_MIN && whole <= INT32_MAX)
      return Variant(static_cast<std::int32_t>(whole));
    const double d = PyLong_AsDouble(o);
    if (d == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      tarnlow::RaiseRuntime(tarnlow::err::Overflow);
    }
    return Variant(d);
  }
  if (PyObject_TypeCheck(o, g_object_type)) return Variant(AsWrapper(o)->object);
  if (PyDateTime_Check(o)) {
    // The library's dates have no zone: a time that names one is refused
    // rather than read as local time.
    if (reinterpret_cast<PyDateTime_DateTime*>(o)->hastzinfo)
      tarnlow::RaiseRuntime(tarnlow::err::TypeMismatch);
    return Variant(tarnlow::Date::FromCalendar(
        PyDateTime_GET_YEAR(o), PyDateTime_GET_MONTH(o), PyDateTime_GET_DAY(o), PyDateTime_DATE_GET_HOUR(o),
        PyDateTime_DATE_GET_MINUTE(o),
        PyDateTime_DATE_GET_SECOND(o) + PyDateTime_DATE_GET_MICROSECOND(o) / 1e6));
  }
  if (PyDate_Check(o))
    return Variant(
        tarnlow::Date::FromCalendar(PyDateTime_GET_YEAR(o), PyDateTime_GET_MONTH(o), PyDateTime_GET_DAY(o)));
  tarnlow::RaiseRuntime(tarnlow::err::TypeMismatch);
}

// ---- the object wrapper ---------------------------------------------------------------

tarnlow::Object& Target(PyObject* self) {
  const ObjectPtr& object = AsWrapper(self)->object;
  // Released by leaving a with block: nothing is held any more.
  if (!object) tarnlow::RaiseRuntime(tarnlow::err::ObjectNotSet);
  return *object;
}

std::string_view Name(PyObject* name) {
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(name, &size);
  if (utf8 == nullptr) throw PythonErrorSet{};
  return {utf8, static_cast<std::size_t>(size)};
}

bool IsDunder(std::string_view name) {
  return name.size() > 4 && name.starts_with("__") && name.ends_with("__");
}

PyObject* Bind(PyObject* self, const MemberInfo& member);

PyObject* GetAttribute(PyObject* self, PyObject* name) {
  return Guarded<PyObject*>(
      nullptr,
      [&]() -> PyObject* {
        const std::string_view text = Name(name);
        if (IsDunder(text)) return PyObject_GenericGetAttr(self, name);
        tarnlow::Object& object = Target(self);
        const MemberInfo& member = tarnlow::late::Resolve(object.Class(), text);
        // Operations, and properties that take arguments (a collection's
        // Item), are called; every other property is its value.
        if (member.is_method || !member.args.empty()) return Bind(self, member);
        return ToPython(tarnlow::late::Invoke(object, member, CallKind::Get, {}));
      },
      true);
}

int SetAttribute(PyObject* self, PyObject* name, PyObject* value) {
  return Guarded<int>(
      -1,
      [&]() -> int {
        const std::string_view text = Name(name);
        if (IsDunder(text)) return PyObject_GenericSetAttr(self, name, value);
        if (value == nullptr) tarnlow::RaiseRuntime(tarnlow::err::NotSupported);
        // The value first: from here to the call nothing runs Python code,
        // which could release the object under us.
        Variant argument = FromPython(value);
        tarnlow::Object& object = Target(self);
        const MemberInfo& member = tarnlow::late::Resolve(object.Class(), text);
        // An object property takes the object (None: Nothing) by set; any
        // other value given to it is the library's "Object required".
        const bool set = !member.is_method && tarnlow::HasSet(member.access);
        if (set && value == Py_None) argument = Variant(ObjectPtr());
        tarnlow::late::Invoke(object, member, set ? CallKind::Set : CallKind::Let, {&argument, 1});
        return 0;
      },
      true);
}

void WrapperDealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  AsWrapper(self)->object.~ObjectPtr();
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* WrapperCompare(PyObject* a, PyObject* b, int op) {
  if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(b, g_object_type)) Py_RETURN_NOTIMPLEMENTED;
  const bool same = AsWrapper(a)->object == AsWrapper(b)->object;
  return PyBool_FromLong(same == (op == Py_EQ));
}

Py_hash_t WrapperHash(PyObject* self) {
  // The object's address, turned so that its always-zero low bits count.
  const auto address = reinterpret_cast<std::uintptr_t>(AsWrapper(self)->object.get());
  const auto hash = static_cast<Py_hash_t>((address >> 4) | (address << (8 * sizeof(address) - 4)));
  return hash == -1 ? -2 : hash;
}

PyObject* WrapperEnter(PyObject* self, PyObject*) {
  return Guarded<PyObject*>(nullptr, [&] {
    Target(self);
    return Py_NewRef(self);
  });
}

// Leaving a with block gives up this holder; the object goes with the last.
PyObject* WrapperExit(PyObject* self, PyObject*) {
  AsWrapper(self)->object.reset();
  Py_RETURN_FALSE;
}

PyObject* WrapperDir(PyObject* self, PyObject*) {
  return Guarded<PyObject*>(nullptr, [&] {
    py::list names;
    for (const MemberInfo& m : Target(self).Class().Members())
      names.append(py::str(m.name.data(), m.name.size()));
    return names.release().ptr();
  });
}

PyMethodDef g_wrapper_methods[] = {
    {"__enter__", WrapperEnter, METH_NOARGS, "Returns the object itself."},
    {"__exit__", WrapperExit, METH_VARARGS, "Releases this holder of the object."},
    {"__dir__", WrapperDir, METH_NOARGS, "The object's member names."},
    {nullptr, nullptr, 0, nullptr}};

// ---- members that are called: operations and properties with arguments -------------

// A bound member holds its wrapper alone, and a wrapper holds no Python
// object: no cycle can pass through either, so neither is the collector's.
void BoundDealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  Py_CLEAR(reinterpret_cast<BoundMember*>(self)->self);
  type->tp_free(self);
  Py_DECREF(type);
}

// Lets other threads run while the library works; the library never calls
// back into Python, so nothing in it needs the lock.
class Unlocked {
 public:
  Unlocked() : state_(PyEval_SaveThread()) {}
  ~Unlocked() { PyEval_RestoreThread(state_); }
  Unlocked(const Unlocked&) = delete;
  Unlocked& operator=(const Unlocked&) = delete;

 private:
  PyThreadState* state_;
};

// Arguments in the member's order; a keyword names an argument (letter case
// ignored). A tarnlow.Ref passes its value, and an argument the member takes
// by reference comes back into it.
PyObject* BoundCall(PyObject* callable, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) {
  auto* bound = reinterpret_cast<BoundMember*>(callable);
  const MemberInfo& member = *bound->member;
  return Guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Py_ssize_t positional = PyVectorcall_NARGS(nargsf);
    const Py_ssize_t keywords = kwnames != nullptr ? PyTuple_GET_SIZE(kwnames) : 0;
    std::vector<PyObject*> given(static_cast<std::size_t>(positional), nullptr);
    for (Py_ssize_t i = 0; i < positional; ++i) given[static_cast<std::size_t>(i)] = args[i];
    for (Py_ssize_t k = 0; k < keywords; ++k) {
      const std::string_view keyword = Name(PyTuple_GET_ITEM(kwnames, k));
      std::size_t at = 0;
      while (at < member.args.size() && !tarnlow::SameName(member.args[at].name, keyword)) ++at;
      if (at == member.args.size() || (at < given.size() && given[at] != nullptr))
        tarnlow::RaiseRuntime(tarnlow::err::WrongArguments);
      if (given.size() <= at) given.resize(at + 1, nullptr);
      given[at] = args[positional + k];
    }
    std::vector<Variant> values(given.size());
    for (std::size_t i = 0; i < given.size(); ++i) {
      if (given[i] == nullptr) tarnlow::RaiseRuntime(tarnlow::err::WrongArguments);
      PyObject* value = Py_IS_TYPE(given[i], g_ref_type) ? reinterpret_cast<Ref*>(given[i])->value : given[i];
      values[i] = FromPython(value);
    }
    // This call's own holder: another thread may release the wrapper while
    // the library runs without the interpreter lock.
    ObjectPtr object = AsWrapper(bound->self)->object;
    if (!object) tarnlow::RaiseRuntime(tarnlow::err::ObjectNotSet);
    const Variant result = [&] {
      Unlocked unlocked;
      return tarnlow::late::Invoke(*object, member, member.is_method ? CallKind::Method : CallKind::Get,
                                   values);
    }();
    for (std::size_t i = 0; i < given.size() && i < member.args.size(); ++i) {
      if (!member.args[i].by_ref || !Py_IS_TYPE(given[i], g_ref_type)) continue;
      PyObject* back = ToPython(values[i]);
      Check(back);
      Py_SETREF(reinterpret_cast<Ref*>(given[i])->value, back);
    }
    return ToPython(result);
  });
}

PyObject* BoundRepr(PyObject* self) {
  auto* bound = reinterpret_cast<BoundMember*>(self);
  const ObjectPtr& object = AsWrapper(bound->self)->object;
  const std::string owner = object ? std::string(object->Class().Name()) : "released object";
  const std::string text = "<member " + std::string(bound->member->name) + " of " + owner + ">";
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* Bind(PyObject* self, const MemberInfo& member) {
  auto* bound = PyObject_New(BoundMember, g_bound_type);
  Check(reinterpret_cast<PyObject*>(bound));
  bound->self = Py_NewRef(self);
  bound->member = &member;
  bound->vectorcall = BoundCall;
  return reinterpret_cast<PyObject*>(bound);
}

// ---- collections: sequence from position 1, mapping by key, iteration -----------------

Py_ssize_t CollectionLength(PyObject* self) {
  return Guarded<Py_ssize_t>(
      -1, [&] { return static_cast<Py_ssize_t>(tarnlow::late::Get(Target(self), "Count").ToInt32()); });
}

PyObject* CollectionItem(PyObject* self, PyObject* key) {
  return Guarded<PyObject*>(nullptr, [&] {
    Variant index = FromPython(key);
    return ToPython(tarnlow::late::Get(Target(self), "Item", {&index, 1}));
  });
}

int CollectionRemove(PyObject* self, PyObject* key, PyObject* value) {
  return Guarded<int>(-1, [&] {
    if (value != nullptr) tarnlow::RaiseRuntime(tarnlow::err::NotSupported);
    tarnlow::late::Call(Target(self), "Remove", {FromPython(key)});
    return 0;
  });
}

PyObject* CollectionIter(PyObject* self) {
  return Guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    tarnlow::Object& object = Target(self);
    for (const MemberInfo& m : object.Class().Members()) {
      if (!m.enumeration) continue;
      ObjectPtr enumerator = tarnlow::late::Invoke(object, m, CallKind::Get, {}).ToObject();
      if (!enumerator) tarnlow::RaiseRuntime(tarnlow::err::ObjectNotSet);
      auto* it = PyObject_New(Iterator, g_iterator_type);
      Check(reinterpret_cast<PyObject*>(it));
      new (&it->enumerator) ObjectPtr(std::move(enumerator));
      return reinterpret_cast<PyObject*>(it);
    }
    tarnlow::RaiseRuntime(tarnlow::err::NotSupported);
  });
}

PyObject* IteratorNext(PyObject* self) {
  return Guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Variant next = tarnlow::late::Call(*reinterpret_cast<Iterator*>(self)->enumerator, "Next");
    if (next.IsEmpty()) return nullptr;  // the end, without an error set
    return ToPython(next);
  });
}

void IteratorDealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  reinterpret_cast<Iterator*>(self)->enumerator.~ObjectPtr();
  type->tp_free(self);
  Py_DECREF(type);
}

// ---- tarnlow.Ref: a value passed by reference ---------------------------------------------

PyObject* RefNew(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  PyObject* value = Py_None;
  static const char* keywords[] = {"value", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|O:Ref", const_cast<char**>(keywords), &value))
    return nullptr;
  auto* ref = reinterpret_cast<Ref*>(type->tp_alloc(type, 0));
  if (ref == nullptr) return nullptr;
  ref->value = Py_NewRef(value);
  return reinterpret_cast<PyObject*>(ref);
}

int RefTraverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(reinterpret_cast<Ref*>(self)->value);
  Py_VISIT(Py_TYPE(self));
  return 0;
}

int RefClear(PyObject* self) {
  Py_CLEAR(reinterpret_cast<Ref*>(self)->value);
  return 0;
}

void RefDealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  RefClear(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* RefRepr(PyObject* self) {
  return PyUnicode_FromFormat("tarnlow.Ref(%R)", reinterpret_cast<Ref*>(self)->value);
}

PyMemberDef g_ref_members[] = {{"value", T_OBJECT, offsetof(Ref, value), 0,
                                "The value passed; after the call, the one the member left."},
                               {nullptr, 0, 0, 0, nullptr}};

// ---- the types -----------------------------------------------------------------------------

PyTypeObject* MadeType(PyType_Spec& layout, PyObject* bases = nullptr) {
  PyObject* type = PyType_FromSpecWithBases(&layout, bases);
  if (type == nullptr) throw py::error_already_set();
  return reinterpret_cast<PyTypeObject*>(type);
}

// tarnlow.clsPORService(): a fresh object of the class, as create gives it.
PyObject* ClassNew(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return Guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (PyTuple_GET_SIZE(args) != 0 || (kwargs != nullptr && PyDict_GET_SIZE(kwargs) != 0))
      tarnlow::RaiseRuntime(tarnlow::err::WrongArguments);
    const auto found = g_classes.find(type);
    const ClassInfo* info = found != g_classes.end() ? found->second : nullptr;
    if (info == nullptr || !info->Creatable())
      tarnlow::RaiseRuntime(
          tarnlow::err::CannotCreateObject,
          tarnlow::RuntimeErrorText(tarnlow::err::CannotCreateObject) + ": " + type->tp_name);
    ObjectPtr object = info->Create();
    PyObject* made = type->tp_alloc(type, 0);
    Check(made);
    new (&AsWrapper(made)->object) ObjectPtr(std::move(object));
    return made;
  });
}

bool IsCollection(const ClassInfo& info) {
  for (const MemberInfo& m : info.Members())
    if (m.enumeration) return true;
  return false;
}

// The Python type of a class: made the first time an object of it is met.
PyTypeObject* TypeFor(const ClassInfo& info) {
  const auto found = g_types.find(&info);
  if (found != g_types.end()) return found->second;
  g_type_names.push_back("tarnlow." + std::string(info.Name()));
  std::vector<PyType_Slot> slots{{Py_tp_new, reinterpret_cast<void*>(ClassNew)}};
  if (IsCollection(info)) {
    slots.push_back({Py_mp_length, reinterpret_cast<void*>(CollectionLength)});
    slots.push_back({Py_mp_subscript, reinterpret_cast<void*>(CollectionItem)});
    slots.push_back({Py_mp_ass_subscript, reinterpret_cast<void*>(CollectionRemove)});
    slots.push_back({Py_tp_iter, reinterpret_cast<void*>(CollectionIter)});
  }
  slots.push_back({0, nullptr});
  // No subclasses: a class's members are the library's alone.
  PyType_Spec layout{g_type_names.back().c_str(), sizeof(Wrapper), 0, Py_TPFLAGS_DEFAULT, slots.data()};
  PyObject* bases = PyTuple_Pack(1, reinterpret_cast<PyObject*>(g_object_type));
  if (bases == nullptr) throw py::error_already_set();
  PyTypeObject* type = nullptr;
  try {
    type = MadeType(layout, bases);
  } catch (...) {
    Py_DECREF(bases);
    throw;
  }
  Py_DECREF(bases);
  g_types.emplace(&info, type);
  g_classes.emplace(type, &info);
  return type;
}

PyObject* Wrap(ObjectPtr object) {
  PyTypeObject* type = TypeFor(object->Class());
  PyObject* made = type->tp_alloc(type, 0);
  Check(made);
  new (&AsWrapper(made)->object) ObjectPtr(std::move(object));
  return made;
}

py::object WrapObject(ObjectPtr object) {
  PyObject* made = Guarded<PyObject*>(nullptr, [&] { return Wrap(std::move(object)); });
  if (made == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(made);
}

void MakeTypes() {
  static PyType_Slot object_slots[] = {
      {Py_tp_doc,
       const_cast<char*>("An object of the library: its members are attributes, reached by name with "
                         "letter case ignored.")},
      {Py_tp_dealloc, reinterpret_cast<void*>(WrapperDealloc)},
      {Py_tp_getattro, reinterpret_cast<void*>(GetAttribute)},
      {Py_tp_setattro, reinterpret_cast<void*>(SetAttribute)},
      {Py_tp_richcompare, reinterpret_cast<void*>(WrapperCompare)},
      {Py_tp_hash, reinterpret_cast<void*>(WrapperHash)},
      {Py_tp_methods, g_wrapper_methods},
      {0, nullptr}};
  static PyType_Spec object_spec{"tarnlow.Object", sizeof(Wrapper), 0,
                                 Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, object_slots};
  g_object_type = MadeType(object_spec);

  static PyMemberDef bound_members[] = {
      {"__vectorcalloffset__", T_PYSSIZET, offsetof(BoundMember, vectorcall), READONLY, nullptr},
      {nullptr, 0, 0, 0, nullptr}};
  static PyType_Slot bound_slots[] = {{Py_tp_dealloc, reinterpret_cast<void*>(BoundDealloc)},
                                      {Py_tp_call, reinterpret_cast<void*>(PyVectorcall_Call)},
                                      {Py_tp_repr, reinterpret_cast<void*>(BoundRepr)},
                                      {Py_tp_members, bound_members},
                                      {0, nullptr}};
  static PyType_Spec bound_spec{"tarnlow.Member", sizeof(BoundMember), 0,
                                Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL, bound_slots};
  g_bound_type = MadeType(bound_spec);

  static PyType_Slot iterator_slots[] = {{Py_tp_dealloc, reinterpret_cast<void*>(IteratorDealloc)},
                                         {Py_tp_iter, reinterpret_cast<void*>(PyObject_SelfIter)},
                                         {Py_tp_iternext, reinterpret_cast<void*>(IteratorNext)},
                                         {0, nullptr}};
  static PyType_Spec iterator_spec{"tarnlow.Iterator", sizeof(Iterator), 0, Py_TPFLAGS_DEFAULT,
                                   iterator_slots};
  g_iterator_type = MadeType(iterator_spec);

  static PyType_Slot ref_slots[] = {
      {Py_tp_doc,
       const_cast<char*>("Ref(value=None): a value passed to an operation by reference; an argument "
                         "the operation changes comes back in .value.")},
      {Py_tp_new, reinterpret_cast<void*>(RefNew)},
      {Py_tp_dealloc, reinterpret_cast<void*>(RefDealloc)},
      {Py_tp_traverse, reinterpret_cast<void*>(RefTraverse)},
      {Py_tp_clear, reinterpret_cast<void*>(RefClear)},
      {Py_tp_repr, reinterpret_cast<void*>(RefRepr)},
      {Py_tp_members, g_ref_members},
      {0, nullptr}};
  static PyType_Spec ref_spec{"tarnlow.Ref", sizeof(Ref), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
                              ref_slots};
  g_ref_type = MadeType(ref_spec);
}

// The error classes, in Python: what they hold and how they print is
// plain Python, and a Python subclass of Exception pickles and compares as
// users expect.
constexpr const char* kErrorClasses = R"PY(
def _quoted(text):
    out = []
    for c in text:
        if c == '"':
            out.append('""')
        elif c == '\\':
            out.append('\\\\')
        elif c in '\r\n\t':
            out.append({'\r': '\\r', '\n': '\\n', '\t': '\\t'}[c])
        elif ord(c) < 0x20 or ord(c) == 0x7F:
            out.append('\\x%02X' % ord(c))
        else:
            out.append(c)
    return '"' + ''.join(out) + '"'


class Error(Exception):
    """A failure of the library, with its error record: number, source (the
    trail of operations it passed through) and description."""

    def __init__(self, number, source, description):
        super().__init__(number, source, description)
        self.number = number
        self.source = source
        self.description = description

    def __str__(self):
        return f'Error {self.number}: {_quoted(self.source)}: {_quoted(self.description)}'


class MemberError(Error, AttributeError):
    """Error 438 met reaching a member as an attribute: the class has no
    member of that name, or not the accessor asked for."""
)PY";

std::string VersionText() {
  // "libtarnlowstdata: 1.0.71": the number after the library's name.
  const std::string text = tarnlow::clsTarnlowSTDataVer().TarnlowSTDataVer();
  const std::size_t colon = text.rfind(": ");
  return colon == std::string::npos ? text : text.substr(colon + 2);
}

// A text argument of the module's functions; anything else is the
// library's type mismatch, as for a member's argument.
std::string TextArgument(const py::handle& given) {
  if (!PyUnicode_Check(given.ptr())) tarnlow::RaiseRuntime(tarnlow::err::TypeMismatch);
  return *TextFromPython(given.ptr()).AsText();
}

// A class's members as (name, is operation, accessors, type, has result,
// [(argument, type, by reference)], meaning): what the type stubs are made from.
py::list Members(const ClassInfo& info) {
  py::list out;
  for (const MemberInfo& m : info.Members()) {
    py::list args;
    for (const tarnlow::ArgInfo& a : m.args)
      args.append(py::make_tuple(std::string(a.name), std::string(tarnlow::KindText(a.kind)), a.by_ref));
    out.append(py::make_tuple(std::string(m.name), m.is_method,
                              m.is_method ? std::string() : std::string(tarnlow::AccessText(m.access)),
                              std::string(tarnlow::KindText(m.kind)), m.has_result, args,
                              tarnlow::MemberMeaning(info, m)));
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(_tarnlow, m) {
  PyDateTime_IMPORT;
  if (PyDateTimeAPI == nullptr) throw py::error_already_set();
  m.doc() = "The library's classes, reached late-bound by member name.";

  py::dict scope;
  scope["__builtins__"] = py::module_::import("builtins");
  scope["__name__"] = "tarnlow";
  py::exec(kErrorClasses, scope);
  g_error = scope["Error"].ptr();
  g_member_error = scope["MemberError"].ptr();
  m.attr("Error") = scope["Error"];
  m.attr("MemberError") = scope["MemberError"];

  MakeTypes();
  m.attr("Object") = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(g_object_type));
  m.attr("Member") = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(g_bound_type));
  m.attr("Ref") = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(g_ref_type));
  for (const ClassInfo* info : tarnlow::Registry::Classes())
    m.attr(py::str(std::string(info->Name()))) =
        py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(TypeFor(*info)));
  // The connection object's type, which no client creates by name.
  {
    const auto unopened = std::make_shared<tarnlow::Connection>();
    m.attr("Connection") =
        py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(TypeFor(unopened->Class())));
  }

  m.attr("__version__") = VersionText();

  m.def(
      "connect",
      [](const py::handle& given) {
        const std::string text = TextArgument(given);
        std::shared_ptr<tarnlow::Connection> connection = [&] {
          Unlocked unlocked;
          return tarnlow::Connection::Open(text);
        }();
        return WrapObject(std::move(connection));
      },
      py::arg("text"),
      "Opens the database a connection text names (sqlite:PATH, postgresql://..., odbc:...); "
      "with a with block, the connection is released at its end.");
  m.def(
      "create", [](const py::handle& name) { return WrapObject(tarnlow::CreateObject(TextArgument(name))); },
      py::arg("name_or_identity"),
      "A fresh object of a public class, by class name or class identity in braces (letter case ignored).");
  m.def(
      "classes",
      [] {
        std::vector<std::string> names;
        for (const ClassInfo* info : tarnlow::Registry::Classes()) names.emplace_back(info->Name());
        return names;
      },
      "The names of the registered classes, in order of name.");
  m.def(
      "create_missing_tables",
      [](py::object connection) {
        PyObject* o = connection.ptr();
        if (!PyObject_TypeCheck(o, g_object_type)) tarnlow::RaiseRuntime(tarnlow::err::TypeMismatch);
        auto target = std::dynamic_pointer_cast<tarnlow::Connection>(AsWrapper(o)->object);
        if (!target) tarnlow::RaiseRuntime(tarnlow::err::TypeMismatch);
        Unlocked unlocked;
        return tarnlow::CreateMissingTables(*target).created;
      },
      py::arg("connection"),
      "Creates the tables of the database that are missing, as `tarnlowst init` does; the names of those "
      "made.");
  m.def("live_objects", &tarnlow::LiveObjectCount, "The number of library objects alive in this process.");
  m.def("can_unload_now", &tarnlow::CanUnloadNow, "True when no library object is alive.");
  m.def(
      "type_library",
      [] {
        const tarnlow::TypeLibraryInfo& lib = tarnlow::TypeLibrary();
        return py::module_::import("types").attr("SimpleNamespace")(
            py::arg("name") = std::string(lib.name), py::arg("identity") = std::string(lib.identity),
            py::arg("major_version") = lib.major_version, py::arg("minor_version") = lib.minor_version,
            py::arg("locale") = lib.locale, py::arg("description") = std::string(lib.description));
      },
      "The type library that describes the classes: name, identity, version and locale.");
  m.def(
      "_members",
      [](py::object of) -> py::list {
        if (PyObject_TypeCheck(of.ptr(), g_object_type)) return Members(Target(of.ptr()).Class());
        const ClassInfo* info = tarnlow::Registry::Find(of.cast<std::string>());
        if (info == nullptr) tarnlow::RaiseRuntime(tarnlow::err::CannotCreateObject);
        return Members(*info);
      },
      py::arg("class_or_object"));
  m.def(
      "_class_identity",
      [](const std::string& name) {
        const ClassInfo* info = tarnlow::Registry::Find(name);
        if (info == nullptr) tarnlow::RaiseRuntime(tarnlow::err::CannotCreateObject);
        return std::string(info->ClassId());
      },
      py::arg("name"));

  // Library errors raised inside pybind11's functions become tarnlow.Error.
  py::register_exception_translator([](std::exception_ptr p) {
    if (!p) return;
    try {
      std::rethrow_exception(p);
    } catch (const tarnlow::Error& e) {
      SetError(e);
    }
  });
}
