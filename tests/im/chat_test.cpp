// Chats between two engines through tavrin-server.
#include <algorithm>
#include <set>
#include <thread>

#include "frame/engine.h"
#include "im/dialogs.h"
#include "im_fixture.h"
#include "sipc_client.h"

namespace tavrin::test {
namespace {

using std::chrono::seconds;

TEST_F(ImTest, LinesSentWhileTheInvitationIsPendingArriveInOrderAndAreReported52) {
  auto bob = start_bob();
  ASSERT_TRUE(eventually([] { return fx_is_on_line_by_id(kBob) == 1; }));

  // The first line starts the invitation; the second may find it pending or
  // already answered, and still arrives second.
  EXPECT_EQ(fx_dialog_send(kBob, "first", nullptr, nullptr), 1);
  EXPECT_EQ(fx_dialog_send(kBob, "second", nullptr, nullptr), 1);

  PeerEvent e;
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE, kAlice, &e, 1));
  EXPECT_EQ(e.text, "first");
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE, kAlice, &e, 2));
  EXPECT_EQ(e.text, "second");
  EXPECT_EQ(bob->command("get 100000001"), "msg first");
  EXPECT_EQ(bob->command("get 100000001"), "msg second");
  EXPECT_EQ(bob->command("get 100000001"), "none");

  Seen s;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SENT, kBob, &s, 1));
  EXPECT_EQ(s.text, "first");
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SENT, kBob, &s, 2));
  EXPECT_EQ(s.text, "second");

  // The dialog is open now: a line goes straight in, and Bob's answer back
  // reaches this engine's queue.
  EXPECT_EQ(im::dialog_state(kBob), 2);
  EXPECT_EQ(fx_dialog_send(kBob, "third", nullptr, nullptr), 1);
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE, kAlice, &e, 3));
  EXPECT_EQ(e.text, "third");
  EXPECT_EQ(bob->command("send 100000001 back at you"), "ok 1");
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_MESSAGE, kBob, &s));
  EXPECT_EQ(s.text, "back at you");
  fx_msg* m = fx_get_msg(kBob);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->text, "back at you");
  EXPECT_STREQ(m->content_type, "text/html-fragment");
  EXPECT_NE(m->date, nullptr);
  fx_destroy_msg(m);
}

TEST_F(ImTest, ALineTheReceiverNeverKeptComesAgainAtItsNextLoginAKeptOneDoesNot) {
  auto bob = start_bob();
  ASSERT_TRUE(eventually([] { return fx_is_on_line_by_id(kBob) == 1; }));
  PeerEvent e;
  EXPECT_EQ(fx_dialog_send(kBob, "kept", nullptr, nullptr), 1);
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE, kAlice, &e, 1));
  EXPECT_EQ(bob->command("get 100000001"), "msg kept");
  // Bob's next line reaches us only after the service has read his answer
  // to the kept one: one connection, read in order.
  EXPECT_EQ(bob->command("send 100000001 ping"), "ok 1");
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_MESSAGE, kBob));

  EXPECT_EQ(fx_dialog_send(kBob, "never kept", nullptr, nullptr), 1);
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE, kAlice, &e, 2));
  Seen s;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SENT, kBob, &s, 2));
  bob->kill_now();  // before his client kept the line

  auto again = start_bob();
  ASSERT_TRUE(again->wait_event(FX_MSG_CHAT_MESSAGE, kAlice, &e, 1, seconds(30)));
  EXPECT_EQ(again->command("get 100000001"), "msg never kept");
  EXPECT_EQ(again->command("get 100000001"), "none");
}

