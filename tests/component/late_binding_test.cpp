#include <gtest/gtest.h>

#include <vector>

#include "framework/class_builder.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// A class with a property of every kind, operations with and without
// results and by-reference arguments, and an operation that fails through an
// error exit. It is described like the library's classes but not registered.
#define PROBE_PROPERTIES(X)        \
  X(Value, code, Text, GetLet)     \
  X(Value, count16, Int16, GetLet) \
  X(Value, count32, Int32, LetGet) \
  X(Value, amount, Double, GetLet) \
  X(Value, when, Date, GetLet)     \
  X(Value, flag, Bool, GetLet)     \
  X(Value, total, Double, Get)

class Probe final : public Object {
 public:
  TARNLOW_PROPERTIES(Probe, PROBE_PROPERTIES)

  static const ClassInfo& Info() {
    static const ClassInfo info =
        detail::ClassBuilder<Probe>("Probe", "{11111111-2222-3333-4444-555555555555}",
                                    "{66666666-7777-8888-9999-000000000000}")
            .Creatable()
            .Properties(Columns())
            .GetLet<&Probe::Label, &Probe::SetLabel>("Label", Access::LetGet)
            .Method<&Probe::Add>("Add", {"a", "b"})
            .Method<&Probe::Double_>("DoubleIt", {"value"})
            .Method<&Probe::Next>("Next")
            .Method<&Probe::Fail>("Fail")
            .Build();
    return info;
  }
  const ClassInfo& Class() const override { return Info(); }

  std::string Label() const { return "[" + label_ + "]"; }
  void SetLabel(const std::string& text) { label_ = text; }
  double Add(double a, double b) {
    Field(total) = a + b;
    return a + b;
  }
  void Double_(double& value) { value *= 2; }
  bool Next() { return ++calls_ <= 2; }
  void Fail() {
    WithErrorExit("Fail of Class Module Probe", [&](Line& line) {
      line = 30;
      throw Error(vbObjectError + 7, "Probe.Inner", "inner failure");
    });
  }

 private:
  std::string label_;
  int calls_ = 0;
};

TARNLOW_DEFINE_PROPERTIES(Probe, PROBE_PROPERTIES)

class LateBindingTest : public ::testing::Test {
 protected:
  Probe probe_;
};

Error Raised(auto&& body) {
  return test::CatchError(body);
}

TEST_F(LateBindingTest, LetConvertsAsAPropertyAssignment) {
  late::Let(probe_, "count16", Variant("7"));
  EXPECT_EQ(late::Get(probe_, "count16").Type(), VarType::Integer);
  EXPECT_EQ(probe_.count16(), 7);
  late::Let(probe_, "code", Variant(10.5));
  EXPECT_EQ(probe_.code(), "10.5");
  late::Let(probe_, "count32", Variant(" 70000 "));
  EXPECT_EQ(probe_.count32(), 70000);
  late::Let(probe_, "when", Variant("2000-01-02 06:00:00"));
  EXPECT_EQ(probe_.when(), Date::FromCalendar(2000, 1, 2, 6));
  late::Let(probe_, "flag", Variant("True"));
  EXPECT_TRUE(probe_.flag());
  late::Let(probe_, "Label", Variant(12.5));
  EXPECT_EQ(late::Get(probe_, "label"), Variant("[12.5]"));
}

TEST_F(LateBindingTest, AValueThatDoesNotConvertIsRefusedAndLosesNothing) {
  probe_.count16 = std::int16_t{5};
  probe_.code = "KEEP";
  const Error mismatch = Raised([&] { late::Let(probe_, "count16", Variant("seven")); });
  EXPECT_EQ(mismatch.Number(), 13);
  EXPECT_EQ(mismatch.Description(), "Type mismatch");
  EXPECT_EQ(Raised([&] { late::Let(probe_, "count16", Variant(70000.0)); }).Number(), err::Overflow);
  EXPECT_EQ(Raised([&] { late::Let(probe_, "code", Variant(Null)); }).Number(), err::InvalidUseOfNull);
  EXPECT_EQ(Raised([&] { late::Let(probe_, "code", Variant(std::make_shared<Probe>())); }).Number(), 13);
  EXPECT_EQ(probe_.count16(), 5);
  EXPECT_EQ(probe_.code(), "KEEP");
}

