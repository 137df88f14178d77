#include "tarnlow/stock/clsSTBatchD.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>

#include "framework/class_builder.h"
#include "tarnlow/modules.h"
#include "tarnlow/registry.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsSTBatchD, TARNLOW_clsSTBatchD_PROPERTIES, "{A8DC3631-7F09-4588-BFBD-2EF8E806B964}",
                     "{F0661322-F689-4667-B63A-5F18CB15BE36}") {
  b.Creatable()
      .Connection()
      .Properties() TARNLOW_METHODS(PrepareInsertStatement, PrepareNextNumber, InsertNewBatch, InsertRow)
      .Method<&Self::Remainder>("Remainder", {"numerator", "denominator"});
}

namespace {

// Decimal sequence numbers are six digits.
constexpr std::int32_t kLargestDecimal = 999999;
// Clock-made numbers: after this many failures in a row every number of the
// current second has been tried.
constexpr int kAttemptsPerSecond = 93;
// How long InsertNewBatch waits for the clock to reach a second with free
// numbers before it simply carries on trying.
constexpr std::chrono::milliseconds kSecondWaitLimit{1500};
constexpr std::chrono::milliseconds kClockPoll{2};

Date SystemClock() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return Date::FromCalendar(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

}  // namespace

clsSTBatchD::clsSTBatchD() : clock_(&SystemClock) {
  UseHolders({&insert_, &next_});
}

void clsSTBatchD::SetClock(Clock clock) {
  clock_ = clock ? std::move(clock) : Clock(&SystemClock);
}

void clsSTBatchD::PrepareInsertStatement() {
  WithErrorExit(Label<"PrepareInsertStatement">(), [&](Line& line) {
    line = 10;
    PrepareOnce(insert_, [&] {
      line = 20;
      Command& command = insert_.Command();
      command.CommandType(adCmdText);
      command.Prepared(true);
      line = 30;
      // Two blanks before the column list.
      insert_.SQL(InsertText("INSERT INTO " + TableName(CatalogueTable::BatchTable) + " ", Columns()));
      line = 40;
      AddParameters();
      line = 50;
    });
  });
}

void clsSTBatchD::AddParameters() {
  WithErrorExit(Label<"AddParameters">(), [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, Columns());
  });
}

void clsSTBatchD::PrepareNextNumber() {
  PrepareStatement(
      Label<"PrepareNextNumber">(), next_,
      [&] {
        return "select max(sequence_number) as NEXT_SEQ  from " + TableName(CatalogueTable::BatchTable) +
               " where warehouse=? and product = ? ";
      },
      [&] { DeclareParameters(next_, warehouse, product); });
}

void clsSTBatchD::SetInsertColumns() {
  WithErrorExit(Label<"SetInsertColumns">(), [&](Line& line) {
    line = 10;
    Command& command = insert_.Command();
    line = 20;
    SetParameters(command, Columns());
  });
}

bool clsSTBatchD::UseNewFormat() {
  return WithErrorExit(Label<"UseNewFormat">(), [&](Line& line) {
    line = 10;
    Recordset rs;
    line = 20;
    // The keys go in as quoted literals with any apostrophe doubled, so that
    // a key can never change what the statement means.
    rs.Open("select count(*) from " + TableName(CatalogueTable::BatchTable) + " where warehouse=" +
                Conn().QuoteLiteral(warehouse()) + " and product=" + Conn().QuoteLiteral(product()) +
                " and sequence_number >= '000000' and sequence_number <= '999999'",
            Conn().DatabaseConnection(), adOpenForwardOnly, adLockReadOnly);
    line = 30;
    const double count = rs.Fields(std::size_t{0}).ToDouble();
    rs.Close();
    return count == 0;
  });
}

