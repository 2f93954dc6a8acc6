// The chat and SMS layer without threads or a server: requests are taken
// from the send queue, answers are fed to the wire as if received, and the
// timer table is advanced by hand. Shows the record ownership around
// time-outs and late answers, 481, incoming invitations, the blacklist
// answer and the bound on waiting lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "frame/engine.h"
#include "im/dialogs.h"
#include "im/sms.h"
#include "im_recorder.h"
#include "recording_driver.h"
#include "roster/engine_contacts.h"
#include "sipc/command.h"
#include "sipc/wire.h"
#include "wiring/engine_init.h"

namespace tavrin::test {
namespace {

constexpr long kCarol = 100000003;  // offline

class ImUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wiring::connect_parts();
    RecordingDriver::reset();
    set_login_id("100000001");
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    state.set_login("100000001", "pw");
    auto store = std::make_unique<contacts::ContactStore>();
    add(*store, kBob, "sip:100000002@tavrin.local;p=1", 66);
    add(*store, kCarol, "sip:100000003@tavrin.local;p=1", 68);
    fx_blocked b{kMallory, const_cast<char*>("sip:100000007@tavrin.local;p=1"), nullptr};
    store->add_blocked(b);
    state.install(std::move(store));
    fx_set_system_msg_cb(ImRecorder::callback, &rec_);
  }
  void TearDown() override {
    fx_set_system_msg_cb(nullptr, nullptr);
    im::clear_dialogs();
    wire().transactions.clear();
    engine().timers.clear();
    engine().messages.clear();
    engine().send_queue.clear();
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    state.reset();
  }
  static void add(contacts::ContactStore& s, long id, const char* uri, int status) {
    fx_account a{};
    a.id = id;
    a.uri = const_cast<char*>(uri);
    a.relation_status = 1;
    a.status = status;
    a.kind = 1;
    s.add_account(a);
  }
  // What the engine queued since the last call.
  std::string sent() {
    engine().send_queue.flush(RecordingDriver::table());
    std::lock_guard lock(RecordingDriver::mu);
    std::string out = RecordingDriver::sent;
    RecordingDriver::sent.clear();
    return out;
  }
  static void receive(const std::string& text) { wire().polled(text.data(), text.size()); }
  static void ticks(uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) engine().timers.advance(1);
  }
  static int32_t call_id_in(const std::string& text) {
    const size_t at = text.find("\r\nI: ");
    return at == std::string::npos ? 0 : std::stoi(text.substr(at + 5));
  }

  ImRecorder rec_;
};

TEST_F(ImUnitTest, LateAnswerAfterTheTimeOutHandsOverTheRecordTheTimeOutReported) {
  ASSERT_EQ(fx_dialog_send(kCarol, "late", nullptr, nullptr), 1);
  const int32_t line = call_id_in(sent());
  ASSERT_EQ(fx_send_sms(kBob, "sms", nullptr, nullptr), 1);
  const int32_t sms = call_id_in(sent());
  ticks(im::kLineTimeoutTicks + 2);
  Seen line_timeout, sms_timeout;
  ASSERT_TRUE(
      rec_.wait_for(FX_MSG_CHAT_SEND_TIMEOUT, kCarol, &line_timeout, 1, std::chrono::seconds(0)));
  ASSERT_TRUE(rec_.wait_for(FX_MSG_SMS_TIMEOUT, kBob, &sms_timeout, 1, std::chrono::seconds(0)));

  receive("SIP-C/2.0 200 OK\r\nI: " + std::to_string(line) + "\r\nQ: 2 M\r\n\r\n");
  receive("SIP-C/2.0 280 Send SMS OK\r\nI: " + std::to_string(sms) + "\r\nQ: 1 M\r\n\r\n");
  Seen delivered, accepted;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SENT, kCarol, &delivered, 1, std::chrono::seconds(0)));
  ASSERT_TRUE(rec_.wait_for(FX_MSG_SMS_OK, kBob, &accepted, 1, std::chrono::seconds(0)));
  // The same records, handed over now (the recorder frees them once).
  EXPECT_EQ(delivered.p1, line_timeout.p1);
  EXPECT_EQ(accepted.p1, sms_timeout.p1);
  EXPECT_EQ(delivered.text, "late");
  EXPECT_EQ(accepted.text, "sms");
  // A second answer finds nothing to report.
  receive("SIP-C/2.0 200 OK\r\nI: " + std::to_string(line) + "\r\nQ: 2 M\r\n\r\n");
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SENT), 1u);
}

