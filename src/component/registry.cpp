#include "tarnlow/registry.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <unordered_map>

#include "tarnlow/connection.h"
#include "tarnlow/name_index.h"
#include "tarnlow/stock/clsSTNLCat.h"

namespace tarnlow {
namespace {

// Classes register themselves while the library loads, before anyone can
// ask for them; the index is built on the first question after the last
// registration, so that no class description is built during load.
struct Entries {
  std::mutex mutex;
  std::vector<Registry::InfoFunction> functions;
  std::size_t indexed = 0;                                 // functions covered by the index
  std::vector<const ClassInfo*> by_name;                   // sorted by name, letter case ignored
  std::unordered_map<std::string, const ClassInfo*> keys;  // lower-case name and identity

  void Refresh() {
    if (indexed == functions.size()) return;
    by_name.clear();
    keys.clear();
    for (Registry::InfoFunction f : functions) {
      const ClassInfo* info = &f();
      // Private classes exist only inside the library: clients can neither
      // find nor create them.
      if (!info->Creatable()) continue;
      if (std::find(by_name.begin(), by_name.end(), info) != by_name.end()) continue;
      by_name.push_back(info);
      // A second class under a name or identity already taken cannot be
      // reached by it; the first registration keeps it.
      keys.emplace(LowerCase(info->Name()), info);
      if (!info->ClassId().empty()) keys.emplace(LowerCase(info->ClassId()), info);
    }
    std::stable_sort(by_name.begin(), by_name.end(), [](const ClassInfo* a, const ClassInfo* b) {
      return LowerCase(a->Name()) < LowerCase(b->Name());
    });
    indexed = functions.size();
  }
};

Entries& All() {
  static Entries entries;
  return entries;
}

}  // namespace

bool Registry::Add(InfoFunction info) {
  Entries& e = All();
  std::lock_guard lock(e.mutex);
  e.functions.push_back(info);
  return true;
}

std::vector<const ClassInfo*> Registry::Classes() {
  Entries& e = All();
  std::lock_guard lock(e.mutex);
  e.Refresh();
  return e.by_name;
}

const ClassInfo* Registry::Find(std::string_view key) {
  Entries& e = All();
  std::lock_guard lock(e.mutex);
  e.Refresh();
  const auto it = e.keys.find(LowerCase(key));
  return it == e.keys.end() ? nullptr : it->second;
}

namespace {

constexpr ImportedLibrary kImports[] = {
    {"stdole", "stdole2.tlb", "2.0", "OLE Automation"},
    {"TarnlowData", "{E04A0D54-CBFC-47AF-94EC-AA41950E839B}", "2.96", "the library of the connection object"},
    {"ADODB", "msado28.tlb", "2.8", "ActiveX Data Objects 2.8, whose row set the copy routines take"},
};
constexpr EnumerationInfo::Member kMovementTypes[] = {{"ePurchaseReceipt", ePurchaseReceipt}};
constexpr EnumerationInfo kEnumerations[] = {{"eMovementType", kMovementTypes}};

}  // namespace

const TypeLibraryInfo& TypeLibrary() {
  static constexpr TypeLibraryInfo info{"TarnlowSTData",
                                        "{0D270230-F1FC-4FE3-A265-331D0D4EDB9E}",
                                        2,
                                        15,
                                        1033,
                                        "TarnlowSTData purchasing and stock table objects",
                                        kImports,
                                        kEnumerations};
  return info;
}

ObjectPtr CreateObject(std::string_view key) {
  const ClassInfo* info = Registry::Find(key);
  if (!info || !info->Creatable())
    RaiseRuntime(err::CannotCreateObject,
                 RuntimeErrorText(err::CannotCreateObject) + ": " + std::string(key));
  return info->Create();
}

std::int64_t LiveObjectCount() {
  return Object::LiveCount();
}

bool CanUnloadNow() {
  return Object::LiveCount() == 0;
}

// ---- descriptions ----------------------------------------------------------------

std::string_view AccessText(Access access) {
  switch (access) {
    case Access::Get: return "get";
    case Access::Let: return "let";
    case Access::GetLet: return "get let";
    case Access::LetGet: return "let get";
    case Access::GetSet: return "get set";
    case Access::SetGet: return "set get";
  }
  return "get";
}

std::string_view KindText(ValueKind kind) {
  switch (kind) {
    case ValueKind::Text: return "Text";
    case ValueKind::Double: return "Double";
    case ValueKind::Date: return "Date";
    case ValueKind::Int16: return "Int16";
    case ValueKind::Int32: return "Int32";
    case ValueKind::Bool: return "Bool";
    case ValueKind::Variant: return "Variant";
    case ValueKind::Object: return "Object";
  }
  return "Variant";
}

namespace {

std::string Padded(std::string_view text, std::size_t width) {
  std::string out(text);
  if (out.size() < width) out.append(width - out.size(), ' ');
  return out;
}

std::string Heading(const ClassInfo& info) {
  std::string out(info.Name());
  out += "  ";
  out += info.ClassId().empty() ? std::string_view("-") : info.ClassId();
  out += "  ";
  out += info.InterfaceName();
  out += ' ';
  out += info.InterfaceId();
  out += info.Creatable() ? "  creatable" : "  not creatable";
  return out;
}

}  // namespace

std::string DescribeTypeLibrary() {
  const TypeLibraryInfo& lib = TypeLibrary();
  std::string out = "type library " + std::string(lib.name) + "  " + std::string(lib.identity) +
                    "  version " + std::to_string(lib.major_version) + "." +
                    std::to_string(lib.minor_version) + "  locale " + std::to_string(lib.locale) + "\n";
  for (const ImportedLibrary& i : lib.imports)
    out += "  imports " + std::string(i.name) + "  " + std::string(i.source) + "  version " +
           std::string(i.version) + "  (" + std::string(i.description) + ")\n";
  for (const EnumerationInfo& e : lib.enumerations) {
    out += "  enum " + std::string(e.name);
    for (const EnumerationInfo::Member& m : e.members)
      out += "  " + std::string(m.name) + " = " + std::to_string(m.value);
    out += "\n";
  }
  return out;
}

std::string DescribeClasses() {
  const std::vector<const ClassInfo*> classes = Registry::Classes();
  std::size_t width = 0;
  for (const ClassInfo* info : classes) width = std::max(width, info->Name().size());
  std::string out;
  for (const ClassInfo* info : classes) {
    out += Padded(info->Name(), width);
    out += "  ";
    out += info->ClassId();
    out += "  ";
    out += Padded(info->InterfaceName(), width + 1);
    out += ' ';
    out += info->InterfaceId();
    out += info->Creatable() ? "  creatable\n" : "  not creatable\n";
  }
  out += std::to_string(classes.size()) + (classes.size() == 1 ? " class\n" : " classes\n");
  return out;
}

std::string DescribeMembers(const ClassInfo& info) {
  std::string out = Heading(info) + "\n";
  for (const MemberInfo& m : info.Members()) {
    out += "  ";
    out += Padded(m.is_method ? std::string_view("operation") : AccessText(m.access), 10);
    out += m.name;
    if (m.is_method) {
      out += '(';
      for (std::size_t i = 0; i < m.args.size(); ++i) {
        if (i != 0) out += ", ";
        if (m.args[i].by_ref) out += "ByRef ";
        out += m.args[i].name;
        out += " As ";
        out += KindText(m.args[i].kind);
      }
      out += ')';
      if (m.has_result) {
        out += " As ";
        out += KindText(m.kind);
      }
    } else {
      out += " As ";
      out += KindText(m.kind);
      if (m.let_by_ref) out += "  (Let ByRef)";
    }
    out += '\n';
  }
  return out;
}

namespace {

// A cell of a Markdown table: a bar would end it early.
std::string Cell(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '|') out += '\\';
    out += c;
  }
  return out;
}

