// The chat log beyond the plain table: deleting the one row the user chose,
// history search (trigram index and the scan for short queries), the backup
// file in the device's record format, and the lossless JSON Lines export.
// Real SQLite files in a scratch folder.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/text_codec.h"
#include "storage/ChatLogBackup.h"
#include "storage/ChatLogDate.h"
#include "storage/ChatLogExport.h"
#include "storage/ChatLogSearch.h"
#include "storage/ChatLogStore.h"
#include "storage/CppSQLite3Database.h"
#include "temp_dir.h"

using namespace tavrin::storage;

namespace {

class ChatLogTest : public ::testing::Test {
 protected:
  TempDir dir{"tavrin-chat-log"};
  std::filesystem::path path = dir.path / "DB" / "TavrinLog.db";
  ChatLogStore log{path, 100000001};
  ChatLogSearch search{path, 100000001};

  std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  int tables() {
    CppSQLite3Database db;
    db.open(path);
    return db.scalar(u"select count(*) from sqlite_master;");
  }
  static std::vector<std::u16string> lines(const std::vector<ChatLogRow>& rows) {
    std::vector<std::u16string> out;
    for (const auto& r : rows) out.push_back(r.line);
    return out;
  }
};

std::string utf16Bytes(std::u16string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

}  // namespace

TEST_F(ChatLogTest, DeletingASelectedRowLeavesItsIdenticalTwins) {
  log.append(5, u"好的", u"10:00:00");
  log.append(5, u"其他", u"10:00:01");
  log.append(5, u"好的", u"11:00:00");
  log.append(6, u"好的", u"12:00:00");
  auto rows = log.rows(5);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].contactId, 5);
  EXPECT_LT(rows[0].rowid, rows[2].rowid);

  EXPECT_TRUE(log.deleteRow(rows[2].rowid));  // the 11:00 one, as the user picked it
  EXPECT_EQ(log.history(5),
            (std::vector<ChatLogLine>{{u"好的", u"10:00:00"}, {u"其他", u"10:00:01"}}));
  EXPECT_EQ(log.history(6).size(), 1u);
  EXPECT_FALSE(log.deleteRow(rows[2].rowid));                      // already gone
  EXPECT_FALSE(ChatLogStore(path, 999).deleteRow(rows[0].rowid));  // no table of that user
}

TEST_F(ChatLogTest, SearchFindsSubstringsOfEveryLengthNewestFirst) {
  const std::u16string lines16[] = {
      u"机主：明天见",      u"Bob：好的 明天 见 😀",  u"Carol：Tavrin 100% done",
      u"机主：under_score", u"Bob：\"quoted\" it's", u"发送失败：TAVRIN rocks",
      u"Bob：明天下午三点", u"Carol：not_this_one"};
  int contact = 5;
  for (const auto& l : lines16) log.append(contact++ % 2 ? 5 : 6, l, u"10:00:00");
  // Logging builds no search index: the table and its contact index, the
  // dates table and its two triggers.
  EXPECT_EQ(tables(), 5);

  struct Case {
    std::u16string query;
    std::vector<std::u16string> found;  // newest first
  } cases[] = {
      {u"明", {u"Bob：明天下午三点", u"Bob：好的 明天 见 😀", u"机主：明天见"}},  // one character
      {u"明天", {u"Bob：明天下午三点", u"Bob：好的 明天 见 😀", u"机主：明天见"}},
      {u"😀", {u"Bob：好的 明天 见 😀"}},  // one character, two UTF-16 units
      {u"下午三点", {u"Bob：明天下午三点"}},
      {u"tavrin", {u"发送失败：TAVRIN rocks", u"Carol：Tavrin 100% done"}},  // ASCII case folded
      {u"tA", {u"发送失败：TAVRIN rocks", u"Carol：Tavrin 100% done"}},
      {u" 见", {u"Bob：好的 明天 见 😀"}},
      {u"100%", {u"Carol：Tavrin 100% done"}},
      {u"%", {u"Carol：Tavrin 100% done"}},  // LIKE's own characters are literal
      {u"_", {u"Carol：not_this_one", u"机主：under_score"}},
      {u"r_s", {u"机主：under_score"}},
      {u"\"quoted\"", {u"Bob：\"quoted\" it's"}},
      {u"it's", {u"Bob：\"quoted\" it's"}},
      {u"nowhere", {}},
      {u"", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(lines(search.find(c.query)), c.found) << std::string(c.query.begin(), c.query.end());
  EXPECT_GT(tables(), 1);  // the first queries built the indexes

  // Lines logged after the index exists are found; the limit keeps the newest.
  log.append(7, u"Dave：明天再说", u"10:00:01");
  auto hits = search.find(u"明天", 2);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].line, u"Dave：明天再说");
  EXPECT_EQ(hits[0].contactId, 7);
  EXPECT_EQ(lines(search.find(u"明天再说")), std::vector<std::u16string>{u"Dave：明天再说"});
  EXPECT_TRUE(ChatLogSearch(path, 42).find(u"明天").empty());  // another account's table
}

