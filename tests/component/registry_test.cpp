#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <sstream>

#include "framework/text.h"
#include "script/script.h"
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
    const Error e = test::CatchError([&] { CreateObject(key); });
    EXPECT_EQ(e.Number(), 429);
    EXPECT_EQ(e.Source(), RuntimeSource);
    EXPECT_EQ(e.Description(), RuntimeErrorText(err::CannotCreateObject) + ": " + key);
  }
}

// ---- the version class -----------------------------------------------------------

TEST(VersionClassTest, ReportsTheFileItRunsFromAndTheVersion) {
  // The tests link the library's code into their own program, so that is
  // the file it reports; the program test below sees the shared library.
  clsTarnlowSTDataVer version;
  EXPECT_EQ(version.TarnlowSTDataVer(), "tarnlow_tests: 1.0.71");
}

// ---- descriptions ------------------------------------------------------------------

// Which arguments and Let values go by reference is in the class reference
// (docs/classes.md); the text form that `tarnlowst classes` prints marks them too.
TEST(DescribeTest, MarksWhatTheInterfaceTakesByReference) {
  const std::string text = DescribeMembers(clsPONLCodeD::Info());
  EXPECT_NE(text.find("  let get   InsertPONLExtD As Bool  (Let ByRef)\n"), std::string::npos) << text;
  EXPECT_NE(DescribeMembers(clsSTUnitDD::Info()).find("CopyFrom(ByRef oFromSTUnitDD As Object)"),
            std::string::npos);
}

// The type library names what it imports and declares its enumeration,
// which scripts reach by name.
TEST(DescribeTest, TheTypeLibraryListsItsImportsAndItsEnumeration) {
  const std::string text = DescribeTypeLibrary();
  EXPECT_TRUE(
      text.starts_with("type library TarnlowSTData  {0D270230-F1FC-4FE3-A265-331D0D4EDB9E}  version "
                       "2.15  locale 1033\n"))
      << text;
  for (const char* imported : {"  imports stdole  stdole2.tlb  version 2.0",
                               "  imports TarnlowData  {E04A0D54-CBFC-47AF-94EC-AA41950E839B}  version 2.96",
                               "  imports ADODB  msado28.tlb  version 2.8"})
    EXPECT_NE(text.find(imported), std::string::npos) << imported;
  EXPECT_NE(text.find("  enum eMovementType  ePurchaseReceipt = 0\n"), std::string::npos) << text;
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
