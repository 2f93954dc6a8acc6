// The answer and event parsers on small fixtures, with missing elements and
// attributes.
#include "roster/payload_parsers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "libtavrin.h"
#include "test_records.h"

using namespace tavrin::contacts;
using namespace tavrin::contacts::testing;

namespace {

const char* const kNotAnAnswer[] = {nullptr, "", "not xml", "<results>", "<other/>", "<results/>"};

TEST(ProfileParsers, MoodNicknameScoreAndRefuseDays) {
  EXPECT_STREQ(parse_impresa_answer("<results><personal impresa=\"sunny\"/></results>").get(),
               "sunny");
  EXPECT_STREQ(parse_nickname_answer("<results><personal nickname=\"Bo\"/></results>").get(), "Bo");
  EXPECT_EQ(parse_nickname_answer("<results><personal impresa=\"x\"/></results>"), nullptr);
  EXPECT_EQ(parse_score_answer("<results><score value=\"1234\"/></results>"), 1234);
  EXPECT_EQ(parse_score_answer("<results><score/></results>"), 0);
  struct {
    const char* body;
    int days;
  } sms[] = {
      {"<results><presence><extended type=\"sms\">3.00:00:00</extended></presence></results>", 3},
      {"<results><presence><extended type=\"sms\">00:00:00</extended></presence></results>", 0},
      {"<results><presence><extended type=\"sms\">12.5</extended></presence></results>", 12},
      {"<results><presence><extended type=\"sms\"/></presence></results>", 0},
      {"<results><presence/></results>", 0},
  };
  for (const auto& c : sms) EXPECT_EQ(parse_refuse_sms_answer(c.body), c.days) << c.body;
  for (const char* body : kNotAnAnswer) {
    EXPECT_EQ(parse_impresa_answer(body), nullptr);
    EXPECT_EQ(parse_score_answer(body), 0);
    EXPECT_EQ(parse_refuse_sms_answer(body), 0);
    EXPECT_EQ(parse_personal_info_answer(body), nullptr);
    EXPECT_FALSE(parse_own_user_answer(body).has_value());
  }
}

TEST(ProfileParsers, PersonalInfoReadsAllThirtyAttributes) {
  auto info = parse_personal_info_answer(
      "<results><personal nickname=\"n\" impresa=\"i\" gender=\"1\" nation=\"CN\" province=\"bj\" "
      "city=\"10\" ivr-enabled=\"1\" portrait-crc=\"-5\" provisioning=\"2\" mobile-no=\"139\" "
      "name=\"N\" birth-date=\"1990-01-01\" birthday-valid=\"1\" lunar-animal=\"3\" "
      "horoscope=\"4\" "
      "profile=\"p\" blood-type=\"2\" occupation=\"o\" hobby=\"h\" personal-email=\"pe\" "
      "work-email=\"we\" other-email=\"oe\" primary-email=\"1\" job-title=\"j\" home-phone=\"hp\" "
      "work-phone=\"wp\" other-phone=\"op\" company=\"c\" company_website=\"cw\" "
      "match-enabled=\"1\"/></results>");
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info->nickname, "n");
  EXPECT_EQ(info->city, 10);
  EXPECT_EQ(info->portrait_crc, -5);
  EXPECT_STREQ(info->birth_date, "1990-01-01");
  EXPECT_EQ(info->horoscope, 4);
  EXPECT_STREQ(info->company_website, "cw");
  EXPECT_EQ(info->match_enabled, 1);
  EXPECT_EQ(info->refuse_sms_day, 0);
  auto empty = parse_personal_info_answer("<results><personal/></results>");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->nickname, nullptr);
  EXPECT_EQ(empty->gender, 0);
}

TEST(ProfileParsers, ContactsInfoFillsKnownAccountsKeepingRefuseDays) {
  ContactStore s;
  fx_account* known = s.adopt_account(make_account("sip:100000001@x"));
  known->personal_info = new_record<fx_personal_info>();
  known->personal_info->refuse_sms_day = 2;
  set_text(known->personal_info->hobby, "old");
  s.adopt_account(make_account("sip:100000002@x"));
  auto infos = parse_contacts_info_answer(
      "<results><contacts>"
      "<contact uri=\"sip:100000001@x\"><personal nickname=\"A\"/></contact>"
      "<contact uri=\"sip:100000009@x\"><personal nickname=\"stranger\"/></contact>"
      "<contact uri=\"sip:100000002@x\"/>"  // no personal child
      "<contact uri=\"sip:100000002@x\"><personal name=\"B\"/></contact>"
      "</contacts></results>");
  ASSERT_EQ(infos.size(), 3u);
  EXPECT_EQ(apply_contacts_info(s, infos), (std::vector<long>{100000001, 100000002}));
  EXPECT_STREQ(known->personal_info->nickname, "A");
  EXPECT_EQ(known->personal_info->hobby, nullptr);  // replaced by the absent value
  EXPECT_EQ(known->personal_info->refuse_sms_day, 2);
  EXPECT_STREQ(s.account_by_id(100000002)->personal_info->name, "B");
}