TEST_F(ImUnitTest, Answer481ReportsAFailureAndInvitesAgain) {
  ASSERT_EQ(fx_dialog_send(kCarol, "gone?", nullptr, nullptr), 1);
  const int32_t line = call_id_in(sent());
  receive("SIP-C/2.0 481 Call Leg/Transaction Does Not Exist\r\nI: " + std::to_string(line) +
          "\r\nQ: 2 M\r\n\r\n");
  Seen failed;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_SEND_FAILED, kCarol, &failed, 1, std::chrono::seconds(0)));
  EXPECT_EQ(failed.text, "gone?");
  const std::string again = sent();
  EXPECT_EQ(again.rfind("I tavrin.local SIP-C/2.0\r\n", 0), 0u) << again;
  EXPECT_NE(again.find("T: sip:100000003@tavrin.local;p=1"), std::string::npos);
  EXPECT_EQ(im::dialog_state(kCarol), 1);
}

TEST_F(ImUnitTest, IncomingInvitationReplacesTheDialogAndIsReported137) {
  ASSERT_EQ(fx_dialog_send(kCarol, "hi", nullptr, nullptr), 1);  // a dialog of our own
  sent();
  receive(
      "I tavrin.local SIP-C/2.0\r\nF: sip:100000003@tavrin.local;p=1\r\nI: 1000007\r\n"
      "Q: 1 I\r\nL: 3\r\n\r\nv=0");
  ASSERT_TRUE(rec_.wait_for(FX_MSG_DIALOG_INVITED, kCarol, nullptr, 1, std::chrono::seconds(0)));
  const std::string answer = sent();
  EXPECT_EQ(answer.rfind("SIP-C/2.0 200 OK\r\n", 0), 0u);
  EXPECT_NE(answer.find("m=message"), std::string::npos);
  // Lines now go on the inviter's call id.
  ASSERT_EQ(fx_dialog_send(kCarol, "on your call", nullptr, nullptr), 1);
  EXPECT_EQ(call_id_in(sent()), 1000007);
  // The peer ends it: answered without "F", and dropped.
  receive(
      "B tavrin.local SIP-C/2.0\r\nF: sip:100000003@tavrin.local;p=1\r\nI: 1000007\r\nQ: 5 "
      "B\r\n\r\n");
  const std::string bye_answer = sent();
  EXPECT_EQ(bye_answer.rfind("SIP-C/2.0 200 OK\r\n", 0), 0u);
  EXPECT_EQ(bye_answer.find("F: "), std::string::npos);
  EXPECT_EQ(im::dialog_state(kCarol), 0);
}

