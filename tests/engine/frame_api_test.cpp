// The exported frame: start and stop, message queue, callback routing, lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "frame/engine.h"
#include "frame/list_ops.h"
#include "frame/message_queue.h"
#include "libtavrin.h"
#include "recording_driver.h"

using tavrin::engine;
using tavrin::test::RecordingDriver;

namespace {

struct Seen {
  int code;
  intptr_t p1, p2;
  void* user;
};
std::vector<Seen> g_seen;
void record_cb(int code, intptr_t p1, intptr_t p2, void* user) {
  g_seen.push_back({code, p1, p2, user});
}

TEST(FrameMessages, GetMsgReturnsEachSendersLinesInArrivalOrder) {
  auto& q = engine().messages;
  q.push(tavrin::new_fx_msg(100, "first", "text/plain", "d1", 0));
  q.push(tavrin::new_fx_msg(200, "other", nullptr, nullptr, 0));
  q.push(tavrin::new_fx_msg(100, "second", nullptr, nullptr, 300));

  fx_msg* a = fx_get_msg(100);
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->text, "first");
  EXPECT_STREQ(a->content_type, "text/plain");
  EXPECT_STREQ(a->date, "d1");
  fx_msg* b = fx_get_msg(100);
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->text, "second");
  EXPECT_EQ(b->source_id, 300);
  EXPECT_EQ(fx_get_msg(100), nullptr);  // the other sender's line is not returned
  EXPECT_EQ(fx_get_msg(0), nullptr);
  fx_msg* c = fx_get_msg(200);
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(c->text, "other");
  fx_destroy_msg(a);
  fx_destroy_msg(b);
  fx_destroy_msg(c);
  fx_destroy_msg(nullptr);
  EXPECT_EQ(q.size(), 0u);
}

TEST(FrameMessages, DestroyingASentRecordFreesOnlyWhatItHas) {
  // A sent-message record has only target and text (ASan checks the frees).
  auto* rec = static_cast<fx_msg*>(calloc(1, sizeof(fx_msg)));
  rec->contact_id = 5;
  rec->text = strdup("hello");
  fx_destroy_msg(rec);
}

TEST(FrameCallbacks, NullRequestCallbackReachesTheSystemCallbackWithItsUserData) {
  g_seen.clear();
  int system_user = 0, request_user = 0;
  fx_set_system_msg_cb(record_cb, &system_user);
  engine().callbacks.post(nullptr, &request_user, 52, 11, 22);
  engine().callbacks.post(record_cb, &request_user, 53, 1, 2);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].code, 52);
  EXPECT_EQ(g_seen[0].p1, 11);
  EXPECT_EQ(g_seen[0].p2, 22);
  EXPECT_EQ(g_seen[0].user, &system_user);
  EXPECT_EQ(g_seen[1].user, &request_user);
  fx_set_system_msg_cb(nullptr, nullptr);
  engine().callbacks.post(nullptr, nullptr, 97, 0, 0);  // dropped
  EXPECT_EQ(g_seen.size(), 2u);
}

TEST(FrameLifecycle, InitAndTerminateAHundredTimesWithoutLeakOrHang) {
  RecordingDriver::reset();
  engine().preset_driver(&RecordingDriver::table());
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(fx_init(), 1);
    EXPECT_EQ(fx_init(), 1);  // already running
    engine().messages.push(tavrin::new_fx_msg(9, "left over", nullptr, nullptr, 0));
    engine().timers.add(1, 1, 20000, tavrin::kNoTimerHandler, tavrin::kNoTimerArgument);
    engine().send_queue.push("Q " + std::to_string(i) + "\r\n");
    fx_terminate();
    fx_terminate();  // a second stop does nothing
  }
  EXPECT_EQ(engine().timers.count(), 0);
  EXPECT_EQ(engine().messages.size(), 0u);
  engine().preset_driver(nullptr);
}

TEST(FrameLifecycle, NoTimerFiresAfterTerminate) {
  RecordingDriver::reset();
  engine().preset_driver(&RecordingDriver::table());
  ASSERT_EQ(fx_init(), 1);
  static std::atomic<int> fired{0};
  fired = 0;
  engine().timers.add(
      4, 4, 1,
      [](void*) {
        ++fired;
        return 1;
      },
      tavrin::kNoTimerArgument);
  while (fired == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  fx_terminate();
  const int at_stop = fired;
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(fired, at_stop);
  engine().preset_driver(nullptr);
}

TEST(FrameLifecycle, InitFailsWhenTheNetworkLayerCannotStart) {
  static const tavrin::NetDriver broken{[] { return 0; },
                                        [] {},
                                        [] { return 0; },
                                        [] { return 0; },
                                        [] { return 1; },
                                        [](char*, int, int) { return 0; },
                                        [](const char*, int) { return 0; }};
  engine().preset_driver(&broken);
  EXPECT_EQ(fx_init(), 0);
  EXPECT_FALSE(engine().running());
  engine().preset_driver(nullptr);
}

TEST(FrameLists, AppendPrependRemoveCopyFree) {
  int a = 1, b = 2, c = 3;
  fx_list* l = nullptr;
  l = tavrin::list_append(l, &b);
  l = tavrin::list_append(l, &c);
  l = tavrin::list_prepend(l, &a);
  ASSERT_EQ(tavrin::list_length(l), 3);
  EXPECT_EQ(l->data, &a);
  EXPECT_EQ(l->next->next->data, &c);
  fx_list* copy = tavrin::list_copy(l);
  l = tavrin::list_remove(l, &a);  // first node
  EXPECT_EQ(l->data, &b);
  l = tavrin::list_remove(l, &c);  // last node
  l = tavrin::list_remove(l, &a);  // not there: unchanged
  EXPECT_EQ(tavrin::list_length(l), 1);
  EXPECT_EQ(tavrin::list_length(copy), 3);
  EXPECT_EQ(copy->data, &a);
  l = tavrin::list_free(l);
  copy = tavrin::list_free(copy);
  EXPECT_EQ(l, nullptr);
  EXPECT_EQ(tavrin::list_remove(nullptr, &a), nullptr);
  EXPECT_EQ(tavrin::list_copy(nullptr), nullptr);
}

}  // namespace
