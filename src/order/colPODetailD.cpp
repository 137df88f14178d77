#include "tarnlow/order/colPODetailD.h"

#include "framework/class_builder.h"

namespace tarnlow {

TARNLOW_DEFINE_COLLECTION(colPODetailD, "", "") {
  b.Method<&Self::Add>("Add", {"oPODetailD"}).ClearList().Item().Count().Remove().NewEnum();
}

std::string colPODetailD::LineKey(std::int16_t order_line_no) {
  return order_line_no < 0 ? std::to_string(order_line_no) : " " + std::to_string(order_line_no);
}

std::shared_ptr<clsPODetailD> colPODetailD::Add(clsPODetailD& oPODetailD) {
  auto copy = NewCopy(oPODetailD);
  return Append(copy, LineKey(copy->order_line_no()));
}

}  // namespace tarnlow