TEST_F(ChatLogTest, DeletedLinesLeaveNoTraceInTheSearchIndex) {
  log.append(5, u"机主：secret rendezvous point", u"10:00:00");
  log.append(5, u"机主：ordinary words", u"10:00:01");
  ASSERT_EQ(search.find(u"rendezvous").size(), 1u);
  ASSERT_EQ(search.find(u"ez").size(), 1u);
  log.deleteRow(log.rows(5)[0].rowid);
  EXPECT_EQ(bytesOf(path).find(utf16Bytes(u"rendezvous")), std::string::npos);
  EXPECT_EQ(bytesOf(path).find("ndezv"), std::string::npos);  // nor its trigrams
  EXPECT_TRUE(search.find(u"rendezvous").empty());
  EXPECT_TRUE(search.find(u"ez").empty());
  EXPECT_EQ(search.find(u"ordinary").size(), 1u);  // rebuilt by the search
  EXPECT_EQ(search.find(u"rd").size(), 1u);

  // Another program deletes a line and logs a new one in its row id: the
  // short index, which no trigger can fill, must not answer from stale rows.
  {
    CppSQLite3Database db;
    db.open(path);
    db.execute(u"delete from tab100000001 where FriendLog like '%ordinary%';");
    db.execute(
        u"insert into tab100000001(FriendCode, FriendLog, Time) "
        u"values ('Log5', '机主：fresh line', '10:00:03');");
  }
  EXPECT_TRUE(search.find(u"rd").empty());
  EXPECT_EQ(search.find(u"sh").size(), 1u);
  log.deleteAll();
  EXPECT_TRUE(search.find(u"ordinary").empty());
  EXPECT_TRUE(log.append(5, u"机主：after all", u"10:00:02"));  // no dangling trigger
}