TEST(ProfileParsers, OwnUser) {
  auto own = parse_own_user_answer(
      "<results><user uri=\"sip:200000000@x;p=1\" mobile-no=\"13900000000\" user-status=\"101\"/>"
      "</results>");
  ASSERT_TRUE(own.has_value());
  EXPECT_EQ(own->uri, "sip:200000000@x;p=1");
  EXPECT_EQ(own->mobile_no, "13900000000");
  EXPECT_EQ(own->user_status, 101);
}

constexpr const char kContactList[] =
    "<results><contacts>"
    "<buddy-lists><buddy-list id=\"1\" name=\"Friends\"/><buddy-list id=\"0\" name=\"zero\"/>"
    "<buddy-list name=\"no id\"/><buddy-list id=\"2\"/></buddy-lists>"
    "<buddies>"
    "<buddy uri=\"sip:100000001@x;p=1\" local-name=\"Al\" buddy-lists=\"1;2\" "
    "relation-status=\"1\" online_notify=\"1\"/>"
    "<buddy local-name=\"no uri\"/>"
    "<buddy uri=\"sip:100000002@x\"/>"
    "</buddies>"
    "<mobile-buddies><mobile-buddy uri=\"tel:13912345678\" local-name=\"Mo\" buddy-lists=\"2\" "
    "relation-status=\"1\" online_notify=\"1\"/></mobile-buddies>"
    "<chat-friends><friend uri=\"sip:5@x\"/></chat-friends>"
    "<blacklist><blocked uri=\"sip:100000003@x\" local-name=\"Pest\"/><blocked/></blacklist>"
    "</contacts></results>";

TEST(ContactListParser, BuildsAStoreInOrder) {
  auto s = parse_contact_list_answer(kContactList);
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->groups, nullptr);
  auto* g1 = static_cast<fx_group*>(s->groups->data);
  EXPECT_EQ(g1->id, 1);
  EXPECT_STREQ(g1->name, "Friends");
  auto* g2 = static_cast<fx_group*>(s->groups->next->data);
  EXPECT_EQ(g2->id, 2);
  EXPECT_EQ(g2->name, nullptr);
  EXPECT_EQ(s->groups->next->next, nullptr);

  fx_account* al = s->account_by_id(100000001);
  ASSERT_NE(al, nullptr);
  EXPECT_STREQ(al->uri, "sip:100000001@x;p=1");
  EXPECT_STREQ(al->local_name, "Al");
  EXPECT_STREQ(al->buddy_lists, "1;2");
  EXPECT_EQ(al->relation_status, 1);
  EXPECT_EQ(al->online_notify, 1);
  EXPECT_EQ(al->kind, 1);
  EXPECT_EQ(al->status, 68);
  fx_account* bare = s->account_by_id(100000002);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(bare->local_name, nullptr);
  EXPECT_EQ(bare->relation_status, 0);
  fx_account* mo = s->account_by_id(1912345678);
  ASSERT_NE(mo, nullptr);
  EXPECT_EQ(mo->kind, 2);
  EXPECT_EQ(mo->status, 78);
  EXPECT_EQ(mo->online_notify, 0);  // not read for mobile buddies
  EXPECT_EQ(s->account_count, 3);
  EXPECT_EQ(s->accounts->data, al);  // arrival order
  EXPECT_EQ(s->accounts->next->next->data, mo);

  ASSERT_NE(s->blacklist, nullptr);
  EXPECT_STREQ(static_cast<fx_blocked*>(s->blacklist->data)->local_name, "Pest");
  EXPECT_EQ(s->blacklist->next, nullptr);
  EXPECT_TRUE(s->blacklisted(100000003));
}

