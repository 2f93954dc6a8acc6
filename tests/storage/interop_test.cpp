// The file stays the one the device's client wrote: a file written with the
// original statements (values pasted between quotes) reads the same through
// our operations, and what our operations write reads the same to those
// statements and to the sqlite3 shell.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

#include "storage/ChatLogStore.h"
#include "storage/SavedAccountStore.h"
#include "storage/ServerAddressStore.h"
#include "storage/Text16.h"
#include "temp_dir.h"

using namespace tavrin::storage;

namespace {

using Row = std::vector<std::u16string>;

// The device client's own way: format the statement with each %s replaced by
// a value as it is, run it through SQLite's UTF-16 calls, collect the rows.
class PastingClient {
 public:
  explicit PastingClient(const std::filesystem::path& path) {
    EXPECT_EQ(sqlite3_open16(path.u16string().c_str(), &db_), SQLITE_OK);
  }
  ~PastingClient() { sqlite3_close(db_); }

  std::vector<Row> run(std::u16string format, std::vector<std::u16string> values = {}) {
    std::u16string sql;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
      if (format.compare(i, 2, u"%s") == 0 && next < values.size()) {
        sql += values[next++];
        ++i;
      } else {
        sql += format[i];
      }
    }
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare16(db_, sql.c_str(), -1, &st, nullptr), SQLITE_OK)
        << utf8FromUtf16(sql);
    std::vector<Row> rows;
    while (st && sqlite3_step(st) == SQLITE_ROW) {
      Row row;
      for (int c = 0; c < sqlite3_column_count(st); ++c)
        row.push_back(static_cast<const char16_t*>(sqlite3_column_text16(st, c)));
      rows.push_back(row);
    }
    EXPECT_EQ(sqlite3_finalize(st), SQLITE_OK) << utf8FromUtf16(sql);
    return rows;
  }

 private:
  sqlite3* db_ = nullptr;
};

class StorageInteropTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path path = dir.file("TavrinLog.db");
};

}  // namespace

TEST_F(StorageInteropTest, AFileWrittenByTheOriginalStatementsReadsTheSame) {
  {
    PastingClient device(path);
    device.run(u"create table TavrinPsd (AccountID char(32), AccountPsd char(32));");
    device.run(u"insert into TavrinPsd values ('%s','%s');", {u"12345678", u"pw8"});
    device.run(u"insert into TavrinPsd values ('%s','%s');", {u"123456789", u"pw9"});
    device.run(u"update TavrinPsd set AccountPsd = '%s' where AccountID = '%s';",
               {u"new9", u"123456789"});
    device.run(u"create table TavrinServeAddr (ServeName char(32), ServeAddr char(64));");
    device.run(u"insert into TavrinServeAddr values ('%s','%s');", {u"深圳", u"127.0.0.2:8080"});
    device.run(u"insert into TavrinServeAddr values ('%s','%s');", {u"深圳", u"127.0.0.1:8080"});
    device.run(u"create table %s (FriendCode char(64), FriendLog char(512), Time char(32));",
               {u"tab123456789"});
    device.run(u"insert into %s values ('%s','%s','%s');",
               {u"tab123456789", u"Log5", u"机主：你好", u"08:00:00"});
    device.run(u"insert into %s values ('%s','%s','%s');",
               {u"tab123456789", u"Log6", u"Ann：hi", u"08:00:01"});
    device.run(u"insert into %s values ('%s','%s','%s');",
               {u"tab123456789", u"Log5", u"Bob：再见", u"08:00:02"});
  }
  auto rows = SavedAccountStore(path).load();
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ(SavedAccountStore::prefill(*rows), (SavedAccount{u"123456789", u"new9"}));
  EXPECT_EQ(ServerAddressStore(path).loadLast(), u"127.0.0.1:8080");
  ChatLogStore log(path, 123456789);
  EXPECT_EQ(log.history(5),
            (std::vector<ChatLogLine>{{u"机主：你好", u"08:00:00"}, {u"Bob：再见", u"08:00:02"}}));
  log.deleteLine(5, u"Bob：再见");
  EXPECT_EQ(log.history(5).size(), 1u);
}