TEST_F(LateBindingTest, AMissingMemberOrAccessorIsError438) {
  auto expect438 = [](const Error& e) {
    EXPECT_EQ(e.Number(), 438);
    EXPECT_EQ(e.Description(), "Object doesn't support this property or method");
  };
  expect438(Raised([&] { late::Get(probe_, "nothere"); }));
  expect438(Raised([&] { late::Call(probe_, "NotThere"); }));
  expect438(Raised([&] { late::Let(probe_, "nothere", Variant(1.0)); }));
  // `total` is read-only: let is refused and the value kept.
  probe_.Add(1, 2);
  expect438(Raised([&] { late::Let(probe_, "total", Variant(1.0)); }));
  EXPECT_EQ(probe_.total(), 3);
  expect438(Raised([&] { late::Let(probe_, "Add", Variant(1.0)); }));  // an operation takes no assignment
  expect438(
      Raised([&] { late::Set(probe_, "code", std::make_shared<Probe>()); }));  // nor does a text take set
}

TEST_F(LateBindingTest, CallsPassArgumentsAndReturnResults) {
  EXPECT_EQ(late::Call(probe_, "add", {Variant(std::int16_t{2}), Variant("10.5")}), Variant(12.5));
  EXPECT_EQ(probe_.total(), 12.5);
  // An operation may be read like a property, a property called like an operation.
  EXPECT_EQ(late::Get(probe_, "Next"), Variant(true));
  EXPECT_EQ(late::Call(probe_, "Next"), Variant(true));
  EXPECT_EQ(late::Call(probe_, "Next"), Variant(false));
  EXPECT_EQ(late::Call(probe_, "total"), Variant(12.5));
  const Error e = Raised([&] { late::Call(probe_, "Add", {Variant(1.0)}); });
  EXPECT_EQ(e.Number(), 450);
  EXPECT_EQ(e.Description(), "Wrong number of arguments or invalid property assignment");
  EXPECT_EQ(Raised([&] { late::Call(probe_, "Add", {Variant(1.0), Variant("x")}); }).Number(), 13);
}

TEST_F(LateBindingTest, ArgumentsTakenByReferenceComeBack) {
  std::vector<Variant> args{Variant(std::int16_t{21})};
  late::Call(probe_, "DoubleIt", args);
  EXPECT_EQ(args[0], Variant(42.0));
  std::vector<Variant> by_value{Variant(1.0), Variant(2.0)};
  late::Call(probe_, "Add", by_value);
  EXPECT_EQ(by_value[0], Variant(1.0)) << "arguments taken by value are left alone";
}

TEST_F(LateBindingTest, AFailingOperationRaisesItsRecordUnchanged) {
  const Error e = Raised([&] { late::Call(probe_, "Fail"); });
  EXPECT_EQ(e.Number(), vbObjectError + 7);
  EXPECT_EQ(e.Source(), "Line No.: 30 Probe.Inner\r\nFail of Class Module Probe");
  EXPECT_EQ(e.Description(), "inner failure");
}

TEST(LateBoundConnectionTest, SetTakesOnlyObjectsOfTheRightKind) {
  ObjectPtr service = CreateObject("clsPORService");
  auto connection = std::make_shared<Connection>();
  late::Set(*service, "sageconnection", connection);
  const Error required = Raised([&] {
    std::vector<Variant> args{Variant("text")};
    late::Invoke(*service, late::Resolve(service->Class(), "SageConnection"), CallKind::Set, args);
  });
  EXPECT_EQ(required.Number(), 424);
  EXPECT_EQ(required.Description(), "Object required");
  EXPECT_EQ(Raised([&] { late::Set(*service, "SageConnection", CreateObject("clsPORService")); }).Number(),
            13);
  EXPECT_EQ(Raised([&] { late::Let(*service, "SageConnection", Variant(ObjectPtr(connection))); }).Number(),
            438)
      << "an object property takes set, not let";
}

}  // namespace
}  // namespace tarnlow
