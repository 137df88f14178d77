// The component boundary: the registration list of public classes with
// their identities, the private classes that clients never create, the
// type library, the live-object count across every class, and the class
// reference generated from the registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "component/member_meanings.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

struct Registration {
  const char* name;
  const char* clsid;
  const char* iid;
};

// The registration list: every public class with its class identity and the
// identity of its default interface.
constexpr Registration kRegistrationList[] = {
    {"clsPORPodet", "{54A8EB61-334A-413C-8071-129E82CB0978}", "{9442D958-F3E1-4D68-A514-522C5FB60576}"},
    {"clsPorecp", "{225C1B8F-1690-47FC-901E-85FE9C55E48D}", "{821C0AF0-E70C-4014-AB9B-479606C1532E}"},
    {"clsPORPohead", "{822DAB47-ED6B-4727-B1F9-92B5A458F332}", "{E88E3DC0-05C4-413C-A179-97430E38CCA1}"},
    {"clsPORService", "{E5A77673-5F20-4317-8289-426B2EDABAF5}", "{CAB36C7A-B4AA-45A8-97B7-14CC3085CC4A}"},
    {"clsPORStock", "{147E7B81-7B07-4474-A8CD-7ABB57EC168E}", "{214FD98B-42F1-4D35-8A60-5A7462F51E6C}"},
    {"clsSTBatchD", "{A8DC3631-7F09-4588-BFBD-2EF8E806B964}", "{F0661322-F689-4667-B63A-5F18CB15BE36}"},
    {"clsSTHistory", "{AFCBBCF4-3D5E-4129-9468-9C7E0ED3F53E}", "{B740C6FF-5514-46C4-81EF-7692E6FD4D95}"},
    {"clsSTNLCat", "{BB09ECDC-28A9-4B64-9A0C-251003D6943D}", "{AD4A49DE-3350-4AC1-9694-428FCC466F67}"},
    {"clsSTNLMov", "{5A4935C8-B70D-4382-AA06-D80F6CC46D82}", "{FB46658C-A518-40BB-B087-CB3EEA66D165}"},
    {"clsCEVatMatD", "{C2D8801D-B6E3-464F-B4B3-82D0A6445F4C}", "{1710B5BC-49E9-48C3-B089-3456E7BF0539}"},
    {"clsPOHeadD", "{2AFF014F-F474-4708-AEDA-8B6202E44B96}", "{D6B2B827-A63F-4612-B972-8DE4EA0BE913}"},
    {"clsPOPDiscountD", "{59B22D2D-3365-4782-B388-59389CF9B2C9}", "{FBE21E21-160E-4AC4-9CF7-E7060154EDFE}"},
    {"clsSTPrExD", "{15732644-4E48-471A-97B1-D004BFDA58B2}", "{EBE9CFC6-D374-4316-8FBA-B558287EC001}"},
    {"clsSTUnitDD", "{74317BAA-481E-4F9D-9DA5-3162EEB17B08}", "{BDF449BC-D83B-48DA-B9B9-F97BC055BC5C}"},
    {"clsSTUnitPD", "{D36954AA-C091-47BD-8496-A93FB9A3D6BC}", "{7E46FC26-E658-4F1B-9FB9-815F7926B423}"},
    {"clsPOPPriceListD", "{BB0E7327-D909-45F7-B9D6-1AC576576DDC}", "{0756040B-AB70-4892-A398-98590B41DBE1}"},
    {"colSTUnitD", "{381CB7A3-5C75-47E0-85E7-F55E58B4C1DF}", "{52E0BA75-1E24-49DB-82C7-C4D318EE26D5}"},
    {"clsSTUnitCD", "{6C7A6AD9-6290-4B87-A22B-70EE51FD6660}", "{21D806AF-DF56-4DE1-88A2-EE1E9A7C9DF0}"},
    {"colPONLAcc", "{657E125E-6479-4458-BC28-C85C19E48CFF}", "{164DE225-1455-4732-9904-387EDCB23AB3}"},
    {"clsPODetailD", "{145CC5D0-9A0A-4E8D-BECC-B8266274F668}", "{0FF2324F-B881-4730-9940-7C10C969B266}"},
    {"clsPONLAcc", "{A0137281-EB0C-4172-9BE6-6BA2A613D6CD}", "{8E2E65CF-8606-426A-8D0F-F5582833B9FC}"},
    {"clsPONLCodeD", "{0F654640-6248-4C70-9D80-20F5BFD4830D}", "{6959C7F8-7D38-4D49-9A59-C50E378CA5E1}"},
    {"clsPONLExtD", "{151D1B15-C516-40C6-AF9B-73BDB1898496}", "{DEF3056D-72E0-4411-BDA1-AD9AB0F9BC93}"},
    {"clsPOOStock", "{FCB2A99C-4D83-4DD3-B83C-348C87680A0D}", "{D2FAEB23-570A-4CC2-8E8F-2CB0ACF52AFC}"},
    {"clsPOSuppInf", "{488A4BE2-9298-4C7A-B4A2-098396A9C486}", "{611DA0FF-13A4-4D02-94C6-369CDAC51C84}"},
    {"clsTarnlowSTDataVer", "{498C305D-3C19-4EDE-AE98-50B1B74E73B1}",
     "{84E8D80E-A652-4982-8CE1-0F850B81B81B}"},
    {"clsPODetpgD", "{AA2B9851-76D6-49C9-BA79-56A856672C07}", "{52CB6844-1244-4B2B-8FE6-C85603E3DA96}"},
    {"clsPOvhstD", "{8C84EA2F-6317-4053-9B89-1D6AD4E201BD}", "{E5EB0C45-829B-404D-8A4B-64393AA50436}"},
    {"clsPOHeadx1D", "{A7A4E241-F868-4E94-94E0-6B3AFC500C39}", "{95D7B0A9-10C4-43CA-BCC3-141AC6F8B1EC}"},
    {"clsStkpgtxD", "{EA002F90-7C45-4089-9A54-F76ED02CA8B3}", "{49BC2141-7BCC-41C6-AEC3-4E4E61033B47}"},
    {"clsStockXpgD", "{C6BD9EB3-3771-4F42-B8D9-B21295B8B10B}", "{195AA644-D7D0-479B-9C8B-35072E54E971}"},
};

