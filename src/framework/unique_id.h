// Stand-in for the outside unique-identifier function: single-byte text,
// different on every call. Clients on many machines write into one database,
// so no local state (file, clock, process id) can tell their identifiers
// apart: every character is drawn from the operating system's random source.
// Eight characters of 93 symbols carry 52.3 bits; among a million
// identifiers two are alike with a chance below 1 in 11,000, and an insert
// that meets such a clash retries once under a fresh identifier.
#pragma once

#include <string>

namespace tarnlow::uniqueid {

// Twelve printable characters; may contain an apostrophe, never an "X".
// Raises an error record when the random source fails.
std::string Next();

}  // namespace tarnlow::uniqueid
