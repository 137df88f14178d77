#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <sstream>

#include "script/script.h"
#include "tarnlow/name_index.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

const std::regex kBracedIdentity("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");

TEST(RegistryTest, EveryClassHasItsOwnNameAndWellFormedIdentities) {
  const auto classes = Registry::Classes();
  ASSERT_FALSE(classes.empty());
  std::set<std::string> names, identities;
  for (const ClassInfo* info : classes) {
    SCOPED_TRACE(std::string(info->Name()));
    EXPECT_TRUE(names.insert(LowerCase(info->Name())).second) << "name registered twice";
    EXPECT_TRUE(identities.insert(Upper(info->ClassId())).second) << "class identity registered twice";
    EXPECT_TRUE(identities.insert(Upper(info->InterfaceId())).second) << "interface identity reused";
    EXPECT_TRUE(std::regex_match(std::string(info->ClassId()), kBracedIdentity));
    EXPECT_TRUE(std::regex_match(std::string(info->InterfaceId()), kBracedIdentity));
    EXPECT_TRUE(info->Creatable());
  }
}

TEST(RegistryTest, CreatesEveryClassByNameAndByIdentityWithItsDefaults) {
  for (const ClassInfo* info : Registry::Classes()) {
    SCOPED_TRACE(std::string(info->Name()));
    const std::int64_t before = LiveObjectCount();
    ObjectPtr by_name = CreateObject(LowerCase(info->Name()));
    ObjectPtr by_id = CreateObject(LowerCase(info->ClassId()));
    ASSERT_TRUE(by_name && by_id);
    EXPECT_EQ(Registry::Find(Upper(info->Name())), info);
    EXPECT_NE(by_name, by_id) << "each creation gives a fresh object";
    EXPECT_EQ(&by_name->Class(), info);
    EXPECT_EQ(&by_id->Class(), info);
    EXPECT_GE(LiveObjectCount(), before + 2);
    // Both hold the same creation defaults in every stored property.
    for (const MemberInfo& m : info->Members()) {
      if (!m.column || !HasGet(m.access)) continue;
      EXPECT_EQ(late::Get(*by_name, m.name), late::Get(*by_id, m.name)) << m.name;
    }
    by_name.reset();
    by_id.reset();
    EXPECT_EQ(LiveObjectCount(), before) << "objects (and what they own) are released with their last holder";
  }
}

TEST(RegistryTest, UnknownNamesAndIdentitiesGiveError429NamingThem) {
  for (const std::string key :
       {"clsNoSuchClass", "{00000000-0000-0000-0000-000000000000}", "{CAB36C7A-B4AA-45A8-97B7-14CC3085CC4A}",
        "", "clsPORService ", "E5A77673-5F20-4317-8289-426B2EDABAF5"}) {
    SCOPED_TRACE(key);
    test::ExpectError([&] { CreateObject(key); }, 429, RuntimeSource,
                      RuntimeErrorText(err::CannotCreateObject) + ": " + key);
  }
}

// ---- the type library ------------------------------------------------------------

// Scripts reach the type library's enumeration by name.
TEST(DescribeTest, ScriptsReachTheEnumerationByName) {
  std::ostringstream out;
  EXPECT_EQ(script::RunSource("Print ePurchaseReceipt, TypeName(EPURCHASERECEIPT)\n"
                              "Set c = CreateObject(\"clsSTNLCat\")\n"
                              "c.MovementType = ePurchaseReceipt\nPrint c.MovementType\n",
                              out),
            script::kExitOk);
  EXPECT_EQ(out.str(), "0 \"Long\"\n0\n");
}

}  // namespace
}  // namespace tarnlow
