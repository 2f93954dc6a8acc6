#include "sqlite_db.h"

namespace tavrin::server {

Stmt& Stmt::reset() {
  sqlite3_reset(s_);
  sqlite3_clear_bindings(s_);
  return *this;
}

Stmt& Stmt::bind(int index, long long v) {
  sqlite3_bind_int64(s_, index, v);
  return *this;
}

Stmt& Stmt::bind(int index, std::string_view v) {
  sqlite3_bind_text(s_, index, v.data(), int(v.size()), SQLITE_TRANSIENT);
  return *this;
}

Stmt& Stmt::bindNull(int index) {
  sqlite3_bind_null(s_, index);
  return *this;
}

bool Stmt::step() {
  int rc = sqlite3_step(s_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  std::string msg = sqlite3_errmsg(db_);
  sqlite3_reset(s_);
  throw DbError(msg);
}

void Stmt::run() {
  while (step()) {
  }
  sqlite3_reset(s_);
}

std::string Stmt::text(int col) const {
  const unsigned char* t = sqlite3_column_text(s_, col);
  return t ? std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(s_, col)))
           : std::string();
}

Db::Db(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw DbError("cannot open " + path + ": " + msg);
  }
  sqlite3_busy_timeout(db_, 2000);
}

Db::~Db() {
  cache_.clear();
  sqlite3_close(db_);
}

void Db::exec(const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "error";
    sqlite3_free(err);
    throw DbError(msg);
  }
}

Stmt& Db::sql(const char* text) {
  auto it = cache_.find(text);
  if (it == cache_.end()) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, text, -1, &s, nullptr) != SQLITE_OK)
      throw DbError(std::string(sqlite3_errmsg(db_)) + " in: " + text);
    it = cache_.emplace(text, std::make_unique<Stmt>(db_, s)).first;
  }
  return it->second->reset();
}

Transaction::~Transaction() {
  try {
    db_.exec(std::uncaught_exceptions() > exceptions_ ? "ROLLBACK" : "COMMIT");
  } catch (...) {
  }
}

}  // namespace tavrin::server
