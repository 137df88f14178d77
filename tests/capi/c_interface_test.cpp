// The C interface as a C caller sees it: handles and values it owns, error
// records instead of exceptions, on both databases; the registry's classes
// reached generically; and nothing left alive or allocated after any path,
// failing ones included (the sanitizer run checks the memory).
#include "component/c_interface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "fault_database.h"
#include "framework/class_builder.h"
#include "tarnlow/collection.h"
#include "tarnlow/tarnlow.h"
#include "tarnlow/tarnlow_c.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// A handle of the test's, released at the end of its scope.
struct Handle {
  tarnlow_object* p = nullptr;
  Handle() = default;
  explicit Handle(tarnlow_object* h) : p(h) {}
  Handle(Handle&& other) noexcept : p(other.p) { other.p = nullptr; }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { tarnlow_object_release(p); }
  tarnlow_object** out() { return &p; }
};

// A value filled by the library, freed at the end of its scope.
struct Value {
  tarnlow_value v{};
  Value() = default;
  Value(Value&& other) noexcept : v(other.v) { other.v = tarnlow_value{}; }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value() { tarnlow_value_free(&v); }
  // Where the library writes a value: what an earlier call left is freed
  // first, as a caller reusing a variable must.
  tarnlow_value* out() {
    tarnlow_value_free(&v);
    return &v;
  }
  std::string Text() const {
    EXPECT_EQ(v.type, TARNLOW_TEXT);
    return v.type == TARNLOW_TEXT ? std::string(v.as.text.data, v.as.text.length) : std::string();
  }
};

struct Record {
  std::int32_t number;
  std::string source, description;
};

Record LastError() {
  const tarnlow_error* e = tarnlow_last_error();
  return {e->number, e->source, e->description};
}

tarnlow_value Text(const char* s) {
  return tarnlow_text_value(s);
}

// A call's failed status and the number of the record it left.
void ExpectFailure(int status, std::int32_t number) {
  EXPECT_EQ(status, TARNLOW_FAILED);
  EXPECT_EQ(LastError().number, number);
}

Handle Create(const char* name) {
  Handle h;
  EXPECT_EQ(tarnlow_create_object(name, h.out()), TARNLOW_OK) << name << ": " << LastError().description;
  return h;
}

// ---- the library ------------------------------------------------------------------

TEST(CInterfaceTest, ReportsTheVersionTheTypeLibraryAndTheUnloadAnswer) {
  // The tests link the library's code into their own program: the version
  // names the file that code was loaded from.
  ASSERT_NE(tarnlow_version(), nullptr);
  EXPECT_STREQ(tarnlow_version(), clsTarnlowSTDataVer().TarnlowSTDataVer().c_str());
  EXPECT_STREQ(tarnlow_version(), "tarnlow_c_tests: 1.0.71");
  const tarnlow_type_library* lib = tarnlow_type_library_info();
  // The C caller's copy of the library's facts, which the class reference holds.
  const TypeLibraryInfo& own = TypeLibrary();
  EXPECT_EQ((std::tuple{lib->name, lib->identity, lib->major_version, lib->minor_version, lib->locale,
                        lib->description}),
            (std::tuple{own.name, own.identity, own.major_version, own.minor_version, own.locale,
                        own.description}));

  ASSERT_EQ(tarnlow_live_objects(), 0) << "an earlier test left an object alive";
  EXPECT_EQ(tarnlow_can_unload_now(), 1);
  {
    Handle version = Create("clsTarnlowSTDataVer");
    EXPECT_EQ(tarnlow_live_objects(), 1);
    EXPECT_EQ(tarnlow_can_unload_now(), 0);
  }
  EXPECT_EQ(tarnlow_live_objects(), 0);
  EXPECT_EQ(tarnlow_can_unload_now(), 1);
}

// ---- creating objects -----------------------------------------------------------

TEST(CInterfaceTest, AnUnknownClassGivesTheRecordOf429AndNoHandle) {
  tarnlow_object* object = capi::Wrap(std::make_shared<Connection>());  // must be overwritten
  tarnlow_object* kept = object;
  EXPECT_EQ(tarnlow_create_object("clsNoSuchClass", &object), TARNLOW_FAILED);
  EXPECT_EQ(object, nullptr);
  const Record e = LastError();
  EXPECT_EQ((std::tuple{e.number, e.source, e.description}),
            (std::tuple{429, RuntimeSource, RuntimeErrorText(err::CannotCreateObject) + ": clsNoSuchClass"}));
  tarnlow_object_release(kept);
}