// A log too large to index at the first search is scanned until buildIndex,
// run apart in slices, has made both indexes whole. Lines logged, changed by
// another program or waiting for their slice meanwhile end up in the index
// exactly once, as the index's own integrity check confirms.
TEST_F(ChatLogTest, LargeLogIsScannedUntilItsIndexIsBuiltApart) {
  for (int i = 0; i < 60; ++i)
    log.append(5 + i % 3, u"机主：line " + std::u16string(1, char16_t(u'a' + i % 26)) + u" 明天",
               u"10:00:00");
  ChatLogSearch large(path, 100000001, /*inlineLines=*/10, /*slice=*/7);
  EXPECT_EQ(large.find(u"line q 明").size(), 2u);  // rows 17 and 43, by a scan
  EXPECT_EQ(large.find(u"明").size(), 60u);
  EXPECT_FALSE(large.indexReady());

  // Made empty with its triggers, then the work stops before the first slice.
  std::atomic<bool> stop{true};
  EXPECT_FALSE(large.buildIndex(&stop));
  EXPECT_FALSE(large.indexReady());
  log.append(9, u"Dave：line q later", u"10:00:01");  // after the fill's last row
  {
    // Another program changes a line the fill has not reached yet.
    CppSQLite3Database db;
    db.open(path);
    db.execute(u"update tab100000001 set FriendLog = '机主：changed zzz' where rowid = 30;");
  }
  EXPECT_EQ(lines(large.find(u"line q")),
            (std::vector<std::u16string>{u"Dave：line q later", u"机主：line q 明天",
                                         u"机主：line q 明天"}));

  EXPECT_TRUE(large.buildIndex());
  EXPECT_TRUE(large.indexReady());
  {
    CppSQLite3Database db;
    db.open(path);
    EXPECT_EQ(db.execute(u"insert into tab100000001_search(tab100000001_search) "
                         u"values('integrity-check');"),
              0);
  }
  EXPECT_EQ(lines(large.find(u"line q")),
            (std::vector<std::u16string>{u"Dave：line q later", u"机主：line q 明天",
                                         u"机主：line q 明天"}));
  EXPECT_EQ(lines(large.find(u"zzz")), std::vector<std::u16string>{u"机主：changed zzz"});
  EXPECT_EQ(large.find(u"明").size(), 59u);
  log.append(5, u"机主：after the build 明", u"10:00:02");
  EXPECT_EQ(lines(large.find(u"the build")),
            std::vector<std::u16string>{u"机主：after the build 明"});
  EXPECT_EQ(large.find(u"明").size(), 60u);
}

// The build runs on a thread of its own while the chat window saves lines:
// every save gets in between two slices (none fails busy), and every line,
// those of the file and those saved meanwhile, ends up in both indexes once.
TEST_F(ChatLogTest, LinesSavedWhileTheIndexIsBuiltAreIndexedOnce) {
  log.append(5, u"机主：first", u"10:00:00");
  {
    CppSQLite3Database db;
    db.open(path);
    db.execute(u"begin;");
    for (int i = 0; i < 3000; ++i)
      db.execute(u"insert into tab100000001 values ('Log5', ?, '10:00:00');",
                 {u"机主：old q" + tavrin::platform::utf8_to_utf16(std::to_string(i)) + u"q"});
    db.execute(u"commit;");
  }
  ChatLogSearch large(path, 100000001, /*inlineLines=*/10, /*slice=*/50);
  std::atomic<bool> built{false}, done{false};
  std::thread builder([&] {
    built = large.buildIndex();
    done = true;
  });
  int saved = 0;
  for (; (!done || saved < 3) && saved < 400; ++saved)
    ASSERT_TRUE(log.append(6, u"Dave：new w" + tavrin::platform::utf8_to_utf16(
                                                    std::to_string(saved)) + u"w 后",
                           u"10:00:01"));
  builder.join();
  ASSERT_TRUE(built);
  ASSERT_TRUE(large.indexReady());
  {
    CppSQLite3Database db;
    db.open(path);
    EXPECT_EQ(db.execute(u"insert into tab100000001_search(tab100000001_search) "
                         u"values('integrity-check');"),
              0);
  }
  for (int i : {0, 1234, 2999})
    EXPECT_EQ(large.find(u"old q" + tavrin::platform::utf8_to_utf16(std::to_string(i)) + u"q")
                  .size(),
              1u)
        << i;
  for (int i = 0; i < saved; i += std::max(1, saved / 7))
    EXPECT_EQ(large.find(u"w" + tavrin::platform::utf8_to_utf16(std::to_string(i)) + u"w").size(),
              1u)
        << i;
  EXPECT_EQ(large.find(u"后").size(), size_t(saved));
}