TEST_F(StorageInteropTest, WhatWeWriteReadsTheSameToTheOriginalStatements) {
  SavedAccountStore(path).save(u"123456789", u"pw");
  ServerAddressStore(path).append(u"127.0.0.1:8080");
  ChatLogStore log(path, 123456789);
  log.append(5, u"机主：你好", u"08:00:00");
  log.append(5, u"Bob：再见", u"08:00:02");

  PastingClient device(path);
  EXPECT_EQ(device.run(u"pragma encoding;"), (std::vector<Row>{{u"UTF-16le"}}));
  // The tables are the ones the original statements make, word for word;
  // the additions are the contact index and the lines' dates beside the log
  // (a table of its own with two triggers), which those statements never see.
  const std::u16string schema =
      u"select type, name, tbl_name, sql from sqlite_master where type = 'table' and name not "
      u"like '%_date' order by rowid;";
  EXPECT_EQ(device.run(u"select name, tbl_name from sqlite_master where type <> 'table';"),
            (std::vector<Row>{{u"tab123456789_friend", u"tab123456789"},
                              {u"tab123456789_date_in", u"tab123456789"},
                              {u"tab123456789_date_out", u"tab123456789"}}));
  EXPECT_EQ(device.run(u"select name from sqlite_master where type = 'table' and name like "
                       u"'%_date';"),
            (std::vector<Row>{{u"tab123456789_date"}}));
  {
    PastingClient original(dir.file("original.db"));
    original.run(u"create table TavrinPsd (AccountID char(32), AccountPsd char(32));");
    original.run(u"create table TavrinServeAddr (ServeName char(32), ServeAddr char(64));");
    original.run(u"create table %s (FriendCode char(64), FriendLog char(512), Time char(32));",
                 {u"tab123456789"});
    EXPECT_EQ(device.run(schema), original.run(schema));
    EXPECT_EQ(device.run(schema).size(), 3u);
  }
  // The original statements still log and delete lines in our file; what
  // they log is dated, what they delete takes its date along.
  device.run(u"insert into %s values ('%s','%s','%s');",
             {u"tab123456789", u"Log7", u"机主：from the device", u"09:00:00"});
  EXPECT_EQ(log.rows(7).size(), 1u);
  EXPECT_FALSE(log.rows(7).at(0).localTime.empty());
  device.run(u"delete from %s where FriendCode = '%s';", {u"tab123456789", u"Log7"});
  EXPECT_EQ(device.run(u"select count(*) from tab123456789_date;"), (std::vector<Row>{{u"2"}}));
  EXPECT_EQ(device.run(u"select * from TavrinPsd where AccountID = '%s';", {u"123456789"}),
            (std::vector<Row>{{u"123456789", u"pw"}}));
  EXPECT_EQ(device.run(u"select * from TavrinServeAddr;"),
            (std::vector<Row>{{u"深圳", u"127.0.0.1:8080"}}));
  EXPECT_EQ(device.run(u"select * from %s where FriendCode = '%s';", {u"tab123456789", u"Log5"}),
            (std::vector<Row>{{u"Log5", u"机主：你好", u"08:00:00"},
                              {u"Log5", u"Bob：再见", u"08:00:02"}}));
  // Every value is text, as a quoted literal would have made it.
  EXPECT_EQ(device.run(u"select count(*) from %s where typeof(FriendCode) || typeof(FriendLog) || "
                       u"typeof(Time) <> 'texttexttext';",
                       {u"tab123456789"}),
            (std::vector<Row>{{u"0"}}));
}

TEST_F(StorageInteropTest, TheSqliteShellReadsOurFile) {
  if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3 shell";
  ChatLogStore(path, 7).append(5, u"it's 你好", u"08:00:00");
  const std::string command = "sqlite3 -batch '" + path.string() + "' \"select * from tab7;\"";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[256] = {};
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
  EXPECT_EQ(::pclose(pipe), 0);
  EXPECT_EQ(std::string(buffer, n), "Log5|it's 你好|08:00:00\n");
}
