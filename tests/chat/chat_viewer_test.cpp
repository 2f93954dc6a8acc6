// The chat-log viewer signed in as Alice against the real server: its
// contact list, lines newest first with their heights, deleting the one
// selected row among identical lines, backup and export files, and search
// results that open the contact at the line.
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

#include "chat_fixture.h"
#include "platform/text_codec.h"
#include "screens/chatlog/CBriskTavrinLog.h"
#include "shell/app_paths.h"
#include "storage/ChatLogBackup.h"
#include "storage/ChatLogExport.h"
#include "storage/ChatLogSearch.h"
#include "storage/CppSQLite3Database.h"

using tavrin::screens::CBriskTavrinLog;

namespace tavrin::test {
namespace {

std::string bytes_of(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ChatViewerTest : public ChatTest {
 protected:
  CBriskTavrinLog viewer() { return CBriskTavrinLog(database(), std::int32_t(kAlice), 0); }
};

std::vector<std::u16string> texts(const CBriskTavrinLog& v) {
  std::vector<std::u16string> out;
  for (const auto& item : v.items()) out.push_back(item.row.line);
  return out;
}

TEST_F(ChatViewerTest, LinesNewestFirstAndOnlyTheSelectedRowIsDeleted) {
  auto log = alice_log();
  log.append(kBob, u"机主：好的", u"09:00:00");
  log.append(kBob, std::u16string(35, u'a'), u"09:01:00");
  log.append(kBob, std::u16string(36, u'b'), u"09:02:00");
  log.append(kBob, std::u16string(80, u'c'), u"09:03:00");
  log.append(kBob, u"机主：好的", u"09:04:00");
  log.append(kCarol, u"机主：好的", u"09:05:00");
  log.append(0, u"机主：to a contact whose id is 0", u"09:06:00");

  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    // A contact whose id is 0 is a contact like any other.
    v.choose(0);
    EXPECT_EQ(texts(v), std::vector<std::u16string>{u"机主：to a contact whose id is 0"});
    // The engine's contacts; no one who has not accepted Alice.
    bool bob_listed = false;
    for (const auto& c : v.contacts()) {
      EXPECT_NE(c.status, 75);
      EXPECT_NE(c.status, 76);
      bob_listed |= c.id == kBob;
    }
    EXPECT_TRUE(bob_listed);

    v.choose(kBob);
    EXPECT_EQ(v.heading(), u"Bob");
    ASSERT_EQ(v.items().size(), 5u);
    std::vector<int> heights;
    for (const auto& item : v.items()) heights.push_back(item.height);
    EXPECT_EQ(heights, (std::vector<int>{70, 190, 130, 70, 70}));
    EXPECT_EQ(v.items()[0].row.time, u"09:04:00");

    // The user taps the newest "好的" (the first row) and deletes it.
    tap(300, 52 + CBriskTavrinLog::kLines.top + 30);
    EXPECT_EQ(v.selected_line(), 0);
    v.operation(CBriskTavrinLog::kDeleteSelected);
    ASSERT_EQ(v.items().size(), 4u);
    EXPECT_EQ(v.items().back().row.line, u"机主：好的");  // its twin at 09:00 stays
    EXPECT_EQ(v.items()[0].row.time, u"09:03:00");

    v.operation(CBriskTavrinLog::kDeleteCurrent);
    EXPECT_TRUE(v.items().empty());
    v.end_modal(0);
  });
  v.run_modal();
  EXPECT_EQ(alice_log().history(kCarol).size(), 1u);  // another contact's line stays
}

TEST_F(ChatViewerTest, BackupAndExportFilesBesideTheDatabase) {
  auto log = alice_log();
  log.append(kBob, u"Bob：再见", u"10:00:02");
  log.append(kBob, u"机主：emoji 😀 stays", u"10:00:03");
  log.append(kCarol, u"Carol：早", u"10:00:04");
  // An older, longer backup of Bob's.
  const auto backup = storage::ChatLogBackup::pathFor(database().parent_path(), std::int32_t(kBob));
  std::ofstream(backup) << std::string(300, 'x');

  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    v.choose(kBob);
    // Each operation says in a box where its file went, by the real path.
    const auto said = [&](int operation) {
      inside_modal([&] { tap(kBoxOk); });
      v.operation(operation);
      return v.told();
    };
    EXPECT_EQ(said(CBriskTavrinLog::kBackupCurrent), u"已备份到 " + shell::from_path(backup));
    const auto all = storage::ChatLogExport::allFile(database().parent_path(), 100000001);
    EXPECT_EQ(said(CBriskTavrinLog::kExportAll), u"已导出到 " + shell::from_path(all));
    EXPECT_EQ(v.heading(), u"已导出到 tab100000001.jsonl");
    v.end_modal(0);
  });
  v.run_modal();

  const std::string expected = storage::ChatLogBackup::records(
      {{u"机主：emoji 😀 stays", u"10:00:03"}, {u"Bob：再见", u"10:00:02"}}, platform::utf16_to_gbk);
  EXPECT_EQ(bytes_of(backup), expected);
  EXPECT_EQ(expected.substr(0, 7), std::string("\xBB\xFA\xD6\xF7\xA3\xBA"
                                               "e"));  // GBK "机主："

  std::istringstream in(
      bytes_of(storage::ChatLogExport::allFile(database().parent_path(), 100000001)));
  std::vector<storage::ChatLogRecord> records;
  for (std::string line; std::getline(in, line);) {
    auto r = storage::ChatLogExport::parse(line);
    ASSERT_TRUE(r) << line;
    records.push_back(*r);
  }
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].text, u"emoji 😀 stays");  // what GBK cannot hold survives here
  EXPECT_EQ(records[1].direction, u"sent");
  EXPECT_EQ(records[2].contactName, u"Carol");
  EXPECT_EQ(records[2].text, u"早");
}

