// A connection to the history database for the length of one storage
// operation: open, run statements, close. Built on SQLite's UTF-16 interface,
// so a file it creates has UTF-16 text. Every failure throws
// CppSQLite3Exception. A connection is never shared between threads (the
// user-interface thread makes them); the cursors it hands out must be
// finalized before it closes.
//
// Values reach statements as bound parameters ("?" in the SQL text, one text
// per parameter), never pasted between quotes, so any text, quotes included,
// is stored and read back unchanged.
#pragma once

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include "storage/CppSQLite3Query.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tavrin::storage {

class CppSQLite3Database {
 public:
  using Params = std::initializer_list<std::u16string_view>;

  CppSQLite3Database() = default;
  CppSQLite3Database(const CppSQLite3Database&) = delete;
  CppSQLite3Database& operator=(const CppSQLite3Database&) = delete;
  // Closes; a failure there is swallowed (destructors must not throw).
  ~CppSQLite3Database();

  // Opens the file read-write, creating it (readable by its owner only) when
  // missing; a missing folder is not created and gives SQLITE_CANTOPEN (14).
  // Sets the busy time-out.
  void open(const char16_t* path);
  void open(const std::u16string& path) { open(path.c_str()); }
  void open(const std::filesystem::path& path) { open(path.u16string()); }
  // Closes when open; a failure throws and leaves the connection open.
  void close();
  bool isOpen() const noexcept { return db_ != nullptr; }

  // Runs a statement that yields no rows; returns the final finalize result
  // (0 on success). SQLITE_ERROR from the step throws.
  int execute(const char16_t* sql, Params params = {});
  int execute(const std::u16string& sql, Params params = {}) {
    return execute(sql.c_str(), params);
  }
  // Runs a statement and returns a cursor on its first row (eof when none).
  CppSQLite3Query query(const char16_t* sql, Params params = {});
  CppSQLite3Query query(const std::u16string& sql, Params params = {}) {
    return query(sql.c_str(), params);
  }
  // Column 0 of the first row read as a decimal long; CPPSQLITE_ERROR
  // "Invalid scalar query" when there is no row or no column.
  int scalar(const char16_t* sql, Params params = {});
  int scalar(const std::u16string& sql, Params params = {}) { return scalar(sql.c_str(), params); }
  // Whether a table of that name exists; never creates anything.
  bool tableExists(std::u16string_view table);

  // Makes `function` callable by `name` from this connection's statements
  // until it closes: one text argument (NULL reads as empty), a text result,
  // deterministic. Nothing is stored in the file, so other programs that
  // open it never need the function.
  using TextFunction = std::u16string (*)(std::u16string_view);
  void defineTextFunction(const char16_t* name, TextFunction function);

  // 60000 ms from construction; a locked file is waited for this long, in
  // short steps, so that a lock let go for a moment is taken.
  void setBusyTimeout(int milliseconds);
  int busyTimeout() const noexcept { return busyTimeoutMs_; }
  // SQLite's error text of the connection ("" while not open).
  const char16_t* lastError() const;
  // How many connections of this process wait for a lock that another
  // holds now: a long job (the search index build) lets them in between
  // its steps.
  static int lockWaiters();

 private:
  void checkDB() const;
  sqlite3_stmt* prepare(const char16_t* sql);
  // Prepares and binds; throws (statement finalized) when a value does not bind.
  sqlite3_stmt* prepareBound(const char16_t* sql, Params params);
  const char16_t* errorText() const;
  static int onBusy(void* self, int count);
  void doneWaiting();

  sqlite3* db_ = nullptr;
  int busyTimeoutMs_ = 60000;
  bool waiting_ = false;  // counted in lockWaiters()
  std::chrono::steady_clock::time_point busySince_;
};

}  // namespace tavrin::storage
