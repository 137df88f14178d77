// The component boundary: the private classes that clients never create,
// and the meanings the class reference gives every member. The public classes'
// identities and members are in docs/classes.md, which the boundary test
// holds to the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "component/member_meanings.h"
#include "tarnlow/name_index.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

constexpr const char* kPrivateClasses[] = {"clsPONLCodeG",   "colSTUnitP",      "colSTUnitC",
                                           "colPOPDiscount", "colPOPPriceList", "colPODetailD",
                                           "colPONLCodeD",   "clsSTUnitD"};

TEST(PrivateClassTest, ClientsNeverCreateThem) {
  for (const char* name : kPrivateClasses) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Registry::Find(name), nullptr);
    test::ExpectError([&] { CreateObject(name); }, err::CannotCreateObject, {},
                      RuntimeErrorText(err::CannotCreateObject) + ": " + name);
  }
}

// ---- the class reference --------------------------------------------------------

TEST(ClassReferenceTest, EveryMemberOfEveryClassSaysWhatItIsFor) {
  std::vector<std::string> missing;
  for (const ClassInfo* info : Registry::Classes())
    for (const MemberInfo& m : info->Members())
      if (MemberMeaning(*info, m).empty())
        missing.push_back(std::string(info->Name()) + "." + std::string(m.name));
  std::string list;
  for (const std::string& name : missing) list += " " + name;
  EXPECT_TRUE(missing.empty()) << "members without a meaning (src/component/member_meanings.cpp):" << list;
}

TEST(ClassReferenceTest, MeaningsNameOnlyMembersTheirClassesHave) {
  // A meaning kept for a member of a registered class that lacks it is a
  // misspelt name, and would silently leave the real member without one.
  for (const MeaningKey& key : MeaningKeys()) {
    if (key.owner == "*") continue;
    const ClassInfo* info = Registry::Find(key.owner);
    if (info == nullptr) continue;  // a class the library does not register (yet)
    EXPECT_NE(info->Find(key.member), nullptr) << key.owner << "." << key.member;
    EXPECT_EQ(info->Name(), key.owner) << "spelt as the class is";
  }
}

// Late-bound callers name members in any letter case; the first member of
// a name is the one reached, and anything else is no member.
TEST(MemberLookupTest, EveryMemberIsFoundByItsNameInAnyLetterCase) {
  const auto upper = [](std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
  };
  std::size_t checked = 0;
  for (const ClassInfo* info : Registry::Classes()) {
    SCOPED_TRACE(std::string(info->Name()));
    for (const MemberInfo& m : info->Members()) {
      const MemberInfo* first = nullptr;
      for (const MemberInfo& other : info->Members())
        if (!first && LowerCase(other.name) == LowerCase(m.name)) first = &other;
      EXPECT_EQ(info->Find(m.name), first) << m.name;
      EXPECT_EQ(info->Find(upper(m.name)), first) << m.name;
      EXPECT_EQ(info->Find(LowerCase(m.name)), first) << m.name;
      EXPECT_EQ(info->Find(std::string(m.name) + "_"), nullptr) << m.name;
      ++checked;
    }
    EXPECT_EQ(info->Find(""), nullptr);
    EXPECT_EQ(info->Find(std::string(200, 'a')), nullptr);
  }
  EXPECT_GT(checked, 500u);

  const auto member = [](std::string_view name) {
    return MemberInfo{name, true, Access::Get, ValueKind::Variant, false, {}, nullptr};
  };
  const ClassInfo twice("Twice", "", "", {member("Total"), member("TOTAL"), member("Other")}, nullptr);
  EXPECT_EQ(twice.Find("total"), &twice.Members()[0]);
  EXPECT_EQ(twice.Find("OTHER"), &twice.Members()[2]);
  EXPECT_EQ(twice.Find("Tota"), nullptr);
  EXPECT_EQ(twice.Find("Total\xc3\x84"), nullptr);
}

}  // namespace
}  // namespace tarnlow
