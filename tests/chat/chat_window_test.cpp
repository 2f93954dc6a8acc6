// The chat window against the real tavrin-server, signed in as Alice, with
// Bob and Carol as tavrin-cli peers: lines both ways (prefixes, times, the
// log), a line from another contact while a chat is open, SMS mode for a
// mobile-only contact with the nudge refusal, a nudge's outcome in the
// title bar, the emoticon picker, and
// golden screenshots of the window and the picker.
#include <regex>

#include "chat_fixture.h"
#include "libtavrin.h"
#include "platform/clipboard.h"
#include "platform/text_codec.h"
#include "screens/chat/CBriskLibTavrinMsg.h"
#include "screens/chat/CEmoticonDlg.h"
#include "shell/switch_settings.h"
#include "storage/CppSQLite3Database.h"

using tavrin::screens::CBriskLibTavrinMsg;
using tavrin::screens::CEmoticonDlg;
using tavrin::storage::ChatLogLine;

namespace tavrin::test {
namespace {

bool is_time(const std::u16string& t) {
  return std::regex_match(platform::utf16_to_utf8(t),
                          std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]"));
}

// The contact id the engine gave a contact of that display name.
long contact_named(const char* name) {
  long id = 0;
  fx_lock_contacts();
  for (const fx_account* a = fx_get_first_account(); a && !id; a = fx_get_next_account(a)) {
    char* shown = fx_get_account_show_name(a, 0);
    if (shown && std::string(shown) == name) id = a->id;
    std::free(shown);
  }
  fx_unlock_contacts();
  return id;
}

class ChatWindowTest : public ChatTest {
 protected:
  // A key of the bottom bar (send at x 0-160), in screen coordinates.
  void press(int x) { tap(x, 52 + 690 + 29); }
};

TEST_F(ChatWindowTest, LinesBothWaysAreShownWithPrefixAndTimeAndLogged) {
  auto bob = peer("100000002", "bob123");
  main.pending[kBob] = {u"发送超时:\r\nan earlier line"};
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  inside_modal([&] {
    EXPECT_EQ(chat.name(), u"Bob");
    EXPECT_EQ(chat.title(), u"与 Bob 聊天中（聊天模式）");
    EXPECT_EQ(chat.log_table(), u"tab100000001");
    EXPECT_EQ(chat.input().max_length(), 180u);
    // The main window's pending report is shown on opening, and taken.
    ASSERT_EQ(chat.lines().size(), 1u);
    EXPECT_EQ(chat.lines()[0].text, u"发送超时:\r\nan earlier line");
    EXPECT_TRUE(main.pending.empty());

    chat.input().set_text(u"hello\tBob\nthere");
    press(80);
    ASSERT_EQ(chat.lines().size(), 2u);
    EXPECT_EQ(chat.lines()[0].direction, 1);
    EXPECT_EQ(chat.lines()[0].height, 70);
    EXPECT_TRUE(chat.input().text().empty());
    wait_peer(*bob, 16, "\"text\":\"helloBobthere\"");
    // Sent once the service took it (pending until then).
    EXPECT_TRUE(pump_until([&] { return chat.lines()[0].text == u"机主：helloBobthere"; }));

    bob->write_line("send 100000001 你好 Alice 😀");
    EXPECT_TRUE(pump_until([&] { return chat.lines().size() == 3; }));
    EXPECT_EQ(chat.lines()[0].text, u"Bob：你好 Alice 😀");
    EXPECT_EQ(chat.lines()[0].direction, 0);
    EXPECT_TRUE(is_time(chat.lines()[0].time));
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;

  const auto logged = alice_log().history(kBob);
  ASSERT_EQ(logged.size(), 2u);  // the report is not a line of the conversation
  EXPECT_EQ(logged[0].line, u"机主：helloBobthere");
  EXPECT_EQ(logged[1].line, u"Bob：你好 Alice 😀");
  EXPECT_TRUE(is_time(logged[0].time) && is_time(logged[1].time));
}

// A line the service never answers is pending, then failed, on screen and
// in the log: never shown or stored as sent.
class UnansweredChatTest : public ChatWindowTest {
  std::vector<std::string> server_args() override { return {"--test-withhold-acks"}; }
};

TEST_F(UnansweredChatTest, ALineWithoutAnswerIsPendingThenFailedNeverSent) {
  auto bob = peer("100000002", "bob123");
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  std::vector<std::u16string> seen;
  inside_modal([&] {
    chat.input().set_text(u"are you there");
    press(80);
    ASSERT_FALSE(chat.lines().empty());
    seen.push_back(chat.lines()[0].text);
    // The engine's time-out for an unanswered line is 30 s.
    EXPECT_TRUE(pump_until([&] { return chat.lines()[0].text != seen.back(); }, 60000));
    seen.push_back(chat.lines()[0].text);
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;
  EXPECT_EQ(seen,
            (std::vector<std::u16string>{u"发送中：are you there", u"发送失败：are you there"}));
  const auto logged = alice_log().history(kBob);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].line, u"发送失败：are you there");
}

TEST_F(ChatWindowTest, WithTheChatLogSwitchedOffNothingIsLogged) {
  tavrin::shell::switch_settings().keep_chat_log = 0;
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    chat.input().set_text(u"not for the log");
    press(80);
    ASSERT_EQ(chat.lines().size(), 1u);  // on screen all the same
    chat.close();
  });
  chat.run_modal();
  tavrin::shell::switch_settings().keep_chat_log = 1;
  EXPECT_TRUE(alice_log().history(kBob).empty());
}

TEST_F(ChatWindowTest, EmptyInputSendsNothingAndBringsUpThePanel) {
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    chat.input().set_text(u"\n\t");
    press(80);
    EXPECT_TRUE(chat.lines().empty());
    EXPECT_TRUE(panel->shown());
    chat.input().set_text(u"x");
    tap(60, 770);  // the bar stays below the panel: 发送 is hit while typing
    EXPECT_EQ(chat.lines().size(), 1u);
    EXPECT_FALSE(panel->shown());
    chat.close();
  });
  chat.run_modal();
  EXPECT_EQ(alice_log().history(kBob).size(), 1u);
}

