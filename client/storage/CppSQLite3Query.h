// A cursor over the rows of one statement of the history database, as
// CppSQLite3Database::query returns it: positioned on the first row, or at its
// end when the statement gave none. Read with eof / fieldValue / nextRow.
// The cursor owns its statement (finalized by finalize or the destructor); it
// must be finalized before its connection closes, so declare it after the
// CppSQLite3Database it came from. Movable, not copyable; one thread at a time
// (the user-interface thread).
#pragma once

struct sqlite3;
struct sqlite3_stmt;

namespace tavrin::storage {

class CppSQLite3Query {
 public:
  CppSQLite3Query() = default;
  // `db` is used only to fetch error texts. With `ownsStatement` set, the
  // cursor finalizes `statement` when it is finished with it.
  CppSQLite3Query(sqlite3* db, sqlite3_stmt* statement, bool eof, bool ownsStatement = true);
  CppSQLite3Query(CppSQLite3Query&& other) noexcept;
  CppSQLite3Query& operator=(CppSQLite3Query&& other) noexcept;
  CppSQLite3Query(const CppSQLite3Query&) = delete;
  CppSQLite3Query& operator=(const CppSQLite3Query&) = delete;
  // Finalizes; a failure there is swallowed so that unwinding never throws twice.
  ~CppSQLite3Query();

  int fieldCount() const;
  // UTF-16 text of column `field` of the current row, valid until the next
  // step. Throws CPPSQLITE_ERROR "Invalid field index requested" outside
  // 0 .. fieldCount() - 1. A NULL value, or no current row, reads as "".
  const char16_t* fieldValue(int field) const;
  bool eof() const;
  // Steps to the next row, or sets eof after the last one.
  void nextRow();
  // Releases the statement; a non-zero finalize result throws. Later calls of
  // the other operations throw CPPSQLITE_ERROR "Null Virtual Machine pointer".
  void finalize();

 private:
  void checkStatement() const;
  void release() noexcept;

  sqlite3* db_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
  bool eof_ = true;
  int columns_ = 0;
  bool ownsStatement_ = false;
};

}  // namespace tavrin::storage
