#include "history/history_database.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "coupon/games.h"
#include "history/schema.h"

namespace spelkub::history {

namespace {

using detail::Statement;
using detail::Transaction;

std::string GameWord(int32_t game) {
  if (!IsGame(game)) throw HistoryError("Okänt spel i historiken.");
  return std::string(Rules(game).option);
}

// Rows as the database keeps them: four bytes each, least significant first.
std::string RowBytes(std::span<const PackedRow> rows) {
  std::string bytes;
  bytes.reserve(rows.size() * 4);
  for (const PackedRow row : rows) {
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((row >> shift) & 0xff);
  }
  return bytes;
}

std::vector<PackedRow> RowsOf(const std::string& bytes) {
  std::vector<PackedRow> rows(bytes.size() / 4);
  for (size_t i = 0; i < rows.size(); ++i) {
    PackedRow row = 0;
    for (int b = 0; b < 4; ++b) {
      row |= static_cast<PackedRow>(static_cast<unsigned char>(bytes[4 * i + b])) << (8 * b);
    }
    rows[i] = row;
  }
  return rows;
}

std::span<const unsigned char> AsBlob(const std::string& bytes) {
  return {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
}

void CheckRows(int32_t game, std::span<const PackedRow> rows) {
  const int matches = Rules(game).matches;
  const uint32_t low = 0x55555555u & ((uint32_t{1} << (2 * matches)) - 1);
  for (const PackedRow row : rows) {
    if ((row >> (2 * matches)) != 0 || (row & (row >> 1) & low) != 0) {
      throw HistoryError("Raderna passar inte " + std::string(Rules(game).name) + ": de ska ha " +
                         std::to_string(matches) + " matcher.");
    }
  }
}

void CheckDraw(int32_t game, int64_t draw) {
  if (!IsGame(game)) throw HistoryError("Okänt spel.");
  if (draw < 1) throw HistoryError("Omgången ska vara ett positivt heltal.");
}

int32_t GameOfWord(const std::string& word) {
  const auto game = GameOfOption(word);
  return game ? *game : 0;
}

const char* const kListSql =
    "SELECT p.id, CASE WHEN p.close_time <> '' THEN p.close_time ELSE p.recorded_at END AS day, "
    "p.game, p.draw, p.row_count, p.stake_ore, s.won_ore, p.expected_return_ore, p.source "
    "FROM played p LEFT JOIN settled s ON s.played_id = p.id "
    "WHERE (?1 IS NULL OR p.game = ?1) AND (?2 = '' OR substr(day, 1, 10) >= ?2) "
    "AND (?3 = '' OR substr(day, 1, 10) <= ?3) ORDER BY day, p.id";

std::string CsvField(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string DefaultHistoryPath(const char* xdgDataHome, const char* home) {
  std::filesystem::path folder;
  if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
    folder = xdgDataHome;
  } else if (home != nullptr && home[0] == '/') {
    folder = std::filesystem::path(home) / ".local" / "share";
  } else {
    return {};
  }
  return (folder / kDatabaseFolder / kDatabaseName).string();
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

Database::Database(const std::string& path) : path_(path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) {
    throw HistoryError("Kan inte skapa mappen \"" + folder.string() +
                       "\" för historiken: " + error.message() + ".");
  }
  connection_ = std::make_unique<detail::Connection>(path, true, kBusyMilliseconds);
  detail::Connection& db = *connection_;
  // Two programs that open a new file at the same moment both switch it to
  // the log and create the tables; SQLite answers one of them "busy" at once
  // there rather than wait (waiting could deadlock), so the steps are tried
  // again until the busy time is over.
  const auto giveUp =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMilliseconds);
  for (;;) {
    try {
      Prepare(db);
      return;
    } catch (const HistoryError&) {
      const int code = sqlite3_errcode(db.get()) & 0xff;
      if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) ||
          std::chrono::steady_clock::now() >= giveUp)
        throw;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

void Database::Prepare(detail::Connection& db) {
  // The version first: a newer database is refused before anything, even
  // the journal mode, is changed.
  if (detail::SchemaVersion(db) > detail::kSchemaVersion) detail::Migrate(db);
  {
    Statement wal(db, "PRAGMA journal_mode = WAL");
    if (!wal.Step() || wal.Text(0) != "wal") db.Fail("öppna med loggning");
  }
  // Every commit reaches the disk before it returns.
  db.Execute("PRAGMA synchronous = FULL");
  db.Execute("PRAGMA foreign_keys = ON");
  backup_ = detail::Migrate(db);
}

Database::~Database() = default;

int64_t Database::Record(const PlayedCoupon& coupon) {
  CheckDraw(coupon.game, coupon.draw);
  CheckRows(coupon.game, coupon.rows);
  if (coupon.stakeOre < 0 || coupon.payoutFactor < 1) {
    throw HistoryError("Insatsen kan inte vara negativ.");
  }
  detail::Connection& db = *connection_;
  const std::string bytes = RowBytes(coupon.rows);
  Transaction transaction(db);
  Statement insert(db,
                   "INSERT INTO played (recorded_at, game, draw, close_time, document, row_count, "
                   "rows, rows_sha256, stake_ore, payout_factor, source, expected_return_ore) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  insert.Bind(1, coupon.recordedAt.empty() ? UtcNow() : coupon.recordedAt)
      .Bind(2, GameWord(coupon.game))
      .Bind(3, coupon.draw)
      .Bind(4, coupon.closeTime)
      .Bind(5, coupon.document)
      .Bind(6, static_cast<int64_t>(coupon.rows.size()))
      .Bind(7, AsBlob(bytes))
      .Bind(8, Sha256Hex(bytes))
      .Bind(9, coupon.stakeOre)
      .Bind(10, coupon.payoutFactor)
      .Bind(11, coupon.source)
      .Bind(12, coupon.expectedReturnOre)
      .Run();
  const int64_t id = sqlite3_last_insert_rowid(db.get());
  Statement file(db,
                 "INSERT INTO handin_file (played_id, number, name, sha256, row_count) "
                 "VALUES (?, ?, ?, ?, ?)");
  for (size_t i = 0; i < coupon.files.size(); ++i) {
    const HandInFileRecord& record = coupon.files[i];
    file.Bind(1, id)
        .Bind(2, static_cast<int64_t>(i + 1))
        .Bind(3, record.name)
        .Bind(4, record.sha256)
        .Bind(5, record.rows)
        .Run();
    file.Reset();
  }
  transaction.Commit();
  return id;
}

std::vector<Settlement> Database::Settle(const DrawOutcome& outcome) {
  CheckDraw(outcome.game, outcome.draw);
  const GameRules& rules = Rules(outcome.game);
  if (static_cast<int>(outcome.signs.size()) != rules.matches) {
    throw HistoryError("Resultatet ska ha ett tecken per match: " + std::to_string(rules.matches) +
                       " för " + std::string(rules.name) + ".");
  }
  for (const int sign : outcome.signs) {
    if (sign < 0 || sign > 2) throw HistoryError("Resultatet får bara ha 1, X och 2.");
  }
  for (const LevelPayout& payout : outcome.payouts) {
    if (payout.correct < 0 || payout.correct > rules.matches || payout.amountOre < 0) {
      throw HistoryError("Utdelningen för " + std::to_string(payout.correct) +
                         " rätt går inte att använda.");
    }
  }
  detail::Connection& db = *connection_;
  const std::string game = GameWord(outcome.game);
  const std::string now = UtcNow();
  Transaction transaction(db);
  Statement(db, "DELETE FROM draw WHERE game = ? AND draw = ?")
      .Bind(1, game)
      .Bind(2, outcome.draw)
      .Run();
  Statement(db, "INSERT INTO draw (game, draw, results, source, updated_at) VALUES (?, ?, ?, ?, ?)")
      .Bind(1, game)
      .Bind(2, outcome.draw)
      .Bind(3, SignsText(outcome.signs))
      .Bind(4, outcome.source)
      .Bind(5, now)
      .Run();
  Statement payout(db,
                   "INSERT INTO payout (game, draw, correct, winners, amount_ore) "
                   "VALUES (?, ?, ?, ?, ?)");
  for (const LevelPayout& level : outcome.payouts) {
    payout.Bind(1, game)
        .Bind(2, outcome.draw)
        .Bind(3, static_cast<int64_t>(level.correct))
        .Bind(4, level.winners)
        .Bind(5, level.amountOre)
        .Run();
    payout.Reset();
  }
  std::vector<Settlement> settlements;
  Statement played(db, "SELECT id, rows, payout_factor FROM played WHERE game = ? AND draw = ?");
  played.Bind(1, game).Bind(2, outcome.draw);
  Statement forget(db, "DELETE FROM settled WHERE played_id = ?");
  Statement settled(db, "INSERT INTO settled (played_id, settled_at, won_ore) VALUES (?, ?, ?)");
  Statement level(
      db, "INSERT INTO settlement (played_id, correct, rows, amount_ore) VALUES (?, ?, ?, ?)");
  while (played.Step()) {
    Settlement settlement =
        SettleRows(RowsOf(played.Blob(1)), outcome.signs, outcome.payouts, played.Integer(2));
    settlement.playedId = played.Integer(0);
    forget.Bind(1, settlement.playedId).Run();
    forget.Reset();
    settled.Bind(1, settlement.playedId).Bind(2, now).Bind(3, settlement.wonOre).Run();
    settled.Reset();
    for (const LevelWin& win : settlement.levels) {
      level.Bind(1, settlement.playedId)
          .Bind(2, static_cast<int64_t>(win.correct))
          .Bind(3, win.rows)
          .Bind(4, win.amountOre)
          .Run();
      level.Reset();
    }
    settlements.push_back(std::move(settlement));
  }
  transaction.Commit();
  return settlements;
}

std::optional<DrawOutcome> Database::Draw(int32_t game, int64_t draw) {
  detail::Connection& db = *connection_;
  Statement select(db, "SELECT results, source FROM draw WHERE game = ? AND draw = ?");
  select.Bind(1, GameWord(game)).Bind(2, draw);
  if (!select.Step()) return std::nullopt;
  DrawOutcome outcome;
  outcome.game = game;
  outcome.draw = draw;
  outcome.signs = SignsOf(select.Text(0), Rules(game).matches).value_or(std::vector<int>{});
  outcome.source = select.Text(1);
  Statement payouts(db,
                    "SELECT correct, winners, amount_ore FROM payout WHERE game = ? AND draw = ? "
                    "ORDER BY correct DESC");
  payouts.Bind(1, GameWord(game)).Bind(2, draw);
  while (payouts.Step()) {
    outcome.payouts.push_back(
        {static_cast<int>(payouts.Integer(0)), payouts.OptionalInteger(1), payouts.Integer(2)});
  }
  return outcome;
}

std::optional<PlayedCoupon> Database::Played(int64_t id) {
  detail::Connection& db = *connection_;
  Statement select(db,
                   "SELECT recorded_at, game, draw, close_time, document, rows, stake_ore, "
                   "payout_factor, expected_return_ore, source FROM played WHERE id = ?");
  select.Bind(1, id);
  if (!select.Step()) return std::nullopt;
  PlayedCoupon coupon;
  coupon.id = id;
  coupon.recordedAt = select.Text(0);
  coupon.game = GameOfWord(select.Text(1));
  coupon.draw = select.Integer(2);
  coupon.closeTime = select.Text(3);
  coupon.document = select.Text(4);
  coupon.rows = RowsOf(select.Blob(5));
  coupon.stakeOre = select.Integer(6);
  coupon.payoutFactor = select.Integer(7);
  coupon.expectedReturnOre = select.OptionalInteger(8);
  coupon.source = select.Text(9);
  Statement files(db,
                  "SELECT name, sha256, row_count FROM handin_file WHERE played_id = ? "
                  "ORDER BY number");
  files.Bind(1, id);
  while (files.Step()) coupon.files.push_back({files.Text(0), files.Text(1), files.Integer(2)});
  return coupon;
}

std::optional<Settlement> Database::SettlementOf(int64_t id) {
  detail::Connection& db = *connection_;
  Statement settled(db, "SELECT won_ore FROM settled WHERE played_id = ?");
  settled.Bind(1, id);
  if (!settled.Step()) return std::nullopt;
  Settlement settlement;
  settlement.playedId = id;
  settlement.wonOre = settled.Integer(0);
  Statement levels(db,
                   "SELECT correct, rows, amount_ore FROM settlement WHERE played_id = ? "
                   "ORDER BY correct DESC");
  levels.Bind(1, id);
  while (levels.Step()) {
    settlement.levels.push_back(
        {static_cast<int>(levels.Integer(0)), levels.Integer(1), levels.Integer(2)});
  }
  return settlement;
}

std::vector<PlayedSummary> Database::List(const HistoryFilter& filter) {
  detail::Connection& db = *connection_;
  Statement select(db, kListSql);
  if (filter.game) {
    select.Bind(1, GameWord(*filter.game));
  } else {
    select.BindNull(1);
  }
  select.Bind(2, filter.from).Bind(3, filter.to);
  std::vector<PlayedSummary> list;
  while (select.Step()) {
    PlayedSummary line;
    line.id = select.Integer(0);
    line.date = select.Text(1);
    const std::string word = select.Text(2);
    line.game = GameOfWord(word);
    line.gameName = line.game != 0 ? std::string(Rules(line.game).name) : word;
    line.draw = select.Integer(3);
    line.rows = select.Integer(4);
    line.stakeOre = select.Integer(5);
    line.wonOre = select.OptionalInteger(6);
    line.expectedReturnOre = select.OptionalInteger(7);
    line.source = select.Text(8);
    list.push_back(std::move(line));
  }
  return list;
}

std::vector<int64_t> Database::Unsettled(int32_t game, int64_t draw) {
  detail::Connection& db = *connection_;
  Statement select(db,
                   "SELECT p.id FROM played p LEFT JOIN settled s ON s.played_id = p.id "
                   "WHERE p.game = ? AND p.draw = ? AND s.played_id IS NULL ORDER BY p.id");
  select.Bind(1, GameWord(game)).Bind(2, draw);
  std::vector<int64_t> ids;
  while (select.Step()) ids.push_back(select.Integer(0));
  return ids;
}

std::optional<std::string> Database::Setting(std::string_view key) {
  Statement select(*connection_, "SELECT value FROM setting WHERE key = ?");
  select.Bind(1, key);
  if (!select.Step()) return std::nullopt;
  return select.Text(0);
}

void Database::SetSetting(std::string_view key, std::string_view value) {
  Transaction transaction(*connection_);
  Statement(*connection_, "INSERT OR REPLACE INTO setting (key, value) VALUES (?, ?)")
      .Bind(1, key)
      .Bind(2, value)
      .Run();
  transaction.Commit();
}

std::string Database::IntegrityCheck() {
  Statement check(*connection_, "PRAGMA integrity_check");
  std::string result;
  while (check.Step()) {
    if (!result.empty()) result += "\n";
    result += check.Text(0);
  }
  return result;
}

std::string CsvText(const std::vector<PlayedSummary>& list) {
  std::string csv = "id,datum,spel,omgang,rader,insats_kr,vinst_kr,netto_kr,forvantat_kr,kalla\r\n";
  for (const PlayedSummary& line : list) {
    const std::string fields[] = {
        std::to_string(line.id),
        line.date,
        line.gameName,
        std::to_string(line.draw),
        std::to_string(line.rows),
        KronorPlain(line.stakeOre),
        line.wonOre ? KronorPlain(*line.wonOre) : "",
        line.wonOre ? KronorPlain(*line.wonOre - line.stakeOre) : "",
        line.expectedReturnOre ? KronorPlain(*line.expectedReturnOre) : "",
        line.source};
    for (size_t i = 0; i < std::size(fields); ++i) {
      if (i > 0) csv += ',';
      csv += CsvField(fields[i]);
    }
    csv += "\r\n";
  }
  return csv;
}

}  // namespace spelkub::history
