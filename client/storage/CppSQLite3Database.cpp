#include "storage/CppSQLite3Database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <thread>

#include "storage/CppSQLite3Exception.h"
#include "storage/Text16.h"

namespace tavrin::storage {

namespace {

// What the device's wcstol does with a column text: leading white space, an
// optional sign, decimal digits up to the first other character; out of the
// 32-bit range it gives the nearest limit.
int toLong(const char16_t* text) {
  const char16_t* p = text;
  while (*p == u' ' || (*p >= u'\t' && *p <= u'\r')) ++p;
  bool negative = false;
  if (*p == u'+' || *p == u'-') negative = (*p++ == u'-');
  std::int64_t value = 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  for (; *p >= u'0' && *p <= u'9'; ++p) {
    value = value * 10 + (*p - u'0');
    if (value > kMax + 1) value = kMax + 1;  // saturate; only the clamp below matters
  }
  if (negative) value = -value;
  if (value > kMax) return static_cast<int>(kMax);
  if (value < -kMax - 1) return static_cast<int>(-kMax - 1);
  return static_cast<int>(value);
}

// SQLite would create the file with the process's default mode; making it
// first, empty (an empty file is a valid new database), keeps the history and
// the saved passwords to their owner. Its journals take the same mode.
void createPrivateFile(const char16_t* path) {
  const std::string name = utf8FromUtf16(path);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
  // Any failure (it exists, the folder is missing) is left to SQLite's open to report.
}

// The SQL face of a TextFunction (the function rides as the user data).
void callTextFunction(sqlite3_context* context, int, sqlite3_value** args) {
  const auto function = reinterpret_cast<CppSQLite3Database::TextFunction>(sqlite3_user_data(context));
  const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(args[0]));
  const auto length = static_cast<size_t>(sqlite3_value_bytes16(args[0])) / sizeof(char16_t);
  try {
    const std::u16string result = function(text ? std::u16string_view(text, length) : u"");
    sqlite3_result_text16(context, result.data(), static_cast<int>(result.size() * sizeof(char16_t)),
                          SQLITE_TRANSIENT);
  } catch (...) {
    // Only allocation can fail here; the statement reports it.
    sqlite3_result_error_nomem(context);
  }
}

}  // namespace

CppSQLite3Database::~CppSQLite3Database() {
  try {
    close();
  } catch (...) {
    // A destructor must not throw; an explicit close() reports this.
  }
}

const char16_t* CppSQLite3Database::errorText() const {
  return static_cast<const char16_t*>(sqlite3_errmsg16(db_));
}

const char16_t* CppSQLite3Database::lastError() const {
  return db_ ? errorText() : u"";
}

void CppSQLite3Database::open(const char16_t* path) {
  if (db_) close();
  if (!path) path = u"";
  const std::u16string_view name(path);
  // "" and ":memory:" are not files, and a "file:" URI is SQLite's to parse.
  if (!name.empty() && name != u":memory:" && !name.starts_with(u"file:")) createPrivateFile(path);
  sqlite3* handle = nullptr;
  const int rc = sqlite3_open16(path, &handle);
  if (rc != SQLITE_OK) {
    // SQLite hands out a handle even on failure; it carries the message and
    // must still be closed.
    CppSQLite3Exception error(
        rc, handle ? static_cast<const char16_t*>(sqlite3_errmsg16(handle)) : nullptr);
    sqlite3_close(handle);
    throw error;
  }
  db_ = handle;
  setBusyTimeout(busyTimeoutMs_);
}

void CppSQLite3Database::close() {
  if (!db_) return;
  doneWaiting();
  const int rc = sqlite3_close(db_);
  if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, errorText());
  db_ = nullptr;
}

namespace {
std::atomic<int> g_lockWaiters{0};
}  // namespace

int CppSQLite3Database::lockWaiters() {
  return g_lockWaiters.load();
}

// SQLite's own handler sleeps ever longer, up to 100 ms a try, and so keeps
// missing the moment between two transactions of a busy writer; this one
// looks again every half millisecond until the time-out.
int CppSQLite3Database::onBusy(void* self, int count) {
  auto* db = static_cast<CppSQLite3Database*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (count == 0) {
    db->busySince_ = now;
    if (!db->waiting_) {
      db->waiting_ = true;
      ++g_lockWaiters;
    }
  }
  if (now - db->busySince_ >= std::chrono::milliseconds(db->busyTimeoutMs_)) return 0;
  std::this_thread::sleep_for(std::chrono::microseconds(500));
  return 1;
}