TEST(CInterfaceTest, MissingArgumentsAreErrorRecordsNotCrashes) {
  Handle service = Create("clsPORService");
  Value result;
  const tarnlow_value text = Text("x");
  struct Case {
    const char* what;
    int status;
    std::int32_t number;
  };
  const Case cases[] = {
      {"no class name", tarnlow_create_object(nullptr, Handle().out()), err::InvalidProcedureCall},
      {"no place for the handle", tarnlow_create_object("clsPORService", nullptr), err::InvalidProcedureCall},
      {"no connection text", tarnlow_open_connection(nullptr, Handle().out()), err::InvalidProcedureCall},
      {"no object", tarnlow_get(nullptr, "cost", nullptr, 0, result.out()), err::ObjectNotSet},
      {"no member", tarnlow_get(service.p, nullptr, nullptr, 0, result.out()), err::InvalidProcedureCall},
      {"no result", tarnlow_get(service.p, "cost", nullptr, 0, nullptr), err::InvalidProcedureCall},
      {"arguments missing", tarnlow_get(service.p, "cost", nullptr, 2, result.out()),
       err::InvalidProcedureCall},
      {"no value", tarnlow_let(service.p, "Service", nullptr), err::InvalidProcedureCall},
      {"let on no object", tarnlow_let(nullptr, "Service", &text), err::ObjectNotSet},
      {"set on no object", tarnlow_set(nullptr, "SageConnection", nullptr), err::ObjectNotSet},
      {"call on no object", tarnlow_call(nullptr, "ReadIt", nullptr, 0, nullptr), err::ObjectNotSet},
      {"class of no object", tarnlow_class_name(nullptr, result.out()), err::ObjectNotSet},
      {"enumerate no object", tarnlow_enumerate(nullptr, Handle().out()), err::ObjectNotSet},
      {"next of no object", tarnlow_next(nullptr, result.out()), err::ObjectNotSet},
  };
  // Each status above was taken right after its call; the record now is the
  // last one's, so each is checked again on its own below.
  for (const Case& c : cases) EXPECT_EQ(c.status, TARNLOW_FAILED) << c.what;
  ExpectFailure(tarnlow_next(nullptr, result.out()), err::ObjectNotSet);
  EXPECT_EQ(LastError().description, RuntimeErrorText(err::ObjectNotSet));
  ExpectFailure(tarnlow_get(service.p, "cost", nullptr, 2, result.out()), err::InvalidProcedureCall);
  ExpectFailure(tarnlow_create_object(nullptr, Handle().out()), err::InvalidProcedureCall);
  EXPECT_EQ(result.v.type, TARNLOW_EMPTY);
  tarnlow_object_release(nullptr);
  tarnlow_value_free(nullptr);
}

// ---- members by name, on both databases ---------------------------------------------

class CInterfaceDatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    auto c = db_.Open();
    c->Execute("insert into " + c->TableCatalogue()->ServiceTable() +
               " (service, unit_code, cost) values ('INSTALL', 'HOUR', 42.5)");
    ASSERT_EQ(tarnlow_open_connection(db_.Text("kind=2").c_str(), connection_.out()), TARNLOW_OK)
        << LastError().description;
  }

  test::ScratchDatabase db_{GetParam()};
  Handle connection_;
};

TEST_P(CInterfaceDatabaseTest, ReadsATableObjectByMemberNames) {
  Handle service = Create("clsPORService");
  ASSERT_EQ(tarnlow_set(service.p, "SageConnection", connection_.p), TARNLOW_OK);
  const tarnlow_value code = Text("INSTALL");
  ASSERT_EQ(tarnlow_let(service.p, "service", &code), TARNLOW_OK);
  ASSERT_EQ(tarnlow_call(service.p, "READIT", nullptr, 0, nullptr), TARNLOW_OK) << LastError().description;
  Value cost, unit, back;
  ASSERT_EQ(tarnlow_get(service.p, "cost", nullptr, 0, cost.out()), TARNLOW_OK);
  EXPECT_EQ((std::tuple{cost.v.type, cost.v.owned, cost.v.as.number}), (std::tuple{TARNLOW_NUMBER, 1, 42.5}));
  ASSERT_EQ(tarnlow_get(service.p, "unit_code", nullptr, 0, unit.out()), TARNLOW_OK);
  EXPECT_EQ(unit.Text(), "HOUR");
  EXPECT_EQ(unit.v.as.text.data[unit.v.as.text.length], '\0');
  // The object property comes back as a new handle on the same connection.
  ASSERT_EQ(tarnlow_get(service.p, "SageConnection", nullptr, 0, back.out()), TARNLOW_OK);
  ASSERT_EQ(back.v.type, TARNLOW_OBJECT);
  EXPECT_NE(back.v.as.object, connection_.p);
  EXPECT_EQ(capi::Unwrap(back.v.as.object), capi::Unwrap(connection_.p));
}