constexpr const char* kPrivateClasses[] = {"clsPONLCodeG",   "colSTUnitP",      "colSTUnitC",
                                           "colPOPDiscount", "colPOPPriceList", "colPODetailD",
                                           "colPONLCodeD",   "clsSTUnitD"};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

const Registration* Listed(std::string_view name) {
  for (const Registration& r : kRegistrationList)
    if (r.name == name) return &r;
  return nullptr;
}

TEST(RegistrationListTest, HasThirtyOneClassesEachOnce) {
  std::set<std::string> names, identities;
  for (const Registration& r : kRegistrationList) {
    names.insert(Lower(r.name));
    identities.insert(r.clsid);
    identities.insert(r.iid);
  }
  EXPECT_EQ(std::size(kRegistrationList), 31u);
  EXPECT_EQ(names.size(), 31u);
  EXPECT_EQ(identities.size(), 62u);
}

TEST(RegistrationListTest, EveryRegisteredClassIsOnTheListUnderItsIdentities) {
  for (const ClassInfo* info : Registry::Classes()) {
    SCOPED_TRACE(std::string(info->Name()));
    const Registration* r = Listed(info->Name());
    ASSERT_NE(r, nullptr) << "a public class that is not on the registration list";
    EXPECT_EQ(info->ClassId(), r->clsid);
    EXPECT_EQ(info->InterfaceId(), r->iid);
    EXPECT_EQ(info->InterfaceName(), "_" + std::string(r->name));
  }
}

// Fails, naming them, until every class of the list is part of the library.
TEST(RegistrationListTest, EveryClassOnTheListIsCreatableByNameAndIdentity) {
  std::vector<std::string> missing;
  for (const Registration& r : kRegistrationList) {
    SCOPED_TRACE(r.name);
    const ClassInfo* info = Registry::Find(Lower(r.name));
    if (info == nullptr) {
      missing.push_back(r.name);
      continue;
    }
    EXPECT_EQ(Registry::Find(Lower(r.clsid)), info);
    EXPECT_EQ(CreateObject(r.clsid)->Class().Name(), r.name);
    EXPECT_EQ(Registry::Find(r.iid), nullptr) << "an interface identity creates nothing";
  }
  std::string list;
  for (const std::string& name : missing) list += " " + name;
  EXPECT_TRUE(missing.empty()) << missing.size()
                               << " classes of the registration list are not registered:" << list;
}

TEST(RegistrationListTest, PrivateClassesAreNeverCreatableByClients) {
  for (const char* name : kPrivateClasses) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Registry::Find(name), nullptr);
    const Error e = test::CatchError([&] { CreateObject(name); });
    EXPECT_EQ(e.Number(), err::CannotCreateObject);
    EXPECT_EQ(e.Description(), RuntimeErrorText(err::CannotCreateObject) + ": " + name);
  }
}

// ---- the type library -----------------------------------------------------------

TEST(TypeLibraryTest, NamesItselfItsIdentityVersionAndLocale) {
  const TypeLibraryInfo& lib = TypeLibrary();
  EXPECT_EQ(lib.name, "TarnlowSTData");
  EXPECT_EQ(lib.identity, "{0D270230-F1FC-4FE3-A265-331D0D4EDB9E}");
  EXPECT_EQ(lib.major_version, 2);
  EXPECT_EQ(lib.minor_version, 15);
  EXPECT_EQ(lib.locale, 1033u);
  EXPECT_FALSE(lib.description.empty());
  // Texts go to C callers as they are.
  for (std::string_view text : {lib.name, lib.identity, lib.description})
    EXPECT_EQ(text.data()[text.size()], '\0');
}

// ---- live objects ---------------------------------------------------------------