TEST_F(ChatViewerTest, SearchResultsOpenTheContactAtTheLine) {
  auto log = alice_log();
  for (int i = 0; i < 40; ++i)
    log.append(kBob, u"Bob：line " + platform::utf8_to_utf16(std::to_string(i)), u"08:00:00");
  log.append(kBob, u"Bob：明天见 😀 (l):)", u"08:30:00");
  for (int i = 0; i < 40; ++i) log.append(kBob, u"机主：filler", u"08:40:00");
  log.append(kCarol, u"Carol：明白", u"09:00:00");

  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    v.search(u"明");  // one Chinese character
    ASSERT_EQ(texts(v), (std::vector<std::u16string>{u"Carol：明白", u"Bob：明天见 😀 (l):)"}));
    EXPECT_TRUE(v.searching());
    EXPECT_EQ(v.heading(), u"查找“明”：2 条");
    v.search(u"😀");
    ASSERT_EQ(texts(v), std::vector<std::u16string>{u"Bob：明天见 😀 (l):)"});

    // Tapping the result opens Bob's lines with that one selected and in view.
    tap(300, 52 + CBriskTavrinLog::kLines.top + 30);
    EXPECT_FALSE(v.searching());
    EXPECT_EQ(v.current(), kBob);
    ASSERT_GE(v.selected_line(), 0);
    EXPECT_EQ(v.items()[size_t(v.selected_line())].row.line, u"Bob：明天见 😀 (l):)");
    EXPECT_EQ(v.selected_line(), 40);  // newest first: after the 40 fillers
    EXPECT_GT(v.line_list().scroller().offset(), 0);
    EXPECT_EQ(golden("log_viewer_found_line"), "");
    v.end_modal(0);
  });
  v.run_modal();
}

// A log too large to index at the first search: the search scans and says
// the index is being built apart; once it is, searches use it and say
// nothing more.
TEST_F(ChatViewerTest, SearchInALargeLogScansWhileTheIndexIsBuiltApart) {
  auto log = alice_log();
  log.append(kBob, u"Bob：first", u"08:00:00");
  {
    storage::CppSQLite3Database db;
    db.open(database());
    db.execute(u"begin;");
    for (int i = 0; i < int(storage::ChatLogSearch::kInlineLines); ++i)
      db.execute(u"insert into tab100000001 values ('Log100000002', ?, '08:00:01');",
                 {i == 777 ? u"Bob：the needle line" : u"Bob：filler"});
    db.execute(u"commit;");
  }
  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    v.search(u"needle");
    ASSERT_EQ(texts(v), std::vector<std::u16string>{u"Bob：the needle line"});
    EXPECT_EQ(v.heading(), u"查找“needle”：1 条（正在建立索引）");
    bool ready = false;
    for (int i = 0; i < 600 && !ready; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      ready = storage::ChatLogSearch(database(), std::int32_t(kAlice)).indexReady();
    }
    EXPECT_TRUE(ready);
    v.search(u"needle");
    EXPECT_EQ(texts(v), std::vector<std::u16string>{u"Bob：the needle line"});
    EXPECT_EQ(v.heading(), u"查找“needle”：1 条");
    v.end_modal(0);
  });
  v.run_modal();
}

// The 操作 menu shows every item below its title band, and an item is hit
// where it is drawn: the first one backs up all records.
TEST_F(ChatViewerTest, TheOperationsMenuItemsAreHitWhereDrawn) {
  alice_log().append(kBob, u"机主：好的", u"09:00:00");
  const auto backup = storage::ChatLogBackup::pathFor(database().parent_path(), std::int32_t(kBob));
  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    tap(240, 770);  // 操作
    ASSERT_TRUE(v.menu().shown());
    const auto& items = v.menu().items();
    ASSERT_EQ(items.size(), 8u);
    EXPECT_GE(items[0].rect.top, v.menu().rect().top + controls::CPopupMenu::kTitleHeight);
    EXPECT_LE(items.back().rect.bottom, 800 - 60);
    // The box that says where the backups went opens from the menu's
    // command, after this tap: answer it once it is up.
    auto answer = std::make_shared<std::function<void()>>();
    *answer = [this, again = std::weak_ptr(answer)] {
      if (ws->modal_depth() > 1)
        tap(kBoxOk);
      else if (auto next = again.lock())
        ws->post_call(*next);
    };
    ws->post_call(*answer);
    tap(items[0].rect.left + 20, items[0].rect.top + 25);
    settle();
    EXPECT_FALSE(v.menu().shown());
    tap(60, 770);
  });
  v.run_modal();
  EXPECT_TRUE(std::filesystem::exists(backup));
}

}  // namespace
}  // namespace tavrin::test
