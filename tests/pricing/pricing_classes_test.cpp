// The four pricing classes as late-bound clients see them: created by name,
// their creation defaults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

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

}  // namespace
}  // namespace tarnlow