TEST_F(ChatWindowTest, ALineFromAnotherContactWaitsInTheRecentSection) {
  auto carol = peer("100000003", "carol123");
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  inside_modal([&] {
    carol->write_line("send 100000001 are you there?");
    EXPECT_TRUE(pump_until([&] { return !main.recent.empty(); }));
    EXPECT_TRUE(chat.lines().empty());  // this chat is not disturbed
    ASSERT_EQ(main.recent.size(), 1u);
    EXPECT_EQ(main.recent[0].contact_id, kCarol);
    EXPECT_TRUE(main.recent[0].new_message);

    // Tab 1 lists her with the mark; choosing her switches the window and reads her line.
    tap(80, 52 + 70);
    EXPECT_EQ(chat.tab(), 1);
    ASSERT_EQ(chat.entries().size(), 1u);
    EXPECT_TRUE(chat.entries()[0].new_message);
    tap(200, 52 + 270 + 40);
    EXPECT_EQ(chat.tab(), 2);
    EXPECT_EQ(chat.contact_id(), kCarol);
    ASSERT_FALSE(chat.lines().empty());
    EXPECT_EQ(chat.lines()[0].text, u"Carol：are you there?");
    EXPECT_EQ(main.read, std::vector<long>{kCarol});
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;
  EXPECT_TRUE(alice_log().history(kBob).empty());
  EXPECT_EQ(alice_log().history(kCarol).size(), 1u);
}

TEST_F(ChatWindowTest, AMobileOnlyContactIsTextedAndCannotBeNudged) {
  const long mum = contact_named("Mum");
  ASSERT_NE(mum, 0);
  CBriskLibTavrinMsg chat(mum, 0, main, false);  // chat mode asked for
  main.chat = &chat;
  bool box_shown = false;
  inside_modal([&] {
    EXPECT_EQ(chat.title(), u"与 Mum 聊天中（短信用户）");
    EXPECT_TRUE(chat.sms_mode());
    chat.input().set_text(u"home by seven");
    press(80);
    ASSERT_FALSE(chat.lines().empty());
    // No SMS gateway here: the service keeps it in its outbox and says it was not sent.
    EXPECT_TRUE(pump_until([&] { return chat.lines()[0].text == u"发送失败：home by seven"; }));

    inside_modal([&] {
      box_shown = ws->modal_depth() == 2;
      tap(240, 358);  // the box's one button
    });
    chat.operation(3);
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;
  EXPECT_TRUE(box_shown);
  // The line waits as an SMS to her number in the service's outbox.
  storage::CppSQLite3Database db;
  db.open(std::filesystem::path(server_data()) / "tavrin-server.db");
  EXPECT_TRUE(pump_until([&] {
    return db.scalar(
               u"select count(*) from outbox where target like '%13800138000%' and body like "
               u"'%home by seven%';") == 1;
  }));
  db.close();
}

TEST_F(ChatWindowTest, ANudgeSaysInTheTitleBarWhetherItWent) {
  auto bob = peer("100000002", "bob123");
  // Bob online in Alice's store: the engine nudges online contacts only.
  ASSERT_TRUE(pump_until([] {
    fx_lock_contacts();
    const int status = fx_get_online_status_by_id(kBob);
    fx_unlock_contacts();
    return status == 66 || status == 67 || status == 69 || status == 70;
  }));
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  inside_modal([&] {
    EXPECT_EQ(chat.nudge_status(), u"");
    chat.operation(3);
    EXPECT_EQ(chat.nudge_status(), u"已向 Bob 发送震动");
    wait_peer(*bob, FX_MSG_NUDGE, "100000001");
    settle();
    EXPECT_EQ(golden("chat_nudge_sent"), "");
    // A second one within 10 s is refused by the engine, and said so.
    chat.operation(3);
    EXPECT_EQ(chat.nudge_status(), u"震动未发出：对方离线或10秒内已震动");
    settle();
    EXPECT_EQ(golden("chat_nudge_refused"), "");
    // After a moment the title comes back.
    ws->post(chat.window(), platform::msg::kTimer, CBriskLibTavrinMsg::kNudgeStatusTimer);
    settle();
    EXPECT_EQ(chat.nudge_status(), u"");
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;
}

TEST_F(ChatWindowTest, TheEmoticonPickerSelectsOnlyRealCells) {
  auto cell_point = [](int index) {
    return controls::Point{CEmoticonDlg::kGrid.left + index % 11 * 42 + 21,
                           CEmoticonDlg::kGrid.top + index / 11 * 40 + 20 + 52};
  };
  {
    CEmoticonDlg picker(0);
    inside_modal([&] {
      EXPECT_EQ(picker.code(), u":d");
      for (int empty : {53, 54}) {
        const auto p = cell_point(empty);
        tap(p.x, p.y);
        EXPECT_EQ(picker.selected(), 3u);
      }
      const auto heart = cell_point(21);
      tap(heart.x, heart.y);
      EXPECT_EQ(picker.code(), u"(l)");
      EXPECT_EQ(golden("emoticon_picker"), "");
      tap(420, 52 + 690);  // cancel
    });
    EXPECT_EQ(picker.run_modal(), 0);
  }
  // From the chat window: OK without touching the grid appends ":d".
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    chat.input().set_text(u"ha");
    inside_modal([&] { tap(60, 52 + 690); });
    chat.operation(2);
    EXPECT_EQ(chat.input().text(), u"ha:d");
    chat.close();
  });
  chat.run_modal();
}

TEST_F(ChatWindowTest, GoldenWithLinesOfEveryHeight) {
  const std::u16string stored[] = {
      u"Bob：下班后一起去吃饭吧？我知道一家新开的面馆，听说味道很不错，价格也实惠。就在公司对面那条"
      u"街的拐角处，走路五分钟就到。要不要叫上小李他们一起？他上次说也想去试试看。我们可以六点半出"
      u"发，吃完再去江边走走消消食。",
      u"机主：好啊，六点半在门口见，我先把手上的报告写完，再顺路去银行取点现金，最后还要回一个客户"
      u"的电话。",
      u"Bob：没问题，我在门口等你，记得带伞，天气预报说晚上可能下雨哦。另外小李说他七点才能到，让我"
      u"们先点菜，不用等他。我们到了再联系吧。",
      u"机主：收到 :)",
  };
  const char16_t* times[] = {u"18:02:11", u"18:03:40", u"18:04:02", u"18:05:00"};
  auto log = alice_log();
  for (size_t i = 0; i < std::size(stored); ++i) log.append(kBob, stored[i], times[i]);
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    ASSERT_EQ(chat.lines().size(), 4u);
    std::vector<int> heights;
    for (const auto& l : chat.lines()) heights.push_back(l.height);
    EXPECT_EQ(heights, (std::vector<int>{70, 120, 90, 170}));  // newest first
    chat.input().set_text(u"带上伞，外面在下雨");
    EXPECT_EQ(golden("chat_window"), "");
    chat.close();
  });
  chat.run_modal();
}

// The tabs and the title read whole: 最近联系人's names on the dark skin,
// 会话's arrows with its count between them, and a long name shortened with
// "…" so that the title keeps its mode. golden() also runs the design check,
// which names any text cut, wrapped apart, drawn as empty boxes or faint.
TEST_F(ChatWindowTest, TheTabsAndALongTitleReadWhole) {
  const char16_t kLong[] = u"Bartholomew Fitzgerald-Montgomery";
  ASSERT_EQ(fs_set_buddyinfo(kBob, platform::utf16_to_utf8(kLong).c_str()), 1);
  main.recent = {{kCarol, u"Carol", true}, {kBob, kLong, false}};
  main.talks = {{kBob, kLong, false}, {kCarol, u"Carol", false}};
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    EXPECT_TRUE(chat.title().starts_with(u"与 Bartholomew"))
        << platform::utf16_to_utf8(chat.title());
    EXPECT_TRUE(chat.title().ends_with(u"… 聊天中（聊天模式）"))
        << platform::utf16_to_utf8(chat.title());
    tap(80, 52 + 70);
    EXPECT_EQ(chat.tab(), 1);
    EXPECT_EQ(golden("chat_recent_tab"), "");
    tap(400, 52 + 70);
    EXPECT_EQ(chat.tab(), 3);
    EXPECT_EQ(golden("chat_conversations_tab"), "");
    chat.close();
  });
  chat.run_modal();
}

