// Contact management, requests and scheduled SMS without a server: the
// UTF-8 cuts, argument checks and outcomes known at once, contact events,
// accepting a request, file offers and the receiver string.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "contacts/management.h"
#include "contacts/requests.h"
#include "frame/callbacks.h"
#include "frame/message_queue.h"
#include "libtavrin.h"
#include "message_words.h"
#include "roster/engine_contacts.h"
#include "roster/text_cut.h"

namespace tavrin::contacts {
namespace {

struct Posted {
  int code;
  intptr_t p1, p2;
};
std::vector<Posted> g_posted;  // test thread only: everything here posts in the call
void record(int code, intptr_t p1, intptr_t p2, void*) {
  g_posted.push_back({code, p1, p2});
}

TEST(Utf8Cut, CutsAtTheLastWholeCharacterWithinTheLimit) {
  const struct {
    const char* text;
    size_t limit;
    const char* expected;
  } cases[] = {
      {"abcdefghijklmn", 10, "abcdefghij"},  // plain bytes
      {"abcdefghij", 10, "abcdefghij"},      // exactly at the limit
      {"\xE5\xBC\xA0\xE4\xB8\x89\xE6\x9D\x8E\xE5\x9B\x9B", 10,
       "\xE5\xBC\xA0\xE4\xB8\x89\xE6\x9D\x8E"},
      {"\xE5\xBC\xA0\xE4\xB8\x89\xE6\x9D\x8E\xE5\x9B\x9B", 9,
       "\xE5\xBC\xA0\xE4\xB8\x89\xE6\x9D\x8E"},
      {"abcdefghi\xC3\xA9", 10, "abcdefghi"},      // two-byte at the edge
      {"abcdefg\xF0\x9F\x98\x80", 10, "abcdefg"},  // four-byte emoji
      {"\xF0\x9F\x98\x80", 3, ""},
      {"abcdefghij\x80\x80\x80\x80", 10, "abcdefghij"},  // stray continuation bytes
      {"", 10, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8_cut(c.text, c.limit), c.expected) << c.text;
  EXPECT_EQ(utf8_cut(nullptr, 10), "");
}

class ManageUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_posted.clear();
    auto& s = EngineContacts::instance();
    auto lock = s.lock();
    s.reset();
    s.set_login("100000001", "pw");
    auto store = std::make_unique<ContactStore>();
    add(*store, 100000002, "sip:100000002@tavrin.local;p=1", "Bob");
    add(*store, 100000003, "sip:100000003@tavrin.local;p=1", "Carol");
    add(*store, 100000005, nullptr, "NoUri");
    fx_blocked b{100000003, const_cast<char*>("sip:100000003@tavrin.local;p=1"), nullptr};
    store->add_blocked(b);
    s.install(std::move(store));
    fx_set_system_msg_cb(record, nullptr);
  }
  void TearDown() override {
    fx_set_system_msg_cb(nullptr, nullptr);
    for (const Posted& p : g_posted)
      if (p.code == FX_MSG_CONTACT_REQUEST) {
        std::free(reinterpret_cast<char*>(p.p1));
        std::free(reinterpret_cast<char*>(p.p2));
      }
    auto& s = EngineContacts::instance();
    auto lock = s.lock();
    s.reset();
  }
  static void add(ContactStore& store, long id, const char* uri, const char* name) {
    fx_account a{};
    a.id = id;
    a.uri = const_cast<char*>(uri);
    a.local_name = const_cast<char*>(name);
    a.relation_status = 1;
    a.kind = 1;
    a.status = 68;
    store.add_account(a);
  }
};

TEST_F(ManageUnitTest, ArgumentChecksSendNothingAndReturnZero) {
  EXPECT_EQ(fx_set_buddyinfo(100000002, "", record, nullptr), 0);
  EXPECT_EQ(fx_set_buddyinfo(100000002, nullptr, record, nullptr), 0);
  EXPECT_EQ(fx_set_buddyinfo(0, "x", record, nullptr), 0);
  EXPECT_EQ(fx_set_buddyinfo(100000001, "me", record, nullptr), 0);  // the user's own id
  EXPECT_EQ(fx_set_buddyinfo(100000005, "x", record, nullptr), 0);   // no uri
  EXPECT_EQ(fs_set_buddyinfo(0, "x"), 0);
  EXPECT_EQ(fx_add_buddylist("", record, nullptr), 0);
  EXPECT_EQ(fx_add_buddylist(nullptr, record, nullptr), 0);
  EXPECT_EQ(fx_rename_buddylist(0, "x", record, nullptr), 0);
  EXPECT_EQ(fx_rename_buddylist(3, nullptr, record, nullptr), 0);
  EXPECT_EQ(fs_rename_buddylist(0, "x"), 0);
  EXPECT_EQ(fx_delete_buddylist(0, record, nullptr), 0);
  EXPECT_EQ(fs_delete_buddylist(7), 1);
  EXPECT_EQ(fx_delete_buddy_by_id(42, record, nullptr), 0);
  EXPECT_EQ(fx_delete_buddy_by_id(100000005, record, nullptr), 0);
  EXPECT_EQ(fx_delete_buddy_by_account(nullptr, record, nullptr), 0);
  EXPECT_EQ(fx_move_group_buddy_by_id(42, 2, record, nullptr), 0);
  EXPECT_EQ(fx_move_group_buddy(nullptr, 2, record, nullptr), 0);
  EXPECT_EQ(fx_add_buddy_by_uid(nullptr, "x", 1, "", record, nullptr), 0);
  EXPECT_EQ(fx_addto_blacklist_by_id(42, record, nullptr), 0);
  EXPECT_EQ(fx_addto_blacklist_by_uri(nullptr, record, nullptr), 0);
  EXPECT_EQ(fx_removefrom_blacklist_by_uri(nullptr, record, nullptr), 0);
  EXPECT_EQ(fx_handleContactRequest(nullptr, 1, 1, "x"), 0);
  EXPECT_EQ(fx_delete_schedule_sms(0, record, nullptr), 0);
  EXPECT_EQ(fx_delete_schedule_sms(5, record, nullptr), 0);  // not in the list
  EXPECT_TRUE(g_posted.empty());
}

TEST_F(ManageUnitTest, BlacklistChangesThatChangeNothingArePostedAtOnce) {
  // Carol is blocked already, Bob is not.
  EXPECT_EQ(fx_addto_blacklist_by_id(100000003, record, nullptr), 1);
  EXPECT_EQ(fx_removefrom_blacklist_by_account(fx_get_account_by_id(100000002), record, nullptr),
            1);
  ASSERT_EQ(g_posted.size(), 2u);
  EXPECT_EQ(g_posted[0].code, FX_MSG_BLACKLIST_ADDED);
  EXPECT_EQ(g_posted[0].p2, 100000003);
  EXPECT_EQ(g_posted[1].code, FX_MSG_BLACKLIST_REMOVED);
  EXPECT_EQ(g_posted[1].p2, 100000002);
}

TEST_F(ManageUnitTest, ScheduleWithoutAnyReceiverUriSendsNothing) {
  fx_list only{fx_get_account_by_id(100000005), nullptr};
  EXPECT_EQ(fx_set_schedule_sms(&only, "text", "2099-01-01 10:00", record, nullptr), 0);
  fx_list bob{fx_get_account_by_id(100000002), nullptr};
  EXPECT_EQ(fx_set_schedule_sms(&bob, nullptr, "2099-01-01 10:00", record, nullptr), 0);
  EXPECT_EQ(fx_set_schedule_sms(&bob, "text", nullptr, record, nullptr), 0);
  EXPECT_EQ(fx_set_schedule_sms(nullptr, "text", "t", record, nullptr), 0);
}

TEST_F(ManageUnitTest, ReceiverStringNamesEachReceiverWithAColon) {
  fx_list second{fx_get_account_by_id(100000003), nullptr};
  fx_list first{fx_get_account_by_id(100000002), &second};
  char* text = fx_covert_schedule_receiver_to_string(&first);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "Bob:Carol:");
  std::free(text);
  EXPECT_EQ(fx_covert_schedule_receiver_to_string(nullptr), nullptr);
}

