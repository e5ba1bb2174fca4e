// A thin layer over SQLite's C interface: a connection, prepared statements
// with bound parameters, and a transaction that rolls back unless committed.
// Every failure throws HistoryError with a Swedish text naming the file.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace spelkub::history {

// The one error of the history: what() is the line the user sees.
class HistoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace detail {

class Connection {
 public:
  // Opens (creating when `create`) the file; waits up to `busyMilliseconds`
  // for another writer.
  Connection(const std::string& path, bool create, int busyMilliseconds);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* get() const { return db_; }
  const std::string& path() const { return path_; }
  // Runs SQL without parameters (schema, pragmas, transactions).
  void Execute(const char* sql);
  // Throws the error of the last call on this connection, `what` saying what
  // was being done.
  [[noreturn]] void Fail(std::string_view what) const;

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
};

class Statement {
 public:
  Statement(Connection& connection, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters count from 1.
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, std::span<const unsigned char> blob);
  Statement& BindNull(int index);
  Statement& Bind(int index, const std::optional<int64_t>& value);

  // True while a row is there to read; false when done.
  bool Step();
  // Runs a statement that returns no rows.
  void Run();
  void Reset();

  int64_t Integer(int column) const;
  std::optional<int64_t> OptionalInteger(int column) const;
  std::string Text(int column) const;
  std::string Blob(int column) const;

 private:
  Connection& connection_;
  sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE: the write lock is taken at once (waiting for another
// writer up to the busy time), so a transaction never fails half-way on a
// lock. Rolled back when destroyed uncommitted.
class Transaction {
 public:
  explicit Transaction(Connection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Connection& connection_;
  bool open_ = true;
};

}  // namespace detail

}  // namespace spelkub::history