// The 操作 strip is seen above the line list and its cells are hit where
// they are drawn, also when it opens over a shown input panel; a tap beside
// the input box puts the panel away, and the soft keys work while it is up.
TEST_F(ChatWindowTest, TheOperationsStripIsSeenAndHitWhereItIsDrawn) {
  auto log = alice_log();
  for (int i = 0; i < 8; ++i) log.append(kBob, u"Bob：line", u"08:00:00");
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    for (bool panel_up : {false, true}) {
      SCOPED_TRACE(panel_up ? "panel up" : "panel down");
      chat.input().set_text(u"");
      platform::Clipboard::set_text(u"pasted");
      if (panel_up) {
        ASSERT_TRUE(panel->show(true));
      }
      settle();
      tap(240, 770);  // 操作
      ASSERT_TRUE(chat.operations_shown());
      EXPECT_EQ(panel->shown(), panel_up);  // a soft key leaves the panel as it is
      const controls::Rect strip = chat.operations_rect();
      EXPECT_LE(strip.bottom + 52, panel->shown() ? panel->top_edge() : 800 - 60);
      // The display shows the strip the window drew, not the list under it.
      gfx::PixelCanvas drawn = chat.surface().lock();
      for (int y = strip.top + 4; y < strip.bottom - 4; y += 9)
        for (int x = strip.left + 4; x < strip.right - 4; x += 37)
          ASSERT_EQ(display->frame()[size_t(y + 52) * 480 + size_t(x)], drawn.row(y)[x])
              << x << "," << y;
      // Cell 1 (paste), in the middle of where it is drawn.
      const int top =
          strip.top + (CBriskLibTavrinMsg::kOperationTop - CBriskLibTavrinMsg::kOperations.top);
      tap(CBriskLibTavrinMsg::kOperationLeft + 64 + 32, top + 32 + 52);
      settle();
      EXPECT_FALSE(chat.operations_shown());
      EXPECT_EQ(chat.input().text(), u"pasted");
    }
    // A tap beside the input box hides the panel; the list and tabs stay.
    ASSERT_TRUE(panel->show(true));
    settle();
    tap(240, 52 + 262);
    EXPECT_FALSE(panel->shown());
    EXPECT_EQ(chat.tab(), 2);
    // Escape puts the panel away first; the window stays open.
    ASSERT_TRUE(panel->show(true));
    settle();
    key(platform::key::kEscape);
    EXPECT_FALSE(panel->shown());
    chat.close();
  });
  chat.run_modal();
}