TEST_F(ManageUnitTest, ContactEventsPostRequestsInOrderAndStoreRelations) {
  handle_contact_event(
      "<events>"
      "<event type=\"AddBuddyApplication\"><application uri=\"sip:100000007@tavrin.local;p=1\" "
      "desc=\"hello\" /></event>"
      "<event type=\"AddBuddyApplication\"><application uri=\"sip:100000008@tavrin.local;p=1\" "
      "/></event>"
      "<event type=\"UpdateBuddy\"><contacts><buddies>"
      "<buddy uri=\"sip:100000002@tavrin.local;p=1\" relation-status=\"2\" />"
      "<buddy uri=\"sip:100000099@tavrin.local;p=1\" relation-status=\"1\" />"
      "</buddies></contacts></event>"
      "</events>");
  ASSERT_EQ(g_posted.size(), 3u);
  EXPECT_EQ(g_posted[0].code, FX_MSG_CONTACT_REQUEST);
  EXPECT_STREQ(reinterpret_cast<char*>(g_posted[0].p1), "hello");
  EXPECT_STREQ(reinterpret_cast<char*>(g_posted[0].p2), "sip:100000007@tavrin.local;p=1");
  EXPECT_EQ(g_posted[1].code, FX_MSG_CONTACT_REQUEST);
  EXPECT_STREQ(reinterpret_cast<char*>(g_posted[1].p1), "");  // no desc
  EXPECT_EQ(g_posted[2].code, FX_MSG_CONTACT_CHANGED);
  EXPECT_EQ(g_posted[2].p2, 100000002);
  EXPECT_EQ(fx_get_online_status_by_id(100000002), 76);
  // Without a system callback nothing is made (no text leaks).
  fx_set_system_msg_cb(nullptr, nullptr);
  handle_contact_event(
      "<events><event type=\"AddBuddyApplication\"><application uri=\"sip:1@x\" desc=\"d\" />"
      "</event></events>");
  EXPECT_EQ(g_posted.size(), 3u);
}

