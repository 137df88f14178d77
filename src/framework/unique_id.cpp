#include "framework/unique_id.h"

#include <sys/random.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "tarnlow/error.h"

namespace tarnlow::uniqueid {
namespace {

// Printable characters 33..126 without "X": callers replace apostrophes by
// "X", which must not make two identifiers equal.
constexpr unsigned kBase = 93;
char Digit(unsigned d) {
  const char c = static_cast<char>(33 + d);
  return c >= 'X' ? static_cast<char>(c + 1) : c;
}

// Fills the buffer from the kernel's random source, which needs no file
// descriptor and, once the system has booted, never blocks.
void RandomBytes(unsigned char* out, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::getrandom(out, size, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw Error(DbFailure, RuntimeSource,
                  std::string("No unique identifier: the random source failed: ") + std::strerror(errno));
    }
    out += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string Next() {
  constexpr std::size_t kLength = 12;
  // Bytes from 186 (twice the base) are redrawn: every symbol equally likely.
  constexpr unsigned kLimit = 2 * kBase;
  std::string out;
  out.reserve(kLength);
  unsigned char bytes[32];
  while (out.size() < kLength) {
    RandomBytes(bytes, sizeof bytes);
    for (const unsigned char b : bytes)
      if (b < kLimit && out.size() < kLength) out += Digit(b % kBase);
  }
  return out;
}

}  // namespace tarnlow::uniqueid
