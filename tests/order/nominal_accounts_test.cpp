// The client's list of nominal code and category pairs: what it adds to the
// keyed collection form is the pair it makes from two texts, keyed by the
// category, and late-bound use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

TEST(NominalAccountsTest, TheStoredPairIsTheOneAddReturnsNotACopy) {
  colPONLAcc list;
  std::string code = "4000", category = "Stock";
  auto pair = list.Add(code, category);
  EXPECT_EQ(pair->NominalCode(), "4000");
  EXPECT_EQ(pair->Category(), "Stock");
  EXPECT_EQ(list.Item(Variant("STOCK")), pair);
  pair->NominalCode = "4100";
  EXPECT_EQ(list.Item(Variant("stock"))->NominalCode(), "4100");
  // The arguments are only read: changing them later changes nothing.
  code = "7000";
  EXPECT_EQ(list.Item(Variant("Stock"))->NominalCode(), "4100");
}

TEST(NominalAccountsTest, RefusalsLeaveTheListAsItWas) {
  colPONLAcc list;
  std::string code = "4000", category = "Stock";
  list.Add(code, category);
  category = "sTOCK";
  code = "9999";
  test::ExpectError([&] { list.Add(code, category); }, err::DuplicateKey, {},
                    "This key is already associated with an element of this collection");
  // Every pair is keyed by its category, so one without a category is refused.
  category = "";
  EXPECT_EQ(test::CatchError([&] { list.Add(code, category); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Item(Variant("stock"))->NominalCode(), "4000");
}

}  // namespace
}  // namespace tarnlow
