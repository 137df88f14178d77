// The libraries a client might use instead of this one, doing the table's
// point read and insert with the same statement text, values, database file
// or server schema and session settings as the raw client API rows. Each is
// compiled in only when its development package was found; an absent one
// gives its rows a note instead of figures.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "paired.h"

namespace bench_table {

// The read: one text key bound, three columns (text, text, number) copied
// out. The insert: text, number, text, date as text, text, text.
struct PeerWork {
  std::string read_sql;  // "?" placeholders
  std::vector<std::string> keys;
  std::string insert_sql;
  std::string account, comments, date_text, post_flag, reference;
  double amount = 0;
};

struct Peer {
  Peer(std::string n, std::string why) : name(std::move(n)), skipped(std::move(why)) {}
  std::string name;
  std::string skipped;  // why there are no sides; "" when there are
  Side read, insert;
  std::shared_ptr<void> keep;  // the peer's session, alive as long as the sides
};

// SQLite peers on the file at `path`.
std::vector<Peer> SqlitePeers(const std::string& path, const PeerWork& work);
// PostgreSQL peers on the server schema of `conninfo`; statements there use
// "$n" placeholders.
std::vector<Peer> PostgresPeers(const std::string& conninfo, const PeerWork& work);

}  // namespace bench_table