TEST_P(CInterfaceDatabaseTest, AFailedOperationGivesItsRecordAndNoResult) {
  Handle service = Create("clsPORService");
  ASSERT_EQ(tarnlow_set(service.p, "SageConnection", connection_.p), TARNLOW_OK);
  const tarnlow_value code = Text("NOSUCH");
  ASSERT_EQ(tarnlow_let(service.p, "Service", &code), TARNLOW_OK);
  Value result;
  EXPECT_EQ(tarnlow_call(service.p, "ReadIt", nullptr, 0, result.out()), TARNLOW_FAILED);
  const Record e = LastError();
  EXPECT_EQ((std::tuple{e.number, e.source, e.description}),
            (std::tuple{vbObjectError, "PORService.ReadIt", "Cannot find service item NOSUCH"}));
  EXPECT_EQ(result.v.type, TARNLOW_EMPTY);
}

TARNLOW_ON_EVERY_BACKEND(CInterfaceDatabaseTest);

// ---- values ----------------------------------------------------------------------------

// Every kind of value, by-reference arguments and a collection, on classes
// described like the library's but not registered.
#define GAUGE_PROPERTIES(X)        \
  X(Value, code, Text, GetLet)     \
  X(Value, count16, Int16, GetLet) \
  X(Value, amount, Double, GetLet) \
  X(Value, when, Date, GetLet)     \
  X(Value, flag, Bool, GetLet)     \
  X(Value, whatever, Variant, GetLet)

class Gauge final : public Object {
 public:
  TARNLOW_PROPERTIES(Gauge, GAUGE_PROPERTIES)
  static const ClassInfo& Info() {
    static const ClassInfo info = detail::ClassBuilder<Gauge>("Gauge", "", "")
                                      .Properties(Columns())
                                      .Method<&Gauge::Scale>("Scale", {"value", "factor"})
                                      .Method<&Gauge::Echo>("Echo", {"value"})
                                      .Build();
    return info;
  }
  const ClassInfo& Class() const override { return Info(); }
  // Multiplies `value` in place and returns the old value as text.
  std::string Scale(double& value, double factor) {
    const std::string old = ShortestText(value);
    value *= factor;
    return old;
  }
  Variant Echo(const Variant& value) { return value; }
  void CopyFrom(const Gauge& other) { code = other.code(); }
  std::string KeyString() const { return code(); }
};
TARNLOW_DEFINE_PROPERTIES(Gauge, GAUGE_PROPERTIES)

class colGauge final : public Collection<colGauge, Gauge> {
  TARNLOW_COLLECTION_CLASS(colGauge)
  std::shared_ptr<Gauge> Add(Gauge& oGauge) {
    auto copy = NewCopy(oGauge);
    return Append(copy, copy->KeyString());
  }
};
TARNLOW_DEFINE_COLLECTION(colGauge, "", "") {
  b.Method<&Self::Add>("Add", {"oGauge"}).Item().Count().Remove().ClearList().NewEnum();
}

class CValueTest : public ::testing::Test {
 protected:
  Value Get(const char* member) {
    Value v;
    EXPECT_EQ(tarnlow_get(gauge_.p, member, nullptr, 0, v.out()), TARNLOW_OK) << LastError().description;
    return v;
  }
  int Let(const char* member, tarnlow_value value) { return tarnlow_let(gauge_.p, member, &value); }

  std::shared_ptr<Gauge> object_ = std::make_shared<Gauge>();
  Handle gauge_{capi::Wrap(object_)};
};

