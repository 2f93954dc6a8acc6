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
#include "gfx/Painter.h"
#include "libtavrin.h"
#include "storage/ChatLogBackup.h"
#include "storage/ChatLogDate.h"
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

// 是 / 否 of a yes/no box, the one button of a message box.
constexpr platform::Point kYes{140, 358}, kNo{340, 358}, kOk{240, 358};

class ChatViewerTest : public ChatTest {
 protected:
  CBriskTavrinLog viewer() { return CBriskTavrinLog(database(), std::int32_t(kAlice), 0); }
  // Answers the next delete: `reply` on its question (when one comes), then
  // 确定 on the box that says what was done. The taps are only queued: the
  // box handles them in its own loop, and the next poll waits its turn.
  void answer(platform::Point reply, bool question = true) {
    const int depth = ws->modal_depth();
    const auto press = [this](platform::Point p) {
      down(p.x, p.y);
      up(p.x, p.y);
    };
    // Registered once the question is answered (the tap ends its loop at
    // once), so it is the next box it finds.
    const auto then_told = [this, depth, press] {
      when_ready([this, depth] { return ws->modal_depth() > depth; }, [press] { press(kOk); });
    };
    if (!question) return then_told();
    when_ready([this, depth] { return ws->modal_depth() > depth; },
               [reply, then_told, press] {
                 press(reply);
                 if (reply.x == kYes.x) then_told();
               });
  }
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
  log.append(kBob, std::u16string(200, u'长'), u"09:03:00");
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
    // Each item is as high as its text wraps to, with room for its time:
    // the 200-character line whole, a one-line line in a low item.
    const platform::Font* f = gfx::Painter::font(20);
    ASSERT_TRUE(f);
    for (const auto& item : v.items()) {
      const int text = f->text_height(item.row.line, CBriskTavrinLog::kLines.width() - 12,
                                      platform::text::kWordBreak);
      EXPECT_GE(item.height, 4 + text + 28) << platform::utf16_to_utf8(item.row.line);
    }
    EXPECT_LT(v.items()[0].height, 70);
    EXPECT_GT(v.items()[1].height, 190);  // the 200-character line, cut at 190 before
    EXPECT_EQ(v.items()[0].row.time, u"09:04:00");

    // The user taps the newest "好的" (the first row) and deletes it.
    tap(300, 52 + CBriskTavrinLog::kLines.top + 20);
    EXPECT_EQ(v.selected_line(), 0);
    answer(kYes);
    v.operation(CBriskTavrinLog::kDeleteSelected);
    EXPECT_EQ(v.asked(), u"删除选定的这条记录？\n“机主：好的”\n删除后不能恢复。");
    EXPECT_EQ(v.told(), u"已删除选定的记录，共 1 条。");
    ASSERT_EQ(v.items().size(), 4u);
    EXPECT_EQ(v.items().back().row.line, u"机主：好的");  // its twin at 09:00 stays
    EXPECT_EQ(v.items()[0].row.time, u"09:03:00");
    EXPECT_EQ(v.selected_line(), -1);
    v.end_modal(0);
  });
  v.run_modal();
  EXPECT_EQ(alice_log().history(kCarol).size(), 1u);  // another contact's line stays
}

// Nothing is deleted by one slip: each delete first asks, naming what goes
// and how many lines; "否" keeps everything; afterwards a box says what went.
TEST_F(ChatViewerTest, DeletesAskFirstAndSayWhatWent) {
  auto log = alice_log();
  for (int i = 0; i < 3; ++i) log.append(kBob, u"Bob：line", u"09:00:00");
  log.append(kCarol, u"Carol：早", u"09:00:01");
  log.append(kCarol, u"机主：早", u"09:00:02");

  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    // No contact chosen, no line selected: the box says what to do first.
    answer(kOk, /*question=*/false);
    v.operation(CBriskTavrinLog::kDeleteCurrent);
    EXPECT_EQ(v.told(), u"请先在左边选择一位好友。");
    v.choose(kBob);
    answer(kOk, false);
    v.operation(CBriskTavrinLog::kDeleteSelected);
    EXPECT_EQ(v.told(), u"请先点选要删除的那条记录。");

    when_ready([&] { return !v.asked().empty(); },
               [&] {
                 EXPECT_EQ(golden("log_viewer_delete_question"), "");
                 tap(kNo);
               });
    v.operation(CBriskTavrinLog::kDeleteCurrent);
    EXPECT_EQ(v.asked(), u"删除与 Bob 的聊天记录（共 3 条）？删除后不能恢复。");
    EXPECT_EQ(v.items().size(), 3u);
    EXPECT_EQ(alice_log().countAll(), 5);

    answer(kYes);
    v.operation(CBriskTavrinLog::kDeleteCurrent);
    EXPECT_EQ(v.told(), u"已删除与 Bob 的聊天记录，共 3 条。");
    EXPECT_TRUE(v.items().empty());

    answer(kYes);
    v.operation(CBriskTavrinLog::kDeleteAll);
    EXPECT_EQ(v.asked(), u"删除所有好友的聊天记录（共 2 条）？删除后不能恢复。");
    EXPECT_EQ(v.told(), u"已删除所有好友的聊天记录，共 2 条。");

    // Nothing left: no question, only the answer.
    const std::u16string last_question = v.asked();
    answer(kOk, false);
    v.operation(CBriskTavrinLog::kDeleteAll);
    EXPECT_EQ(v.told(), u"没有可删除的聊天记录。");
    EXPECT_EQ(v.asked(), last_question);
    v.end_modal(0);
  });
  v.run_modal();
  EXPECT_EQ(alice_log().countAll(), 0);
}