TEST(ContactListParser, MissingParts) {
  // Without buddy-lists there is no store at all.
  EXPECT_EQ(parse_contact_list_answer("<results><contacts><buddies/></contacts></results>"),
            nullptr);
  for (const char* body : kNotAnAnswer) EXPECT_EQ(parse_contact_list_answer(body), nullptr);
  // Without the other lists, they are just empty.
  auto s = parse_contact_list_answer("<results><contacts><buddy-lists/></contacts></results>");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->groups, nullptr);
  EXPECT_EQ(s->accounts, nullptr);
  EXPECT_EQ(s->blacklist, nullptr);
}

TEST(ManagementParsers, AnswersOfEachCommand) {
  auto list = parse_buddy_list_answer(
      "<results><contacts><buddy-lists><buddy-list id=\"7\" name=\"New\"/></buddy-lists></contacts>"
      "</results>");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->id, 7);
  EXPECT_EQ(list->name, "New");
  auto info = parse_buddy_info_answer(
      "<results><contacts><buddies><buddy uri=\"sip:100000001@x\" local-name=\"Al\"/></buddies>"
      "</contacts></results>");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->id, 100000001);
  EXPECT_EQ(info->local_name, "Al");
  auto move = parse_buddy_lists_answer(
      "<results><contacts><buddies><buddy uri=\"sip:100000001@x\" buddy-lists=\"4\"/></buddies>"
      "</contacts></results>");
  ASSERT_TRUE(move);
  EXPECT_EQ(move->group_id, 4);
  auto blocked = parse_blacklist_answer(
      "<results><contacts><blacklist><blocked uri=\"sip:100000001@x\"/></blacklist></contacts>"
      "</results>");
  ASSERT_TRUE(blocked);
  EXPECT_EQ(blocked->uri, "sip:100000001@x");
  EXPECT_EQ(blocked->id, 100000001);
  auto missing = parse_buddy_info_answer(
      "<results><contacts><buddies><buddy/></buddies></contacts></results>");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->id, 0);
  EXPECT_FALSE(missing->local_name);

  auto added = parse_add_buddy_answer(
      "<results><contacts><buddies><buddy uri=\"sip:100000001@x\" local-name=\"Al\" "
      "buddy-lists=\"3\" relation-status=\"0\" "
      "online_notify=\"1\"/></buddies></contacts></results>");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->kind, 1);
  EXPECT_EQ(added->status, 68);
  EXPECT_STREQ(added->buddy_lists, "3");
  EXPECT_EQ(added->online_notify, 1);
  auto mobile = parse_add_mobile_buddy_answer(
      "<results><contacts><mobile-buddies><mobile-buddy uri=\"tel:15912345678\"/></mobile-buddies>"
      "</contacts></results>");
  ASSERT_NE(mobile, nullptr);
  EXPECT_EQ(mobile->id, 12345678);
  EXPECT_EQ(mobile->kind, 2);
  EXPECT_EQ(mobile->status, 78);
  // The buddy parser does not read a mobile answer, nor the other way round.
  EXPECT_EQ(
      parse_add_buddy_answer("<results><contacts><mobile-buddies><mobile-buddy uri=\"tel:1\"/>"
                             "</mobile-buddies></contacts></results>"),
      nullptr);
  for (const char* body : kNotAnAnswer) {
    EXPECT_FALSE(parse_buddy_list_answer(body));
    EXPECT_FALSE(parse_buddy_lists_answer(body));
    EXPECT_FALSE(parse_blacklist_answer(body));
    EXPECT_EQ(parse_add_mobile_buddy_answer(body), nullptr);
  }
}