TEST_F(CValueTest, EachKindOfValueCrossesAsItsOwnType) {
  ASSERT_EQ(Let("when", Text("2024-02-29 12:00:00")), TARNLOW_OK);
  EXPECT_EQ(Get("when").v.type, TARNLOW_DATE);
  EXPECT_EQ(Get("when").v.as.date, Date::FromCalendar(2024, 2, 29, 12).value);
  ASSERT_EQ(Let("flag", tarnlow_boolean_value(5)), TARNLOW_OK);
  EXPECT_EQ(Get("flag").v.type, TARNLOW_BOOLEAN);
  EXPECT_EQ(Get("flag").v.as.boolean, 1);
  ASSERT_EQ(Let("whatever", tarnlow_value{TARNLOW_NULL, 0, {}}), TARNLOW_OK);
  EXPECT_EQ(Get("whatever").v.type, TARNLOW_NULL);
  ASSERT_EQ(Let("whatever", tarnlow_value{TARNLOW_EMPTY, 0, {}}), TARNLOW_OK);
  EXPECT_EQ(Get("whatever").v.type, TARNLOW_EMPTY);
  ASSERT_EQ(Let("count16", tarnlow_number_value(-32768)), TARNLOW_OK);
  EXPECT_EQ(Get("count16").v.as.number, -32768.0);
}

TEST_F(CValueTest, TextKeepsItsLengthAndAnyBytes) {
  const char bytes[] = {'a', '\0', 'b', '\xc3', '\xa9'};
  tarnlow_value text = Text(nullptr);
  text.as.text.data = bytes;
  text.as.text.length = sizeof bytes;
  ASSERT_EQ(Let("code", text), TARNLOW_OK);
  EXPECT_EQ(object_->code(), std::string(bytes, sizeof bytes));
  const Value back = Get("code");
  ASSERT_EQ(back.v.as.text.length, sizeof bytes);
  EXPECT_EQ(std::memcmp(back.v.as.text.data, bytes, sizeof bytes), 0);
  // No text at all is the empty text; a length without text is a caller's error.
  ASSERT_EQ(Let("code", Text(nullptr)), TARNLOW_OK);
  EXPECT_EQ(object_->code(), "");
  text.as.text.data = nullptr;
  ExpectFailure(Let("code", text), err::InvalidProcedureCall);
}

TEST_F(CValueTest, AValueOfNoTypeOfTheInterfaceLeavesThePropertyAsItWas) {
  object_->count16 = std::int16_t{3};
  EXPECT_EQ(Let("count16", tarnlow_value{99, 0, {}}), TARNLOW_FAILED);
  EXPECT_EQ(LastError().number, err::InvalidProcedureCall);
  EXPECT_EQ(LastError().source, RuntimeSource);
  EXPECT_EQ(object_->count16(), 3);
  // Set takes objects only.
  ExpectFailure(tarnlow_set(gauge_.p, "code", gauge_.p), err::NotSupported);
}

TEST_F(CValueTest, ArgumentsTakenByReferenceComeBackAsTheCallersValues) {
  tarnlow_value args[2] = {tarnlow_number_value(21), tarnlow_number_value(2)};
  Value result;
  ASSERT_EQ(tarnlow_call(gauge_.p, "Scale", args, 2, result.out()), TARNLOW_OK) << LastError().description;
  EXPECT_EQ(result.Text(), "21");
  EXPECT_EQ(args[0].type, TARNLOW_NUMBER);
  EXPECT_EQ(args[0].as.number, 42.0);
  EXPECT_EQ(args[0].owned, 1) << "a value written back is the caller's";
  EXPECT_EQ(args[1].owned, 0) << "an argument taken by value is left alone";
  EXPECT_EQ(args[1].as.number, 2.0);
  tarnlow_value_free(&args[0]);
  tarnlow_value_free(&args[1]);
  EXPECT_EQ(args[1].type, TARNLOW_EMPTY);
  // A failing call leaves the arguments as they were.
  tarnlow_value bad[2] = {tarnlow_number_value(1), Text("x")};
  ExpectFailure(tarnlow_call(gauge_.p, "Scale", bad, 2, result.out()), err::TypeMismatch);
  EXPECT_EQ(bad[0].owned, 0);
  EXPECT_EQ(bad[0].as.number, 1.0);
  ExpectFailure(tarnlow_call(gauge_.p, "Scale", bad, 1, nullptr), err::WrongArguments);
}