TEST_F(ManageUnitTest, AcceptingARequestStoresTheRequesterAtOnce) {
  {
    // A scheduled SMS that names the account being replaced.
    auto& s = EngineContacts::instance();
    auto lock = s.lock();
    auto* sms = new_record<fx_schedule_sms>();
    sms->id = 9;
    sms->receivers = new_node(s.store()->account_by_id(100000002));
    s.user().schedule_list = new_node(sms);
  }
  EXPECT_EQ(fx_handleContactRequest("sip:100000002@tavrin.local;p=1", 1, 2, "Bobby"), 1);
  EXPECT_EQ(fx_handleContactRequest("sip:100000007@tavrin.local;p=1", 1, 1, "Mal"), 1);
  auto& s = EngineContacts::instance();
  auto lock = s.lock();
  const fx_account* a = fx_get_account_by_id(100000007);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->status, 68);
  EXPECT_EQ(a->kind, 1);
  EXPECT_STREQ(a->buddy_lists, "1");
  EXPECT_STREQ(a->local_name, "Mal");
  EXPECT_EQ(fx_is_authed_by_id(100000007), 1);
  // The replaced account's receiver now points at the new record.
  const fx_account* bob = fx_get_account_by_id(100000002);
  EXPECT_EQ(fx_get_account_group_id(bob), 2);
  EXPECT_EQ(fx_get_schedulesms_by_id(9)->receivers->data, bob);
  // Refusing stores nothing.
  EXPECT_EQ(fx_handleContactRequest("sip:100000008@tavrin.local;p=1", 0, 1, "x"), 1);
  EXPECT_EQ(fx_get_account_by_id(100000008), nullptr);
}

TEST(FileOffer, ReadsTheOfferAndRejectsBodiesThatAreNone) {
  FileOfferPtr offer = parse_file_offer(
      "<action><transmit type=\"p2p\" session-id=\"s1\" />"
      "<file id=\"f7\" name=\"photo.jpg\" size=\"2048\" url=\"http://x/f7\" md5=\"abc\" "
      "/></action>");
  ASSERT_TRUE(offer);
  EXPECT_STREQ(offer->file_id, "f7");
  EXPECT_STREQ(offer->session_id, "s1");
  EXPECT_STREQ(offer->url, "http://x/f7");
  EXPECT_STREQ(offer->name, "photo.jpg");
  EXPECT_EQ(offer->size, 2048);
  EXPECT_STREQ(offer->md5, "abc");
  EXPECT_STREQ(offer->transfer_type, "p2p");
  for (const char* none :
       {"", "<action><file id=\"1\" /></action>", "<action><transmit /></action>",
        "<other><transmit /><file /></other>", "<action><transmit /><file", "plain text"})
    EXPECT_FALSE(parse_file_offer(none)) << none;
  EXPECT_FALSE(parse_file_offer(nullptr));
}

