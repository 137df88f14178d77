// The four pricing classes as late-bound clients see them: created by name,
// their members in interface order, their creation defaults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

// "let get Name", "operation Name" ... of a class, in interface order.
std::vector<std::string> Members(std::string_view class_name) {
  const ClassInfo* info = Registry::Find(class_name);
  EXPECT_NE(info, nullptr) << class_name;
  std::vector<std::string> out;
  if (!info) return out;
  for (const MemberInfo& m : info->Members())
    out.push_back((m.is_method ? std::string("operation") : std::string(AccessText(m.access))) + " " +
                  std::string(m.name));
  return out;
}

TEST(PricingClassesTest, PriceListMembersAreInInterfaceOrder) {
  EXPECT_EQ(Members("clsPOPPriceListD"),
            (std::vector<std::string>{"get set SageConnection",
                                      "let get currency_code",
                                      "let get customer_code",
                                      "let get description",
                                      "let get new_price",
                                      "let get Price",
                                      "let get price_end_date",
                                      "let get price_list",
                                      "let get price_start_date",
                                      "let get product_code",
                                      "let get sequence_number",
                                      "let get unit_code",
                                      "let get unit_code_group",
                                      "let get unit_qty_per_price",
                                      "let get vat_inclusive_flag",
                                      "operation ReadIt",
                                      "operation CopyFromRS",
                                      "operation PrepareInsertStatement",
                                      "operation InsertRow",
                                      "operation CheckIfListExists",
                                      "operation LoadListForSupplierProduct",
                                      "operation MoveFirstForSupplierProductList",
                                      "operation MoveNextForSupplierProductList",
                                      "operation CopyFrom"}));
}

TEST(PricingClassesTest, DiscountMembersAreInInterfaceOrder) {
  std::vector<std::string> expected{"get set SageConnection", "let get cust_disc_code",
                                    "let get description"};
  for (int i = 1; i <= 7; ++i) expected.push_back("let get discount" + std::to_string(i));
  for (const char* m : {"discount_type", "price_list", "prod_disc_code"})
    expected.push_back(std::string("let get ") + m);
  for (int i = 1; i <= 7; ++i) expected.push_back("let get quantity_break" + std::to_string(i));
  for (const char* m : {"unit_code", "unit_group", "vat_inclusive_flag", "pop_discount_cat"})
    expected.push_back(std::string("let get ") + m);
  for (const char* m : {"ReadIt", "InsertRow", "CopyFrom", "KeyString", "CopyFromRS"})
    expected.push_back(std::string("operation ") + m);
  EXPECT_EQ(Members("clsPOPDiscountD"), expected);
}

TEST(PricingClassesTest, SupplierInfoMembersAreInInterfaceOrder) {
  EXPECT_EQ(Members("clsPOSuppInf"), (std::vector<std::string>{"get set SageConnection",
                                                               "get let UseCache",
                                                               "let get cost",
                                                               "let get description",
                                                               "let get long_description",
                                                               "let get part_no",
                                                               "let get product",
                                                               "let get reorder_days",
                                                               "let get supplier",
                                                               "let get unit_code",
                                                               "let get unit_qty_cost",
                                                               "let get warehouse",
                                                               "operation PrepareReadStatement",
                                                               "operation PrepareReadByPartNoStatement",
                                                               "operation ReadItByPartNo",
                                                               "operation ReadIt",
                                                               "operation DeleteSupplier",
                                                               "operation CheckIfSupplierExist",
                                                               "operation InsertRow",
                                                               "operation UpdateRow"}));
}

TEST(PricingClassesTest, VatMatrixMembersAreInInterfaceOrder) {
  EXPECT_EQ(Members("clsCEVatMatD"),
            (std::vector<std::string>{"get set SageConnection", "get let UseList", "let get account_vat_type",
                                      "let get description", "let get item_vat_type", "let get vat_code",
                                      "operation FindClosestCode", "operation PrepareInsertStatement",
                                      "operation PrepareReadStatement", "operation ReadIt",
                                      "operation InsertRow", "operation ResetCache"}));
}

TEST(PricingClassesTest, ObjectsCreatedByNameHoldTheirDefaults) {
  ObjectPtr info = CreateObject("{488A4BE2-9298-4C7A-B4A2-098396A9C486}");
  EXPECT_EQ(late::Get(*info, "UseCache"), Variant(true));
  EXPECT_EQ(late::Get(*info, "cost"), Variant(0.0));
  ObjectPtr prices = CreateObject("clsPOPPriceListD");
  EXPECT_EQ(late::Get(*prices, "price_start_date"), Variant(Date()));
  EXPECT_EQ(late::Call(*prices, "MoveNextForSupplierProductList"), Variant(false));
  ObjectPtr matrix = CreateObject("clsCEVatMatD");
  EXPECT_EQ(late::Get(*matrix, "UseList"), Variant(false));
  ObjectPtr discount = CreateObject("clsPOPDiscountD");
  late::Let(*discount, "cust_disc_code", Variant("AB"));
  EXPECT_EQ(late::Call(*discount, "KeyString"), Variant("AB" + std::string(13, ' ')));
}

TEST(PricingClassesTest, ARowSetCannotComeFromALateBoundCaller) {
  for (const char* name : {"clsPOPPriceListD", "clsPOPDiscountD"}) {
    ObjectPtr object = CreateObject(name);
    EXPECT_EQ(test::CatchError([&] { late::Call(*object, "CopyFromRS", {Variant(object)}); }).Number(),
              err::TypeMismatch)
        << name;
  }
}

TEST(PricingClassesTest, LateBoundCopiesTakeTheOtherObject) {
  ObjectPtr from = CreateObject("clsPOPDiscountD");
  ObjectPtr to = CreateObject("clsPOPDiscountD");
  late::Let(*from, "prod_disc_code", Variant("P1"));
  late::Let(*from, "discount4", Variant(4.5));
  late::Call(*to, "CopyFrom", {Variant(from)});
  EXPECT_EQ(late::Get(*to, "prod_disc_code"), Variant("P1"));
  EXPECT_EQ(late::Get(*to, "discount4"), Variant(4.5));
  EXPECT_EQ(test::CatchError([&] {
              late::Call(*to, "CopyFrom", {Variant(CreateObject("clsPOPPriceListD"))});
            }).Number(),
            err::TypeMismatch);
}

TEST(PricingClassesTest, TheVatMatrixWorksLateBound) {
  test::ScratchDatabase db;
  auto c = db.Open();
  c->Execute("insert into vat_matrix (item_vat_type, account_vat_type, vat_code) values ('', 'EXPORT', '0')");
  ObjectPtr matrix = CreateObject("clsCEVatMatD");
  late::Set(*matrix, "SageConnection", c);
  late::Let(*matrix, "item_vat_type", Variant("STD"));
  late::Let(*matrix, "account_vat_type", Variant("EXPORT"));
  EXPECT_EQ(late::Call(*matrix, "FindClosestCode"), Variant(true));
  EXPECT_EQ(late::Get(*matrix, "vat_code"), Variant("0"));
}

}  // namespace
}  // namespace tarnlow
