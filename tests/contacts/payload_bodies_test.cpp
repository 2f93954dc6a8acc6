// The command and subscription bodies, byte for byte, and the escaping of
// caller texts.
#include "roster/payload_bodies.h"

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "test_records.h"

using namespace tavrin::contacts;

namespace {

TEST(PayloadBodies, CommandBodiesAsSent) {
  struct {
    std::string body;
    const char* expected;
  } cases[] = {
      {body_set_presence("400"), "<args><presence><basic value=\"400\" /></presence></args>"},
      {body_set_refuse_sms(7),
       "<args><presence><extended type=\"sms\">7.00:00:00</extended></presence></args>"},
      {body_set_refuse_sms(0),
       "<args><presence><extended type=\"sms\">00:00:00</extended></presence></args>"},
      {body_set_impresa("busy day"), "<args><personal impresa=\"busy day\" /></args>"},
      {body_set_impresa(nullptr), "<args><personal impresa=\"\" /></args>"},
      {body_set_nickname("Bo"), "<args><personal nickname=\"Bo\" /></args>"},
      {body_set_nickname(nullptr), "<args><personal nickname=\"\" /></args>"},
      {body_get_personal_info(),
       "<args><personal attributes=\"all\" /><services version=\"\" attributes=\"all\" /><config "
       "version=\"96\" attributes=\"all\" /><mobile-device attributes=\"all\" /></args>"},
      {body_get_contacts_info("sip:1@x"),
       "<args><contacts attributes=\"all\"><contact uri=\"sip:1@x\" /></contacts></args>"},
      {body_get_contact_list(),
       "<args><contacts><buddy-lists /><buddies attributes=\"all\" /><mobile-buddies "
       "attributes=\"all\" /><chat-friends /><blacklist /></contacts></args>"},
      {body_create_buddy_list("Work"),
       "<args><contacts><buddy-lists><buddy-list name=\"Work\" /></buddy-lists></contacts></args>"},
      {body_delete_buddy_list(4),
       "<args><contacts><buddy-lists><buddy-list id=\"4\" /></buddy-lists></contacts></args>"},
      {body_set_buddy_list_info(4, "Old"),
       "<args><contacts><buddy-lists><buddy-list id=\"4\" name=\"Old\" /></buddy-lists></contacts>"
       "</args>"},
      {body_set_buddy_info("sip:1@x", "Al"),
       "<args><contacts><buddies><buddy uri=\"sip:1@x\" local-name=\"Al\" /></buddies></contacts>"
       "</args>"},
      {body_set_buddy_lists("sip:1@x", 9),
       "<args><contacts><buddies><buddy uri=\"sip:1@x\" buddy-lists=\"9\" /></buddies></contacts>"
       "</args>"},
      {body_delete_buddy("sip:1@x"),
       "<args><contacts><buddies><buddy uri=\"sip:1@x\" /></buddies></contacts></args>"},
      {body_blacklist("sip:1@x"),
       "<args><contacts><blacklist><blocked uri=\"sip:1@x\" /></blacklist></contacts></args>"},
      {body_add_buddy("sip:1", "Al", 2, "hi"),
       "<args><contacts><buddies><buddy uri=\"sip:1\" local-name=\"Al\" buddy-lists=\"2\" "
       "desc=\"hi\" expose-mobile-no=\"1\" expose-name=\"1\" /></buddies></contacts></args>"},
      {body_add_mobile_buddy("tel:1", "Al", 2, "hi"),
       "<args><contacts><mobile-buddies><mobile-buddy uri=\"tel:1\" local-name=\"Al\" "
       "buddy-lists=\"2\" desc=\"hi\" expose-mobile-no=\"1\" expose-name=\"1\" /></mobile-buddies>"
       "</contacts></args>"},
      {body_accept_contact_request("sip:1@x", 1, 3, "Al"),
       "<args><contacts><buddies><buddy uri=\"sip:1@x\" result=\"1\" buddy-lists=\"3\" "
       "expose-mobile-no=\"0\" expose-name=\"0\" local-name=\"Al\" /></buddies></contacts></args>"},
      {body_refuse_contact_request("sip:1@x", 0),
       "<args><contacts><buddies><buddy uri=\"sip:1@x\" result=\"0\" "
       "/></buddies></contacts></args>"},
      {body_get_schedule_sms_list(), "<args><schedule-sms-list version=\"\"/></args>"},
      {body_get_schedule_sms({5, 8}),
       "<args><schedule-sms-list><schedule-sms id=\"5\" /><schedule-sms id=\"8\" />"
       "</schedule-sms-list></args>"},
      {body_set_schedule_sms("2026-12-24 08:00", "hello", {"sip:1@x", "tel:2"}),
       "<args><schedule-sms send-time=\"2026-12-24 08:00\"><message>hello</message><receivers>"
       "<receiver uri=\"sip:1@x\" /><receiver uri=\"tel:2\" /></receivers></schedule-sms></args>"},
      {body_delete_schedule_sms(5),
       "<args><schedule-sms-list><schedule-sms id=\"5\" /></schedule-sms-list></args>"},
      {body_get_group_list(),
       "<args><group-list version=\"5\" attributes=\"name;identity\" /></args>"},
      {body_get_group_members("sip:PG1@x"),
       "<args><groups attributes=\"member-uri;member-nickname;member-oxanickname;member-identity\">"
       "<group uri=\"sip:PG1@x\" members-major-version=\"2\" members-minor-version=\"2\" "
       "/></groups>"
       "</args>"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.body, c.expected);
}

TEST(PayloadBodies, SubscriptionsAndTheirUnsubscriptions) {
  EXPECT_EQ(body_subscribe_contacts({"sip:1@x", "sip:2@x"}, "sip:9@x", true),
            "<args><subscription><contacts><contact uri=\"sip:1@x\" /><contact uri=\"sip:2@x\" />"
            "</contacts><presence><basic attributes=\"all\" /><personal attributes=\"all\" />"
            "<extended types=\"sms;location\" /></presence></subscription><subscription><contacts>"
            "<contact uri=\"sip:9@x\" /></contacts><presence><extended types=\"sms;location\" />"
            "</presence></subscription></args>");
  EXPECT_EQ(body_subscribe_contacts({"sip:1@x"}, nullptr, false),
            "<args><subscription><contacts><contact uri=\"sip:1@x\" /></contacts></subscription>"
            "</args>");
  EXPECT_EQ(body_subscribe_contact("sip:1@x", true),
            "<args><subscription><contacts><contact uri=\"sip:1@x\" /></contacts><presence><basic "
            "attributes=\"all\" /><personal attributes=\"all\" /><extended "
            "types=\"sms;location;listening;ring-back-tone\" /></presence></subscription></args>");
  EXPECT_EQ(body_subscribe_contact("sip:1@x", false),
            "<args><subscription><contacts><contact uri=\"sip:1@x\" /></contacts></subscription>"
            "</args>");
  EXPECT_EQ(
      body_subscribe_quns({"sip:PG1@x"}, true),
      "<args><subscription><groups><group uri=\"sip:PG1@x\" /></groups><presence><basic "
      "attributes=\"all\" /><member attributes=\"identity\" /><management attributes=\"all\" />"
      "</presence></subscription></args>");
  EXPECT_EQ(
      body_subscribe_quns({"sip:PG1@x"}, false),
      "<args><subscription><groups><group uri=\"sip:PG1@x\" /></groups></subscription></args>");
}

TEST(PayloadBodies, SubscribableUrisAreBuddiesWithUri) {
  using namespace tavrin::contacts::testing;
  ContactStore s;
  s.adopt_account(make_account("sip:100000001@x"));
  s.adopt_account(make_account("tel:13912345678"));
  AccountPtr no_uri = make_account("sip:100000002@x");
  set_text(no_uri->uri, nullptr);
  s.adopt_account(std::move(no_uri));
  EXPECT_EQ(subscribable_uris(s), (std::vector<std::string>{"sip:100000001@x"}));
}

// Mend: caller texts cannot break out of their attribute or element.
TEST(PayloadBodies, CallerTextsAreEscapedAndReachTheServerAsTyped) {
  const char* hostile = "a\"b<c>&'d\" /><evil x=\"";
  struct {
    std::string body;
    std::vector<const char*> path;
    const char* attribute;  // nullptr: element text
  } cases[] = {
      {body_set_nickname(hostile), {"args", "personal"}, "nickname"},
      {body_set_impresa(hostile), {"args", "personal"}, "impresa"},
      {body_create_buddy_list(hostile), {"args", "contacts", "buddy-lists", "buddy-list"}, "name"},
      {body_set_buddy_info("sip:1@x", hostile),
       {"args", "contacts", "buddies", "buddy"},
       "local-name"},
      {body_add_buddy("sip:1", "n", 1, hostile), {"args", "contacts", "buddies", "buddy"}, "desc"},
      {body_set_schedule_sms("t", hostile, {}), {"args", "schedule-sms", "message"}, nullptr},
      {body_blacklist(hostile), {"args", "contacts", "blacklist", "blocked"}, "uri"},
  };
  for (const auto& c : cases) {
    TiXmlDocument doc;
    doc.Parse(c.body.c_str(), nullptr, TIXML_ENCODING_UTF8);
    ASSERT_FALSE(doc.Error()) << c.body;
    const TiXmlNode* node = &doc;
    for (const char* name : c.path) {
      node = node->FirstChildElement(name);
      ASSERT_NE(node, nullptr) << c.body;
    }
    const TiXmlElement* e = node->ToElement();
    const char* value = c.attribute ? e->Attribute(c.attribute) : e->GetText();
    ASSERT_NE(value, nullptr) << c.body;
    EXPECT_STREQ(value, hostile) << c.body;
    EXPECT_EQ(c.body.find("<evil"), std::string::npos);
  }
}

}  // namespace
