// Parsers of the XML bodies the server answers to the contact and service
// commands, and of the event bodies it pushes. Each takes the body text,
// parses it as one XML document with TinyXML and walks from the document.
// A body that is absent, does not parse or lacks the element the parser
// walks to yields nothing (nullptr, 0, nullopt or an empty list); missing
// attributes give nullptr texts and 0 integers.
//
// Parsers only build values and records; they never touch the engine's
// store. The apply_* functions put a parsed result into a store and need the
// store lock when that store is installed. Any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "roster/contact_store.h"
#include "roster/list_chain.h"
#include "roster/records.h"
#include "roster/xml_read.h"

namespace tavrin::contacts {

// ---- Profile answers ----

// SetPersonalInfo answers: `results`/`personal` `impresa`, resp. `nickname`.
TextPtr parse_impresa_answer(const char* body);
TextPtr parse_nickname_answer(const char* body);
// SetPresence (refuse-SMS) answer: days of `results`/`presence`/`extended`.
int parse_refuse_sms_answer(const char* body);
// The digits before the first "." of a duration text; no "." gives 0.
int refuse_sms_days(const char* duration);
// GetScore answer: `results`/`score` `value`.
int parse_score_answer(const char* body);
// GetPersonalInfo answer: `results`/`personal`, all thirty attributes.
PersonalInfoPtr parse_personal_info_answer(const char* body);
// The thirty profile attributes of a `personal` element.
PersonalInfoPtr read_personal(const TiXmlElement* personal);

// GetContactsInfo answer: each child of `results`/`contacts` that has a
// `personal` child.
struct ContactInfo {
  OptText uri;
  long id = 0;
  PersonalInfoPtr info;
};
std::vector<ContactInfo> parse_contacts_info_answer(const char* body);
// Fills the matching accounts' profiles (created when absent; refuse-SMS
// days kept). Returns the ids filled, in order.
std::vector<long> apply_contacts_info(ContactStore& store, const std::vector<ContactInfo>& infos);

// The user's own uri, mobile number and user status: `results`/`user`.
struct OwnUserInfo {
  OptText uri;
  OptText mobile_no;
  int user_status = 0;
};
std::optional<OwnUserInfo> parse_own_user_answer(const char* body);

// ---- Contact list and management answers ----

// GetContactList answer: a new store, nullptr without `buddy-lists`.
std::unique_ptr<ContactStore> parse_contact_list_answer(const char* body);

// CreateBuddyList, SetBuddyListInfo.
struct BuddyListAnswer {
  int id = 0;
  OptText name;
};
std::optional<BuddyListAnswer> parse_buddy_list_answer(const char* body);

// SetBuddyInfo, DeleteBuddy.
struct BuddyNameAnswer {
  long id = 0;
  OptText local_name;
};
std::optional<BuddyNameAnswer> parse_buddy_info_answer(const char* body);

// SetBuddyLists.
struct BuddyMoveAnswer {
  long id = 0;
  int group_id = 0;
};
std::optional<BuddyMoveAnswer> parse_buddy_lists_answer(const char* body);

// AddToBlacklist, RemoveFromBlacklist.
struct BlockedAnswer {
  OptText uri;
  long id = 0;
};
std::optional<BlockedAnswer> parse_blacklist_answer(const char* body);

// AddBuddy (kind 1, status 68) and AddMobileBuddy (kind 2, status 78).
AccountPtr parse_add_buddy_answer(const char* body);
AccountPtr parse_add_mobile_buddy_answer(const char* body);

// ---- Scheduled SMS answers ----

// SSGetScheduleSmsList: records with id and version; id 0 skipped.
OwnedChain<fx_schedule_sms> parse_schedule_list_answer(const char* body);

// SSGetScheduleSms: the details of each child of `results`/`schedule-sms-list`.
struct ScheduleDetail {
  int id = 0;
  int version = 0;
  OptText send_time;
  OptText message;
  std::vector<long> receiver_ids;
};
std::vector<ScheduleDetail> parse_schedule_details_answer(const char* body);
// Fills the records of list whose ids match (old values freed); receivers
// become references to the store's accounts of their ids, others dropped.
void apply_schedule_details(fx_list* list, const std::vector<ScheduleDetail>& details,
                            const ContactStore* store);

// SSSetScheduleSms: the new id, 0 when absent.
int parse_schedule_set_answer(const char* body);

// ---- Group chats ----

// PGGetGroupList: children of `results`/`group-list` that have a uri.
OwnedChain<fx_qun> parse_group_list_answer(const char* body);

// PGGetGroupMembers: each `group` child of `results`/`groups`.
struct QunMembers {
  OptText uri;
  long id = 0;
  OwnedChain<fx_qun_member> members;
};
std::vector<QunMembers> parse_group_members_answer(const char* body);
// Replaces the member lists of the known group chats (info created when absent).
void apply_group_members(ContactStore& store, std::vector<QunMembers>& groups);

// ---- Events ----

// Contact-list events: "AddBuddyApplication" and "UpdateBuddy", in order.
struct BuddyRelation {
  std::string uri;
  long id = 0;
  bool has_relation_status = false;
  int relation_status = 0;
};
struct ContactEvent {
  enum class Type { kApplication, kUpdateBuddy } type = Type::kApplication;
  // kApplication: `application` `uri` and `desc` (absent: empty text).
  std::string uri;
  std::string desc;
  // kUpdateBuddy: each `contacts`/`buddies`/`buddy`.
  std::vector<BuddyRelation> buddies;
};
std::vector<ContactEvent> parse_contact_events(const char* body);

// Presence events: each `presence` of a "PresenceChanged" event, and each
// `contact` with a `personal` child under `results`/`contacts` of a
// "SubscribeResult" event, in document order.
struct PresenceItem {
  bool subscribe_result = false;
  std::string uri;
  long id = 0;
  // PresenceChanged: `basic`.
  bool has_basic = false;
  int value = 0;
  OptText device_type;
  // PresenceChanged: `personal` (with subscribe_result: mobile_no, name, nickname).
  bool has_personal = false;
  bool has_portrait_crc = false;
  int portrait_crc = 0;
  OptText impresa;
  OptText nickname;
  OptText mobile_no;
  OptText name;
  // PresenceChanged: the days of each `extended` of type "sms", in order.
  std::vector<int> sms_days;
};
std::vector<PresenceItem> parse_presence_events(const char* body);

// Group presence events: each child element of a "PresenceChanged" event.
struct QunPresence {
  OptText uri;
  long id = 0;
  OptText name;
  OptText introduce;
  OptText bulletin;
  int attributes_version = 0;
  int category = 0;
  int portrait_crc = 0;
};
std::vector<QunPresence> parse_qun_presence_events(const char* body);
// Fills the info of the known group chats (created when absent).
void apply_qun_presence(ContactStore& store, const std::vector<QunPresence>& items);

}  // namespace tavrin::contacts
