#include "storage/CppSQLite3Query.h"

#include <sqlite3.h>

#include <utility>

#include "storage/CppSQLite3Exception.h"

namespace tavrin::storage {

namespace {
const char16_t* errorText(sqlite3* db) {
  return db ? static_cast<const char16_t*>(sqlite3_errmsg16(db)) : nullptr;
}
}  // namespace

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* statement, bool eof, bool ownsStatement)
    : db_(db),
      statement_(statement),
      eof_(eof),
      columns_(statement ? sqlite3_column_count(statement) : 0),
      ownsStatement_(ownsStatement) {}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& other) noexcept
    : db_(other.db_),
      statement_(std::exchange(other.statement_, nullptr)),
      eof_(other.eof_),
      columns_(other.columns_),
      ownsStatement_(other.ownsStatement_) {}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& other) noexcept {
  if (this != &other) {
    release();
    db_ = other.db_;
    statement_ = std::exchange(other.statement_, nullptr);
    eof_ = other.eof_;
    columns_ = other.columns_;
    ownsStatement_ = other.ownsStatement_;
  }
  return *this;
}

CppSQLite3Query::~CppSQLite3Query() {
  release();
}

void CppSQLite3Query::release() noexcept {
  try {
    finalize();
  } catch (...) {
    // Swallowed: this runs while unwinding from another failure, or from a
    // destructor, where a second throw would end the program.
  }
}

void CppSQLite3Query::checkStatement() const {
  if (!statement_) throw CppSQLite3Exception(CPPSQLITE_ERROR, u"Null Virtual Machine pointer");
}

int CppSQLite3Query::fieldCount() const {
  checkStatement();
  return columns_;
}

const char16_t* CppSQLite3Query::fieldValue(int field) const {
  checkStatement();
  if (field < 0 || field > columns_ - 1)
    throw CppSQLite3Exception(CPPSQLITE_ERROR, u"Invalid field index requested");
  if (eof_) return u"";
  auto text = static_cast<const char16_t*>(sqlite3_column_text16(statement_, field));
  if (text) return text;
  // Null both for an SQL NULL and for a failed conversion; only the second is an error.
  if (sqlite3_column_type(statement_, field) != SQLITE_NULL)
    throw CppSQLite3Exception(SQLITE_NOMEM, errorText(db_));
  return u"";
}

bool CppSQLite3Query::eof() const {
  checkStatement();
  return eof_;
}

void CppSQLite3Query::nextRow() {
  checkStatement();
  // Stepping a finished statement would start it over from its first row.
  if (eof_) return;
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_DONE) {
    eof_ = true;
  } else if (rc != SQLITE_ROW) {
    const int finalized = sqlite3_finalize(statement_);
    statement_ = nullptr;
    throw CppSQLite3Exception(finalized, errorText(db_));
  }
}

void CppSQLite3Query::finalize() {
  if (statement_ && ownsStatement_) {
    const int rc = sqlite3_finalize(statement_);
    statement_ = nullptr;
    if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, errorText(db_));
  }
}

}  // namespace tavrin::storage