// Typing on the panel's keys reaches the input box through the desktop
// keyboard's path (shift for one capital, the symbols page, backspace), and
// 发送 below the panel sends the line and puts the panel away.
TEST_F(ChatWindowTest, TypingOnTheTouchKeyboardSendsALine) {
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;  // the send result comes back through the main window
  inside_modal([&] {
    tap(CBriskLibTavrinMsg::kInput.left + 20, CBriskLibTavrinMsg::kInput.top + 52 + 20);
    ASSERT_TRUE(panel->shown());
    for (const char16_t* k :
         {u"大写", u"o", u"k", u"符号", u"!", u"!", u"删除", u"字母", u"空格", u"2"}) {
      const platform::Point p = panel->key_point(k);
      ASSERT_GE(p.x, 0) << platform::utf16_to_utf8(k);
      tap(p);
    }
    EXPECT_EQ(chat.input().text(), u"Ok! 2");
    tap(panel->key_point(u"大写"));
    EXPECT_EQ(golden("chat_touch_keyboard"), "");
    tap(60, 770);  // 发送
    ASSERT_FALSE(chat.lines().empty());
    // Pending until the service takes it, then sent.
    EXPECT_TRUE(pump_until([&] { return chat.lines()[0].text == u"机主：Ok! 2"; }))
        << platform::utf16_to_utf8(chat.lines()[0].text);
    EXPECT_FALSE(panel->shown());
    chat.close();
  });
  chat.run_modal();
}