void CppSQLite3Database::doneWaiting() {
  if (!waiting_) return;
  waiting_ = false;
  --g_lockWaiters;
}

void CppSQLite3Database::setBusyTimeout(int milliseconds) {
  busyTimeoutMs_ = milliseconds;
  if (db_) sqlite3_busy_handler(db_, busyTimeoutMs_ > 0 ? &onBusy : nullptr, this);
}

void CppSQLite3Database::checkDB() const {
  if (!db_) throw CppSQLite3Exception(CPPSQLITE_ERROR, u"Database not open");
}

sqlite3_stmt* CppSQLite3Database::prepare(const char16_t* sql) {
  checkDB();
  sqlite3_stmt* statement = nullptr;
  // The first-generation prepare on purpose: a schema change then shows at
  // finalize as SQLITE_SCHEMA, which execute and query answer by preparing again.
  const int rc = sqlite3_prepare16(db_, sql, -1, &statement, nullptr);
  if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, errorText());
  return statement;
}

sqlite3_stmt* CppSQLite3Database::prepareBound(const char16_t* sql, Params params) {
  sqlite3_stmt* statement = prepare(sql);
  int index = 1;
  std::u16string marked;
  for (std::u16string_view value : params) {
    // SQLite takes a leading U+FEFF or U+FFFE of a UTF-16 value for a byte
    // order mark and drops it (or reads the rest byte-swapped). Leading with a
    // mark of our own, which it drops instead, keeps the text as it was.
    if (!value.empty() && (value.front() == 0xFEFF || value.front() == 0xFFFE)) {
      marked.assign(1, char16_t{0xFEFF});
      marked += value;
      value = marked;
    }
    const int rc =
        sqlite3_bind_text16(statement, index++, value.data(),
                            static_cast<int>(value.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(statement);
      throw CppSQLite3Exception(rc, errorText());
    }
  }
  return statement;
}

int CppSQLite3Database::execute(const char16_t* sql, Params params) {
  checkDB();
  int rc;
  do {
    sqlite3_stmt* statement = prepareBound(sql, params);
    rc = sqlite3_step(statement);
    doneWaiting();
    if (rc == SQLITE_ERROR) {
      // Finalize first: a statement left behind would keep close() from
      // closing. A schema another connection changed since the prepare
      // shows here and is answered by preparing again.
      if (sqlite3_finalize(statement) == SQLITE_SCHEMA) {
        rc = SQLITE_SCHEMA;
        continue;
      }
      throw CppSQLite3Exception(SQLITE_ERROR, errorText());
    }
    rc = sqlite3_finalize(statement);
  } while (rc == SQLITE_SCHEMA);
  return rc;
}

CppSQLite3Query CppSQLite3Database::query(const char16_t* sql, Params params) {
  checkDB();
  for (;;) {
    sqlite3_stmt* statement = prepareBound(sql, params);
    const int rc = sqlite3_step(statement);
    doneWaiting();
    if (rc == SQLITE_DONE) return CppSQLite3Query(db_, statement, true);
    if (rc == SQLITE_ROW) return CppSQLite3Query(db_, statement, false);
    const int finalized = sqlite3_finalize(statement);
    if (finalized != SQLITE_SCHEMA) throw CppSQLite3Exception(finalized, errorText());
  }
}

int CppSQLite3Database::scalar(const char16_t* sql, Params params) {
  CppSQLite3Query cursor = query(sql, params);
  if (cursor.eof() || cursor.fieldCount() < 1)
    throw CppSQLite3Exception(CPPSQLITE_ERROR, u"Invalid scalar query");
  const int value = toLong(cursor.fieldValue(0));
  cursor.finalize();
  return value;
}

void CppSQLite3Database::defineTextFunction(const char16_t* name, TextFunction function) {
  checkDB();
  const int rc = sqlite3_create_function16(db_, name, 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC,
                                           reinterpret_cast<void*>(function), callTextFunction,
                                           nullptr, nullptr);
  if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, errorText());
}

bool CppSQLite3Database::tableExists(std::u16string_view table) {
  // The name is bound rather than pasted, so no name can change the question
  // and none is too long for it.
  return scalar(u"select count(*) from sqlite_master where type='table' and name=?", {table}) > 0;
}

}  // namespace tavrin::storage