TEST_F(ImUnitTest, BlacklistedLineIsAnsweredButNotQueuedOthersAre) {
  receive(
      "M tavrin.local SIP-C/2.0\r\nF: sip:100000007@tavrin.local;p=1\r\nI: 1000001\r\n"
      "Q: 3 M\r\nL: 4\r\n\r\nspam");
  EXPECT_EQ(
      sent(),
      "SIP-C/2.0 200 OK\r\nF: sip:100000007@tavrin.local;p=1\r\nI: 1000001\r\nQ: 3 M\r\n\r\n");
  EXPECT_EQ(fx_get_msg(kMallory), nullptr);
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_MESSAGE), 0u);

  // Nudges, outside a dialog and in one the sender opened: neither is shown.
  const std::string nudge = "<is-composing><state>nudge</state></is-composing>";
  const std::string length = "L: " + std::to_string(nudge.size()) + "\r\n\r\n";
  receive("IN tavrin.local SIP-C/2.0\r\nF: sip:100000007@tavrin.local;p=1\r\nI: 1000003\r\n"
          "Q: 1 IN\r\n" + length + nudge);
  receive("I tavrin.local SIP-C/2.0\r\nF: sip:100000007@tavrin.local;p=1\r\nI: 1000004\r\n"
          "Q: 1 I\r\n\r\n");
  receive("IN tavrin.local SIP-C/2.0\r\nF: sip:100000007@tavrin.local;p=1\r\nI: 1000004\r\n"
          "Q: 2 IN\r\n" + length + nudge);
  EXPECT_EQ(rec_.count(FX_MSG_NUDGE), 0u);
  receive("IN tavrin.local SIP-C/2.0\r\nF: sip:100000002@tavrin.local;p=1\r\nI: 1000005\r\n"
          "Q: 1 IN\r\n" + length + nudge);
  EXPECT_TRUE(rec_.wait_for(FX_MSG_NUDGE, kBob, nullptr, 1, std::chrono::seconds(0)));
  sent();

  receive(
      "M tavrin.local SIP-C/2.0\r\nF: sip:PG123456@tavrin.local\r\nI: 1000002\r\n"
      "SO: sip:100000002@tavrin.local;p=1\r\nQ: 4 M\r\nL: 5\r\n\r\nhello");
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_MESSAGE_SO, kFans, nullptr, 1, std::chrono::seconds(0)));
  fx_msg* m = fx_get_msg(kFans);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->text, "hello");
  EXPECT_EQ(m->source_id, kBob);
  fx_destroy_msg(m);
}

// A line too long to take is refused with 413 on its own call and sequence,
// and the line behind it arrives: it never holds the others back.
TEST_F(ImUnitTest, ALineTooLongIsRefusedAndTheNextOneArrives) {
  const std::string big(sipc_max_body + 1, 'x');
  receive("M tavrin.local SIP-C/2.0\r\nF: sip:100000002@tavrin.local;p=1\r\nI: 1000010\r\n"
          "Q: 7 M\r\nL: " + std::to_string(big.size()) + "\r\n\r\n" + big +
          "M tavrin.local SIP-C/2.0\r\nF: sip:100000002@tavrin.local;p=1\r\nI: 1000011\r\n"
          "Q: 8 M\r\nL: 7\r\n\r\nafter-0");
  const std::string answers = sent();
  EXPECT_EQ(answers.rfind("SIP-C/2.0 413 Request Entity Too Large\r\n"
                          "F: sip:100000002@tavrin.local;p=1\r\nI: 1000010\r\nQ: 7 M\r\n\r\n", 0),
            0u)
      << answers;
  fx_msg* m = fx_get_msg(kBob);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->text, "after-0");
  EXPECT_EQ(fx_get_msg(kBob), nullptr);
  fx_destroy_msg(m);
  sent();
  // Sending one over the shared limit is refused before it is queued.
  const std::string too_long(kMaxLineBytes + 1, 'y');
  EXPECT_EQ(fx_dialog_send(kCarol, too_long.c_str(), nullptr, nullptr), 0);
  EXPECT_EQ(sent(), "");
}

TEST_F(ImUnitTest, ALineIsAnsweredOnlyOnceTheClientLetsItsRecordGo) {
  // The service keeps a line until its 200: a client that dies between
  // taking a line and keeping it must not have answered it.
  const auto line = [](int seq) {
    return "M tavrin.local SIP-C/2.0\r\nF: sip:100000002@tavrin.local;p=1\r\nI: 1000009\r\nQ: " +
           std::to_string(seq) + " M\r\nL: 2\r\n\r\nhi";
  };
  receive(line(6));
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_MESSAGE, kBob, nullptr, 1, std::chrono::seconds(0)));
  EXPECT_EQ(sent(), "");
  fx_msg* m = fx_get_msg(kBob);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(sent(), "");  // taken, not yet kept
  fx_destroy_msg(m);
  EXPECT_EQ(sent(),
            "SIP-C/2.0 200 OK\r\nF: sip:100000002@tavrin.local;p=1\r\nI: 1000009\r\nQ: 6 "
            "M\r\n\r\n");

  // Owed on a connection that has since been replaced: not sent on the new one.
  receive(line(7));
  m = fx_get_msg(kBob);
  ASSERT_NE(m, nullptr);
  wire().reset_receive();
  fx_destroy_msg(m);
  EXPECT_EQ(sent(), "");

  // Lines still queued when the engine clears its queue are not answered.
  receive(line(8));
  engine().messages.clear();
  EXPECT_EQ(sent(), "");
}