TEST(ScheduleParsers, ListDetailsAndNewId) {
  auto list = parse_schedule_list_answer(
      "<results><schedule-sms-list><schedule-sms id=\"5\" version=\"2\"/><schedule-sms id=\"0\"/>"
      "<schedule-sms version=\"1\"/></schedule-sms-list></results>");
  ASSERT_NE(list.head(), nullptr);
  auto* sms = static_cast<fx_schedule_sms*>(list.head()->data);
  EXPECT_EQ(sms->id, 5);
  EXPECT_EQ(sms->version, 2);
  EXPECT_EQ(list.head()->next, nullptr);  // id 0 and no id skipped

  ContactStore store;
  fx_account* known = store.adopt_account(make_account("sip:100000001@x"));
  auto details = parse_schedule_details_answer(
      "<results><schedule-sms-list>"
      "<schedule-sms id=\"5\" version=\"3\" send-time=\"2026-12-24 08:00\">"
      "<message>part one</message><extra>+two</extra>"
      "<receivers><receiver uri=\"sip:100000001@x\"/><receiver "
      "uri=\"sip:100000099@x\"/></receivers>"
      "</schedule-sms>"
      "<schedule-sms id=\"6\" version=\"1\"><message>other</message></schedule-sms>"
      "</schedule-sms-list></results>");
  ASSERT_EQ(details.size(), 2u);
  EXPECT_EQ(details[0].message, "part one+two");
  apply_schedule_details(list.head(), details, &store);
  EXPECT_EQ(sms->version, 3);
  EXPECT_STREQ(sms->send_time, "2026-12-24 08:00");
  EXPECT_STREQ(sms->message, "part one+two");
  ASSERT_NE(sms->receivers, nullptr);
  EXPECT_EQ(sms->receivers->data, known);    // a reference, not a copy
  EXPECT_EQ(sms->receivers->next, nullptr);  // the unknown receiver is dropped

  EXPECT_EQ(parse_schedule_set_answer("<results><schedule-sms id=\"12\"/></results>"), 12);
  EXPECT_EQ(parse_schedule_set_answer("<results><schedule-sms/></results>"), 0);
  for (const char* body : kNotAnAnswer) {
    EXPECT_TRUE(parse_schedule_list_answer(body).empty());
    EXPECT_TRUE(parse_schedule_details_answer(body).empty());
    EXPECT_EQ(parse_schedule_set_answer(body), 0);
  }
}

TEST(QunParsers, ListMembersAndPresence) {
  auto list = parse_group_list_answer(
      "<results><group-list><group uri=\"sip:PG123456@x\" identity=\"2\"/><group identity=\"1\"/>"
      "</group-list></results>");
  ASSERT_NE(list.head(), nullptr);
  auto* q = static_cast<fx_qun*>(list.head()->data);
  EXPECT_EQ(q->id, 123456);
  EXPECT_EQ(q->identity, 2);
  EXPECT_EQ(list.head()->next, nullptr);
  ContactStore store;
  store.set_quns(list.release());

  auto members = parse_group_members_answer(
      "<results><groups><group uri=\"sip:PG123456@x\">"
      "<member uri=\"sip:100000001@x\" nickname=\"A\" oxanickname=\"AA\" client-type=\"PC\" "
      "identity=\"1\" state=\"400\"/><member uri=\"sip:100000002@x\"/></group>"
      "<group uri=\"sip:PG999@x\"><member uri=\"sip:1@x\"/></group></groups></results>");
  ASSERT_EQ(members.size(), 2u);
  apply_group_members(store, members);
  ASSERT_NE(q->info, nullptr);
  auto* m = static_cast<fx_qun_member*>(q->info->members->data);
  EXPECT_EQ(m->id, 100000001);
  EXPECT_STREQ(m->oxanickname, "AA");
  EXPECT_STREQ(m->client_type, "PC");
  EXPECT_EQ(m->state, 400);
  // A second answer replaces the member list.
  auto again = parse_group_members_answer(
      "<results><groups><group uri=\"sip:PG123456@x\"><member uri=\"sip:100000003@x\"/></group>"
      "</groups></results>");
  apply_group_members(store, again);
  EXPECT_EQ(static_cast<fx_qun_member*>(q->info->members->data)->id, 100000003);
  EXPECT_EQ(q->info->members->next, nullptr);

  auto presence = parse_qun_presence_events(
      "<events><event type=\"SubscribeResult\"><group uri=\"sip:PG123456@x\" name=\"ignored\"/>"
      "</event><event type=\"PresenceChanged\"><group uri=\"sip:PG123456@x\" name=\"Chess\" "
      "introduce=\"i\" bulletin=\"b\" group-attributes-version=\"3\" category=\"4\" "
      "portrait-crc=\"5\"/><group uri=\"sip:PG1@x\" name=\"unknown\"/></event></events>");
  ASSERT_EQ(presence.size(), 2u);
  apply_qun_presence(store, presence);
  EXPECT_STREQ(q->info->name, "Chess");
  EXPECT_EQ(q->info->attributes_version, 3);
  EXPECT_EQ(q->info->portrait_crc, 5);
  EXPECT_NE(q->info->members, nullptr);  // presence keeps the members
  for (const char* body : kNotAnAnswer) {
    EXPECT_TRUE(parse_group_list_answer(body).empty());
    EXPECT_TRUE(parse_group_members_answer(body).empty());
    EXPECT_TRUE(parse_qun_presence_events(body).empty());
  }
}