TEST(LiveObjectTest, CreatingAndDroppingEveryClassLeavesNothingAlive) {
  ASSERT_EQ(LiveObjectCount(), 0) << "an earlier test left an object alive";
  {
    auto connection = Connection::Open("sqlite::memory:");
    CreateMissingTables(*connection);
    std::vector<ObjectPtr> held{connection};
    for (const ClassInfo* info : Registry::Classes()) {
      SCOPED_TRACE(std::string(info->Name()));
      ObjectPtr object = CreateObject(info->Name());
      held.push_back(object);
      // Companions, caches and collections come with the object; each
      // readable plain property is read once, and a collection enumerated.
      if (const MemberInfo* m = info->Find("SageConnection"); m != nullptr && HasSet(m->access))
        late::Set(*object, "SageConnection", connection);
      for (const MemberInfo& m : info->Members()) {
        if (m.enumeration) held.push_back(late::Invoke(*object, m, CallKind::Get, {}).ToObject());
        if (m.is_method || !HasGet(m.access) || !m.args.empty() || m.kind == ValueKind::Object) continue;
        try {
          late::Get(*object, m.name);
        } catch (const Error&) {
          // What a property answers is its class's business; only what it
          // leaves alive matters here.
        }
      }
    }
    held.push_back(connection->TableCatalogue());
    EXPECT_GT(LiveObjectCount(), static_cast<std::int64_t>(Registry::Classes().size()));
    EXPECT_FALSE(CanUnloadNow());
  }
  EXPECT_EQ(LiveObjectCount(), 0);
  EXPECT_TRUE(CanUnloadNow());
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

TEST(ClassReferenceTest, AColumnPropertyNamesItsColumnTableAndLayout) {
  const ClassInfo& podet = clsPORPodet::Info();
  EXPECT_EQ(MemberMeaning(podet, *podet.Find("qty_received")), "Column \"qty_received\" of OrderLineTable.");
  EXPECT_EQ(MemberMeaning(podet, *podet.Find("order_no")),
            "Column \"order_no\" of OrderLineTable (10 characters).");
  const ClassInfo& recp = clsPorecp::Info();
  EXPECT_EQ(MemberMeaning(recp, *recp.Find("commnt")),
            "Column \"commnt\" of ReceiptTable (20 characters); not on databases of kind 2.");
  // A class's own line wins over the column's; operations named alike share one.
  const ClassInfo& stock = clsPORStock::Info();
  EXPECT_EQ(MemberMeaning(stock, *stock.Find("nl_category")),
            "Nominal category of the item (column \"analysis_x_ref\").");
  EXPECT_EQ(MemberMeaning(stock, *stock.Find("PrepareReadStatement")),
            "Prepares the read statement once per object.");
}

TEST(ClassReferenceTest, MarkdownListsEveryClassAndEachMemberInInterfaceOrder) {
  const std::string doc = DescribeClassesMarkdown();
  EXPECT_TRUE(doc.starts_with("# TarnlowSTData classes\n")) << doc.substr(0, 80);
  EXPECT_NE(
      doc.find(
          "Type library `TarnlowSTData` {0D270230-F1FC-4FE3-A265-331D0D4EDB9E}, version 2.15, locale 1033."),
      std::string::npos);
  std::size_t at = 0;
  for (const ClassInfo* info : Registry::Classes()) {
    const std::string name(info->Name());
    SCOPED_TRACE(name);
    EXPECT_NE(doc.find("| [`" + name + "`](#" + Lower(name) + ") | " + std::string(info->ClassId()) +
                       " | `_" + name + "` | " + std::string(info->InterfaceId()) + " |\n"),
              std::string::npos);
    at = doc.find("\n## " + name + "\n", at);
    ASSERT_NE(at, std::string::npos) << "sections follow the class order";
    for (const MemberInfo& m : info->Members()) {
      const std::size_t row = doc.find("\n| `" + std::string(m.name) + "` | ", at);
      ASSERT_NE(row, std::string::npos) << m.name;
      at = row + 1;
    }
  }
  // One class in full: the version class has a single read-only member.
  EXPECT_NE(
      doc.find(
          "## clsTarnlowSTDataVer\n\n"
          "Class identity {498C305D-3C19-4EDE-AE98-50B1B74E73B1}; default interface "
          "`_clsTarnlowSTDataVer` {84E8D80E-A652-4982-8CE1-0F850B81B81B}.\n\n"
          "| Member | Kind | Arguments | Type | Meaning |\n|---|---|---|---|---|\n"
          "| `TarnlowSTDataVer` | get |  | Text | The library file's base name, \": \" and its version. |\n"),
      std::string::npos);
  EXPECT_NE(doc.find("| `ReadIt` | operation | `sOrderNo` As Text |  | Reads the header of order sOrderNo"),
            std::string::npos);
  EXPECT_NE(doc.find("| `ReadNextForOrder` | operation |  | Bool | "), std::string::npos);
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
        if (!first && Lower(other.name) == Lower(m.name)) first = &other;
      EXPECT_EQ(info->Find(m.name), first) << m.name;
      EXPECT_EQ(info->Find(upper(m.name)), first) << m.name;
      EXPECT_EQ(info->Find(Lower(m.name)), first) << m.name;
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
