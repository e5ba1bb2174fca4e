// The played-coupon database: one SQLite file in the user's data folder
// ($XDG_DATA_HOME/spelkub-lite/historik.sqlite). Write-ahead logging, so a
// reader never blocks the writer; every change is one transaction, so a
// process killed at any moment leaves every committed coupon and a readable
// file; another program writing at the same time is waited for (up to
// kBusyMilliseconds). Opening an older database migrates it after a backup
// copy; a newer one is refused and left untouched. Every call may throw
// HistoryError, whose what() is the Swedish line the user sees.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_types.h"
#include "history/sqlite_statement.h"

namespace spelkub::history {

inline constexpr int kBusyMilliseconds = 15000;
inline constexpr std::string_view kDatabaseFolder = "spelkub-lite";
inline constexpr std::string_view kDatabaseName = "historik.sqlite";

// The database's path from the environment's values: XDG_DATA_HOME when it is
// an absolute path, else HOME/.local/share. Empty when neither is usable.
std::string DefaultHistoryPath(const char* xdgDataHome, const char* home);

class Database {
 public:
  // Opens or creates the file (and its folder).
  explicit Database(const std::string& path);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const std::string& path() const { return path_; }
  // The backup copy made when an older database was migrated on opening; empty otherwise.
  const std::string& backup() const { return backup_; }

  // Records a played coupon; returns its id. Refuses (HistoryError) a game
  // that is no game, a draw number below 1, rows of the wrong matches.
  int64_t Record(const PlayedCoupon& coupon);

  // Keeps the draw's results and payouts (replacing what was kept for it) and
  // settles every coupon played on it, all in one transaction. Refuses
  // signs of the wrong count.
  std::vector<Settlement> Settle(const DrawOutcome& outcome);

  std::optional<DrawOutcome> Draw(int32_t game, int64_t draw);
  std::optional<PlayedCoupon> Played(int64_t id);
  std::optional<Settlement> SettlementOf(int64_t id);
  // Oldest first (by date, then id).
  std::vector<PlayedSummary> List(const HistoryFilter& filter = {});
  // The coupons of a draw that are not settled yet.
  std::vector<int64_t> Unsettled(int32_t game, int64_t draw);

  std::optional<std::string> Setting(std::string_view key);
  void SetSetting(std::string_view key, std::string_view value);

  // "ok", or what SQLite's integrity check finds.
  std::string IntegrityCheck();

 private:
  // Checks the version, switches to the log and migrates: once the file is
  // open, and again while another program holds it.
  void Prepare(detail::Connection& db);

  std::string path_;
  std::string backup_;
  std::unique_ptr<detail::Connection> connection_;
};

// The list as CSV (comma-separated, a header line, CR LF, fields with a
// comma, quote or line break quoted): id, datum, spel, omgang, rader,
// insats_kr, vinst_kr, netto_kr, forvantat_kr, kalla. Unsettled coupons have
// empty vinst and netto.
std::string CsvText(const std::vector<PlayedSummary>& list);

// The current time in UTC as the database writes it: "2026-12-08T17:30:00Z".
std::string UtcNow();

}  // namespace spelkub::history
