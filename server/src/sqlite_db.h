// Db: a thin RAII layer over one SQLite connection with cached prepared
// statements. Values are always bound, never pasted into SQL. Statements are
// cached by their SQL text, so a handler writes its SQL where it is used.
// Owned by the service; used only on the event-loop thread.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tavrin::server {

class DbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Stmt {
 public:
  Stmt(sqlite3* db, sqlite3_stmt* s) : db_(db), s_(s) {}
  ~Stmt() { sqlite3_finalize(s_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  // Resets bindings; returns itself for chaining binds.
  Stmt& reset();
  Stmt& bind(int index, long long v);
  Stmt& bind(int index, std::string_view v);
  Stmt& bindNull(int index);
  // True while a row is available; false at the end. Throws on error.
  bool step();
  // Runs to completion (for writes).
  void run();
  long long integer(int col) const { return sqlite3_column_int64(s_, col); }
  std::string text(int col) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* s_;
};

class Db {
 public:
  // Opens (creating) the file; ":memory:" gives a private in-memory database.
  explicit Db(const std::string& path);
  ~Db();
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;

  void exec(const char* sql);
  // The cached statement for this SQL, reset and ready for binding.
  Stmt& sql(const char* text);
  long long lastInsertId() const { return sqlite3_last_insert_rowid(db_); }
  // How long a write waits for another connection's (the operator's
  // commands share the file with the running server); 2 s unless set.
  void busyTimeout(int ms) { sqlite3_busy_timeout(db_, ms); }
  sqlite3* handle() const { return db_; }
  int changes() const { return sqlite3_changes(db_); }

 private:
  sqlite3* db_ = nullptr;
  std::unordered_map<const char*, std::unique_ptr<Stmt>> cache_;
};

// Commits on scope exit unless an exception is unwinding (then rolls back).
// An immediate one takes the write lock at once (waiting for it as long as
// the busy time-out says): one that reads before it writes, while another
// connection may write the same file, is never refused half-way.
class Transaction {
 public:
  enum Kind { kDeferred, kImmediate };
  explicit Transaction(Db& db, Kind kind = kDeferred) : db_(db) {
    db_.exec(kind == kImmediate ? "BEGIN IMMEDIATE" : "BEGIN");
  }
  ~Transaction();

 private:
  Db& db_;
  int exceptions_ = std::uncaught_exceptions();
};

}  // namespace tavrin::server