TEST_F(ImTest, LineToAnOfflineContactGoesOutsideADialogAndArrivesAtTheNextLogin) {
  ASSERT_EQ(fx_is_on_line_by_id(kBob), 0);
  EXPECT_EQ(fx_dialog_send(kBob, "while you were away", nullptr, nullptr), 1);
  EXPECT_EQ(im::dialog_state(kBob), 2);  // the line's call id is the dialog's
  Seen s;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SENT, kBob, &s));
  EXPECT_EQ(s.text, "while you were away");

  auto bob = start_bob();
  PeerEvent e;
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE, kAlice, &e));
  EXPECT_EQ(e.text, "while you were away");
  EXPECT_EQ(bob->command("get 100000001"), "msg while you were away");
}

TEST_F(ImTest, GroupChatLineIsReportedWithTheGroupVariant) {
  // The login opened the group chat's dialog.
  ASSERT_TRUE(eventually([] { return im::dialog_state(kFans) == 2; }));
  auto bob = start_bob();
  ASSERT_TRUE(eventually([] { return fx_is_on_line_by_id(kBob) == 1; }));
  EXPECT_EQ(fx_dialog_send(kFans, "hello fans", nullptr, nullptr), 1);
  Seen s;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_QUN_CHAT_SENT, kFans, &s));
  EXPECT_EQ(s.text, "hello fans");
  // Bob hears it from the group, with Alice as the source.
  PeerEvent e;
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE_SO, kFans, &e));
  EXPECT_EQ(e.text, "hello fans");
}

class BlacklistTest : public ImTest {
  std::vector<std::string> server_args() override { return {"-vvv"}; }
};

TEST_F(BlacklistTest, BlacklistedSendersLineIsAnsweredButNeverQueued) {
  ASSERT_EQ(fx_is_InBlacklist_by_id(kMallory), 1);
  SipcClient mallory(server_->sipcPort());
  ASSERT_EQ(mallory.login("100000007", "mallory123"), 200);
  const int32_t call = mallory.nextCallId();
  sipc_message line = mallory.request("M", call, 2, "let me in");
  line.add_header("T", "sip:100000001@tavrin.local");
  line.add_header("C", "text/html-fragment");
  mallory.send(line);
  // The service answers it like any line and relays it nowhere (the engine's
  // own filter, for a line that does arrive, is shown in dialog_unit_test).
  sipc_message answer;
  ASSERT_TRUE(mallory.answer(call, 2, answer));
  EXPECT_EQ(answer.status(), 200);

  // A line from Bob after it is queued and reported; Mallory's never was.
  auto bob = start_bob();
  EXPECT_EQ(bob->command("send 100000001 hi Alice"), "ok 1");
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_MESSAGE, kBob));
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_MESSAGE, kMallory), 0u);
  EXPECT_EQ(fx_get_msg(kMallory), nullptr);
  fx_msg* m = fx_get_msg(kBob);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->text, "hi Alice");
  fx_destroy_msg(m);
}

TEST_F(ImTest, SecondNudgeWithinTenSecondsIsRefusedALaterOneIsSent) {
  auto bob = start_bob();
  ASSERT_TRUE(eventually([] { return fx_is_on_line_by_id(kBob) == 1; }));
  EXPECT_EQ(fx_send_nudge(kBob), 1);
  EXPECT_EQ(fx_send_nudge(kBob), 0);
  ASSERT_TRUE(bob->wait_event(FX_MSG_NUDGE, kAlice, nullptr, 1));

  // Ten seconds of ticks pass at once: the rate limit reads the tick count.
  for (uint32_t i = 0; i <= im::kNudgeGapTicks; ++i) engine().timers.tick();
  EXPECT_EQ(fx_send_nudge(kBob), 1);
  ASSERT_TRUE(bob->wait_event(FX_MSG_NUDGE, kAlice, nullptr, 2));
}

