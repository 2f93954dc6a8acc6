// The SIP-C wire over the real socket driver, with a loopback listener
// standing for the SIP-C server: queueing, dispatch by call id, the
// automatic answer of "N", sequence bookkeeping, and dropping a connection
// that cannot be framed or stalls.
#include "sipc/wire.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <mutex>
#include <string>
#include <vector>

#include "frame/engine.h"
#include "libtavrin.h"
#include "message_recorder.h"
#include "net_helpers.h"
#include "recording_driver.h"
#include "sipc/command.h"
#include "sipc/connection.h"
#include "sipc/socket_error.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono_literals;

namespace {

struct Received {
  std::mutex mu;
  std::condition_variable cv;
  std::vector<sipc_message> messages;

  void add(const sipc_message& m) {
    std::lock_guard lock(mu);
    messages.push_back(m);
    cv.notify_all();
  }
  bool wait_count(size_t n, std::chrono::milliseconds limit = 10s) {
    std::unique_lock lock(mu);
    return cv.wait_for(lock, limit, [&] { return messages.size() >= n; });
  }
};

Received* g_dispatched = nullptr;

void record_handler(sipc_message& m, void* user) {
  static_cast<Received*>(user)->add(m);
}
void record_dispatch(sipc_message& m) {
  if (g_dispatched) g_dispatched->add(m);
}

class WireTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine().preset_driver(nullptr);
    ASSERT_EQ(fx_init(), 1);
    fx_set_system_msg_cb(MessageRecorder::callback, &recorder_);
    ASSERT_EQ(fx_set_serve_address(listener_.address().c_str()), 1);
    g_dispatched = &dispatched_;
    wire().set_request_dispatcher(record_dispatch);
  }
  void TearDown() override {
    wire().set_request_dispatcher(nullptr);
    g_dispatched = nullptr;
    if (server_ >= 0) ::close(server_);
    fx_terminate();
    wire().set_stall_limit(Wire::kDefaultStallLimit);
  }
  void connect() {
    ASSERT_EQ(wire().reset_and_connect(), 1);
    server_ = listener_.accept();
    ASSERT_GE(server_, 0);
  }

  Listener listener_;
  int server_ = -1;
  MessageRecorder recorder_;
  Received dispatched_;
};

TEST_F(WireTest, RequestReachesTheServerAndTwoAnswersInOneReadReachTheHandler) {
  connect();
  Received handled;
  wire().transactions.add(7, record_handler, &handled, nullptr);
  const sipc_origin origin{"tavrin.local", "123456789"};
  wire().queue(sipc_message::request(origin, "S", 7, 1, "<args />"));

  std::string got;
  ASSERT_TRUE(read_until(server_, got, "<args />"));
  EXPECT_EQ(got.rfind("S tavrin.local SIP-C/2.0\r\n", 0), 0u) << got;
  EXPECT_NE(got.find("I: 7 \r\n"), std::string::npos);

  ASSERT_TRUE(write_all(server_,
                        "SIP-C/2.0 200 OK\r\nI: 7\r\nQ: 1 S\r\n\r\n"
                        "SIP-C/2.0 280 Send\r\nI: 7\r\nQ: 2 S\r\nL: 3\r\n\r\nabc"));
  ASSERT_TRUE(handled.wait_count(2));
  std::lock_guard lock(handled.mu);
  EXPECT_EQ(handled.messages[0].status(), 200);
  EXPECT_EQ(handled.messages[1].status(), 280);
  EXPECT_EQ(handled.messages[1].body(), "abc");
  EXPECT_EQ(wire().transactions.next_sequence(7), 3);
  EXPECT_TRUE(dispatched_.messages.empty());
}

TEST_F(WireTest, NotificationIsAnsweredAtOnceAndThenDispatched) {
  connect();
  ASSERT_TRUE(
      write_all(server_, "N sip:x SIP-C/2.0\r\nI: 12\r\nQ: 4 N\r\nN: SyncUserInfo\r\n\r\n"));
  std::string answer;
  ASSERT_TRUE(read_until(server_, answer, "\r\n\r\n"));
  EXPECT_EQ(answer, "SIP-C/2.0 200 OK\r\nI: 12\r\nQ: 4 N\r\n\r\n");
  ASSERT_TRUE(dispatched_.wait_count(1));
  std::lock_guard lock(dispatched_.mu);
  EXPECT_EQ(dispatched_.messages[0].method(), "N");
  EXPECT_EQ(dispatched_.messages[0].call_id(), 12);
}

