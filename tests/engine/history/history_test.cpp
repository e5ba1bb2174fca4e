#include "history/history_database.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "coupon/games.h"
#include "support/temp_folder.h"

namespace spelkub::history {
namespace {

using testing::TempFolder;

std::vector<PackedRow> RandomRows(size_t count, std::mt19937& random, int matches = 13) {
  std::vector<PackedRow> rows(count);
  for (PackedRow& row : rows) {
    row = 0;
    for (int m = 0; m < matches; ++m) row |= PackedRow(random() % 3) << (2 * m);
  }
  return rows;
}

PlayedCoupon Coupon(int64_t draw, std::vector<PackedRow> rows) {
  PlayedCoupon coupon;
  coupon.game = kStryktipset;
  coupon.draw = draw;
  coupon.rows = std::move(rows);
  coupon.stakeOre = static_cast<int64_t>(coupon.rows.size()) * 100;
  return coupon;
}

// Runs SQL on a file through SQLite directly, as another program would.
void RawSql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

int64_t RawInteger(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
  const int64_t value =
      sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

TEST(HistoryDatabase, KeepsAPlayedCouponWholeAcrossReopening) {
  TempFolder folder("history");
  const std::string path = folder.Path("data/spelkub-lite/historik.sqlite").string();
  std::mt19937 random(1);
  PlayedCoupon coupon = Coupon(4711, RandomRows(1296, random));
  coupon.closeTime = "2026-12-12T15:59";
  coupon.document = "format = 1\ngame = \"stryktipset\"\n";
  coupon.files = {{"/spel/rader.txt", std::string(64, 'a'), 1296}};
  coupon.expectedReturnOre = 98765;
  coupon.source = std::string(kSourceHandIn);
  int64_t id = 0;
  {
    Database database(path);
    id = database.Record(coupon);
  }
  Database database(path);
  const std::optional<PlayedCoupon> back = database.Played(id);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->rows, coupon.rows);
  EXPECT_EQ(back->document, coupon.document);
  EXPECT_EQ(back->closeTime, coupon.closeTime);
  EXPECT_EQ(back->stakeOre, 129600);
  EXPECT_EQ(back->expectedReturnOre, 98765);
  ASSERT_EQ(back->files.size(), 1u);
  EXPECT_EQ(back->files[0].name, "/spel/rader.txt");
  EXPECT_EQ(back->source, kSourceHandIn);
  EXPECT_EQ(RawInteger(path, "PRAGMA user_version"), 2);
  EXPECT_EQ(database.IntegrityCheck(), "ok");
  {  // the journal mode, as another program sees it
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* mode = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &mode, nullptr);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    sqlite3_close(db);
  }
}

TEST(HistoryDatabase, RefusesWhatCannotBeAPlayedCoupon) {
  TempFolder folder("history");
  Database database(folder.Path("h.sqlite").string());
  std::mt19937 random(2);
  EXPECT_THROW(database.Record(Coupon(0, RandomRows(3, random))), HistoryError);
  PlayedCoupon supertoto = Coupon(5, RandomRows(3, random, 14));
  EXPECT_THROW(database.Record(supertoto), HistoryError);  // 14-match rows as Stryktipset
  EXPECT_TRUE(database.List().empty());
}

// The plain count of each row's right against the signs is the oracle.
TEST(HistoryDatabase, SettlesEveryCouponOfTheDrawAsAPlainCountDoes) {
  TempFolder folder("history");
  Database database(folder.Path("h.sqlite").string());
  std::mt19937 random(3);
  std::vector<std::vector<PackedRow>> played;
  std::vector<int64_t> ids;
  for (int i = 0; i < 4; ++i) {
    played.push_back(RandomRows(3000 + i * 500, random));
    // Rows close to the result, so every level has winners.
    for (int k = 0; k < 40; ++k) played.back()[k] = PackedRow(random() % 3);
    ids.push_back(database.Record(Coupon(100, played.back())));
  }
  const int64_t other = database.Record(Coupon(101, played[0]));
  DrawOutcome outcome;
  outcome.game = kStryktipset;
  outcome.draw = 100;
  outcome.signs.assign(13, 0);
  outcome.payouts = {{13, 2, 123456789}, {12, 40, 250050}, {11, 500, 9900}, {10, 4000, 1500}};
  const std::vector<Settlement> settlements = database.Settle(outcome);
  ASSERT_EQ(settlements.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    std::map<int, int64_t> count;
    for (const PackedRow row : played[i]) {
      int right = 0;
      for (int m = 1; m <= 13; ++m) right += PackedOutcome(row, m) == 0;
      ++count[right];
    }
    int64_t won = 0;
    for (const LevelPayout& payout : outcome.payouts)
      won += count[payout.correct] * payout.amountOre;
    const std::optional<Settlement> kept = database.SettlementOf(ids[i]);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->wonOre, won);
    EXPECT_EQ(settlements[i].wonOre, won);
    ASSERT_EQ(kept->levels.size(), 4u);
    for (const LevelWin& level : kept->levels) EXPECT_EQ(level.rows, count[level.correct]);
  }
  EXPECT_FALSE(database.SettlementOf(other));  // another draw
  EXPECT_EQ(database.Unsettled(kStryktipset, 101), std::vector<int64_t>{other});
  // Settling again with corrected payouts replaces the first settlement.
  outcome.payouts = {{13, 2, 100}};
  database.Settle(outcome);
  int64_t thirteen = 0;
  for (const PackedRow row : played[0]) thirteen += row == 0;
  EXPECT_EQ(database.SettlementOf(ids[0])->wonOre, thirteen * 100);
  EXPECT_EQ(database.SettlementOf(ids[0])->levels.size(), 1u);
  const std::optional<DrawOutcome> draw = database.Draw(kStryktipset, 100);
  ASSERT_TRUE(draw);
  EXPECT_EQ(draw->signs, outcome.signs);
  ASSERT_EQ(draw->payouts.size(), 1u);
}

