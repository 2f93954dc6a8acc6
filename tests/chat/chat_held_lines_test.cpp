// The open chat window when the history cannot take a received line: the
// line is neither shown nor answered (the service keeps it), the title bar
// says so, and once the history works again it comes, in order, before the
// next one.
#include <filesystem>

#include "chat_fixture.h"
#include "screens/chat/CBriskLibTavrinMsg.h"
#include "screens/chat/ChatLines.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;
using screens::CBriskLibTavrinMsg;
using ChatHeldLines = ChatTest;

TEST_F(ChatHeldLines, ALineTheHistoryCannotTakeWaitsWithTheService) {
  auto bob = peer("100000002", "bob123");
  const fs::path db = data.path / "DB" / "TavrinLog.db", away = data.path / "DB" / "away.db";
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  inside_modal([&] {
    bob->write_line("send 100000001 first");
    ASSERT_TRUE(pump_until([&] { return chat.lines().size() == 1; }));
    fs::rename(db, away);
    fs::create_directory(db);
    bob->write_line("send 100000001 second");
    ASSERT_TRUE(pump_until([&] { return screens::chat::held_line_count() == 1; }));
    EXPECT_EQ(chat.lines().size(), 1u) << "not shown while not stored";
    EXPECT_NE(chat.log_failure().find(u"留在服务器上"), std::u16string::npos);
    fs::remove(db);
    fs::rename(away, db);
    bob->write_line("send 100000001 third");
    ASSERT_TRUE(pump_until([&] { return chat.lines().size() == 3; }));
    EXPECT_EQ(chat.lines()[1].text, u"Bob：second");
    EXPECT_EQ(chat.lines()[0].text, u"Bob：third");
    EXPECT_EQ(screens::chat::held_line_count(), 0u);
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;
  const auto logged = alice_log().history(kBob);
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_EQ(logged[1].line, u"Bob：second");
}

}  // namespace
}  // namespace tavrin::test