TEST(EventParsers, ContactEventsInDocumentOrder) {
  auto events = parse_contact_events(
      "<events><event type=\"AddBuddyApplication\"><application uri=\"sip:1@x\" "
      "desc=\"hi\"/></event>"
      "<event type=\"Other\"/>"
      "<event type=\"AddBuddyApplication\"/>"
      "<event type=\"UpdateBuddy\"><contacts><buddies><buddy uri=\"sip:100000001@x\" "
      "relation-status=\"1\"/><buddy uri=\"sip:100000002@x\"/></buddies></contacts></event>"
      "<event type=\"AddBuddyApplication\"><application/></event></events>");
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].type, ContactEvent::Type::kApplication);
  EXPECT_EQ(events[0].uri, "sip:1@x");
  EXPECT_EQ(events[0].desc, "hi");
  ASSERT_EQ(events[1].type, ContactEvent::Type::kUpdateBuddy);
  ASSERT_EQ(events[1].buddies.size(), 2u);
  EXPECT_TRUE(events[1].buddies[0].has_relation_status);
  EXPECT_EQ(events[1].buddies[0].relation_status, 1);
  EXPECT_FALSE(events[1].buddies[1].has_relation_status);
  EXPECT_EQ(events[2].uri, "");  // absent attributes: empty texts
  for (const char* body : kNotAnAnswer) EXPECT_TRUE(parse_contact_events(body).empty());
}

TEST(EventParsers, PresenceChangedAndSubscribeResult) {
  auto items = parse_presence_events(
      "<events><event type=\"PresenceChanged\">"
      "<presence uri=\"sip:100000001@x\"><basic value=\"400\" device-type=\"PC\"/>"
      "<personal impresa=\"m\" nickname=\"n\" portrait-crc=\"77\"/>"
      "<extended type=\"location\">x</extended><extended type=\"sms\">2.00:00:00</extended>"
      "</presence>"
      "<presence uri=\"sip:100000002@x\"><personal/></presence>"
      "</event>"
      "<event type=\"SubscribeResult\"><results><contacts>"
      "<contact uri=\"sip:100000003@x\"><personal mobile-no=\"139\" name=\"N\" "
      "nickname=\"K\"/></contact>"
      "<contact uri=\"sip:100000004@x\"/>"
      "</contacts></results></event></events>");
  ASSERT_EQ(items.size(), 3u);
  const auto& a = items[0];
  EXPECT_EQ(a.id, 100000001);
  EXPECT_TRUE(a.has_basic);
  EXPECT_EQ(a.value, 400);
  EXPECT_EQ(a.device_type, "PC");
  EXPECT_TRUE(a.has_portrait_crc);
  EXPECT_EQ(a.portrait_crc, 77);
  EXPECT_EQ(a.impresa, "m");
  EXPECT_EQ(a.sms_days, std::vector<int>{2});
  const auto& b = items[1];
  EXPECT_FALSE(b.has_basic);
  EXPECT_TRUE(b.has_personal);
  EXPECT_FALSE(b.has_portrait_crc);
  EXPECT_FALSE(b.impresa);
  const auto& c = items[2];
  EXPECT_TRUE(c.subscribe_result);
  EXPECT_EQ(c.id, 100000003);
  EXPECT_EQ(c.mobile_no, "139");
  EXPECT_EQ(c.nickname, "K");
  for (const char* body : kNotAnAnswer) EXPECT_TRUE(parse_presence_events(body).empty());
}

}  // namespace

namespace {

TEST(XmlLimits, DeepBodiesAndChatTextAreRefusedBeforeParsing) {
  // 100,000 nested elements overflowed the stack inside TinyXML; a server's
  // body or a peer's chat line like that is now an unreadable answer (or a
  // line shown as it came), never a crash.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_EQ(parse_contact_list_answer(("<results><contacts>" + deep).c_str()), nullptr);
  EXPECT_EQ(parse_impresa_answer(("<results>" + deep).c_str()), nullptr);
  const std::string line = "<Font Color=\"255\">" + deep;
  for (char* (*convert)(const char*) : {fx_msg_qt_format, fx_msg_no_format}) {
    char* shown = convert(line.c_str());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown, line);
    std::free(shown);
  }
  // Within the limit the same parsers still read what they are given.
  EXPECT_STREQ(parse_impresa_answer("<results><personal impresa=\"ok\"/></results>").get(), "ok");
}

}  // namespace
