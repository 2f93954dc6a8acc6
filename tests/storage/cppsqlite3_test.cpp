// The database layer itself: error texts and codes, the cursor, the open check,
// and what a failure leaves behind.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <string>

#include "storage/CppSQLite3Database.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/Text16.h"
#include "temp_dir.h"

using namespace tavrin::storage;

namespace {

std::string u8(const char16_t* text) {
  return utf8FromUtf16(text);
}

// Runs `op`, which must throw; returns the exception.
template <class Op>
CppSQLite3Exception thrownBy(Op op) {
  try {
    op();
  } catch (const CppSQLite3Exception& e) {
    return e;
  }
  ADD_FAILURE() << "no CppSQLite3Exception";
  return CppSQLite3Exception(-1, nullptr);
}

class StorageLayerTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path path = dir.file("TavrinLog.db");
  CppSQLite3Database db;
  void SetUp() override { db.open(path); }
};

}  // namespace

TEST(CppSQLite3ExceptionTest, NamesEveryCodeAndFormatsItsMessage) {
  const struct {
    int code;
    const char* name;
  } cases[] = {{0, "SQLITE_OK"},        {1, "SQLITE_ERROR"},   {5, "SQLITE_BUSY"},
               {14, "SQLITE_CANTOPEN"}, {17, "SQLITE_SCHEMA"}, {25, "SQLITE_RANGE"},
               {100, "SQLITE_ROW"},     {101, "SQLITE_DONE"},  {1000, "CPPSQLITE_ERROR"},
               {26, "UNKNOWN_ERROR"},   {-1, "UNKNOWN_ERROR"}, {999, "UNKNOWN_ERROR"}};
  for (const auto& c : cases) {
    EXPECT_EQ(u8(CppSQLite3Exception::errorCodeName(c.code)), c.name) << c.code;
    CppSQLite3Exception e(c.code, u"some text");
    EXPECT_EQ(e.errorCode(), c.code);
    EXPECT_EQ(u8(e.errorMessage()),
              std::string(c.name) + "[" + std::to_string(c.code) + "]: some text");
  }
  EXPECT_EQ(u8(CppSQLite3Exception(1000, nullptr).errorMessage()), "CPPSQLITE_ERROR[1000]: ");
  // Every code from 0 to 25 has a name of its own.
  for (int code = 0; code <= 25; ++code)
    EXPECT_NE(u8(CppSQLite3Exception::errorCodeName(code)), "UNKNOWN_ERROR") << code;
}

TEST(CppSQLite3ExceptionTest, ReleasesAMessageAllocatedBySqlite) {
  // Under AddressSanitizer a missing release shows as a leak.
  auto* text = static_cast<char16_t*>(sqlite3_malloc(8 * sizeof(char16_t)));
  std::u16string(u"locked").copy(text, 6);
  text[6] = 0;
  CppSQLite3Exception e(5, text, true);
  EXPECT_STREQ(e.what(), "SQLITE_BUSY[5]: locked");
}

TEST(CppSQLite3DatabaseTest, OpenInAMissingFolderThrowsCantOpen) {
  TempDir dir;
  CppSQLite3Database db;
  auto e = thrownBy([&] { db.open(dir.file("no-such-folder") / "TavrinLog.db"); });
  EXPECT_EQ(e.errorCode(), 14);
  EXPECT_EQ(u8(e.errorMessage()), "SQLITE_CANTOPEN[14]: unable to open database file");
  EXPECT_FALSE(db.isOpen());
  EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-folder")));
}