// A sent line is logged pending and rewritten as sent or failed moments
// later: that rewrite must leave both indexes whole and current, or every
// line sent would have the next search of a large log wait for a rebuild.
TEST_F(ChatLogTest, RewritingASentLinesStateKeepsTheSearchIndexesCurrent) {
  log.append(5, u"机主：earlier words 早", u"10:00:00");
  ChatLogSearch indexed(path, 100000001, /*inlineLines=*/10, /*slice=*/7);
  ASSERT_TRUE(indexed.buildIndex());
  const auto rewritten = [&](std::u16string_view pending, std::u16string_view settled) {
    const std::int64_t row = log.appendRow(5, pending, u"10:00:01");
    EXPECT_TRUE(log.replaceLine(row, settled));
  };
  rewritten(u"发送中：meet at noon 晚", u"机主：meet at noon 晚");
  EXPECT_TRUE(indexed.indexReady());
  EXPECT_EQ(lines(indexed.find(u"noon")), std::vector<std::u16string>{u"机主：meet at noon 晚"});
  EXPECT_EQ(lines(indexed.find(u"晚")), std::vector<std::u16string>{u"机主：meet at noon 晚"});
  EXPECT_TRUE(indexed.find(u"发送中").empty());

  // A line a search has already indexed is rewritten too: still found as it now reads.
  const std::int64_t row = log.appendRow(5, u"发送中：late 迟", u"10:00:02");
  ASSERT_EQ(indexed.find(u"迟").size(), 1u);
  EXPECT_TRUE(log.replaceLine(row, u"发送失败：late 迟"));
  EXPECT_EQ(lines(indexed.find(u"迟")), std::vector<std::u16string>{u"发送失败：late 迟"});
  EXPECT_EQ(lines(indexed.find(u"发送失败")), std::vector<std::u16string>{u"发送失败：late 迟"});
  EXPECT_EQ(indexed.find(u"早").size(), 1u);
  CppSQLite3Database db;
  db.open(path);
  EXPECT_EQ(db.execute(u"insert into tab100000001_search(tab100000001_search) "
                       u"values('integrity-check');"),
            0);
}

TEST_F(ChatLogTest, BackupIsTheDeviceRecordFormatAndReplacesTheFile) {
  const std::vector<ChatLogLine> newestFirst = {{u"Bob：再见", u"10:00:02"},
                                                {u"机主：hi", u"10:00:01"}};
  const auto file = ChatLogBackup::pathFor(dir.path, 100000002);
  EXPECT_EQ(file.filename(), "100000002.txt");
  // An older, longer backup is there first.
  std::ofstream(file) << std::string(200, 'x');
  ASSERT_TRUE(ChatLogBackup::write(file, newestFirst, tavrin::platform::utf16_to_gbk));
  const std::string golden = bytesOf(std::filesystem::path(TAVRIN_CHAT_GOLDEN) / "backup.txt");
  ASSERT_FALSE(golden.empty());
  EXPECT_EQ(bytesOf(file), golden);
  // Spelled out: GBK text, each of the four parts ending in a 0 byte.
  EXPECT_EQ(golden.substr(0, 20), std::string("Bob\xA3\xBA\xD4\xD9\xBC\xFB\0\n\0"
                                              "10:00:02\0",
                                              20));
  EXPECT_TRUE(ChatLogBackup::records({}, tavrin::platform::utf16_to_gbk).empty());
  EXPECT_FALSE(ChatLogBackup::write(dir.path / "missing" / "1.txt", newestFirst,
                                    tavrin::platform::utf16_to_gbk));
}

