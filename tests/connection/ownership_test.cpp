#include <gtest/gtest.h>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

class OwnershipTest : public ::testing::TestWithParam<std::string> {
 protected:
  test::ScratchDatabase db_{GetParam()};
};

TEST_P(OwnershipTest, Repro) {
  auto first = db_.Open();
  first->Execute("insert into " + first->TableCatalogue()->OrderLineTable() +
                 " (order_no, order_line_no, qty_ordered) values ('PO1', '   1', 5)");
  clsPORPodet line;
  line.SageConnection(first);
  line.order_no = "PO1";
  line.line_no = 1;
  line.ReadIt();
  line.SageConnection(db_.Open());
  first.reset();
  line.qty_received = 2;
  line.UpdateForReceipt();
}

INSTANTIATE_TEST_SUITE_P(Backends, OwnershipTest, ::testing::ValuesIn(test::Backends()), test::BackendName());

}  // namespace
}  // namespace tarnlow