TEST_F(CValueTest, ObjectsTravelAsHandlesAndNothingAsNull) {
  tarnlow_value arg = tarnlow_object_value(gauge_.p);
  Value echoed;
  ASSERT_EQ(tarnlow_call(gauge_.p, "Echo", &arg, 1, echoed.out()), TARNLOW_OK);
  ASSERT_EQ(echoed.v.type, TARNLOW_OBJECT);
  EXPECT_EQ(capi::Unwrap(echoed.v.as.object), object_);
  EXPECT_EQ(object_.use_count(), 3) << "the test, the test's handle and the echoed handle";
  tarnlow_value_free(echoed.out());
  EXPECT_EQ(object_.use_count(), 2);
  arg = tarnlow_object_value(nullptr);
  ASSERT_EQ(tarnlow_call(gauge_.p, "Echo", &arg, 1, echoed.out()), TARNLOW_OK);
  EXPECT_EQ(echoed.v.type, TARNLOW_OBJECT);
  EXPECT_EQ(echoed.v.as.object, nullptr);
}

TEST_F(CValueTest, FreeingAValueTheCallerBuiltReleasesNothingOfTheirs) {
  char text[] = "mine";
  tarnlow_value v = Text(text);
  tarnlow_value_free(&v);
  EXPECT_EQ(v.type, TARNLOW_EMPTY);
  EXPECT_STREQ(text, "mine");
  tarnlow_value o = tarnlow_object_value(gauge_.p);
  tarnlow_value_free(&o);
  EXPECT_EQ(object_.use_count(), 2) << "the caller's handle is still the caller's";
}

// ---- collections ----------------------------------------------------------------------

TEST(CCollectionTest, EnumeratesTheMembersInOrderThenEmpty) {
  auto collection = std::make_shared<colGauge>();
  for (const char* code : {"A", "B", "C"}) {
    Gauge g;
    g.code = std::string(code);
    collection->Add(g);
  }
  Handle handle(capi::Wrap(collection));
  Handle walker;
  ASSERT_EQ(tarnlow_enumerate(handle.p, walker.out()), TARNLOW_OK) << LastError().description;
  std::vector<std::string> codes;
  for (;;) {
    Value item;
    ASSERT_EQ(tarnlow_next(walker.p, item.out()), TARNLOW_OK);
    if (item.v.type == TARNLOW_EMPTY) break;
    ASSERT_EQ(item.v.type, TARNLOW_OBJECT);
    Value code;
    ASSERT_EQ(tarnlow_get(item.v.as.object, "code", nullptr, 0, code.out()), TARNLOW_OK);
    codes.push_back(code.Text());
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"A", "B", "C"}));
  Value after;
  EXPECT_EQ(tarnlow_next(walker.p, after.out()), TARNLOW_OK);
  EXPECT_EQ(after.v.type, TARNLOW_EMPTY) << "an enumerator stays at its end";
  // Item is the default member: by position and by key.
  tarnlow_value key = Text("b");
  Value item;
  ASSERT_EQ(tarnlow_get(handle.p, "Item", &key, 1, item.out()), TARNLOW_OK);
  EXPECT_EQ(std::static_pointer_cast<Gauge>(capi::Unwrap(item.v.as.object))->code(), "B");
}

TEST(CCollectionTest, OnlyCollectionsEnumerateAndOnlyEnumeratorsStep) {
  Handle version = Create("clsTarnlowSTDataVer");
  Handle walker;
  ExpectFailure(tarnlow_enumerate(version.p, walker.out()), err::NotSupported);
  EXPECT_EQ(walker.p, nullptr);
  Value item;
  ExpectFailure(tarnlow_next(version.p, item.out()), err::NotSupported);
}

// ---- the error record ---------------------------------------------------------------------

TEST(CErrorRecordTest, IsPerThreadClearedByEachCallAndKeptByCleanUp) {
  EXPECT_EQ(tarnlow_create_object("clsNope", Handle().out()), TARNLOW_FAILED);
  Record other_thread{-1, "", ""};
  std::thread([&] {
    other_thread = LastError();
    tarnlow_create_object("clsOther", Handle().out());
  }).join();
  EXPECT_EQ(other_thread.number, 0) << "another thread's failure is not this one's";
  EXPECT_EQ(LastError().description, RuntimeErrorText(err::CannotCreateObject) + ": clsNope");
  // Cleaning up after a failure keeps the record to read.
  Value v;
  tarnlow_value_free(v.out());
  tarnlow_object_release(capi::Wrap(std::make_shared<Connection>()));
  EXPECT_EQ(LastError().number, 429);
  Handle ok = Create("clsPORService");
  EXPECT_EQ(LastError().number, 0);
  EXPECT_STREQ(tarnlow_last_error()->source, "");
  EXPECT_STREQ(tarnlow_last_error()->description, "");
}