TEST_F(ImTest, PeerEndingTheDialogDropsIt) {
  auto bob = start_bob();
  ASSERT_TRUE(eventually([] { return fx_is_on_line_by_id(kBob) == 1; }));
  // Each side opens its own dialog with the other.
  EXPECT_EQ(bob->command("send 100000001 hello"), "ok 1");
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_MESSAGE, kBob));
  EXPECT_EQ(fx_dialog_send(kBob, "hello Bob", nullptr, nullptr), 1);
  ASSERT_TRUE(bob->wait_event(FX_MSG_CHAT_MESSAGE, kAlice));
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SENT, kBob));
  ASSERT_EQ(im::dialog_state(kBob), 2);

  EXPECT_EQ(bob->command("end 100000001"), "ok 1");
  EXPECT_TRUE(eventually([] { return im::dialog_state(kBob) == 0; }));
}

// The server logs every request with its body; Alice logs in in the test.
class InvitationTest : public ImTest {
  std::vector<std::string> server_args() override { return {"-vvv"}; }
  bool log_in_at_start() override { return false; }

 protected:
  // The uri at the end of each invitation's session description that the
  // server received (from either engine), in order.
  std::vector<std::string> invitation_uris() {
    const std::string log = server_->log();
    const std::string body = "-> body: v=0";
    const std::string media = "\r\nm=message ";  // then "<port> sip <own uri>"
    std::vector<std::string> uris;
    for (size_t at = log.find(body); at != std::string::npos; at = log.find(body, at + 1)) {
      size_t from = log.find(media, at);
      if (from == std::string::npos) break;
      from += media.size();
      const std::string line = log.substr(from, log.find('\n', from) - from);
      const size_t sip = line.find(" sip ");
      uris.push_back(sip == std::string::npos ? "?" : line.substr(sip + 5));
    }
    return uris;
  }
};

TEST_F(InvitationTest, ChatBegunRightAfterLoginNamesTheOwnUri) {
  auto bob = start_bob();
  ASSERT_EQ(fs_login("100000001", "alice123"), 1);
  // 14 has arrived: Alice's group chats were invited during the login, and
  // the chat begun now is the first after it.
  ASSERT_TRUE(eventually([] { return fx_is_on_line_by_id(kBob) == 1; }));
  ASSERT_EQ(fx_begin_dialog(kBob, ImRecorder::callback, &rec_), 1);
  Seen open;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_DIALOG_OPEN, kBob, &open));
  EXPECT_NE(open.p1, 0);  // the call id: an invitation went out and was answered

  // Alice's two group chats and her chat with Bob, and Bob's group chat:
  // each invitation names its sender's own uri, none an empty one.
  const std::vector<std::string> uris = invitation_uris();
  for (const std::string& uri : uris) EXPECT_EQ(uri.rfind("sip:10000000", 0), 0u) << uri;
  EXPECT_GE(std::count_if(uris.begin(), uris.end(),
                          [](const std::string& u) { return u.rfind("sip:100000001@", 0) == 0; }),
            3);
}

class WithheldAcksTest : public ImTest {
  std::vector<std::string> server_args() override { return {"--test-withhold-acks"}; }
};

TEST_F(WithheldAcksTest, UnansweredLineGives54AfterTheTimeOutAndKeepsTheRecord) {
  EXPECT_EQ(fx_dialog_send(kBob, "anyone there?", nullptr, nullptr), 1);
  EXPECT_EQ(fx_dialog_send(kBob, "hello?", nullptr, nullptr), 1);
  // Thirty seconds of ticks at once (single passes: an entry that moves
  // into a freed position waits for the next pass).
  for (uint32_t i = 0; i <= im::kLineTimeoutTicks + 4; ++i) engine().timers.advance(1);
  Seen first, second;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SEND_TIMEOUT, kBob, &first, 1, seconds(2)));
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SEND_TIMEOUT, kBob, &second, 2, seconds(2)));
  // Timers of one pass fire in table order, not in order of sending.
  std::set<std::string> texts{first.text, second.text};
  EXPECT_EQ(texts, (std::set<std::string>{"anyone there?", "hello?"}));
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SENT), 0u);
  // The records stay with the engine (freed with the dialog at the end).
}

}  // namespace
}  // namespace tavrin::test
