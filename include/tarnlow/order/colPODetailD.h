// The order lines of one walk (clsPODetailD::StartReadForOrder), each a copy
// of the line read, keyed by its line number.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tarnlow/collection.h"
#include "tarnlow/order/clsPODetailD.h"

namespace tarnlow {

class TARNLOW_API colPODetailD final : public Collection<colPODetailD, clsPODetailD> {
  TARNLOW_COLLECTION_CLASS(colPODetailD)

  // Stores a copy of the line under its line number's key; a second line
  // with the same number is refused (457).
  std::shared_ptr<clsPODetailD> Add(clsPODetailD& oPODetailD);

  // The key of a line number: its decimal text with a sign position, a
  // blank for zero and positive numbers (" 7"), a minus for negative ones.
  static std::string LineKey(std::int16_t order_line_no);
};

}  // namespace tarnlow