TEST(HistoryDatabase, PayoutsOfAStakeMultiplyByItsFactor) {
  const std::vector<PackedRow> rows = {0, 0, 1, 5};
  const std::vector<int> signs(8, 0);
  const std::vector<LevelPayout> payouts = {{8, std::nullopt, 1000}};
  EXPECT_EQ(SettleRows(rows, signs, payouts, 5).wonOre, 2 * 1000 * 5);
}

TEST(HistoryDatabase, ListsByGameAndPeriodWithTheSettledAmounts) {
  TempFolder folder("history");
  Database database(folder.Path("h.sqlite").string());
  std::mt19937 random(4);
  PlayedCoupon early = Coupon(1, RandomRows(10, random));
  early.closeTime = "2026-01-10T15:59";
  PlayedCoupon late = Coupon(2, RandomRows(20, random));
  late.closeTime = "2026-11-28T15:59";
  PlayedCoupon europe = Coupon(3, RandomRows(30, random));
  europe.game = kEuropatipset;
  europe.closeTime = "2026-11-29T15:59";
  database.Record(late);
  database.Record(early);
  database.Record(europe);
  EXPECT_EQ(database.List().size(), 3u);
  EXPECT_EQ(database.List()[0].draw, 1);  // by date, not by recording
  HistoryFilter filter;
  filter.game = kStryktipset;
  EXPECT_EQ(database.List(filter).size(), 2u);
  filter.from = "2026-11-01";
  ASSERT_EQ(database.List(filter).size(), 1u);
  EXPECT_EQ(database.List(filter)[0].draw, 2);
  filter = {};
  filter.to = "2026-11-28";
  EXPECT_EQ(database.List(filter).size(), 2u);  // the whole last day
  EXPECT_FALSE(database.List()[0].wonOre);
}

TEST(HistoryDatabase, RefusesANewerDatabaseAndLeavesItUntouched) {
  TempFolder folder("history");
  const std::string path = folder.Path("h.sqlite").string();
  { Database database(path); }
  RawSql(path, "PRAGMA user_version = 7");
  const std::string before = testing::ReadFile(path);
  try {
    Database database(path);
    FAIL() << "a newer database was opened";
  } catch (const HistoryError& error) {
    EXPECT_NE(std::string(error.what()).find("nyare version av Spelkub_lite (databasversion 7"),
              std::string::npos)
        << error.what();
  }
  EXPECT_EQ(testing::ReadFile(path), before);
}