// ---- handles that are not (or no longer) the caller's ------------------------------------------

// The record every refused handle leaves.
void ExpectBadHandle(int status, const char* what) {
  EXPECT_EQ(status, TARNLOW_FAILED) << what;
  const Record e = LastError();
  EXPECT_EQ(e.number, err::ObjectNotSet) << what;
  EXPECT_EQ(e.source, RuntimeSource) << what;
  EXPECT_EQ(e.description,
            RuntimeErrorText(err::ObjectNotSet) + ": the handle was released or is no handle of this library")
      << what;
}

// Every entry point that takes a handle, given `bad` where the handle goes.
void ExpectEveryEntryPointRefuses(tarnlow_object* bad, tarnlow_object* good) {
  Value v;
  const tarnlow_value text = Text("x");
  tarnlow_value as_argument = tarnlow_object_value(bad);
  Handle none;
  ExpectBadHandle(tarnlow_class_name(bad, v.out()), "class name");
  EXPECT_EQ(v.v.type, TARNLOW_EMPTY);
  ExpectBadHandle(tarnlow_get(bad, "Service", nullptr, 0, v.out()), "get");
  ExpectBadHandle(tarnlow_let(bad, "Service", &text), "let");
  ExpectBadHandle(tarnlow_set(bad, "SageConnection", nullptr), "set on it");
  ExpectBadHandle(tarnlow_set(good, "SageConnection", bad), "set it as a value");
  ExpectBadHandle(tarnlow_call(bad, "ReadIt", nullptr, 0, nullptr), "call");
  ExpectBadHandle(tarnlow_call(good, "PrepareReadStatement", &as_argument, 1, nullptr), "as an argument");
  ExpectBadHandle(tarnlow_enumerate(bad, none.out()), "enumerate");
  EXPECT_EQ(none.p, nullptr);
  ExpectBadHandle(tarnlow_next(bad, v.out()), "next");
  ExpectBadHandle(tarnlow_object_release(bad), "release");
}

TEST(CHandleTest, AReleasedHandleIsRefusedEverywhereAndReleasingTwiceFails) {
  ASSERT_EQ(tarnlow_live_objects(), 0);
  Handle good = Create("clsPORService");
  tarnlow_object* service = nullptr;
  ASSERT_EQ(tarnlow_create_object("clsPORService", &service), TARNLOW_OK);
  ASSERT_EQ(tarnlow_object_release(service), TARNLOW_OK);
  EXPECT_EQ(tarnlow_live_objects(), 1);
  ExpectEveryEntryPointRefuses(service, good.p);
  ExpectBadHandle(tarnlow_object_release(service), "a third release");
  // The caller's other handle on an object outlives the released one.
  tarnlow_object* connection = nullptr;
  ASSERT_EQ(tarnlow_open_connection("sqlite::memory:", &connection), TARNLOW_OK);
  Value copy;
  ASSERT_EQ(tarnlow_set(good.p, "SageConnection", connection), TARNLOW_OK);
  ASSERT_EQ(tarnlow_get(good.p, "SageConnection", nullptr, 0, copy.out()), TARNLOW_OK);
  ASSERT_EQ(tarnlow_object_release(connection), TARNLOW_OK);
  Value kind;
  EXPECT_EQ(tarnlow_get(copy.v.as.object, "DatabaseKind", nullptr, 0, kind.out()), TARNLOW_OK)
      << LastError().description;
}

