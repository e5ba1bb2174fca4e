#include "history/sqlite_statement.h"

namespace spelkub::history::detail {

namespace {

// The reason of a SQLite result code in the program's words.
std::string Reason(sqlite3* db, int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "databasen är upptagen av ett annat program; försök igen";
    case SQLITE_NOTADB:
      return "filen är ingen historikdatabas";
    case SQLITE_CORRUPT:
      return "databasen är skadad";
    case SQLITE_FULL:
      return "disken är full";
    case SQLITE_READONLY:
      return "databasen är skrivskyddad";
    case SQLITE_CANTOPEN:
      return "filen kan inte öppnas";
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "åtkomst nekad";
    case SQLITE_IOERR:
      return "läs- eller skrivfel";
    default:
      return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  }
}

}  // namespace

Connection::Connection(const std::string& path, bool create, int busyMilliseconds) : path_(path) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  const int code = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (code != SQLITE_OK) {
    const std::string reason = Reason(db_, code);
    sqlite3_close(db_);
    db_ = nullptr;
    throw HistoryError("Kan inte öppna historiken \"" + path + "\": " + reason + ".");
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, busyMilliseconds);
}

Connection::~Connection() {
  sqlite3_close_v2(db_);
}

void Connection::Execute(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail("skriva");
}

void Connection::Fail(std::string_view what) const {
  throw HistoryError("Historiken \"" + path_ + "\" gick inte att " + std::string(what) + ": " +
                     Reason(db_, sqlite3_extended_errcode(db_)) + ".");
}

Statement::Statement(Connection& connection, const char* sql) : connection_(connection) {
  if (sqlite3_prepare_v2(connection.get(), sql, -1, &statement_, nullptr) != SQLITE_OK) {
    connection.Fail("läsa");
  }
}

Statement::~Statement() {
  sqlite3_finalize(statement_);
}

Statement& Statement::Bind(int index, int64_t value) {
  if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) connection_.Fail("skriva");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                          SQLITE_UTF8) != SQLITE_OK) {
    connection_.Fail("skriva");
  }
  return *this;
}

Statement& Statement::Bind(int index, std::span<const unsigned char> blob) {
  // A zero-length blob is bound as an empty blob, not as NULL.
  if (sqlite3_bind_blob64(statement_, index,
                          blob.empty() ? static_cast<const void*>("") : blob.data(), blob.size(),
                          SQLITE_TRANSIENT) != SQLITE_OK) {
    connection_.Fail("skriva");
  }
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (sqlite3_bind_null(statement_, index) != SQLITE_OK) connection_.Fail("skriva");
  return *this;
}

Statement& Statement::Bind(int index, const std::optional<int64_t>& value) {
  return value ? Bind(index, *value) : BindNull(index);
}

bool Statement::Step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  connection_.Fail("läsa eller skriva");
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

int64_t Statement::Integer(int column) const {
  return sqlite3_column_int64(statement_, column);
}

std::optional<int64_t> Statement::OptionalInteger(int column) const {
  if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_int64(statement_, column);
}

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(statement_, column);
  const int bytes = sqlite3_column_bytes(statement_, column);
  return text == nullptr
             ? std::string()
             : std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
}

std::string Statement::Blob(int column) const {
  const void* blob = sqlite3_column_blob(statement_, column);
  const int bytes = sqlite3_column_bytes(statement_, column);
  return blob == nullptr ? std::string()
                         : std::string(static_cast<const char*>(blob), static_cast<size_t>(bytes));
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
  connection_.Execute("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
  if (open_) sqlite3_exec(connection_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
  connection_.Execute("COMMIT");
  open_ = false;
}

}  // namespace spelkub::history::detail
