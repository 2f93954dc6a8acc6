// The operator's side of the server without a running process: the CSV
// reader and the import, account numbers, what a removal takes away, which
// data folders the server takes, and what the request log may show.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "admin/account_admin.h"
#include "admin/account_csv.h"
#include "data_folder.h"
#include "demo_seed.h"
#include "http_connection.h"
#include "temp_dir.h"

using namespace tavrin::server;

namespace {

long count(Store& s, const char* sql, long number) {
  Stmt& q = s.db().sql(sql);
  q.bind(1, number);
  q.step();
  const long n = long(q.integer(0));
  q.reset();
  return n;
}

unsigned modeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0u;
}

}  // namespace

TEST(AccountCsv, ReadsQuotesLineBreaksAndLineEndings) {
  const auto records = readCsv(
      "\xEF\xBB\xBF"
      "a,b\r\n"
      "\n"
      "\"x, y\",\"say \"\"hi\"\"\",\"two\nlines\"\n"
      ",,\n"
      "last");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(records[0].line, 1);
  EXPECT_EQ(records[1].line, 3);  // the blank line 2 is no record
  EXPECT_EQ(records[1].fields, (std::vector<std::string>{"x, y", "say \"hi\"", "two\nlines"}));
  EXPECT_EQ(records[2].line, 5);  // after the line break inside the quotes
  EXPECT_EQ(records[2].fields, (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(records[3].fields, (std::vector<std::string>{"last"}));

  const auto open = readCsv("ok,1\n\"never closed,2\n3\n");
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[1].line, 2);
  EXPECT_EQ(open[1].error, "a quoted field is not closed");
}

TEST(AccountCsv, ImportCreatesTheGoodRecordsInOneGoAndSaysWhyOthersWereRefused) {
  Store store(":memory:", "tavrin.local");
  seedDemo(store);
  const ImportReport r = importAccounts(store,
                                        "mobile,nickname,password\n"
                                        "13700000001,Ann,pw-a\n"              // 2: next free
                                        "100000050,13700000002,Ben,pw-b\n"    // 3: its own number
                                        "13700000003,Cy\n"                    // 4
                                        "100000050,13700000004,Dup,pw\n"      // 5
                                        "13700000001,Again,pw\n"              // 6
                                        "13700000005,\"Bad\x01\",pw\n"        // 7
                                        "13700000006,Eve,\n"                  // 8
                                        "1000000x1,13700000007,Num,pw\n"      // 9
                                        "13700000008,Fay,\"pw\n");            // 10
  ASSERT_EQ(r.created.size(), 2u);
  // The record that names its number goes first, so the free number after it is taken next.
  EXPECT_EQ(r.created[0].line, 2);
  EXPECT_EQ(r.created[0].number, 100000051);
  EXPECT_EQ(r.created[1].line, 3);
  EXPECT_EQ(r.created[1].number, 100000050);
  const std::vector<std::pair<int, std::string>> refused = {
      {4, "wants 3 or 4 fields (number, mobile, nickname, password), found 2"},
      {5, "the number 100000050 is taken"},
      {6, "the mobile number 13700000001 belongs to another account"},
      {7, "the nickname holds a control character"},
      {8, "the password is empty"},
      {9, "the number must have 9 digits"},
      {10, "a quoted field is not closed"}};
  ASSERT_EQ(r.refused.size(), refused.size());
  for (size_t i = 0; i < refused.size(); ++i) {
    EXPECT_EQ(r.refused[i].line, refused[i].first);
    EXPECT_EQ(r.refused[i].reason, refused[i].second);
  }
  auto ann = store.account(100000051);
  ASSERT_TRUE(ann);
  EXPECT_TRUE(store.checkPassword(*ann, "pw-a"));
  EXPECT_EQ(count(store, "SELECT count(*) FROM buddy_lists WHERE owner=?", 100000051), 2);
}

TEST(AccountAdmin, NumbersAreTheNextFreeOrAGapWhenTheTopIsTaken) {
  Store store(":memory:", "tavrin.local");
  AccountAdmin admin(store);
  EXPECT_EQ(admin.nextFreeNumber(), 100000001);
  NewAccount top{999999999, "13700000001", "Top", "pw"};
  ASSERT_EQ(admin.add(top), "");
  NewAccount low{100000007, "13700000002", "Low", "pw"};
  ASSERT_EQ(admin.add(low), "");
  EXPECT_EQ(admin.nextFreeNumber(), 100000008);
  NewAccount bad{0, "23700000003", "Bad", "pw"};
  EXPECT_EQ(admin.add(bad), "the mobile number must be 11 digits starting with 1");
  NewAccount longName{0, "13700000004", std::string(65, 'n'), "pw"};
  EXPECT_EQ(admin.add(longName), "the nickname is longer than 64 bytes");
  NewAccount broken{0, "13700000005", "\xE4\xBD", "pw"};
  EXPECT_EQ(admin.add(broken), "the nickname is not UTF-8 text");
}

TEST(AccountAdmin, RemovalTakesTheAccountOffEveryListAndKeepsWhatOthersOwn) {
  Store store(":memory:", "tavrin.local");
  seedDemo(store);
  Db& db = store.db();
  db.sql("INSERT INTO offline_messages(recipient, sender_uri, body, date) VALUES(?,?,?,?)")
      .bind(1, 100000001L)
      .bind(2, std::string_view("sip:100000002@tavrin.local"))
      .bind(3, std::string_view("for Alice"))
      .bind(4, std::string_view("now"))
      .run();
  db.sql("INSERT INTO offline_messages(recipient, sender_uri, body, date) VALUES(?,?,?,?)")
      .bind(1, 100000002L)
      .bind(2, std::string_view("sip:100000001@tavrin.local;p=1"))
      .bind(3, std::string_view("from Alice"))
      .bind(4, std::string_view("now"))
      .run();
  db.sql("INSERT INTO blacklist(owner, uri) VALUES(?,?)")
      .bind(1, 100000003L)
      .bind(2, std::string_view("sip:100000001@tavrin.local;p=1"))
      .run();
  ASSERT_TRUE(store.removeAccount(100000001));
  EXPECT_FALSE(store.account(100000001));
  const char* gone[] = {
      "SELECT count(*) FROM buddies WHERE owner=?1 OR buddy=?1",
      "SELECT count(*) FROM buddy_lists WHERE owner=?",
      "SELECT count(*) FROM mobile_buddies WHERE owner=?",
      "SELECT count(*) FROM blacklist WHERE owner=?1 OR uri LIKE 'sip:' || ?1 || '@%'",
      "SELECT count(*) FROM group_members WHERE member=?",
      "SELECT count(*) FROM offline_messages WHERE recipient=?",
  };
  for (const char* sql : gone) EXPECT_EQ(count(store, sql, 100000001), 0) << sql;
  // Bob keeps the line Alice sent him, and his own contacts.
  EXPECT_EQ(count(store, "SELECT count(*) FROM offline_messages WHERE recipient=?", 100000002), 1);
  EXPECT_GT(count(store, "SELECT count(*) FROM buddies WHERE owner=?", 100000002), 0);
  EXPECT_FALSE(store.removeAccount(100000001));
}

TEST(DataFolder, TakesOnlyAFolderItMadeFoundEmptyOrUsedBefore) {
  TempDir scratch("tavrin-folder-test");
  ASSERT_FALSE(scratch.path.empty());
  const std::string root = scratch.path.string();
  struct Case {
    const char* name;
    void (*setUp)(const std::string& dir);
    bool taken;
    unsigned modeAfter;  // 0: not checked
  };
  const Case cases[] = {
      {"missing", [](const std::string&) {}, true, 0700},
      {"empty and open to others",
       [](const std::string& d) {
         std::filesystem::create_directory(d);
         ::chmod(d.c_str(), 0755);
       },
       true, 0755},  // not made by the server: its mode is left alone
      {"with a database from before",
       [](const std::string& d) {
         std::filesystem::create_directory(d);
         ::chmod(d.c_str(), 0750);
         std::ofstream(d + "/tavrin-server.db") << "";
       },
       true, 0750},
      {"holding someone else's files",
       [](const std::string& d) {
         std::filesystem::create_directory(d);
         ::chmod(d.c_str(), 0755);
         std::ofstream(d + "/passwd") << "root:x:0:0\n";
       },
       false, 0755},
      {"a file", [](const std::string& d) { std::ofstream(d) << "x"; }, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = root + "/" + c.name;
    c.setUp(dir);
    const std::string checked = checkDataFolder(dir, false);
    const std::string err = claimDataFolder(dir);
    EXPECT_EQ(err.empty(), c.taken) << err;
    EXPECT_EQ(checked.empty(), c.taken) << checked;
    EXPECT_EQ(std::filesystem::exists(dir + "/" + kDataMarker), c.taken);
    if (c.modeAfter) {
      EXPECT_EQ(modeOf(dir), c.modeAfter);
    }
    if (!c.taken) {
      EXPECT_FALSE(std::filesystem::exists(dir + "/tavrin-server.db"));
    }
  }
  // A folder the server made is its own to narrow again; a taken one stays as it is.
  ::chmod((root + "/missing").c_str(), 0755);
  ::chmod((root + "/empty and open to others").c_str(), 0775);
  for (const char* name : {"missing", "empty and open to others"})
    EXPECT_EQ(claimDataFolder(root + "/" + name), "");
  EXPECT_EQ(modeOf(root + "/missing"), 0700u);
  EXPECT_EQ(modeOf(root + "/empty and open to others"), 0775u);
}

TEST(RequestLog, NeverShowsASignInPassword) {
  const struct {
    const char* target;
    const char* logged;
  } cases[] = {
      {"/ssiportal/SSIAppSignIn.aspx?mobileno=13900000001&pwd=alice123",
       "/ssiportal/SSIAppSignIn.aspx?mobileno=13900000001&pwd=***"},
      {"/x?PWD=a%26b&password=c&n=1", "/x?PWD=***&password=***&n=1"},
      {"/x?pwd", "/x?pwd"},
      {"/nav/getsystemconfig.aspx", "/nav/getsystemconfig.aspx"},
  };
  for (const auto& c : cases) EXPECT_EQ(loggableTarget(c.target), c.logged) << c.target;
}