void clsSTBatchD::InsertNewBatch() {
  WithErrorExit(Label<"InsertNewBatch">(), [&](Line& line) {
    line = 10;
    bool clock_numbers = UseNewFormat();
    line = 20;
    PrepareInsertStatement();
    SetInsertColumns();

    std::int32_t n = -1;
    if (!clock_numbers) {
      line = 30;
      PrepareNextNumber();
      SetParameter(next_.Command(), warehouse);
      SetParameter(next_.Command(), product);
      line = 40;
      const Variant highest = HighestNumber(next_.Command());
      line = 50;
      if (!highest.IsNull()) {
        // A highest number that is no decimal number means the clock-made
        // numbers have taken over for this warehouse and product.
        try {
          n = highest.ToInt32();
        } catch (const Error&) {
          clock_numbers = true;
        }
      }
    }

    line = 60;
    Conn().CurrentTime(true);
    int attempts = 0;        // failures since the clock was last asked
    int clock_attempts = 0;  // clock-made numbers tried in this call

    bool first = true;
    InsertUnderFreeNumber(
        insert_.Command(),
        [&] {
          line = 70;
          if (!first) ++attempts;
          first = false;
          if (!clock_numbers) {
            if (++n > kLargestDecimal) {
              throw Error(vbObjectError, RuntimeSource,
                          "Sequence number " + std::to_string(n) + " does not fit six characters");
            }
            return SixDigitText(n);
          }
          if (clock_attempts >= kMaxClockAttempts) {
            throw Error(vbObjectError, RuntimeSource,
                        "No free batch sequence number for warehouse " + warehouse() + " and product " +
                            product() + " after " + std::to_string(kMaxClockAttempts) + " attempts");
          }
          if (attempts >= kAttemptsPerSecond) {
            AwaitNextSecond();
            Conn().CurrentTime(true);
            attempts = 0;
          }
          ++clock_attempts;
          return MakeSequenceNumber(warehouse(), prod_code());
        },
        [&](std::string number) {
          sequence_number = std::move(number);
          line = 80;
          SetParameter(insert_.Command(), sequence_number);
          line = 90;
        });
  });
}

void clsSTBatchD::InsertRow() {
  PrepareInsertStatement();
  SetInsertColumns();
  insert_.Command().ExecuteNoCount();
}

double clsSTBatchD::Remainder(const double& numerator, const double& denominator) {
  if (denominator == 0.0) RaiseRuntime(err::DivisionByZero);
  const double q = numerator / denominator;
  if (!std::isfinite(q)) RaiseRuntime(err::Overflow);
  return (q - std::floor(q)) * denominator;
}

std::int64_t clsSTBatchD::ClockSeconds() const {
  // Counted from the date's parts rather than its fraction, which holds most
  // seconds only approximately.
  const Date now = clock_();
  const Date::Parts p = now.ToParts();
  return (static_cast<std::int64_t>(now.DayNumber()) - 1) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
}

void clsSTBatchD::AwaitNextSecond() const {
  const auto give_up = std::chrono::steady_clock::now() + kSecondWaitLimit;
  while (ClockSeconds() == last_second_ && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(kClockPoll);
  }
}

std::string clsSTBatchD::MakeSequenceNumber(const std::string& warehouse, const std::string& prod_code) {
  std::int64_t secs = ClockSeconds();
  if (warehouse == last_warehouse_ && secs == last_second_ && prod_code == last_prod_code_) {
    // Only the counter's value modulo the base is ever written.
    counter_ = static_cast<std::int16_t>((counter_ + 1) % NumberBase());
  } else {
    last_second_ = secs;
    last_prod_code_ = prod_code;
    last_warehouse_ = warehouse;
    counter_ = 0;
  }
  const double base = NumberBase();
  std::string s(1, static_cast<char>(33 + counter_ % NumberBase()));
  double rest = static_cast<double>(secs);
  while (rest > 0) {
    const double d = std::nearbyint(Remainder(rest, base));
    s += static_cast<char>(33 + static_cast<int>(d));
    rest = std::floor(rest / base);
  }
  while (s.size() < 6) s += '!';
  std::reverse(s.begin(), s.end());
  return s;
}

}  // namespace tarnlow