TEST(CppSQLite3DatabaseTest, NewFileIsUtf16AndReadableByItsOwnerOnly) {
  TempDir dir;
  const mode_t old = ::umask(0);  // even a permissive umask must not widen it
  {
    CppSQLite3Database db;
    db.open(dir.path.u16string() + u"/聊天记录.db");  // a UTF-16 path names the same file on disk
    db.execute(u"create table t (a char(8));");
    CppSQLite3Query q = db.query(u"pragma encoding;");
    EXPECT_EQ(u8(q.fieldValue(0)), "UTF-16le");
  }
  ::umask(old);
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("聊天记录.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(CppSQLite3DatabaseTest, EveryOperationNeedsAnOpenDatabase) {
  TempDir dir;
  CppSQLite3Database never;
  CppSQLite3Database closed;
  closed.open(dir.file("a.db"));
  closed.close();
  closed.close();  // closing twice is harmless
  for (CppSQLite3Database* db : {&never, &closed}) {
    for (auto e :
         {thrownBy([&] { db->execute(u"create table t (a);"); }),
          thrownBy([&] { db->query(u"select 1;"); }), thrownBy([&] { db->scalar(u"select 1;"); }),
          thrownBy([&] { db->tableExists(u"t"); })}) {
      EXPECT_EQ(e.errorCode(), CPPSQLITE_ERROR);
      EXPECT_EQ(u8(e.errorMessage()), "CPPSQLITE_ERROR[1000]: Database not open");
    }
  }
}

TEST_F(StorageLayerTest, TableExistsOfAMissingTableIsFalseAndCreatesNothing) {
  EXPECT_FALSE(db.tableExists(u"tab12345"));
  EXPECT_EQ(db.scalar(u"select count(*) from sqlite_master;"), 0);
  db.execute(u"create table tab12345 (FriendCode char(64), FriendLog char(512), Time char(32));");
  EXPECT_TRUE(db.tableExists(u"tab12345"));
  EXPECT_FALSE(db.tableExists(u"tab1234"));
  // A name is a name, never part of the question.
  EXPECT_FALSE(db.tableExists(u"x' or '1'='1"));
  EXPECT_FALSE(db.tableExists(std::u16string(300, u'a')));
}

TEST_F(StorageLayerTest, QueryWithoutRowsIsAtEofAtOnce) {
  db.execute(u"create table TavrinPsd (AccountID char(32), AccountPsd char(32));");
  CppSQLite3Query q = db.query(u"select * from TavrinPsd where AccountID = ?;", {u"123456789"});
  EXPECT_TRUE(q.eof());
  EXPECT_EQ(q.fieldCount(), 2);
}

TEST_F(StorageLayerTest, CursorWalksRowsInInsertionOrderAndStaysAtTheEnd) {
  db.execute(u"create table t (a char(8), b char(8));");
  for (const char16_t* v : {u"1", u"2", u"3"}) db.execute(u"insert into t values (?, ?);", {v, v});
  db.execute(u"insert into t values (null, '');");
  CppSQLite3Query q = db.query(u"select * from t;");
  std::u16string seen;
  for (; !q.eof(); q.nextRow()) seen += std::u16string(q.fieldValue(0)) + u"|";
  EXPECT_EQ(seen, u"1|2|3||");  // NULL reads as an empty text
  q.nextRow();                  // past the end it stays there rather than starting over
  EXPECT_TRUE(q.eof());
}

TEST_F(StorageLayerTest, ScalarReadsColumnZeroAsADecimalLong) {
  const struct {
    const char16_t* text;
    int value;
  } cases[] = {{u"42", 42},
               {u"  -7abc", -7},
               {u"abc", 0},
               {u"", 0},
               {u"+15", 15},
               {u"99999999999", 2147483647},
               {u"-99999999999", -2147483647 - 1}};
  for (const auto& c : cases) EXPECT_EQ(db.scalar(u"select ?;", {c.text}), c.value) << u8(c.text);
  EXPECT_EQ(db.scalar(u"select count(*) from sqlite_master;"), 0);
}

TEST_F(StorageLayerTest, ScalarWithoutARowThrowsInvalidScalarQuery) {
  db.execute(u"create table t (a char(8));");
  for (const char16_t* sql : {u"select a from t;", u"create table u (a char(8));"}) {
    auto e = thrownBy([&] { db.scalar(sql); });
    EXPECT_EQ(e.errorCode(), 1000);
    EXPECT_EQ(u8(e.errorMessage()), "CPPSQLITE_ERROR[1000]: Invalid scalar query");
  }
}

TEST_F(StorageLayerTest, FieldIndexOutsideTheColumnsThrows) {
  db.execute(u"create table t (FriendCode char(64), FriendLog char(512), Time char(32));");
  db.execute(u"insert into t values ('Log1', 'x', '10:00:00');");
  CppSQLite3Query q = db.query(u"select * from t;");
  EXPECT_EQ(u8(q.fieldValue(2)), "10:00:00");
  for (int index : {3, -1}) {
    auto e = thrownBy([&] { q.fieldValue(index); });
    EXPECT_EQ(e.errorCode(), 1000);
    EXPECT_EQ(u8(e.errorMessage()), "CPPSQLITE_ERROR[1000]: Invalid field index requested");
  }
}

TEST_F(StorageLayerTest, AFinalizedCursorHasNoVirtualMachine) {
  CppSQLite3Query q = db.query(u"select 1;");
  q.finalize();
  q.finalize();  // a second finalize does nothing
  CppSQLite3Query empty;
  for (CppSQLite3Query* c : {&q, &empty}) {
    for (auto e : {thrownBy([&] { c->eof(); }), thrownBy([&] { c->fieldCount(); }),
                   thrownBy([&] { c->fieldValue(0); }), thrownBy([&] { c->nextRow(); })}) {
      EXPECT_EQ(e.errorCode(), 1000);
      EXPECT_EQ(u8(e.errorMessage()), "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
    }
  }
}

TEST_F(StorageLayerTest, FailedStatementsThrowAndLeaveNothingOpen) {
  // Compile error, run-time error, wrong number of values: each throws, and
  // none leaves a statement behind that would keep close() from closing.
  db.execute(u"create table t (a check (a > 0));");
  auto syntax = thrownBy([&] { db.execute(u"insert into t valuez (1);"); });
  EXPECT_EQ(syntax.errorCode(), 1);
  EXPECT_EQ(u8(syntax.errorMessage()).rfind("SQLITE_ERROR[1]: near \"valuez\"", 0), 0u)
      << syntax.what();
  auto missing = thrownBy([&] { db.query(u"select * from tab99;"); });
  EXPECT_EQ(u8(missing.errorMessage()), "SQLITE_ERROR[1]: no such table: tab99");
  auto check = thrownBy([&] { db.execute(u"insert into t values (0);"); });
  EXPECT_EQ(check.errorCode(), 1);
  auto range = thrownBy([&] { db.execute(u"insert into t values (?);", {u"1", u"2"}); });
  EXPECT_EQ(range.errorCode(), SQLITE_RANGE);
  EXPECT_NO_THROW(db.close());
}

TEST_F(StorageLayerTest, CloseWithALiveCursorThrowsAndKeepsTheConnection) {
  CppSQLite3Query q = db.query(u"select 1;");
  auto e = thrownBy([&] { db.close(); });
  EXPECT_EQ(e.errorCode(), SQLITE_BUSY);
  EXPECT_TRUE(db.isOpen());
  q.finalize();
  db.close();
  EXPECT_FALSE(db.isOpen());
}

TEST_F(StorageLayerTest, ALockedFileIsWaitedForThenReportedBusy) {
  EXPECT_EQ(db.busyTimeout(), 60000);
  db.execute(u"create table t (a char(8));");
  CppSQLite3Database other;
  other.open(path);
  other.setBusyTimeout(50);
  ASSERT_TRUE(other.tableExists(u"t"));  // schema read while the file is free
  db.execute(u"begin exclusive;");
  // A fresh connection cannot even read the schema: prepare throws.
  CppSQLite3Database late;
  late.open(path);
  late.setBusyTimeout(50);
  EXPECT_EQ(thrownBy([&] { late.execute(u"insert into t values ('x');"); }).errorCode(),
            SQLITE_BUSY);
  // Past prepare, execute hands back the finalize result; query throws it.
  EXPECT_EQ(other.execute(u"insert into t values ('x');"), SQLITE_BUSY);
  auto e = thrownBy([&] { other.query(u"select * from t;"); });
  EXPECT_EQ(u8(e.errorMessage()), "SQLITE_BUSY[5]: database is locked");
  db.execute(u"commit;");
  EXPECT_EQ(other.execute(u"insert into t values ('x');"), 0);
}

TEST_F(StorageLayerTest, ReopeningClosesThePreviousHandle) {
  db.execute(u"create table t (a char(8));");
  db.open(path);  // under AddressSanitizer, a lost handle shows as a leak
  EXPECT_TRUE(db.tableExists(u"t"));
}
