// Re-running a prepared statement with new values and copying its row into
// the object's properties must not touch the heap once the object has seen
// values of that size: the statement layer, the backends and the copy
// routines reuse what they hold. The allocator is replaced in this program
// to count the allocations of this thread between two points.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace {

thread_local bool t_counting = false;
thread_local long t_allocations = 0;

void* Allocate(std::size_t size) {
  if (t_counting) ++t_allocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (t_counting) ++t_allocations;
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (t_counting) ++t_allocations;
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace tarnlow {
namespace {

// The allocations `body` makes on this thread.
template <class F>
long AllocationsOf(F&& body) {
  t_allocations = 0;
  t_counting = true;
  try {
    body();
  } catch (...) {
    t_counting = false;
    throw;
  }
  t_counting = false;
  return t_allocations;
}

TEST(AllocationCounter, CountsTheAllocationsOfThisThread) {
  // Without this the zero counts below would prove nothing.
  std::string kept;
  const long n = AllocationsOf([&] { kept = std::string(100, 'x'); });
  EXPECT_EQ(n, 1);
  EXPECT_EQ(AllocationsOf([&] { kept.assign(50, 'y'); }), 0) << "storage that fits is reused";
}

class AllocationCountTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<test::ScratchDatabase>(GetParam());
    connection_ = db_->Open();
    const std::string table = connection_->TableCatalogue()->SupplierInfoTable();
    // Texts past the short-string size, of different lengths per row.
    connection_->Execute(
        "insert into " + table +
        " (supplier, warehouse, product, cost, description, long_description, part_no, "
        "reorder_days, unit_code, unit_qty_cost) values ('ACME01', '01', 'PRODUCT-0001', 1.5, "
        "'Hex bolt M8x40 zinc', 'Hex bolt, M8 thread, 40 mm, zinc plated', "
        "'HB-M8-40-ZN-0001', 7, 'EACH', 1)");
    connection_->Execute(
        "insert into " + table +
        " (supplier, warehouse, product, cost, description, long_description, part_no, "
        "reorder_days, unit_code, unit_qty_cost) values ('ACME01', '01', 'PRODUCT-0002', 2.25, "
        "'Flat washer M8', 'Flat washer for M8 bolts, bright steel', "
        "'FW-M8-ST-A-00000002', 14, 'BOX100', 4)");
  }

  std::unique_ptr<test::ScratchDatabase> db_;
  std::shared_ptr<Connection> connection_;
};

TEST_P(AllocationCountTest, ReadingRowsAgainTakesNoHeap) {
  clsPOSuppInf info;
  info.SageConnection(connection_);
  info.UseCache = false;  // every read goes to the database
  info.supplier = "ACME01";
  info.warehouse = "01";
  const std::string products[] = {"PRODUCT-0001", "PRODUCT-0002"};
  for (const std::string& p : products) {  // each size seen once
    info.product = p;
    info.ReadIt();
  }
  const long n = AllocationsOf([&] {
    for (int round = 0; round < 3; ++round)
      for (const std::string& p : products) {
        info.product = p;
        info.ReadIt();
      }
  });
  EXPECT_EQ(n, 0);
  // The copies are the rows' values, not left-overs of the other row.
  EXPECT_EQ(info.long_description(), "Flat washer for M8 bolts, bright steel");
  EXPECT_EQ(info.part_no(), "FW-M8-ST-A-00000002");
  EXPECT_DOUBLE_EQ(info.cost(), 2.25);
  EXPECT_DOUBLE_EQ(info.reorder_days(), 14);
}

TEST_P(AllocationCountTest, WritingRowsAgainTakesNoHeap) {
  clsSTNLMov movement;
  movement.SageConnection(connection_);
  movement.account = "4000-STOCK-ACCT";
  movement.post_flag = "N";
  movement.tranaction_ref = "GRN0000001";
  const std::string comments[] = {"Goods received against PO1001 line 3",
                                  "Goods received against PO1002 line 12, part delivery"};
  auto insert = [&](int i) {
    movement.comments = comments[i % 2];
    movement.amount_posted = 10.5 + i;
    movement.movement_date = Date::FromCalendar(2026, 1, 1 + i % 28, 10, 30, 15);
    movement.InsertRow();
  };
  insert(0);
  insert(1);
  EXPECT_EQ(AllocationsOf([&] {
              for (int i = 2; i < 8; ++i) insert(i);
            }),
            0);

  clsPOSuppInf info;
  info.SageConnection(connection_);
  info.supplier = "ACME01";
  info.warehouse = "01";
  info.product = "PRODUCT-0001";
  info.description = "Hex bolt M8x40 zinc";
  info.long_description = "Hex bolt, M8 thread, 40 mm, zinc plated";
  info.part_no = "HB-M8-40-ZN-0001";
  info.unit_code = "EACH";
  info.UpdateRow();
  EXPECT_EQ(AllocationsOf([&] {
              for (int i = 0; i < 6; ++i) {
                info.cost = 1.0 + i;
                info.reorder_days = i;
                info.UpdateRow();
              }
            }),
            0);

  const test::Rows moved =
      test::Select(*connection_, "select count(*), max(amount_posted) from " +
                                     connection_->TableCatalogue()->NominalMovementTable());
  EXPECT_EQ(moved.at(0).at(0).ToInt32(), 8);
  EXPECT_DOUBLE_EQ(moved.at(0).at(1).ToDouble(), 17.5);
  const test::Rows updated = test::Select(
      *connection_, "select cost, reorder_days from " + connection_->TableCatalogue()->SupplierInfoTable() +
                        " where product = 'PRODUCT-0001'");
  EXPECT_DOUBLE_EQ(updated.at(0).at(0).ToDouble(), 6);
  EXPECT_DOUBLE_EQ(updated.at(0).at(1).ToDouble(), 5);
}

TARNLOW_ON_EVERY_BACKEND(AllocationCountTest);

}  // namespace
}  // namespace tarnlow