TEST_F(ImUnitTest, ALineWithANulArrivesWhole) {
  // Readers of fx_msg stop at the first NUL: the rest of the line must not vanish.
  receive(
      "M tavrin.local SIP-C/2.0\r\nF: sip:100000002@tavrin.local;p=1\r\n"
      "I: 1000003\r\nQ: 5 M\r\nL: 9\r\n\r\n" +
      std::string("first\0end", 9));
  ASSERT_TRUE(rec_.wait_for(FX_MSG_CHAT_MESSAGE, kBob, nullptr, 1, std::chrono::seconds(0)));
  fx_msg* m = fx_get_msg(kBob);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->text,
               "first\xef\xbf\xbd"
               "end");
  fx_destroy_msg(m);
}

TEST_F(ImUnitTest, AContactHoldsAtMost64WaitingLines) {
  for (size_t i = 0; i < im::DialogTable::kMaxWaitingLines; ++i)
    ASSERT_EQ(fx_dialog_send(kCarol, "unanswered", nullptr, nullptr), 1) << i;
  EXPECT_EQ(fx_dialog_send(kCarol, "one more", nullptr, nullptr), 0);
  // An answer frees a place.
  const int32_t line = call_id_in(sent());
  receive("SIP-C/2.0 200 OK\r\nI: " + std::to_string(line) + "\r\nQ: 2 M\r\n\r\n");
  EXPECT_EQ(fx_dialog_send(kCarol, "one more", nullptr, nullptr), 1);
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

using Texts = std::vector<std::string>;

TEST_F(ImUnitTest, ClearingTheTableGivesEveryWaitingLineOneFinalResult) {
  // What a re-login or a logout does to the lines of a dead connection.
  ASSERT_EQ(fx_dialog_send(kCarol, "timed out", nullptr, nullptr), 1);  // offline: outside
  sent();
  ticks(im::kLineTimeoutTicks + 2);
  ASSERT_EQ(rec_.count(FX_MSG_CHAT_SEND_TIMEOUT), 1u);
  ASSERT_EQ(fx_dialog_send(kCarol, "in the dialog", nullptr, nullptr), 1);
  ASSERT_EQ(fx_dialog_send(kBob, "behind the invitation", nullptr, nullptr), 1);  // online
  sent();
  ASSERT_EQ(im::dialog_state(kBob), 1);

  im::clear_dialogs();
  EXPECT_EQ(rec_.texts(FX_MSG_CHAT_SEND_FAILED), (Texts{"in the dialog", "behind the invitation"}));
  EXPECT_EQ(rec_.texts(FX_MSG_CHAT_SEND_TIMEOUT), (Texts{"timed out"}));  // and nothing more
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SENT), 0u);
  // Nothing is left to report later.
  ticks(im::kLineTimeoutTicks + im::kDelayTicks);
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SEND_FAILED) + rec_.count(FX_MSG_CHAT_SEND_TIMEOUT), 3u);
}