// GitHub's anchor of a heading that is a class name.
std::string Anchor(std::string_view name) {
  return LowerCase(name);
}

std::string Arguments(const MemberInfo& m) {
  std::string out;
  if (m.let_by_ref) return "Let: ByRef `value` As " + std::string(KindText(m.kind));
  for (std::size_t i = 0; i < m.args.size(); ++i) {
    if (i != 0) out += ", ";
    if (m.args[i].by_ref) out += "ByRef ";
    out += "`";
    out += m.args[i].name;
    out += "` As ";
    out += KindText(m.args[i].kind);
  }
  return out;
}

}  // namespace

std::string DescribeClassesMarkdown() {
  const TypeLibraryInfo& lib = TypeLibrary();
  const std::vector<const ClassInfo*> classes = Registry::Classes();
  std::string out =
      "# TarnlowSTData classes\n\n"
      "<!-- Generated from the class registry by `tarnlowst classes --markdown`; do not edit. -->\n\n";
  out += "Type library `" + std::string(lib.name) + "` " + std::string(lib.identity) + ", version " +
         std::to_string(lib.major_version) + "." + std::to_string(lib.minor_version) + ", locale " +
         std::to_string(lib.locale) + ". " + std::to_string(classes.size()) +
         " classes that clients create by class name or class identity (letter case ignored). Each has one "
         "default interface, `_` and its name, whose members follow in interface order.\n\n";
  out += "It imports";
  for (std::size_t i = 0; i < lib.imports.size(); ++i) {
    const ImportedLibrary& imported = lib.imports[i];
    out += i == 0 ? " " : i + 1 == lib.imports.size() ? " and " : ", ";
    out += "`" + std::string(imported.name) + "` (" + std::string(imported.source) + ", version " +
           std::string(imported.version) + ": " + std::string(imported.description) + ")";
  }
  out += ".";
  for (const EnumerationInfo& e : lib.enumerations) {
    out += " It declares the enumeration `" + std::string(e.name) + "`:";
    for (std::size_t i = 0; i < e.members.size(); ++i)
      out += std::string(i == 0 ? " `" : ", `") + std::string(e.members[i].name) +
             "` = " + std::to_string(e.members[i].value);
    out += ".";
  }
  out += "\n\n";
  out += "| Class | Class identity | Default interface | Interface identity |\n|---|---|---|---|\n";
  for (const ClassInfo* info : classes) {
    out += "| [`" + std::string(info->Name()) + "`](#" + Anchor(info->Name()) + ") | " +
           std::string(info->ClassId()) + " | `" + std::string(info->InterfaceName()) + "` | " +
           std::string(info->InterfaceId()) + " |\n";
  }
  for (const ClassInfo* info : classes) {
    out += "\n## " + std::string(info->Name()) + "\n\n";
    out += "Class identity " + std::string(info->ClassId()) + "; default interface `" +
           std::string(info->InterfaceName()) + "` " + std::string(info->InterfaceId()) + ".\n\n";
    out += "| Member | Kind | Arguments | Type | Meaning |\n|---|---|---|---|---|\n";
    for (const MemberInfo& m : info->Members()) {
      out += "| `" + std::string(m.name) + "` | ";
      out += m.is_method ? std::string_view("operation") : AccessText(m.access);
      out += " | " + Arguments(m) + " | ";
      if (!m.is_method || m.has_result) out += KindText(m.kind);
      out += " | " + Cell(MemberMeaning(*info, m)) + " |\n";
    }
  }
  return out;
}

}  // namespace tarnlow
