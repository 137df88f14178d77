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

TARNLOW_DEFINE_PROPERTIES(clsSTBatchD, TARNLOW_clsSTBatchD_PROPERTIES)

namespace {

constexpr std::string_view kPrepareInsertLabel = "PrepareInsertStatement of Class Module clsSTBatchD Line#:";
constexpr std::string_view kAddParametersLabel = "AddParameters of Class Module clsSTBatchD Line#:";
constexpr std::string_view kPrepareNextLabel = "PrepareNextNumber of Class Module clsSTBatchD Line#:";
constexpr std::string_view kSetInsertLabel = "SetInsertColumns of Class Module clsSTBatchD Line#:";
constexpr std::string_view kUseNewFormatLabel = "UseNewFormat of Class Module clsSTBatchD Line#:";
constexpr std::string_view kInsertNewLabel = "InsertNewBatch of Class Module clsSTBatchD Line#:";

// Decimal sequence numbers are six digits.
constexpr std::int32_t kLargestDecimal = 999999;
// Clock-made numbers: after this many failures in a row every number of the
// current second has been tried.
constexpr int kAttemptsPerSecond = 93;
// How long InsertNewBatch waits for the clock to reach a second with free
// numbers before it simply carries on trying.
constexpr std::chrono::milliseconds kSecondWaitLimit{1500};
constexpr std::chrono::milliseconds kClockPoll{2};

// Batch dates that are not known yet are kept as null; a zero date received
// is kept as it is.
bool NullWhenZero(const ColumnInfo& c) {
  return c.column == "best_before_date" || c.column == "expiry_date" || c.column == "inspection_date" ||
         c.column == "sell_by_date";
}

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

const ClassInfo& clsSTBatchD::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsSTBatchD>("clsSTBatchD", "{A8DC3631-7F09-4588-BFBD-2EF8E806B964}",
                                        "{F0661322-F689-4667-B63A-5F18CB15BE36}")
          .Creatable()
          .Connection()
          .Properties(Columns())
          .Method<&clsSTBatchD::PrepareInsertStatement>("PrepareInsertStatement")
          .Method<&clsSTBatchD::PrepareNextNumber>("PrepareNextNumber")
          .Method<&clsSTBatchD::InsertNewBatch>("InsertNewBatch")
          .Method<&clsSTBatchD::InsertRow>("InsertRow")
          .Method<&clsSTBatchD::Remainder>("Remainder", {"numerator", "denominator"})
          .Build();
  return info;
}

void clsSTBatchD::SetClock(Clock clock) {
  clock_ = clock ? std::move(clock) : Clock(&SystemClock);
}

void clsSTBatchD::PrepareInsertStatement() {
  WithErrorExit(kPrepareInsertLabel, [&](Line& line) {
    line = 10;
    if (insert_.Prepared()) return;
    line = 20;
    Command& command = insert_.Command();
    command.CommandType(adCmdText);
    command.Prepared(true);
    line = 30;
    insert_.SQL("INSERT INTO " + TableName(CatalogueTable::BatchTable) + "  ( " + ColumnList(Columns()) +
                ")" + " VALUES ( " + Placeholders(Columns().size()) + ")");
    line = 40;
    AddParameters();
    line = 50;
    insert_.Prepared(true);
  });
}

void clsSTBatchD::AddParameters() {
  WithErrorExit(kAddParametersLabel, [&](Line& line) {
    line = 10;
    DeclareParameters(insert_, Columns());
  });
}

void clsSTBatchD::PrepareNextNumber() {
  WithErrorExit(kPrepareNextLabel, [&](Line& line) {
    line = 10;
    if (next_.Prepared()) return;
    line = 20;
    next_.SQL("select max(sequence_number) as NEXT_SEQ  from " + TableName(CatalogueTable::BatchTable) +
              " where warehouse=? and product = ? ");
    line = 30;
    DeclareParameters(next_, {&FindColumn(Columns(), "warehouse"), 1});
    DeclareParameters(next_, {&FindColumn(Columns(), "product"), 1});
    line = 40;
    next_.Prepared(true);
  });
}

void clsSTBatchD::SetInsertColumns() {
  WithErrorExit(kSetInsertLabel, [&](Line& line) {
    line = 10;
    Command& command = insert_.Command();
    line = 20;
    for (const ColumnInfo& c : Columns()) {
      if (NullWhenZero(c) && c.get(*this).ToDate().IsZero()) {
        command[c.column].value = Variant(Null);
      } else {
        SetParameter(command, c);
      }
    }
  });
}

void clsSTBatchD::SetNextColumns() {
  Command& command = next_.Command();
  SetParameter(command, FindColumn(Columns(), "warehouse"));
  SetParameter(command, FindColumn(Columns(), "product"));
}

bool clsSTBatchD::UseNewFormat() {
  return WithErrorExit(kUseNewFormatLabel, [&](Line& line) {
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
  WithErrorExit(kInsertNewLabel, [&](Line& line) {
    line = 10;
    bool clock_numbers = UseNewFormat();
    line = 20;
    PrepareInsertStatement();
    SetInsertColumns();

    std::int32_t n = -1;
    if (!clock_numbers) {
      line = 30;
      PrepareNextNumber();
      SetNextColumns();
      line = 40;
      auto rs = next_.Command().Execute();
      // Closed before the insert: an open read would keep this connection on
      // an old snapshot of the table.
      const Variant highest = rs->AtEOF() ? Variant(Null) : rs->Fields(std::size_t{0});
      rs->Close();
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

    // Another writer may take the number between the choice and the insert;
    // the table's key rejects the second row and a new number is tried. Any
    // other failure would not be cured by a new number and ends the call.
    Command& insert = insert_.Command();
    for (;;) {
      line = 70;
      if (clock_numbers) {
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
        sequence_number = MakeSequenceNumber(warehouse(), prod_code());
        ++clock_attempts;
      } else {
        ++n;
        if (n > kLargestDecimal) {
          throw Error(vbObjectError, RuntimeSource,
                      "Sequence number " + std::to_string(n) + " does not fit six characters");
        }
        sequence_number = SixDigitText(n);
      }
      line = 80;
      Err().Clear();
      insert["sequence_number"].value = Variant(sequence_number());
      line = 90;
      try {
        insert.ExecuteNoRows();
        return;
      } catch (const Error& e) {
        if (e.Number() != DbIntegrityViolation) throw;
      }
      ++attempts;
    }
  });
}

void clsSTBatchD::InsertRow() {
  PrepareInsertStatement();
  SetInsertColumns();
  insert_.Command().ExecuteNoRows();
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

TARNLOW_REGISTER_CLASS(clsSTBatchD)

}  // namespace tarnlow