TEST_F(ChatLogTest, ExportRoundTripsEveryCharacter) {
  const std::u16string texts[] = {
      u"机主：plain",
      u"发送失败：failed 😀 \"quote\" back\\slash",
      u"Bob：emoji 👍🏽 and 𠀀 (outside GBK)",
      u"Bob：名字：带冒号",
      std::u16string(u"Bob：controls \x01\x1f\x7f\r end"),
      std::u16string(u"Bob：lone ") + char16_t(0xD800) + u" and " + char16_t(0xDC00),
      u"no prefix at all",
  };
  for (const auto& t : texts) log.append(100000002, t, u"23:59:59");
  log.append(100000003, u"Carol：另一个", u"00:00:01");
  const auto rows = log.allRows();
  ASSERT_EQ(rows.size(), std::size(texts) + 1);
  const auto file = ChatLogExport::allFile(dir.path, 100000001);
  EXPECT_EQ(file.filename(), "tab100000001.jsonl");
  ASSERT_TRUE(ChatLogExport::write(file, rows, [](std::int32_t id) {
    return id == 100000002 ? std::u16string(u"Bob") : std::u16string(u"Carol");
  }));

  std::istringstream in(bytesOf(file));
  std::vector<ChatLogRecord> back;
  for (std::string l; std::getline(in, l);) {
    auto r = ChatLogExport::parse(l);
    ASSERT_TRUE(r.has_value()) << l;
    back.push_back(*r);
  }
  ASSERT_EQ(back.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(back[i].line, rows[i].line) << i;
    EXPECT_EQ(back[i].contactId, rows[i].contactId);
    EXPECT_EQ(back[i].time, rows[i].time);
    EXPECT_EQ(back[i].localTime, rows[i].localTime);  // ISO 8601 with the offset
    EXPECT_FALSE(back[i].localTime.empty());
  }
  EXPECT_EQ(back[0].direction, u"sent");
  EXPECT_EQ(back[0].text, u"plain");
  EXPECT_EQ(back[1].direction, u"failed");
  EXPECT_EQ(back[1].text, u"failed 😀 \"quote\" back\\slash");
  EXPECT_EQ(back[2].direction, u"received");
  EXPECT_EQ(back[2].contactName, u"Bob");
  EXPECT_EQ(back[3].text, u"名字：带冒号");
  EXPECT_EQ(back[6].text, u"no prefix at all");
  EXPECT_EQ(back[7].contactName, u"Carol");

  for (const char* bad : {"", "{}", "{\"contact_id\":1}", "[1]", "{\"contact_id\":\"x\"}",
                          "{\"contact_id\":1,\"contact_name\":\"\",\"direction\":\"\",\"text\":"
                          "\"\xC0\xAF\",\"time\":\"\",\"line\":\"\"}"})
    EXPECT_FALSE(ChatLogExport::parse(bad).has_value()) << bad;
}