// A database of the first version, as that version wrote it: migrated to the
// current one after a backup copy, with its coupon kept.
TEST(HistoryDatabase, MigratesAnOlderDatabaseAfterABackupCopy) {
  TempFolder folder("history");
  const std::string path = folder.Path("h.sqlite").string();
  RawSql(path,
         "CREATE TABLE played (id INTEGER PRIMARY KEY, recorded_at TEXT NOT NULL, game TEXT NOT "
         "NULL, draw INTEGER NOT NULL CHECK (draw > 0), close_time TEXT NOT NULL DEFAULT '', "
         "document TEXT NOT NULL DEFAULT '', row_count INTEGER NOT NULL, rows BLOB NOT NULL, "
         "rows_sha256 TEXT NOT NULL, stake_ore INTEGER NOT NULL, payout_factor INTEGER NOT NULL "
         "DEFAULT 1, source TEXT NOT NULL);"
         "CREATE TABLE handin_file (played_id INTEGER NOT NULL, number INTEGER NOT NULL, name "
         "TEXT NOT NULL, sha256 TEXT NOT NULL, row_count INTEGER NOT NULL, PRIMARY KEY "
         "(played_id, number));"
         "CREATE TABLE draw (game TEXT NOT NULL, draw INTEGER NOT NULL, results TEXT NOT NULL, "
         "source TEXT NOT NULL, updated_at TEXT NOT NULL, PRIMARY KEY (game, draw));"
         "CREATE TABLE payout (game TEXT NOT NULL, draw INTEGER NOT NULL, correct INTEGER NOT "
         "NULL, winners INTEGER, amount_ore INTEGER NOT NULL, PRIMARY KEY (game, draw, "
         "correct));"
         "CREATE TABLE settled (played_id INTEGER PRIMARY KEY, settled_at TEXT NOT NULL, won_ore "
         "INTEGER NOT NULL);"
         "CREATE TABLE settlement (played_id INTEGER NOT NULL, correct INTEGER NOT NULL, rows "
         "INTEGER NOT NULL, amount_ore INTEGER NOT NULL, PRIMARY KEY (played_id, correct));"
         "INSERT INTO played VALUES (1, '2026-01-01T12:00:00Z', 'stryktipset', 9, '', '', 1, "
         "x'00000000', 'h', 100, 1, 'rader');"
         "PRAGMA user_version = 1;");
  Database database(path);
  EXPECT_EQ(database.backup(), path + ".v1.bak");
  EXPECT_EQ(RawInteger(database.backup(), "PRAGMA user_version"), 1);
  EXPECT_EQ(RawInteger(database.backup(), "SELECT count(*) FROM played"), 1);
  EXPECT_EQ(RawInteger(path, "PRAGMA user_version"), 2);
  const std::vector<PlayedSummary> list = database.List();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].draw, 9);
  EXPECT_FALSE(list[0].expectedReturnOre);
  database.SetSetting("nyckel", "värde");  // the table version 2 added
  EXPECT_EQ(database.Setting("nyckel"), "värde");
}

TEST(HistoryDatabase, RefusesAFileThatIsNoHistory) {
  TempFolder folder("history");
  const std::string path = folder.Path("h.sqlite").string();
  testing::WriteFile(path, std::string(5000, 'x'));
  try {
    Database database(path);
    FAIL() << "opened a text file";
  } catch (const HistoryError& error) {
    EXPECT_NE(std::string(error.what()).find("ingen historikdatabas"), std::string::npos)
        << error.what();
  }
  EXPECT_EQ(testing::ReadFile(path), std::string(5000, 'x'));
  const std::string other = folder.Path("annan.sqlite").string();
  RawSql(other, "CREATE TABLE t (x)");
  EXPECT_THROW(Database{other}, HistoryError);
}

TEST(HistoryText, CsvQuotesWhatNeedsItAndLeavesUnsettledEmpty) {
  PlayedSummary line;
  line.id = 3;
  line.date = "2026-12-12T15:59";
  line.gameName = "Strykt,ipset";
  line.draw = 4711;
  line.rows = 96;
  line.stakeOre = 9600;
  line.source = "x\"y";
  EXPECT_EQ(CsvText({line}),
            "id,datum,spel,omgang,rader,insats_kr,vinst_kr,netto_kr,forvantat_kr,kalla\r\n"
            "3,2026-12-12T15:59,\"Strykt,ipset\",4711,96,96.00,,,,\"x\"\"y\"\r\n");
  line.wonOre = 150;
  line.expectedReturnOre = 5000;
  EXPECT_NE(CsvText({line}).find(",96.00,1.50,-94.50,50.00,"), std::string::npos);
}

