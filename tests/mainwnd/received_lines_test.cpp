// What the main window keeps of received and pending lines when things go
// wrong: a history that cannot take a line (the line stays with the
// service, unanswered, and comes in order once the history can take it),
// and the account signed in elsewhere (pending lines failed, received ones
// kept, no presence shown while the closing box is up).
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_peer.h"
#include "libtavrin.h"
#include "main_window_fixture.h"
#include "screens/chat/ChatLines.h"
#include "screens/chat/ChatText.h"
#include "storage/ChatLogStore.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;
using ReceivedLines = MainWindowTest;

constexpr std::u16string_view kNotStored = u"收到的消息未能保存到聊天记录（";

std::vector<std::u16string> lines_of(const storage::ChatLogStore& log, long contact) {
  std::vector<std::u16string> out;
  for (const auto& l : log.history(std::int32_t(contact))) out.push_back(l.line);
  return out;
}

TEST_F(ReceivedLines, ALineTheHistoryCannotTakeStaysUnansweredUntilItCan) {
  open_main();
  const fs::path db = data.path / "DB" / "TavrinLog.db", away = data.path / "DB" / "away.db";
  const storage::ChatLogStore log(db, std::int32_t(kAlice));
  CliPeer bob(sipc_address(), "100000002", "bob123");
  ASSERT_TRUE(bob.signed_in());
  bob.command("send 100000001 one");
  ASSERT_TRUE(pump_until([&] { return lines_of(log, kBob).size() == 1; }));

  // The history becomes unusable (a folder where its file was).
  fs::rename(db, away);
  fs::create_directory(db);
  for (const char* text : {"two", "three", "four"}) bob.command(std::string("send 100000001 ") + text);
  ASSERT_TRUE(pump_until([&] { return screens::chat::held_line_count() == 1; }));
  pump_until([] { return false; }, 1500);  // the other lines arrive meanwhile
  int told = 0;
  for (const auto& b : main->boxes()) told += b.text.starts_with(kNotStored);
  EXPECT_EQ(told, 1) << "said once, however many lines arrive";
  EXPECT_EQ(screens::chat::held_line_count(), 1u) << "nothing taken past the line held";

  // Usable again: the next line brings the held one and those behind it, in order.
  fs::remove(db);
  fs::rename(away, db);
  bob.command("send 100000001 five");
  ASSERT_TRUE(pump_until([&] { return lines_of(log, kBob).size() == 5; }));
  EXPECT_EQ(lines_of(log, kBob), (std::vector<std::u16string>{u"Bob：one", u"Bob：two",
                                                              u"Bob：three", u"Bob：four",
                                                              u"Bob：five"}));
  EXPECT_EQ(screens::chat::held_line_count(), 0u);
}

TEST_F(ReceivedLines, SignedInElsewhereFailsPendingKeepsReceivedAndShowsNoPresence) {
  open_main();
  const storage::ChatLogStore log(data.path / "DB" / "TavrinLog.db", std::int32_t(kAlice));
  // A line waiting for its result, as the chat window leaves it.
  const std::u16string text = u"still waiting";
  const std::int64_t row = log.appendRow(std::int32_t(kEcho),
                                         std::u16string(screens::chat::kPendingPrefix) + text,
                                         u"12:00:00");
  main->line_sending(kEcho, text, row);
  CliPeer bob(sipc_address(), "100000002", "bob123");
  ASSERT_TRUE(bob.signed_in());
  bob.command("send 100000001 before the end");
  ASSERT_TRUE(pump_until([&] { return lines_of(log, kBob).size() == 1; }));

  CliPeer other(sipc_address(), "100000001", "alice123");
  ASSERT_TRUE(other.signed_in());
  ASSERT_TRUE(pump_until([&] { return main->finished(); }));
  EXPECT_TRUE(saw_box(u"你的塔文在其他地方登陆，程序将退出！"));
  EXPECT_EQ(main->name_label().find(u"（在线）"), std::u16string::npos) << "the header";
  EXPECT_NE(main->name_label().find(u"（离线）"), std::u16string::npos);
  EXPECT_EQ(item(u"我的好友", kEcho)->status, 68) << "the tree shows nobody online";
  EXPECT_EQ(lines_of(log, kEcho),
            std::vector<std::u16string>{std::u16string(screens::chat::kFailedPrefix) + text});
  EXPECT_EQ(lines_of(log, kBob), std::vector<std::u16string>{u"Bob：before the end"});
  EXPECT_FALSE(main->logged_in());
  EXPECT_EQ(main->relogin_attempts(), 0) << "the connection's end starts no relogin";
  EXPECT_EQ(ws->quit_code(), 0);
}

}  // namespace
}  // namespace tavrin::test