namespace {

// The process's zone for one test: China Standard Time (no daylight saving),
// or any POSIX zone text.
class Zone {
 public:
  explicit Zone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~Zone() {
    if (old_)
      setenv("TZ", old_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

std::time_t utc(int y, int mo, int d, int h, int mi, int s) {
  std::tm t{};
  t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d, t.tm_hour = h, t.tm_min = mi, t.tm_sec = s;
  return timegm(&t);
}

std::string narrow(const std::u16string& s) {
  return tavrin::platform::utf16_to_utf8(s);
}

}  // namespace

// Every line gets its full local date beside the log table, which stays
// exactly as the original statements made it: lines those statements log
// are dated by the trigger, lines they delete take their date along, and
// lines from before the dates table read without one.
TEST_F(ChatLogTest, EveryLineIsDatedBesideAnUnchangedTable) {
  Zone zone("CST-8");
  {
    // A log the original statements wrote, before lines had dates.
    CppSQLite3Database db;
    std::filesystem::create_directories(path.parent_path());
    db.open(path);
    db.execute(u"create table tab100000001 (FriendCode char(64), FriendLog char(512), Time char(32));");
    db.execute(u"insert into tab100000001 values ('Log5', 'Bob：old line', '08:00:00');");
  }
  EXPECT_EQ(log.rows(5).at(0).localTime, u"");  // a time of day alone fixes no date

  log.append(5, u"机主：sent now", u"09:13:41");
  log.append(5, u"Bob：received", u"23:59:00", u"2026-12-09T23:59:00+08:00");
  {
    CppSQLite3Database db;
    db.open(path);
    // Another writer, three values as ever.
    db.execute(u"insert into tab100000001 values ('Log5', 'Bob：from elsewhere', '10:00:00');");
    CppSQLite3Query all = db.query(u"select * from tab100000001;");
    EXPECT_EQ(all.fieldCount(), 3);
  }
  auto rows = log.rows(5);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].localTime, u"");
  EXPECT_EQ(rows[1].time, u"09:13:41");  // the Time column as it was
  EXPECT_EQ(rows[1].localTime, isoLocalOn(std::time(nullptr), u"09:13:41"));
  EXPECT_TRUE(std::regex_match(narrow(rows[1].localTime),
                               std::regex(R"(\d{4}-\d{2}-\d{2}T09:13:41\+08:00)")))
      << narrow(rows[1].localTime);
  EXPECT_EQ(rows[2].localTime, u"2026-12-09T23:59:00+08:00");
  EXPECT_TRUE(std::regex_match(narrow(rows[3].localTime),
                               std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\+08:00)")))
      << narrow(rows[3].localTime);
  EXPECT_TRUE(parseIsoLocal(rows[3].localTime).has_value());

  const auto dated = [&] {
    CppSQLite3Database db;
    db.open(path);
    return db.scalar(u"select count(*) from tab100000001_date;");
  };
  EXPECT_EQ(dated(), 3);
  log.deleteRow(rows[2].rowid);
  EXPECT_EQ(dated(), 2);
  log.deleteAll();
  EXPECT_EQ(dated(), 0);
  EXPECT_EQ(log.count(5), 0);
}

// How a line's moment reads in the viewer and the chat window, by the
// calendar day of "now" (2026-12-11 10:00 in China).
TEST(ChatLogDate, ShownAsTodayYesterdayOrItsDay) {
  Zone zone("CST-8");
  const std::time_t now = utc(2026, 12, 11, 2, 0, 0);
  EXPECT_EQ(isoLocal(now), u"2026-12-11T10:00:00+08:00");
  struct Case {
    const char16_t* localTime;
    const char16_t* shown;
  } cases[] = {
      {u"2026-12-11T09:13:41+08:00", u"今天 09:13:41"},
      {u"2026-12-11T00:00:00+08:00", u"今天 00:00:00"},
      {u"2026-12-10T23:59:59+08:00", u"昨天 23:59:59"},
      {u"2026-12-09T09:13:41+08:00", u"12月9日 09:13:41"},
      {u"2026-01-01T07:05:00+08:00", u"1月1日 07:05:00"},
      {u"2025-12-11T08:00:00+08:00", u"2025年12月11日 08:00:00"},
      {u"", u"09:13:41"},                           // logged before lines had dates
      {u"2026-13-01T09:13:41+08:00", u"09:13:41"},  // not a date
      {u"2026-12-11 09:13:41", u"09:13:41"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(shownDateTime(c.localTime, u"09:13:41", now), c.shown) << narrow(c.localTime);
  // Across the turn of a year.
  EXPECT_EQ(shownDateTime(u"2026-12-31T22:00:00+08:00", u"", utc(2027, 1, 1, 1, 0, 0)),
            u"昨天 22:00:00");
  // A zone west of Greenwich writes its offset with a minus.
  Zone west("EST5");
  EXPECT_EQ(isoLocal(utc(2026, 12, 11, 2, 0, 0)), u"2026-12-10T21:00:00-05:00");
  EXPECT_EQ(parseIsoLocal(u"2026-12-10T21:00:00-05:00")->offsetMinutes, -300);
}

// An export written before lines had dates still reads.
TEST(ChatLogExportDates, ALineWithoutItsDateReads) {
  auto r = ChatLogExport::parse(
      "{\"contact_id\":5,\"contact_name\":\"Bob\",\"direction\":\"received\",\"text\":\"hi\","
      "\"time\":\"08:00:00\",\"line\":\"Bob：hi\"}");
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->localTime, u"");
  ChatLogRecord dated = *r;
  dated.localTime = u"2026-12-09T08:00:00+08:00";
  const std::string json = ChatLogExport::json(dated);
  EXPECT_NE(json.find("\"local_time\":\"2026-12-09T08:00:00+08:00\""), std::string::npos) << json;
  EXPECT_EQ(ChatLogExport::parse(json), dated);
}
