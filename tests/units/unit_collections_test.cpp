// What the three unit collections add to the keyed collection form: their
// member classes and the keys their Add files copies under.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"
#include "units/colSTUnitC.h"
#include "units/colSTUnitP.h"

namespace tarnlow {
namespace {

TEST(UnitListTest, KeepsCopiesUnderTheirUnitCodes) {
  colSTUnitD list;
  clsSTUnitDD kg;
  kg.unit_code = "KG  ";
  auto stored = list.Add(kg);
  kg.unit_code = "GRAM";
  EXPECT_EQ(stored->unit_code(), "KG") << "later changes to the original do not reach the copy";
  EXPECT_NE(stored.get(), &kg);
  clsSTUnitDD each;
  each.unit_code = "EACH";
  list.Add(each);

  EXPECT_EQ(list.Item(Variant("kg")), stored);
  EXPECT_EQ(list.Item(Variant(std::int32_t{2}))->unit_code(), "EACH");
  stored->unit_code = "KGS";
  EXPECT_EQ(list.Item(Variant(std::int32_t{1}))->unit_code(), "KGS") << "Item gives the stored member itself";

  clsSTUnitDD lower;
  lower.unit_code = "each";
  EXPECT_EQ(test::CatchError([&] { list.Add(lower); }).Number(), err::DuplicateKey);
  EXPECT_EQ(list.Count(), 2);

  list.Remove(Variant("KG"));
  EXPECT_EQ(list.Item(Variant(std::int32_t{1}))->unit_code(), "EACH");
  EXPECT_EQ(test::CatchError([&] { list.Item(Variant("KG")); }).Number(), err::InvalidProcedureCall);
  list.ClearList();
  EXPECT_EQ(list.Count(), 0);
}

TEST(UnitConversionListTest, KeepsCopiesUnderTheirPaddedKeyAndIsPrivate) {
  colSTUnitC list;
  clsSTUnitCD c;
  c.base_name = "KG";
  c.converted_unit = "BOX";
  list.Add(c);
  c.base_name = "KILOGRAMS";
  list.Add(c);
  EXPECT_EQ(list.Item(Variant("kg     box"))->base_name(), "KG");
  EXPECT_EQ(list.Item(Variant("KILOGRABOX"))->base_name(), "KILOGRAMS");
  c.base_name = "KILOGRAMMES";  // the same first seven characters
  EXPECT_EQ(test::CatchError([&] { list.Add(c); }).Number(), err::DuplicateKey);
  EXPECT_EQ(list.Count(), 2);

  EXPECT_FALSE(colSTUnitC::Info().Creatable());
}

TEST(ProductUnitListTest, KeepsCopiesUnderTheKeyOfTheObjectGivenAndIsPrivate) {
  colSTUnitP list;
  clsSTUnitPD p;
  p.base_name = "BOX";
  p.converted_unit = "EACH";
  p.warehouse = "01";
  p.product = "BOLT  ";
  p.conv_factor = 12;
  auto stored = list.Add(p);
  EXPECT_EQ(list.Item(Variant("box   each  01bolt")), stored);
  EXPECT_EQ(stored->product(), "BOLT  ") << "the copy keeps the values as they were";
  EXPECT_EQ(stored->conv_factor(), 12);
  p.product = "BOLT";  // trims to the same key
  EXPECT_EQ(test::CatchError([&] { list.Add(p); }).Number(), err::DuplicateKey);

  EXPECT_FALSE(colSTUnitP::Info().Creatable());
}

}  // namespace
}  // namespace tarnlow