// Emoticon codes in lines show as the picker's pictures, a received line
// and a sent one alike; the line sent, shown and logged keeps its codes.
TEST_F(ChatWindowTest, EmoticonCodesShowAsPictures) {
  // Stored lines at fixed times, so that the picture does not follow the clock.
  alice_log().append(kBob, u"Bob：生日快乐 (^)(g) 晚上见 :)", u"19:30:00");
  alice_log().append(kBob, u"机主：谢谢 (l)(l)", u"19:31:00");
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  inside_modal([&] {
    ASSERT_EQ(chat.lines().size(), 2u);
    EXPECT_EQ(golden("chat_emoticons"), "");
    chat.input().set_text(u"(y) 晚上见");
    tap(60, 770);  // 发送
    ASSERT_EQ(chat.lines().size(), 3u);
    EXPECT_TRUE(pump_until([&] { return chat.lines()[0].text == u"机主：(y) 晚上见"; }))
        << platform::utf16_to_utf8(chat.lines()[0].text);
    chat.close();
  });
  chat.run_modal();
  // The codes stay the stored (and the wire) form.
  const auto logged = alice_log().history(kBob);
  ASSERT_EQ(logged.size(), 3u);
  EXPECT_EQ(logged[2].line, u"机主：(y) 晚上见");
}

// Latin, Chinese and emoji in a chat line and in the input box: Latin text
// without gaps, emoji in colour; the stored line keeps its text unchanged.
TEST_F(ChatWindowTest, GoldenWithLatinChineseAndEmoji) {
  const std::u16string line = u"Bob：Happy birthday 生日快乐 \U0001F382\U0001F389 see you at 7!";
  alice_log().append(kBob, line, u"19:30:00");
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    ASSERT_EQ(chat.lines().size(), 1u);
    EXPECT_EQ(chat.lines()[0].text, line);
    chat.input().set_text(u"Thanks Bob 谢谢 \U0001F600 reply from alice");
    EXPECT_EQ(golden("chat_mixed_text"), "");
    chat.close();
  });
  chat.run_modal();
  ASSERT_EQ(alice_log().history(kBob).size(), 1u);
  EXPECT_EQ(alice_log().history(kBob)[0].line, line);
}