// A dated log as the viewer shows it: today's and yesterday's lines by
// those words, an older one by its day, one from before lines had dates by
// its time alone; long names end in "…", the soft keys differ.
TEST_F(ChatViewerTest, LinesShowTheirDayAndTime) {
  const std::time_t now = std::time(nullptr);
  auto log = alice_log();
  {
    // A line logged before the dates table: no date to show.
    storage::CppSQLite3Database db;
    db.open(database());
    db.execute(
        u"create table tab100000001 (FriendCode char(64), FriendLog char(512), Time char(32));");
    db.execute(u"insert into tab100000001 values ('Log100000002', 'Bob：很久以前', '07:30:00');");
  }
  log.append(kBob, u"Bob：去年的今天", u"08:00:00", u"2024-12-09T08:00:00+08:00");
  log.append(kBob, u"机主：昨天说好的事情别忘了，明天上午十点在公司门口集合，一起出发去机场。",
             u"21:15:00", storage::isoLocalOn(now - 86400, u"21:15:00"));
  log.append(kBob, u"Bob：好的", u"09:13:41", storage::isoLocalOn(now, u"09:13:41"));
  ASSERT_EQ(fs_set_buddyinfo(kBob, "Bartholomew Fitzgerald-Montgomery the Third"), 1);

  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    v.choose(kBob);
    ASSERT_EQ(v.items().size(), 4u);
    EXPECT_EQ(storage::shownDateTime(v.items()[0].row.localTime, v.items()[0].row.time),
              u"今天 09:13:41");
    EXPECT_EQ(storage::shownDateTime(v.items()[1].row.localTime, v.items()[1].row.time),
              u"昨天 21:15:00");
    EXPECT_EQ(storage::shownDateTime(v.items()[2].row.localTime, v.items()[2].row.time),
              u"2024年12月9日 08:00:00");
    EXPECT_EQ(storage::shownDateTime(v.items()[3].row.localTime, v.items()[3].row.time),
              u"07:30:00");
    EXPECT_EQ(golden("log_viewer_dated_lines"), "");
    v.end_modal(0);
  });
  v.run_modal();
}

// 备份所有记录 writes every contact's file straight from the log: the lines
// shown (a contact's, or search results) and the selection stay.
TEST_F(ChatViewerTest, BackupOfAllKeepsTheViewAndTheSelection) {
  auto log = alice_log();
  log.append(kBob, u"Bob：明天见", u"10:00:00");
  log.append(kBob, u"机主：好", u"10:00:01");
  log.append(kCarol, u"Carol：明白", u"10:00:02");

  CBriskTavrinLog v = viewer();
  inside_modal([&] {
    v.choose(kBob);
    v.select_line(1);
    answer(kOk, false);
    v.operation(CBriskTavrinLog::kBackupAll);
    EXPECT_TRUE(v.told().starts_with(u"已备份 2 位好友的记录到 ")) << platform::utf16_to_utf8(v.told());
    EXPECT_EQ(v.current(), kBob);
    EXPECT_EQ(v.selected_line(), 1);
    EXPECT_EQ(texts(v), (std::vector<std::u16string>{u"机主：好", u"Bob：明天见"}));

    v.search(u"明");
    const auto found = texts(v);
    const std::u16string heading = v.heading();
    answer(kOk, false);
    v.operation(CBriskTavrinLog::kBackupAll);
    EXPECT_TRUE(v.searching());
    EXPECT_EQ(texts(v), found);
    EXPECT_EQ(v.heading(), heading);
    v.end_modal(0);
  });
  v.run_modal();
  const auto folder = database().parent_path();
  for (long id : {kBob, kCarol})
    EXPECT_TRUE(std::filesystem::exists(storage::ChatLogBackup::pathFor(folder, std::int32_t(id))));
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
