#include "connection/unique_id.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>

namespace tarnlow::uniqueid {
namespace {

// Printable characters 33..126 without "X": callers replace apostrophes by
// "X", which must not make two identifiers equal.
constexpr int kBase = 93;
char Digit(std::uint64_t d) {
  const char c = static_cast<char>(33 + d);
  return c >= 'X' ? static_cast<char>(c + 1) : c;
}

constexpr std::uint64_t kTicksPerMs = 16;  // identifiers a millisecond may use before running ahead
constexpr std::uint64_t kBlock = 256;      // identifiers a process takes per visit to the file

std::uint64_t NowTicks() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  return static_cast<std::uint64_t>(ms) * kTicksPerMs;
}

std::string CounterPath() {
  if (const char* p = std::getenv("TARNLOW_UNIQUE_ID_FILE"); p && *p) return p;
  return "/tmp/tarnlow-unique-id.counter";
}

// Takes the next block of identifiers from the shared counter file; falls
// back to the clock alone when the file cannot be used.
std::uint64_t ReserveBlock() {
  const std::uint64_t now = NowTicks();
  const int fd = ::open(CounterPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return now + static_cast<std::uint64_t>(::getpid() % kTicksPerMs);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::flock(fd, LOCK_EX) != 0) return now + static_cast<std::uint64_t>(::getpid() % kTicksPerMs);
  char buf[32] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  std::uint64_t stored = n > 0 ? std::strtoull(buf, nullptr, 10) : 0;
  const std::uint64_t start = std::max(stored, now);
  stored = start + kBlock;
  const std::string text = std::to_string(stored) + "\n";
  if (::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()))
    (void)::ftruncate(fd, static_cast<off_t>(text.size()));
  ::flock(fd, LOCK_UN);
  return start;
}

}  // namespace

std::string Next() {
  static std::mutex mutex;
  static std::uint64_t next = 0, end = 0;
  static pid_t owner = 0;
  std::uint64_t value;
  {
    std::lock_guard lock(mutex);
    if (next == end || owner != ::getpid()) {  // a forked child must not reuse its parent's block
      next = ReserveBlock();
      end = next + kBlock;
      owner = ::getpid();
    }
    value = next++;
  }
  std::string out(12, '!');
  for (int i = 7; i >= 0; --i) {
    out[static_cast<std::size_t>(i)] = Digit(value % kBase);
    value /= kBase;
  }
  std::uint64_t tail = static_cast<std::uint64_t>(::getpid());
  for (int i = 11; i >= 8; --i) {
    out[static_cast<std::size_t>(i)] = Digit(tail % kBase);
    tail /= kBase;
  }
  return out;
}

}  // namespace tarnlow::uniqueid