TEST(HistoryText, MoneyIsExactInOre) {
  EXPECT_EQ(OreOf("12,5"), 1250);
  EXPECT_EQ(OreOf("1 234 567,89 kr"), 123456789);
  EXPECT_EQ(OreOf("0.05"), 5);
  EXPECT_EQ(OreOf("15"), 1500);
  EXPECT_FALSE(OreOf("1,234"));
  EXPECT_FALSE(OreOf("-5"));
  EXPECT_FALSE(OreOf(""));
  EXPECT_FALSE(OreOf("12,"));
  EXPECT_EQ(KronorText(-123456), "−1 234,56 kr");
  EXPECT_EQ(KronorPlain(-5), "-0.05");
  EXPECT_EQ(DefaultHistoryPath("/x/data", "/home/a"), "/x/data/spelkub-lite/historik.sqlite");
  EXPECT_EQ(DefaultHistoryPath("relativ", "/home/a"),
            "/home/a/.local/share/spelkub-lite/historik.sqlite");
  EXPECT_EQ(DefaultHistoryPath(nullptr, nullptr), "");
}

// A writer process with its standard output on a pipe.
class Writer {
 public:
  Writer(const std::string& database, int count, int tag) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      const std::string n = std::to_string(count);
      const std::string t = std::to_string(tag);
      ::execl(HISTORY_WRITER_PATH, HISTORY_WRITER_PATH, database.c_str(), n.c_str(), t.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    fd_ = fds[0];
  }
  ~Writer() {
    if (pid_ > 0) Kill();
    if (fd_ >= 0) ::close(fd_);
  }

  // Reads what the writer printed for up to `milliseconds` (or until it ends).
  void Read(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return;
      pollfd poll{fd_, POLLIN, 0};
      if (::poll(&poll, 1, static_cast<int>(left.count())) <= 0) return;
      char buffer[4096];
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got <= 0) return;
      text_.append(buffer, static_cast<size_t>(got));
    }
  }
  // SIGKILL, then whatever it printed before dying.
  void Kill() {
    ::kill(pid_, SIGKILL);
    Wait();
  }
  int Wait() {
    Read(60000);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  // The ids it said were committed (only whole lines count).
  std::vector<int64_t> Committed() const {
    std::vector<int64_t> ids;
    size_t at = 0;
    while (true) {
      const size_t end = text_.find('\n', at);
      if (end == std::string::npos) break;
      const std::string line = text_.substr(at, end - at);
      if (line.starts_with("committed ")) ids.push_back(std::stoll(line.substr(10)));
      at = end + 1;
    }
    return ids;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string text_;
};

// kill -9 at random moments of recording and settling: the file opens, is
// whole, and holds every coupon whose commit had returned, as it was written.
TEST(HistoryCrash, AWriterKilledAtAnyMomentLosesNothingCommitted) {
  TempFolder folder("history");
  const std::string path = folder.Path("h.sqlite").string();
  std::mt19937 random(20261208);
  std::set<int64_t> committed;
  for (int round = 0; round < 12; ++round) {
    Writer writer(path, 100000, round + 1);
    writer.Read(static_cast<int>(20 + random() % 250));
    writer.Kill();
    for (const int64_t id : writer.Committed()) committed.insert(id);
    Database database(path);
    ASSERT_EQ(database.IntegrityCheck(), "ok") << "round " << round;
    for (const int64_t id : committed) {
      const std::optional<PlayedCoupon> coupon = database.Played(id);
      ASSERT_TRUE(coupon) << "coupon " << id << " lost in round " << round;
      EXPECT_EQ(coupon->stakeOre, static_cast<int64_t>(coupon->rows.size()) * 100);
      EXPECT_TRUE(coupon->document.starts_with("tag "));
    }
    // A settlement is all there or not at all.
    for (const PlayedSummary& line : database.List()) {
      if (const auto settlement = database.SettlementOf(line.id)) {
        EXPECT_EQ(settlement->levels.size(), 4u);
      }
    }
  }
  EXPECT_GT(committed.size(), 12u);  // the rounds did write
}

// The window and the companion may write at once: two processes, each its
// own connection, neither fails and every coupon is there.
TEST(HistoryCrash, TwoWritersAtOnceBothCommitEverything) {
  TempFolder folder("history");
  const std::string path = folder.Path("h.sqlite").string();
  Writer first(path, 60, 1);
  Writer second(path, 60, 2);
  const int firstStatus = first.Wait();
  const int secondStatus = second.Wait();
  EXPECT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0);
  EXPECT_TRUE(WIFEXITED(secondStatus) && WEXITSTATUS(secondStatus) == 0);
  EXPECT_EQ(first.Committed().size(), 60u);
  EXPECT_EQ(second.Committed().size(), 60u);
  Database database(path);
  EXPECT_EQ(database.List().size(), 120u);
  EXPECT_EQ(database.IntegrityCheck(), "ok");
}

}  // namespace
}  // namespace spelkub::history