TEST(CHandleTest, AHandleOfAReusedSlotDoesNotReachItsNewObject) {
  tarnlow_object* first = nullptr;
  ASSERT_EQ(tarnlow_create_object("clsPORService", &first), TARNLOW_OK);
  ASSERT_EQ(tarnlow_object_release(first), TARNLOW_OK);
  // Released handles' places are used again: each new handle may take the
  // one just freed.
  std::vector<Handle> later;
  for (int i = 0; i < 8; ++i) later.push_back(Create("clsTarnlowSTDataVer"));
  Handle service = Create("clsPORService");
  ExpectEveryEntryPointRefuses(first, service.p);
  for (Handle& h : later) {
    Value version;
    EXPECT_EQ(tarnlow_get(h.p, "TarnlowSTDataVer", nullptr, 0, version.out()), TARNLOW_OK);
  }
}

TEST(CHandleTest, AValueNeverGivenOutIsRefused) {
  Handle service = Create("clsPORService");
  struct Imitation {
    void* object[2] = {nullptr, nullptr};
  } imitation;
  const std::uintptr_t real = reinterpret_cast<std::uintptr_t>(service.p);
  const std::uintptr_t values[] = {
      reinterpret_cast<std::uintptr_t>(&imitation),  // what an old handle pointed at
      0x1,
      0xdeadbeef,
      ~std::uintptr_t{0},
      real + (std::uintptr_t{1} << 32),  // the right place, another generation
      real + 1000000,                    // a place the library never handed out
  };
  for (const std::uintptr_t value : values) {
    SCOPED_TRACE(value);
    ExpectEveryEntryPointRefuses(reinterpret_cast<tarnlow_object*>(value), service.p);
  }
  Value name;
  EXPECT_EQ(tarnlow_class_name(service.p, name.out()), TARNLOW_OK) << "the real handle still works";
}