TEST_F(ImUnitTest, EveryWayADialogEndsFailsTheLinesStillInIt) {
  // Carol is offline (her lines go outside a dialog, which then is hers);
  // Bob is online and invites us first, so that his dialog is open.
  const auto from = [](long who) {
    return "F: sip:" + std::to_string(who) + "@tavrin.local;p=1\r\n";
  };
  const struct {
    const char* name;
    long who;
    std::function<void(int32_t call_id)> end;
  } ways[] = {
      {"the contact went offline", kCarol, [](int32_t) { im::drop_dialog(kCarol); }},
      {"fx_end_dialog", kBob, [](int32_t) { ASSERT_EQ(fx_end_dialog(kBob), 1); }},
      {"the peer ended it", kCarol,
       [&](int32_t call_id) {
         receive("B tavrin.local SIP-C/2.0\r\n" + from(kCarol) + "I: " + std::to_string(call_id) +
                 "\r\nQ: 9 B\r\n\r\n");
       }},
      {"an incoming invitation replaced it", kCarol,
       [&](int32_t) {
         receive("I tavrin.local SIP-C/2.0\r\n" + from(kCarol) +
                 "I: 1000099\r\nQ: 1 I\r\nL: 3\r\n\r\nv=0");
       }},
  };
  for (const auto& way : ways) {
    if (way.who == kBob)
      receive("I tavrin.local SIP-C/2.0\r\n" + from(kBob) +
              "I: 1000100\r\nQ: 1 I\r\nL: 3\r\n\r\nv=0");
    sent();
    const size_t failed_before = rec_.count(FX_MSG_CHAT_SEND_FAILED);
    ASSERT_EQ(fx_dialog_send(way.who, way.name, nullptr, nullptr), 1);
    const int32_t call_id = call_id_in(sent());
    way.end(call_id);
    sent();
    EXPECT_EQ(rec_.count(FX_MSG_CHAT_SEND_FAILED), failed_before + 1) << way.name;
    EXPECT_EQ(rec_.texts(FX_MSG_CHAT_SEND_FAILED).back(), way.name);
    im::clear_dialogs();  // the next way starts without a dialog
    EXPECT_EQ(rec_.count(FX_MSG_CHAT_SEND_FAILED), failed_before + 1) << way.name;
  }
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SENT), 0u);
}

TEST_F(ImUnitTest, ALineWaitingForADialogThatNeverOpensTimesOut) {
  // Bob is online: the line waits behind an invitation nobody answers.
  ASSERT_EQ(fx_dialog_send(kBob, "anyone?", nullptr, nullptr), 1);
  sent();
  ticks(im::kLineTimeoutTicks - im::kDelayTicks);
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SEND_TIMEOUT), 0u);
  ticks(im::kDelayTicks + 2);
  EXPECT_EQ(rec_.texts(FX_MSG_CHAT_SEND_TIMEOUT), (Texts{"anyone?"}));
  // Its one result is out: clearing the table adds none.
  im::clear_dialogs();
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SEND_FAILED), 0u);
  EXPECT_EQ(rec_.count(FX_MSG_CHAT_SEND_TIMEOUT), 1u);
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

TEST_F(ImUnitTest, TheInvitationsAnswerSendsTheWaitingLinesAndNudgeAtOnceInOrder) {
  // Bob is online and has no dialog: everything waits behind the invitation.
  ASSERT_EQ(fx_dialog_send(kBob, "first", nullptr, nullptr), 1);
  ASSERT_EQ(fx_send_nudge(kBob), 1);
  ASSERT_EQ(fx_dialog_send(kBob, "second", nullptr, nullptr), 1);
  const std::string invite = sent();
  ASSERT_EQ(invite.rfind("I tavrin.local SIP-C/2.0\r\n", 0), 0u) << invite;
  const int32_t call_id = call_id_in(invite);

  // No timer runs in this test: only the answer can send them.
  receive("SIP-C/2.0 200 OK\r\nI: " + std::to_string(call_id) +
          "\r\nQ: 1 I\r\nT: sip:100000002@tavrin.local;p=1\r\n\r\n");
  // What the answer queued (a send already under way on the worker may
  // hand it over a moment later).
  std::string out = sent();
  for (int i = 0; i < 200 && out.find("\r\n\r\nsecond") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    out += sent();
  }
  const size_t ack = out.find("A tavrin.local SIP-C/2.0\r\n");
  const size_t first = out.find("\r\n\r\nfirst");
  const size_t nudge = out.find(im::kNudgeBody);
  const size_t second = out.find("\r\n\r\nsecond");
  ASSERT_NE(ack, std::string::npos) << out;
  ASSERT_NE(first, std::string::npos) << out;
  ASSERT_NE(nudge, std::string::npos) << out;
  ASSERT_NE(second, std::string::npos) << out;
  EXPECT_LT(ack, first);
  EXPECT_LT(first, nudge);
  EXPECT_LT(nudge, second);
  // The fallback timers went with their tasks: nothing goes out twice.
  ticks(im::kDelayTicks + 2);
  EXPECT_EQ(sent(), "");
}

}  // namespace
}  // namespace tavrin::test
