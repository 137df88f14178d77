// The three unit collections: they differ in their member class, in whose
// KeyString Add files the copy under, and in the order of their interface.
#include "framework/class_builder.h"
#include "tarnlow/units/colSTUnitD.h"
#include "units/colSTUnitC.h"
#include "units/colSTUnitP.h"

namespace tarnlow {

TARNLOW_DEFINE_COLLECTION(colSTUnitD, "{381CB7A3-5C75-47E0-85E7-F55E58B4C1DF}",
                          "{52E0BA75-1E24-49DB-82C7-C4D318EE26D5}") {
  b.Creatable().Method<&Self::Add>("Add", {"oSTUnitDD"}).Item().Count().Remove().ClearList().NewEnum();
}

std::shared_ptr<clsSTUnitDD> colSTUnitD::Add(clsSTUnitDD& oSTUnitDD) {
  auto copy = NewCopy(oSTUnitDD);
  return Append(copy, copy->KeyString());
}

TARNLOW_DEFINE_COLLECTION(colSTUnitC, "", "") {
  b.Method<&Self::Add>("Add", {"oSTUnitCD"}).Item().Count().Remove().ClearList().NewEnum();
}

std::shared_ptr<clsSTUnitCD> colSTUnitC::Add(clsSTUnitCD& oSTUnitCD) {
  auto copy = NewCopy(oSTUnitCD);
  return Append(copy, copy->KeyString());
}

TARNLOW_DEFINE_COLLECTION(colSTUnitP, "", "") {
  b.Method<&Self::Add>("Add", {"oSTUnitPD"}).Item().Count().ClearList().Remove().NewEnum();
}

std::shared_ptr<clsSTUnitPD> colSTUnitP::Add(clsSTUnitPD& oSTUnitPD) {
  return Append(NewCopy(oSTUnitPD), oSTUnitPD.KeyString());
}

}  // namespace tarnlow