// A chat opens with the input box focused, so the first words typed land
// in it; a paste (操作 → 粘贴) and an emoticon go in at the caret, keeping
// what was typed on both sides.
TEST_F(ChatWindowTest, TypingGoesInAtOnceAndPasteInsertsAtTheCaret) {
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  inside_modal([&] {
    type(u"abcd");  // no tap first
    EXPECT_EQ(chat.input().text(), u"abcd");
    key(platform::key::kLeft);
    key(platform::key::kLeft);
    EXPECT_EQ(chat.input().caret(), 2u);
    platform::Clipboard::set_text(u"XY 😀");
    chat.operation(1);
    EXPECT_EQ(chat.input().text(), u"abXY 😀cd");
    EXPECT_EQ(chat.input().caret(), 7u);
    // What the box cannot hold stays out; what it held stays.
    platform::Clipboard::set_text(std::u16string(400, u'x'));
    chat.operation(1);
    EXPECT_EQ(chat.input().text().size(), chat.input().max_length());
    EXPECT_TRUE(chat.input().text().starts_with(u"abXY 😀"));
    EXPECT_TRUE(chat.input().text().ends_with(u"xcd"));
    chat.close();
  });
  chat.run_modal();
}

// Signed out, the title band says so and a line fails at once; tapping the
// failed line offers to send it again, and once signed in it goes, in the
// failed line's place (on screen and in the log).
TEST_F(ChatWindowTest, SignedOutIsShownAndAFailedLineCanBeSentAgain) {
  auto bob = peer("100000002", "bob123");
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  inside_modal([&] {
    chat.set_logged_in(false);
    EXPECT_EQ(chat.band_note(), u"未登录：消息发不出去，请先登录");
    EXPECT_EQ(golden("chat_signed_out"), "");  // before any line: its time is the clock's
    chat.input().set_text(u"see you at 7");
    press(80);
    ASSERT_EQ(chat.lines().size(), 1u);
    EXPECT_EQ(chat.lines()[0].text, u"发送失败：see you at 7");

    chat.set_logged_in(true);
    EXPECT_EQ(chat.band_note(), u"");
    when_ready([&] { return ws->modal_depth() > 1; }, [&] {
      down(140, 358);  // 是
      up(140, 358);
    });
    tap(240, 52 + CBriskLibTavrinMsg::kLines.top + 30);
    ASSERT_EQ(chat.lines().size(), 1u);  // in the failed line's place
    EXPECT_FALSE(chat.lines()[0].text.starts_with(u"发送失败"));
    wait_peer(*bob, 16, "\"text\":\"see you at 7\"");
    EXPECT_TRUE(pump_until([&] { return chat.lines()[0].text == u"机主：see you at 7"; }));
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;
  const auto logged = alice_log().history(kBob);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].line, u"机主：see you at 7");
}

// A line to a contact who is not signed in goes to the server, which keeps
// it: the title band says so for a moment, and the line is not failed.
TEST_F(ChatWindowTest, ALineToAnOfflineContactSaysItWaitsOnTheServer) {
  CBriskLibTavrinMsg chat(kBob, 0, main, false);
  main.chat = &chat;
  inside_modal([&] {
    chat.input().set_text(u"call me when you are back");
    press(80);
    ASSERT_EQ(chat.lines().size(), 1u);
    EXPECT_FALSE(chat.lines()[0].text.starts_with(u"发送失败"));
    EXPECT_EQ(chat.band_note(), u"Bob 不在线：消息存在服务器，上线后收到");
    chat.close();
  });
  chat.run_modal();
  main.chat = nullptr;
}

}  // namespace
}  // namespace tavrin::test
