#include "history/schema.h"

#include <array>
#include <filesystem>
#include <system_error>

namespace spelkub::history::detail {

namespace {

// Step k (index k - 1) takes a database of version k - 1 to version k; each
// ends by setting the version, so a step is whole or not there at all.
constexpr std::array<const char*, kSchemaVersion> kMigrations{
    // 1: played coupons with their rows and hand-in files, draws with their
    // results and payouts, and settlements.
    R"sql(
CREATE TABLE played (
  id INTEGER PRIMARY KEY,
  recorded_at TEXT NOT NULL,
  game TEXT NOT NULL,
  draw INTEGER NOT NULL CHECK (draw > 0),
  close_time TEXT NOT NULL DEFAULT '',
  document TEXT NOT NULL DEFAULT '',
  row_count INTEGER NOT NULL CHECK (row_count >= 0),
  rows BLOB NOT NULL,
  rows_sha256 TEXT NOT NULL,
  stake_ore INTEGER NOT NULL CHECK (stake_ore >= 0),
  payout_factor INTEGER NOT NULL DEFAULT 1 CHECK (payout_factor > 0),
  source TEXT NOT NULL
);
CREATE INDEX played_by_draw ON played (game, draw);
CREATE TABLE handin_file (
  played_id INTEGER NOT NULL REFERENCES played (id) ON DELETE CASCADE,
  number INTEGER NOT NULL,
  name TEXT NOT NULL,
  sha256 TEXT NOT NULL,
  row_count INTEGER NOT NULL,
  PRIMARY KEY (played_id, number)
);
CREATE TABLE draw (
  game TEXT NOT NULL,
  draw INTEGER NOT NULL,
  results TEXT NOT NULL,
  source TEXT NOT NULL,
  updated_at TEXT NOT NULL,
  PRIMARY KEY (game, draw)
);
CREATE TABLE payout (
  game TEXT NOT NULL,
  draw INTEGER NOT NULL,
  correct INTEGER NOT NULL,
  winners INTEGER,
  amount_ore INTEGER NOT NULL CHECK (amount_ore >= 0),
  PRIMARY KEY (game, draw, correct),
  FOREIGN KEY (game, draw) REFERENCES draw (game, draw) ON DELETE CASCADE
);
CREATE TABLE settled (
  played_id INTEGER PRIMARY KEY REFERENCES played (id) ON DELETE CASCADE,
  settled_at TEXT NOT NULL,
  won_ore INTEGER NOT NULL
);
CREATE TABLE settlement (
  played_id INTEGER NOT NULL REFERENCES settled (played_id) ON DELETE CASCADE,
  correct INTEGER NOT NULL,
  rows INTEGER NOT NULL,
  amount_ore INTEGER NOT NULL,
  PRIMARY KEY (played_id, correct)
);
PRAGMA user_version = 1;
)sql",
    // 2: the expected return the value model gave at recording, and the
    // player's remembered choices.
    R"sql(
ALTER TABLE played ADD COLUMN expected_return_ore INTEGER;
CREATE TABLE setting (
  key TEXT PRIMARY KEY,
  value TEXT NOT NULL
);
PRAGMA user_version = 2;
)sql",
};

// A name beside the database that no file has: "NAME.v1.bak", "NAME.v1-2.bak", …
std::string BackupName(const std::string& path, int version) {
  const std::string base = path + ".v" + std::to_string(version);
  std::error_code error;
  for (int n = 1;; ++n) {
    std::string name = n == 1 ? base + ".bak" : base + "-" + std::to_string(n) + ".bak";
    if (!std::filesystem::exists(name, error)) return name;
  }
}

// A file that SQLite reads but whose tables are not ours.
bool HasTables(Connection& connection) {
  Statement tables(connection, "SELECT count(*) FROM sqlite_master");
  return tables.Step() && tables.Integer(0) > 0;
}

}  // namespace

int SchemaVersion(Connection& connection) {
  Statement version(connection, "PRAGMA user_version");
  if (!version.Step()) connection.Fail("läsa");
  return static_cast<int>(version.Integer(0));
}

std::string Migrate(Connection& connection) {
  const int version = SchemaVersion(connection);
  if (version > kSchemaVersion) {
    throw HistoryError("Historiken \"" + connection.path() +
                       "\" kommer från en nyare version av Spelkub_lite (databasversion " +
                       std::to_string(version) + ", den här versionen läser till och med " +
                       std::to_string(kSchemaVersion) +
                       "). Den lämnas orörd: uppdatera programmet för att använda den.");
  }
  if (version == kSchemaVersion) return {};
  std::string backup;
  if (version > 0) {
    // A consistent copy of the old file, taken before anything changes.
    backup = BackupName(connection.path(), version);
    Statement copy(connection, "VACUUM INTO ?");
    copy.Bind(1, backup).Run();
  }
  Transaction transaction(connection);
  // Another program may have migrated it while this one waited for the lock:
  // the version and the tables are read again, alone with the file now.
  const int now = SchemaVersion(connection);
  if (now == 0 && HasTables(connection)) {
    throw HistoryError("Filen \"" + connection.path() +
                       "\" är en annan databas än Spelkub_lites historik. Den lämnas orörd.");
  }
  for (int step = now; step < kSchemaVersion; ++step) {
    connection.Execute(kMigrations[static_cast<size_t>(step)]);
  }
  transaction.Commit();
  return backup;
}

}  // namespace spelkub::history::detail