TEST_F(WireTest, MessageArrivingOneByteAtATimeIsHandledOnceWhole) {
  connect();
  const std::string text = "M sip:1 SIP-C/2.0\r\nI: 3\r\nQ: 1 M\r\nL: 5\r\n\r\nhello";
  for (char c : text) {
    ASSERT_TRUE(write_all(server_, std::string(1, c)));
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(dispatched_.wait_count(1));
  std::this_thread::sleep_for(50ms);
  std::lock_guard lock(dispatched_.mu);
  ASSERT_EQ(dispatched_.messages.size(), 1u);
  EXPECT_EQ(dispatched_.messages[0].body(), "hello");
}

TEST_F(WireTest, ServerClosingIsASocketErrorButOurOwnCloseIsNot) {
  connect();
  ASSERT_EQ(fx_close_network(), 1);
  std::this_thread::sleep_for(200ms);
  for (const auto& p : recorder_.seen()) EXPECT_NE(p.code, FX_MSG_SOCKET_ERROR);

  connect();
  ::close(server_);
  server_ = -1;
  Posted p;
  ASSERT_TRUE(recorder_.wait_for(FX_MSG_SOCKET_ERROR, &p));
  EXPECT_EQ(p.p1, kWsaConnReset);
  EXPECT_EQ(connection().socket(), nullptr);
}

std::mutex g_gate_mu;
std::condition_variable g_gate_cv;
bool g_gate_open = false;
bool g_in_handler = false;
void gated_handler(sipc_message&, void*) {
  std::unique_lock lock(g_gate_mu);
  g_in_handler = true;
  g_gate_cv.notify_all();
  g_gate_cv.wait(lock, [] { return g_gate_open; });
}

// The worker held in the handler of an answer to call_id, until open_gate().
::testing::AssertionResult hold_worker(int server, int32_t call_id) {
  g_gate_open = g_in_handler = false;
  wire().transactions.add(call_id, gated_handler, nullptr, nullptr);
  const std::string answer =
      "SIP-C/2.0 200 OK\r\nI: " + std::to_string(call_id) + "\r\nQ: 1 S\r\n\r\n";
  if (!write_all(server, answer)) return ::testing::AssertionFailure() << "write";
  std::unique_lock lock(g_gate_mu);
  if (!g_gate_cv.wait_for(lock, 10s, [] { return g_in_handler; }))
    return ::testing::AssertionFailure() << "the worker never reached the handler";
  return ::testing::AssertionSuccess();
}

void open_gate() {
  {
    std::lock_guard lock(g_gate_mu);
    g_gate_open = true;
  }
  g_gate_cv.notify_all();
}

// The server resets the connection (RST) and the reset arrives.
void reset_by_server(int& server) {
  const linger reset{1, 0};
  setsockopt(server, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(server);
  server = -1;
  std::this_thread::sleep_for(100ms);
}

TEST_F(WireTest, WhatArrivedBeforeAResetIsDispatchedBeforeTheError) {
  connect();
  // The worker is held in a handler while the server sends its last words
  // and resets the connection.
  ASSERT_TRUE(hold_worker(server_, 30));
  ASSERT_TRUE(write_all(server_, "BN sip:x SIP-C/2.0\r\nI: 31\r\nQ: 1 BN\r\nL: 4\r\n\r\nlast"));
  reset_by_server(server_);
  open_gate();
  Posted p;
  ASSERT_TRUE(recorder_.wait_for(FX_MSG_SOCKET_ERROR, &p));
  EXPECT_EQ(p.p1, kWsaConnReset);
  std::lock_guard lock(dispatched_.mu);
  ASSERT_EQ(dispatched_.messages.size(), 1u);
  EXPECT_EQ(dispatched_.messages[0].body(), "last");
}

// A send the service refuses takes the connection's pending error with it;
// the worker must still report the reset, not the broken pipe its own send
// meets afterwards.
TEST_F(WireTest, ACallersFailedSendKeepsTheCauseForTheWorker) {
  connect();
  ASSERT_TRUE(hold_worker(server_, 32));
  reset_by_server(server_);
  // The worker is held in the handler, so this goes out on the caller's thread.
  wire().queue(sipc_message::request({"tavrin.local", "123456789"}, "S", 33, 1, "<args />"));
  open_gate();
  Posted p;
  ASSERT_TRUE(recorder_.wait_for(FX_MSG_SOCKET_ERROR, &p));
  EXPECT_EQ(p.p1, kWsaConnReset);
}

// An answer longer than its transaction takes fails that transaction and
// nothing else: the connection stays and the next message is handled. One
// whose transaction asked for more arrives whole.
TEST_F(WireTest, AnswerOverItsTransactionsLimitFailsOnlyThatTransaction) {
  connect();
  Received handled;
  wire().transactions.add(50, record_handler, &handled, nullptr);
  wire().transactions.add(51, record_handler, &handled, nullptr, sipc_max_large_body);
  const std::string body(sipc_max_body + 1, 'c');
  const std::string length = "L: " + std::to_string(body.size()) + "\r\n\r\n";
  ASSERT_TRUE(write_all(server_, "SIP-C/2.0 200 OK\r\nI: 50\r\nQ: 1 S\r\n" + length + body +
                                     "SIP-C/2.0 200 OK\r\nI: 51\r\nQ: 1 S\r\n" + length + body));
  ASSERT_TRUE(handled.wait_count(2));
  std::lock_guard lock(handled.mu);
  EXPECT_TRUE(handled.messages[0].body_dropped());
  EXPECT_FALSE(is_success(handled.messages[0]));
  EXPECT_EQ(handled.messages[1].call_id(), 51);
  EXPECT_EQ(handled.messages[1].body(), body);
  EXPECT_TRUE(is_success(handled.messages[1]));
  for (const auto& p : recorder_.seen()) EXPECT_NE(p.code, FX_MSG_SOCKET_ERROR);
}

TEST_F(WireTest, UntrustworthyLengthDropsTheConnection) {
  connect();
  ASSERT_TRUE(write_all(server_, "M sip:1 SIP-C/2.0\r\nI: 3\r\nQ: 1 M\r\nL: -5\r\n\r\nabc"));
  Posted p;
  ASSERT_TRUE(recorder_.wait_for(FX_MSG_SOCKET_ERROR, &p));
  EXPECT_EQ(p.p1, kWsaConnAborted);
  std::string rest;
  EXPECT_FALSE(read_until(server_, rest, "never", 2000));  // the engine closed its end
}

TEST_F(WireTest, BodyThatStopsArrivingDropsTheConnectionAfterTheStallLimit) {
  wire().set_stall_limit(100ms);
  connect();
  ASSERT_TRUE(
      write_all(server_, "M sip:1 SIP-C/2.0\r\nI: 3\r\nQ: 1 M\r\nL: 100\r\n\r\nonly ten.."));
  Posted p;
  ASSERT_TRUE(recorder_.wait_for(FX_MSG_SOCKET_ERROR, &p));
  EXPECT_EQ(p.p1, kWsaConnAborted);
  EXPECT_TRUE(dispatched_.messages.empty());
}

TEST_F(WireTest, ConnectReadsTheLocalAddressAndFailsWhereNobodyListens) {
  connect();
  EXPECT_EQ(connection().local_address(), "127.0.0.1");
  EXPECT_GT(connection().local_port(), 0);
  const std::string nobody = "127.0.0.1:" + std::to_string(free_port());
  ASSERT_EQ(fx_set_serve_address(nobody.c_str()), 1);
  EXPECT_EQ(wire().reset_and_connect(), 0);
  EXPECT_EQ(connection().socket(), nullptr);
}

// A driver that takes a text in pieces and then "would block", while the
// service's "N" request arrives: the answer waits behind the unfinished text
// instead of splitting it.
TEST(WireSplice, AnswerToANotificationNeverLandsInsideAPartlySentText) {
  RecordingDriver::reset();
  RecordingDriver::poll_ms = 5;
  engine().preset_driver(&RecordingDriver::table_with_try_send());
  ASSERT_EQ(fx_init(), 1);
  const std::string notification =
      "N sip:x SIP-C/2.0\r\nI: 12\r\nQ: 4 N\r\nN: SyncUserInfo\r\n\r\n";
  {
    std::lock_guard lock(RecordingDriver::mu);
    RecordingDriver::send_limits = {7, 7, 0};  // the caller's send, the worker's, then full
    RecordingDriver::to_receive = notification;
  }
  const sipc_message text =
      sipc_message::request({"tavrin.local", "123456789"}, "M", 40, 1, std::string(300, 'x'));
  const std::string wire_text = text.serialise();
  const std::string answer = "SIP-C/2.0 200 OK\r\nI: 12\r\nQ: 4 N\r\n\r\n";
  wire().queue(text);
  // The worker flushes the rest on its next pass, once the answer was queued.
  const bool all = RecordingDriver::wait_sent(wire_text.size() + answer.size());
  fx_terminate();
  engine().preset_driver(nullptr);
  ASSERT_TRUE(all);
  std::lock_guard lock(RecordingDriver::mu);
  EXPECT_TRUE(RecordingDriver::to_receive.empty()) << "the notification never arrived";
  EXPECT_EQ(RecordingDriver::sent, wire_text + answer);
}

TEST(SocketErrors, ErrnoValuesGetThePlatformNumbers) {
  const struct {
    int err, code;
  } table[] = {
      {EAGAIN, 10035},       {ENOBUFS, 10055},    {ECONNRESET, 10054},   {ECONNABORTED, 10053},
      {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},  {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
      {ENOTCONN, 10057},     {EPIPE, 10058},      {EBADF, 10009},        {EINVAL, 10022},
      {EINPROGRESS, 10036},  {EADDRINUSE, 10048}, {ENOTSOCK, 10038},
  };
  for (const auto& row : table) EXPECT_EQ(winsock_code(row.err), row.code) << row.err;
  EXPECT_EQ(winsock_code(EDOM), kWsaConnAborted);
}

TEST(SocketErrors, WouldBlockAndNoBufferSpaceKeepTheConnectionQuiet) {
  MessageRecorder recorder;
  fx_set_system_msg_cb(MessageRecorder::callback, &recorder);
  handle_socket_error(10035);
  handle_socket_error(10055);
  EXPECT_TRUE(recorder.seen().empty());
  handle_socket_error(10061);
  ASSERT_EQ(recorder.seen().size(), 1u);
  EXPECT_EQ(recorder.seen()[0].code, FX_MSG_SOCKET_ERROR);
  EXPECT_EQ(recorder.seen()[0].p1, 10061);
  fx_set_system_msg_cb(nullptr, nullptr);
}

int g_freed = 0;
void count_free(void*) {
  ++g_freed;
}

TEST(Transactions, FreeRunsOnReplaceRemoveAndClearButNotUnderAHandler) {
  TransactionTable t;
  g_freed = 0;
  t.add(5, nullptr, nullptr, count_free);
  t.add(5, nullptr, nullptr, count_free);  // replaces the first
  EXPECT_EQ(g_freed, 1);
  EXPECT_EQ(t.size(), 1u);
  auto in_use = t.find(5);  // as the worker holds it while the handler runs
  t.remove(5);
  EXPECT_EQ(g_freed, 1);
  in_use.reset();
  EXPECT_EQ(g_freed, 2);
  t.add(6, nullptr, nullptr, count_free);
  t.add(7, nullptr, nullptr, count_free);
  t.clear();
  EXPECT_EQ(g_freed, 4);
  EXPECT_EQ(t.find(6), nullptr);
}

TEST(Transactions, SequenceBookkeeping) {
  TransactionTable t;
  EXPECT_EQ(t.next_sequence(9), 1);  // no entry
  t.add(9, nullptr, nullptr, nullptr);
  EXPECT_EQ(t.next_sequence(9), 2);
  const struct {
    int32_t seen, next;
  } table[] = {{0, 2}, {1, 2}, {2, 3}, {5, 6}, {3, 6}, {-4, 6}, {INT32_MAX, 6}, {6, 7}};
  for (const auto& row : table) {
    t.note_sequence(9, row.seen);
    EXPECT_EQ(t.next_sequence(9), row.next) << row.seen;
  }
  t.note_sequence(10, 50);  // unknown call id: nothing
  EXPECT_EQ(t.next_sequence(10), 1);
}

}  // namespace