TEST_F(ManageUnitTest, FileOfferInADialogIsPostedWithItsSender) {
  sipc_message in = sipc_message::request(
      sipc_origin{"tavrin.local", "100000002"}, "IN", 7, 3,
      "<action><transmit type=\"p2p\" session-id=\"s9\" /><file id=\"f1\" name=\"a.txt\" "
      "size=\"12\" url=\"u\" md5=\"m\" /></action>");
  in.remove_header("F");
  in.add_header("F", "sip:100000002@tavrin.local;p=1");
  ASSERT_TRUE(handle_dialog_info(in));
  ASSERT_EQ(g_posted.size(), 1u);
  EXPECT_EQ(g_posted[0].code, FX_MSG_FILE_OFFER);
  EXPECT_EQ(g_posted[0].p2, 100000002);
  FileOfferPtr offer(reinterpret_cast<fx_file_offer*>(g_posted[0].p1));  // the receiver owns it
  EXPECT_EQ(offer->sender_id, 100000002);
  EXPECT_STREQ(offer->name, "a.txt");
  EXPECT_STREQ(offer->session_id, "s9");
  // Not an offer: nothing answered, nothing posted.
  sipc_message other = sipc_message::request(sipc_origin{"tavrin.local", "100000002"}, "IN", 7, 4,
                                             "<is-composing><state>typing</state></is-composing>");
  EXPECT_FALSE(handle_dialog_info(other));
  EXPECT_EQ(g_posted.size(), 1u);
}

TEST(MessageWords, ReleaseFreesExactlyWhatAMessageHandsOver) {
  // Under the address sanitizer a leak or a double free here fails the run.
  release_message(FX_MSG_CONTACT_REQUEST, reinterpret_cast<intptr_t>(strdup("desc")),
                  reinterpret_cast<intptr_t>(strdup("sip:1@x")));
  release_message(FX_MSG_LOCALNAME_SET, reinterpret_cast<intptr_t>(strdup("name")), 5);
  release_message(FX_MSG_BUDDYLIST_DELETED, 0, 3);
  release_message(
      FX_MSG_FILE_OFFER,
      reinterpret_cast<intptr_t>(
          parse_file_offer("<action><transmit /><file name=\"a\" /></action>").release()),
      1);
  release_message(FX_MSG_CHAT_SENT,
                  reinterpret_cast<intptr_t>(new_fx_msg(5, "line", nullptr, nullptr, 0)), 5);
  release_message(FX_MSG_ADD_BUDDY_RESULT, 0, 5);  // nothing handed over
  // A time-out only shows its record (a late answer still hands it over),
  // and a chat line's body stays the engine's.
  fx_msg* kept = new_fx_msg(5, "line", nullptr, nullptr, 0);
  release_message(FX_MSG_CHAT_SEND_TIMEOUT, reinterpret_cast<intptr_t>(kept), 5);
  EXPECT_STREQ(kept->text, "line");
  fx_destroy_msg(kept);
  static const char body[] = "hello";
  release_message(FX_MSG_CHAT_MESSAGE, reinterpret_cast<intptr_t>(body), 5);
}

TEST(MessageWords, APostThatReachesNobodyFreesWhatItHandsOver) {
  fx_set_system_msg_cb(nullptr, nullptr);
  // Under the address sanitizer a text or record left behind fails the run.
  ReplyTo{}.post(FX_MSG_BUDDYLIST_RENAMED, reinterpret_cast<intptr_t>(strdup("friends")), 3);
  ReplyTo{}.post(FX_MSG_CONTACT_REQUEST, reinterpret_cast<intptr_t>(strdup("hi")),
                 reinterpret_cast<intptr_t>(strdup("sip:1@x")));
  ReplyTo{}.post(FX_MSG_SMS_OK,
                 reinterpret_cast<intptr_t>(new_fx_msg(5, "sms", nullptr, nullptr, 0)), 5);
}

}  // namespace
}  // namespace tavrin::contacts