TEST(CHandleTest, ThreadsGivingOutAndReleasingHandlesAtOnceLoseNone) {
  ASSERT_EQ(tarnlow_live_objects(), 0);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&failures, t] {
      for (int i = 0; i < 500; ++i) {
        tarnlow_object* a = nullptr;
        tarnlow_object* b = nullptr;
        tarnlow_value name{};
        bool ok = tarnlow_create_object("clsTarnlowSTDataVer", &a) == TARNLOW_OK &&
                  tarnlow_create_object("clsPORService", &b) == TARNLOW_OK &&
                  tarnlow_class_name(a, &name) == TARNLOW_OK;
        tarnlow_value_free(&name);
        ok = ok && tarnlow_object_release(a) == TARNLOW_OK &&
             tarnlow_class_name(a, &name) == TARNLOW_FAILED && tarnlow_object_release(b) == TARNLOW_OK;
        if (!ok) ++failures[t];
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(tarnlow_live_objects(), 0);
}

// Modal messages reach the caller's handler, which here releases the very
// object whose insert shows the message: the insert goes on with its object
// to the end.
TEST(CHandleTest, AnObjectReleasedByAMessageHandlerDuringItsInsertLivesUntilTheInsertEnds) {
  ASSERT_EQ(tarnlow_live_objects(), 0);
  test::ScratchDatabase db;
  auto [connection, faults] = test::OpenWithFaults(db, "kind=2");
  // Every insert of the audit row fails: the retry prompt, then the message
  // that the retry failed too.
  faults->Add({"INSERT INTO " + connection->TableCatalogue()->ReceiptTable(), 1, 0, DbIntegrityViolation});
  Handle database(capi::Wrap(connection));
  const std::int64_t before = tarnlow_live_objects();
  tarnlow_object* audit = nullptr;
  ASSERT_EQ(tarnlow_create_object("clsPorecp", &audit), TARNLOW_OK);
  ASSERT_EQ(tarnlow_set(audit, "SageConnection", database.p), TARNLOW_OK);

  struct Releaser {
    tarnlow_object* handle;
    std::vector<std::string> texts;
    std::vector<int> styles;
    int released = -99;
  } releaser{audit, {}, {}, -99};
  ASSERT_EQ(tarnlow_set_message_handler(
                [](void* context, const char* text, int style, const char* title) -> int {
                  auto* r = static_cast<Releaser*>(context);
                  r->texts.push_back(text + std::string("|") + title);
                  r->styles.push_back(style);
                  if (r->texts.size() == 1) r->released = tarnlow_object_release(r->handle);
                  return 1;
                },
                &releaser),
            TARNLOW_OK);
  const int status = tarnlow_call(audit, "InsertRow", nullptr, 0, nullptr);
  ASSERT_EQ(tarnlow_set_message_handler(nullptr, nullptr), TARNLOW_OK);
  EXPECT_EQ(status, TARNLOW_OK) << LastError().description;
  EXPECT_EQ(releaser.released, TARNLOW_OK);
  EXPECT_EQ(releaser.texts,
            (std::vector<std::string>{"Error inserting receipt audit record.   Press OK to try again|",
                                      "Error inserting receipt audit record insert failed|"}));
  EXPECT_EQ(releaser.styles, (std::vector<int>{vbOKOnly, vbCritical}));
  EXPECT_EQ(faults->Failures().size(), 2u) << "both attempts ran, the second after the release";
  EXPECT_EQ(tarnlow_live_objects(), before) << "the object went when the call ended";
  ExpectBadHandle(tarnlow_call(audit, "InsertRow", nullptr, 0, nullptr), "after the call");
  ExpectBadHandle(tarnlow_object_release(audit), "released again");
}

// ---- live objects -----------------------------------------------------------------------------

TEST(CLiveObjectTest, EveryClassCollectionEnumeratorAndConnectionIsReleasedWithItsLastHandle) {
  ASSERT_EQ(tarnlow_live_objects(), 0) << "an earlier test left an object alive";
  std::vector<tarnlow_object*> handles;
  std::vector<tarnlow_value> values;
  {
    tarnlow_object* connection = nullptr;
    ASSERT_EQ(tarnlow_open_connection("sqlite::memory:", &connection), TARNLOW_OK);
    handles.push_back(connection);
    for (const ClassInfo* info : Registry::Classes()) {
      tarnlow_object* made = nullptr;
      ASSERT_EQ(tarnlow_create_object(std::string(info->ClassId()).c_str(), &made), TARNLOW_OK);
      handles.push_back(made);
      if (info->Find("SageConnection") != nullptr) {
        EXPECT_EQ(tarnlow_set(made, "SageConnection", connection), TARNLOW_OK) << info->Name();
      }
      tarnlow_object* walker = nullptr;
      if (tarnlow_enumerate(made, &walker) == TARNLOW_OK) handles.push_back(walker);
    }
    auto collection = std::make_shared<colGauge>();
    Gauge g;
    g.code = "G";
    collection->Add(g);
    handles.push_back(capi::Wrap(std::move(collection)));
    tarnlow_object* walker = nullptr;
    ASSERT_EQ(tarnlow_enumerate(handles.back(), &walker), TARNLOW_OK);
    handles.push_back(walker);
    values.emplace_back();
    ASSERT_EQ(tarnlow_next(walker, &values.back()), TARNLOW_OK);
    values.emplace_back();
    ASSERT_EQ(tarnlow_get(connection, "TableCatalogue", nullptr, 0, &values.back()), TARNLOW_OK);
  }
  EXPECT_GT(tarnlow_live_objects(), static_cast<std::int64_t>(Registry::Classes().size()));
  EXPECT_EQ(tarnlow_can_unload_now(), 0);
  // Released in the order created: owners go before what they hold.
  for (tarnlow_object* h : handles) tarnlow_object_release(h);
  EXPECT_NE(tarnlow_live_objects(), 0) << "values still hold a member and the catalogue";
  for (tarnlow_value& v : values) tarnlow_value_free(&v);
  EXPECT_EQ(tarnlow_live_objects(), 0);
  EXPECT_EQ(tarnlow_can_unload_now(), 1);
}

TEST(CLiveObjectTest, FailingCallsLeaveNothingAlive) {
  ASSERT_EQ(tarnlow_live_objects(), 0);
  {
    Handle service = Create("clsPORService");
    Handle none;
    Value v;
    tarnlow_create_object("clsNope", none.out());
    EXPECT_EQ(tarnlow_open_connection("sqlite:/nonexistent-folder/x.db", none.out()), TARNLOW_FAILED);
    EXPECT_NE(LastError().description, "");
    // Without a connection the object makes an unopened one of its own (and
    // says so in a message): it goes with the object.
    tarnlow_call(service.p, "ReadIt", nullptr, 0, v.out());
    tarnlow_get(service.p, "NoSuch", nullptr, 0, v.out());
    tarnlow_enumerate(service.p, none.out());
    EXPECT_EQ(none.p, nullptr);
    EXPECT_EQ(v.v.type, TARNLOW_EMPTY);
  }
  EXPECT_EQ(tarnlow_live_objects(), 0);
}

}  // namespace
}  // namespace tarnlow
