// The unique-identifier function. Clients on many machines share one
// database, so no local state can tell their identifiers apart: every
// character comes from the system's random source. Eight characters of 93
// symbols carry 52.3 bits: among a million identifiers two are alike with a
// chance below 1 in 11,000, and an insert meeting such a clash retries once.
#pragma once

#include <string>

namespace tarnlow::uniqueid {

// Twelve printable characters, never an "X"; raises if the source fails.
std::string Next();

}  // namespace tarnlow::uniqueid
