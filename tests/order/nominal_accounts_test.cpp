// The client's list of nominal code and category pairs: keyed by category
// without regard to letter case, positions from 1, the three error numbers,
// members that are the stored objects themselves, and late-bound use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class NominalAccountsTest : public ::testing::Test {
 protected:
  std::shared_ptr<clsPONLAcc> Add(std::string code, std::string category) {
    return list_.Add(code, category);
  }
  std::vector<std::string> Categories() const {
    std::vector<std::string> out;
    for (const auto& pair : list_) out.push_back(pair->Category());
    return out;
  }

  colPONLAcc list_;
};

TEST_F(NominalAccountsTest, PairsAreFoundByCategoryInAnyCaseAndByPosition) {
  auto stock = Add("4000", "Stock");
  Add("5000", "x");
  EXPECT_EQ(stock->NominalCode(), "4000");
  EXPECT_EQ(stock->Category(), "Stock");
  EXPECT_EQ(list_.Item(Variant("STOCK")), stock);
  EXPECT_EQ(list_.Item(Variant("stock")), stock);
  EXPECT_EQ(list_.Item(Variant("X"))->NominalCode(), "5000");
  EXPECT_EQ(list_.Item(Variant(std::int16_t{1})), stock);
  EXPECT_EQ(list_.Item(Variant(2.0))->Category(), "x");
  EXPECT_EQ(Categories(), (std::vector<std::string>{"Stock", "x"}));
}

TEST_F(NominalAccountsTest, TheStoredPairIsTheOneAddReturnsNotACopy) {
  auto pair = Add("4000", "Stock");
  pair->NominalCode = "4100";
  EXPECT_EQ(list_.Item(Variant("Stock"))->NominalCode(), "4100");
  // The arguments are only read: changing them later changes nothing.
  std::string code = "6000", category = "Fuel";
  list_.Add(code, category);
  code = "7000";
  EXPECT_EQ(list_.Item(Variant("Fuel"))->NominalCode(), "6000");
}

TEST_F(NominalAccountsTest, RefusalsLeaveTheListAsItWas) {
  Add("4000", "Stock");
  Add("5000", "Fuel");
  Error e = test::CatchError([&] { Add("9999", "sTOCK"); });
  EXPECT_EQ(e.Number(), err::DuplicateKey);
  EXPECT_EQ(e.Description(), "This key is already associated with an element of this collection");
  EXPECT_EQ(list_.Count(), 2);
  EXPECT_EQ(list_.Item(Variant("stock"))->NominalCode(), "4000");
  // Every pair is keyed by its category, so one without a category is refused.
  EXPECT_EQ(test::CatchError([&] { Add("9999", ""); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(list_.Count(), 2);

  EXPECT_EQ(test::CatchError([&] { list_.Item(Variant("Wages")); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(test::CatchError([&] { list_.Remove(Variant("Wages")); }).Number(), err::InvalidProcedureCall);
  for (const Variant& position : {Variant(std::int32_t{0}), Variant(std::int32_t{3}), Variant(-1.0)}) {
    EXPECT_EQ(test::CatchError([&] { list_.Item(position); }).Number(), err::SubscriptOutOfRange);
    EXPECT_EQ(test::CatchError([&] { list_.Remove(position); }).Number(), err::SubscriptOutOfRange);
  }
  EXPECT_EQ(Categories(), (std::vector<std::string>{"Stock", "Fuel"}));
}

TEST(NominalAccountsClassTest, ClientsCreateAndWalkTheListLateBound) {
  ObjectPtr list = CreateObject("colPONLAcc");
  ASSERT_NE(std::dynamic_pointer_cast<colPONLAcc>(list), nullptr);
  EXPECT_EQ(late::Call(*list, "Add", {Variant("4000"), Variant("Stock")}).ToObject()->Class().Name(),
            "clsPONLAcc");
  late::Call(*list, "Add", {Variant("5000"), Variant("Fuel")});
  EXPECT_EQ(late::Get(*list, "Count"), Variant(std::int32_t{2}));
  std::vector<Variant> key{Variant("FUEL")};
  const ObjectPtr fuel = late::Get(*list, "Item", key).ToObject();
  EXPECT_EQ(late::Get(*fuel, "NominalCode"), Variant("5000"));
  // The enumeration member yields the pairs in the order they were added.
  const ObjectPtr walk = late::Get(*list, "NewEnum").ToObject();
  std::vector<Variant> codes;
  for (Variant next; !(next = late::Call(*walk, "Next")).IsEmpty();)
    codes.push_back(late::Get(*next.ToObject(), "NominalCode"));
  EXPECT_EQ(codes, (std::vector<Variant>{Variant("4000"), Variant("5000")}));
  late::Call(*list, "ClearList");
  EXPECT_EQ(late::Get(*list, "Count"), Variant(std::int32_t{0}));
}

}  // namespace
}  // namespace tarnlow
