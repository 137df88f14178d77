// The receipt report of `tarnlowst demo` converts the supplier's unit and
// checks the delivery against the product group's tolerance.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

TEST(DemoUnitsTest, TheReceiptReportConvertsUnitsAndChecksTheTolerance) {
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
}

}  // namespace
