// What the three unit collections add to the keyed collection form: the
// keys their Add files copies under.
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
  EXPECT_EQ(list.Item(Variant("kg")), stored);
  clsSTUnitDD lower;
  lower.unit_code = "kg";
  EXPECT_EQ(test::CatchError([&] { list.Add(lower); }).Number(), err::DuplicateKey);
  EXPECT_EQ(list.Count(), 1);
}

TEST(UnitConversionListTest, KeepsCopiesUnderTheirPaddedKey) {
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
}

TEST(ProductUnitListTest, KeepsCopiesUnderTheKeyOfTheObjectGiven) {
  colSTUnitP list;
  clsSTUnitPD p;
  p.base_name = "BOX";
  p.converted_unit = "EACH";
  p.warehouse = "01";
  p.product = "BOLT  ";
  auto stored = list.Add(p);
  EXPECT_EQ(list.Item(Variant("box   each  01bolt")), stored);
  p.product = "BOLT";  // trims to the same key
  EXPECT_EQ(test::CatchError([&] { list.Add(p); }).Number(), err::DuplicateKey);
}

}  // namespace
}  // namespace tarnlow
