// Memory running out at every allocation of a C caller's session, once and
// for good: each failure comes back as an error record (never an exception
// into C frames, never a crash), a handle or value is handed out whole or not
// at all, and whatever was allocated on the way is given back. The object
// count is checked here; the memory itself by the sanitizer run's leak check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "component/c_interface.h"
#include "framework/class_builder.h"
#include "tarnlow/collection.h"
#include "tarnlow/tarnlow.h"
#include "tarnlow/tarnlow_c.h"
#include "test_support.h"

namespace {

// The allocation that fails: the countdown-th from arming, on this thread;
// after it, every later one too when `persistent`.
thread_local long t_countdown = -1;
thread_local bool t_persistent = false;
thread_local long t_injected = 0;

void* Allocate(std::size_t size) {
  if (t_countdown == 0) {
    ++t_injected;
    if (!t_persistent) t_countdown = -1;
    throw std::bad_alloc();
  }
  if (t_countdown > 0) --t_countdown;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
// Callers of the non-throwing forms (the standard library's temporary
// buffers) cope with a null answer by design: they are left out.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace tarnlow {
namespace {

#define LOT_PROPERTIES(X) X(Value, code, Text, GetLet)

class Lot final : public Object {
 public:
  TARNLOW_PROPERTIES(Lot, LOT_PROPERTIES)
  static const ClassInfo& Info() {
    static const ClassInfo info = detail::ClassBuilder<Lot>("Lot", "", "").Properties(Columns()).Build();
    return info;
  }
  const ClassInfo& Class() const override { return Info(); }
  void CopyFrom(const Lot& other) { code = other.code(); }
  std::string KeyString() const { return code(); }
};
TARNLOW_DEFINE_PROPERTIES(Lot, LOT_PROPERTIES)

class colLot final : public Collection<colLot, Lot> {
  TARNLOW_COLLECTION_CLASS(colLot)
  std::shared_ptr<Lot> Add(Lot& oLot) {
    auto copy = NewCopy(oLot);
    return Append(copy, copy->KeyString());
  }
};
TARNLOW_DEFINE_COLLECTION(colLot, "", "") {
  b.Method<&Self::Add>("Add", {"oLot"}).Item().Count().NewEnum();
}

// What one call of the session gave: checked after the allocator is disarmed,
// since the test framework itself allocates.
struct Step {
  const char* call;
  int status;
  std::int32_t number;
  bool described;        // the record has a source and a description
  bool output_is_whole;  // a failed call handed out no handle and no value
};

struct Session {
  std::vector<Step> steps;
  std::vector<tarnlow_object*> handles;
};

// The session: each output starts as garbage so that a failure that leaves
// it alone is seen.
void RunSession(tarnlow_object* database, tarnlow_object* collection, Session& s) {
  tarnlow_object* poison = reinterpret_cast<tarnlow_object*>(static_cast<std::uintptr_t>(0x1));
  auto record = [&](const char* call, int status, bool output_is_whole) {
    const tarnlow_error* e = tarnlow_last_error();
    s.steps.push_back(Step{call, status, e->number,
                           e->source != nullptr && e->description != nullptr && e->description[0] != '\0',
                           output_is_whole});
  };
  auto object_out = [&](const char* call, auto&& body) {
    tarnlow_object* out = poison;
    const int status = body(&out);
    record(call, status, status == TARNLOW_OK ? out != poison : out == nullptr);
    if (status == TARNLOW_OK && out != nullptr && out != poison) s.handles.push_back(out);
    return status == TARNLOW_OK ? out : nullptr;
  };
  auto value_out = [&](const char* call, auto&& body) {
    tarnlow_value v;
    v.type = TARNLOW_TEXT;
    v.owned = 0;
    v.as.text = {"garbage", 7};
    const int status = body(&v);
    record(call, status, status == TARNLOW_OK || v.type == TARNLOW_EMPTY);
    tarnlow_value_free(&v);
  };

  tarnlow_object* connection =
      object_out("open", [](tarnlow_object** o) { return tarnlow_open_connection("sqlite::memory:", o); });
  tarnlow_object* service =
      object_out("create", [](tarnlow_object** o) { return tarnlow_create_object("clsPORService", o); });
  object_out("create unknown", [](tarnlow_object** o) { return tarnlow_create_object("clsNoSuchClass", o); });
  record("set", tarnlow_set(service, "SageConnection", database), true);
  const tarnlow_value code = tarnlow_text_value("INSTALLATION");
  record("let", tarnlow_let(service, "Service", &code), true);
  value_out("get", [&](tarnlow_value* v) { return tarnlow_get(service, "Service", nullptr, 0, v); });
  value_out("get unknown",
            [&](tarnlow_value* v) { return tarnlow_get(service, "NoSuchMember", nullptr, 0, v); });
  value_out("call", [&](tarnlow_value* v) { return tarnlow_call(service, "ReadIt", nullptr, 0, v); });
  value_out("read", [&](tarnlow_value* v) { return tarnlow_get(service, "unit_code", nullptr, 0, v); });
  value_out("class", [&](tarnlow_value* v) { return tarnlow_class_name(service, v); });
  value_out("catalogue",
            [&](tarnlow_value* v) { return tarnlow_get(connection, "TableCatalogue", nullptr, 0, v); });
  tarnlow_object* walker =
      object_out("enumerate", [&](tarnlow_object** o) { return tarnlow_enumerate(collection, o); });
  value_out("next", [&](tarnlow_value* v) { return tarnlow_next(walker, v); });
  tarnlow_value key = tarnlow_text_value("k1");
  value_out("item", [&](tarnlow_value* v) { return tarnlow_get(collection, "Item", &key, 1, v); });
  record("version", tarnlow_version() != nullptr ? TARNLOW_OK : TARNLOW_FAILED, true);
}

// Runs the session with the countdown-th allocation failing; answers whether
// the failure was reached at all.
bool RunFailing(long countdown, bool persistent, tarnlow_object* database, tarnlow_object* collection,
                const std::string& trace) {
  Session s;
  s.steps.reserve(32);
  s.handles.reserve(32);
  t_injected = 0;
  t_persistent = persistent;
  t_countdown = countdown;
  RunSession(database, collection, s);
  t_countdown = -1;
  const bool reached = t_injected > 0;

  SCOPED_TRACE(trace);
  bool saw_out_of_memory = false;
  for (const Step& step : s.steps) {
    SCOPED_TRACE(step.call);
    EXPECT_TRUE(step.status == TARNLOW_OK || step.status == TARNLOW_FAILED);
    EXPECT_EQ(step.status == TARNLOW_OK, step.number == 0) << "a failure and only a failure has a record";
    if (step.status == TARNLOW_FAILED) {
      EXPECT_TRUE(step.described);
    }
    EXPECT_TRUE(step.output_is_whole);
    saw_out_of_memory = saw_out_of_memory || step.number == 7;
  }
  if (reached) {
    std::string steps;
    for (const Step& step : s.steps)
      steps += std::string(" ") + step.call + "=" + std::to_string(step.number);
    EXPECT_TRUE(saw_out_of_memory) << "the failed allocation surfaced as error 7:" << steps;
  }
  for (tarnlow_object* h : s.handles) tarnlow_object_release(h);
  return reached;
}

TEST(CAllocationFailureTest, EveryAllocationOfASessionMayFailOnceOrForGood) {
  const std::int64_t at_start = tarnlow_live_objects();
  tarnlow_object* collection = nullptr;
  {
    auto list = std::make_shared<colLot>();
    Lot lot;
    lot.code = std::string("k1");
    list->Add(lot);
    collection = capi::Wrap(std::move(list));
  }
  // A database whose service item the session reads, so that preparing,
  // binding, running and copying a row are all on the way.
  test::ScratchDatabase db;
  {
    auto c = db.Open();
    c->Execute("insert into " + c->TableCatalogue()->ServiceTable() +
               " (service, unit_code, cost) values ('INSTALLATION', 'HOUR', 42.5)");
  }
  tarnlow_object* database = capi::Wrap(Connection::Open(db.Text()));
  // A session whose connection failed to reach the object shows the missing
  // connection message; it is not this test's business.
  const MessageHandler previous =
      SetMessageHandler([](std::string_view, int, std::string_view) { return vbOK; });

  // Once through without failures, so that every description the library
  // builds once is built, the connection holds its catalogue, and the
  // session allocates the same way each time.
  ASSERT_FALSE(RunFailing(-1, false, database, collection, "warm-up"));
  const std::int64_t alive = tarnlow_live_objects();
  long allocations_covered = 0;
  for (const bool persistent : {false, true}) {
    long n = 0;
    while (
        RunFailing(n, persistent, database, collection,
                   std::string(persistent ? "for good" : "once") + " from allocation " + std::to_string(n))) {
      EXPECT_EQ(tarnlow_live_objects(), alive) << "allocation " << n;
      if (HasFailure()) break;  // one broken path is enough to read
      ++n;
    }
    allocations_covered = std::max(allocations_covered, n);
  }
  RecordProperty("allocations", static_cast<int>(allocations_covered));
  EXPECT_GT(allocations_covered, 40) << "the session allocates; the injection must have reached it";
  SetMessageHandler(previous);
  tarnlow_object_release(collection);
  tarnlow_object_release(database);
  EXPECT_EQ(tarnlow_live_objects(), at_start);
}

}  // namespace
}  // namespace tarnlow
