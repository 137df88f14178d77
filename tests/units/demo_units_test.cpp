// The receipt report of `tarnlowst demo` converts the supplier's unit,
// checks the delivery against the product group's tolerance, and shows a
// second receipt whose last step fails rolled back whole.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

TEST(DemoUnitsTest, TheReceiptReportConvertsUnitsChecksTheToleranceAndRollsBackAFailedReceipt) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(
      popen((std::string("'") + TARNLOWST_PROGRAM + "' demo 2>&1").c_str(), "r"), &pclose);
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0;) out.append(buf, n);
  const int status = pclose(pipe.release());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
  EXPECT_NE(
      out.find("Unit conversion BOX12 -> EACH: factor 12 (method M), so the supplier's box of 12 becomes 12 "
               "stock units; the 150 received are 12.5 boxes (EACH has 0 decimal places)\n"),
      std::string::npos)
      << out;
  EXPECT_NE(
      out.find("Delivery tolerance of product group FASTENER: 10% over the 400 outstanding, so at most 440; "
               "150 delivered is within tolerance\n"),
      std::string::npos)
      << out;
  EXPECT_NE(
      out.find("Rolled back as one transaction\n"
               "Rows now: 1 movement history, 1 batch, 2 ledger movements, 1 receipt audit (as they were)\n"
               "Stock 01/BOLT-M8: physical 1150, on order 250, current cost 0.183913 (as it was)\n"),
      std::string::npos)
      << out;
}

}  // namespace
