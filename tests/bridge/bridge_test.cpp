// The engine bridge: who frees what each engine message carries, and the
// way callbacks reach windows (posted by id, freed when nobody takes them).
// Leaks show under the AddressSanitizer build.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "bridge/EngineBridge.h"
#include "bridge/EngineMessages.h"
#include "platform/window_system.h"

using namespace tavrin;
using bridge::Carries;

namespace {

fx_msg* sent_record(long to, const char* text) {
  auto* m = static_cast<fx_msg*>(std::calloc(1, sizeof(fx_msg)));
  m->contact_id = to;
  m->text = strdup(text);
  return m;
}

TEST(EngineMessages, TheTableSaysWhatEachCodeCarries) {
  struct Case {
    int code;
    Carries p1, p2;
  } cases[] = {
      {FX_MSG_CHAT_MESSAGE, Carries::kTransientText, Carries::kNumber},
      {FX_MSG_CHAT_SENT, Carries::kRecordGiven, Carries::kNumber},
      {FX_MSG_CHAT_SEND_TIMEOUT, Carries::kRecordKept, Carries::kNumber},
      {FX_MSG_QUN_SMS_REFUSED, Carries::kRecordGiven, Carries::kNumber},
      {FX_MSG_SMS_TIMEOUT, Carries::kRecordKept, Carries::kNumber},
      {FX_MSG_LOCALNAME_SET_FAILED, Carries::kTextGiven, Carries::kNumber},
      {FX_MSG_CONTACT_REQUEST, Carries::kTextGiven, Carries::kTextGiven},
      {FX_MSG_FILE_OFFER, Carries::kFileOffer, Carries::kNumber},
      {FX_MSG_SOCKET_ERROR, Carries::kNumber, Carries::kNumber},
      {FX_MSG_LOGIN_OK, Carries::kNumber, Carries::kNumber},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bridge::describe(c.code).p1, c.p1) << c.code;
    EXPECT_EQ(bridge::describe(c.code).p2, c.p2) << c.code;
  }
  EXPECT_TRUE(bridge::is_send_timeout(FX_MSG_QUN_CHAT_SEND_TIMEOUT));
  EXPECT_FALSE(bridge::is_send_timeout(FX_MSG_QUN_CHAT_SENT));
}

TEST(EngineMessages, AMessageFreesWhatTheReceiverOwnsUnlessTaken) {
  {
    bridge::EngineMessage m(FX_MSG_CHAT_SENT, intptr_t(sent_record(5, "hi")), 5);
    ASSERT_NE(m.record(), nullptr);
    EXPECT_STREQ(m.record()->text, "hi");
  }  // freed here
  // A time-out's record stays the engine's: the receiver holds a copy of
  // it (the bridge makes it in the callback), which the message frees.
  fx_msg* kept = sent_record(5, "late");
  {
    bridge::EngineMessage m(FX_MSG_CHAT_SEND_TIMEOUT, intptr_t(bridge::copy_kept_record(kept)), 5);
    EXPECT_STREQ(m.record()->text, "late");
  }
  EXPECT_STREQ(kept->text, "late");
  bridge::EngineMessage moved;
  {
    bridge::EngineMessage m(FX_MSG_CONTACT_REQUEST, intptr_t(strdup("let me in")),
                            intptr_t(strdup("sip:100000002@tavrin.test")));
    EXPECT_EQ(m.text(), "let me in");
    EXPECT_EQ(m.text2(), "sip:100000002@tavrin.test");
    moved = std::move(m);
  }
  EXPECT_EQ(moved.text(), "let me in");
  bridge::EngineMessage taken(FX_MSG_SMS_OK, intptr_t(sent_record(7, "sms")), 7);
  fx_destroy_msg(reinterpret_cast<fx_msg*>(taken.take_p1()));
  std::free(kept->text);
  std::free(kept);
}

TEST(EngineBridge, CallbacksPostToTheWindowAndUndeliveredOnesAreFreed) {
  platform::WindowSystem ws;
  bridge::install(ws);
  std::vector<platform::Message> seen;
  platform::WindowSpec spec;
  spec.handler = [&](const platform::Message& m) -> intptr_t {
    if (bridge::is_engine_message(m.id)) {
      seen.push_back(m);
      bridge::EngineMessage adopt(bridge::engine_code(m.id), intptr_t(m.wparam), m.lparam);
    }
    return 0;
  };
  const platform::WindowId window = ws.create(std::move(spec));
  // A chat line's body is valid only during the callback: it is not posted.
  char body[] = "body";
  bridge::post_callback(FX_MSG_CHAT_MESSAGE, intptr_t(body), 42, bridge::user_data(window));
  bridge::post_callback(FX_MSG_CHAT_SENT, intptr_t(sent_record(42, "x")), 42,
                        bridge::user_data(window));
  while (ws.pump(0)) {
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].id, bridge::kEngineBase + FX_MSG_CHAT_MESSAGE);
  EXPECT_EQ(seen[0].wparam, 0u);
  EXPECT_EQ(seen[0].lparam, 42);

  const int before = bridge::undelivered_count();
  // Posted, then the window goes before the message is handled.
  bridge::post_callback(FX_MSG_CHAT_SENT, intptr_t(sent_record(42, "y")), 42,
                        bridge::user_data(window));
  ws.destroy(window);
  while (ws.pump(0)) {
  }
  // No window at all, and a window that never existed.
  bridge::post_callback(FX_MSG_LOCALNAME_SET, intptr_t(strdup("name")), 1, nullptr);
  bridge::post_callback(FX_MSG_SMS_FAILED, intptr_t(sent_record(1, "z")), 1,
                        bridge::user_data(999999));
  while (ws.pump(0)) {
  }
  EXPECT_EQ(bridge::undelivered_count() - before, 3);
  EXPECT_EQ(seen.size(), 2u);
}

// A time-out's record stays the engine's and may be freed as soon as the
// callback returns (a line that never went out): the UI thread reads its
// own copy, which the message frees (ASan sees either fault).
TEST(EngineBridge, AKeptRecordIsReadFromACopyAfterTheEngineFreedIt) {
  platform::WindowSystem ws;
  bridge::install(ws);
  std::vector<std::string> texts;
  platform::WindowSpec spec;
  spec.handler = [&](const platform::Message& m) -> intptr_t {
    if (bridge::is_engine_message(m.id)) {
      bridge::EngineMessage adopt(bridge::engine_code(m.id), intptr_t(m.wparam), m.lparam);
      if (const fx_msg* r = adopt.record()) texts.push_back(r->text ? r->text : "");
    }
    return 0;
  };
  const platform::WindowId window = ws.create(std::move(spec));
  for (int code : {FX_MSG_CHAT_SEND_TIMEOUT, FX_MSG_SMS_TIMEOUT}) {
    fx_msg* kept = sent_record(42, "kept line");
    bridge::post_callback(code, intptr_t(kept), 42, bridge::user_data(window));
    fx_destroy_msg(kept);  // the engine lets it go before the UI thread runs
  }
  // Undelivered, the copy is freed all the same.
  fx_msg* kept = sent_record(42, "nobody");
  bridge::post_callback(FX_MSG_CHAT_SEND_TIMEOUT, intptr_t(kept), 42, bridge::user_data(999999));
  fx_destroy_msg(kept);
  while (ws.pump(0)) {
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"kept line", "kept line"}));
}

}  // namespace
