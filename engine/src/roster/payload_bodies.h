// The XML bodies of the contact and service commands ("S" requests, the
// command name in header "N") and of the presence subscriptions ("SUB").
// Texts from the caller (names, mood, descriptions, message text, uris) are
// escaped into attribute values and element text; nullptr counts as an empty
// text. Numbers are decimal. No XML declaration; the root is `args`. Pure
// functions, any thread; the returned strings have no size limit.
#pragma once

#include <string>
#include <vector>

#include "roster/contact_store.h"

namespace tavrin::contacts {

namespace command {
inline constexpr char kSetPresence[] = "SetPresence";
inline constexpr char kSetPersonalInfo[] = "SetPersonalInfo";
inline constexpr char kGetScore[] = "GetScore";
inline constexpr char kGetPersonalInfo[] = "GetPersonalInfo";
inline constexpr char kGetContactsInfo[] = "GetContactsInfo";
inline constexpr char kGetContactList[] = "GetContactList";
inline constexpr char kCreateBuddyList[] = "CreateBuddyList";
inline constexpr char kDeleteBuddyList[] = "DeleteBuddyList";
inline constexpr char kSetBuddyListInfo[] = "SetBuddyListInfo";
inline constexpr char kSetBuddyInfo[] = "SetBuddyInfo";
inline constexpr char kSetBuddyLists[] = "SetBuddyLists";
inline constexpr char kDeleteBuddy[] = "DeleteBuddy";
inline constexpr char kAddToBlacklist[] = "AddToBlacklist";
inline constexpr char kRemoveFromBlacklist[] = "RemoveFromBlacklist";
inline constexpr char kAddBuddy[] = "AddBuddy";
inline constexpr char kAddMobileBuddy[] = "AddMobileBuddy";
inline constexpr char kHandleContactRequest[] = "HandleContactRequest";
inline constexpr char kGetScheduleSmsList[] = "SSGetScheduleSmsList";
inline constexpr char kGetScheduleSms[] = "SSGetScheduleSms";
inline constexpr char kSetScheduleSms[] = "SSSetScheduleSms";
inline constexpr char kDeleteScheduleSms[] = "SSDeleteScheduleSms";
inline constexpr char kGetGroupList[] = "PGGetGroupList";
inline constexpr char kGetGroupMembers[] = "PGGetGroupMembers";
// "N" of the subscriptions.
inline constexpr char kPresence[] = "presence";
inline constexpr char kGroupPresence[] = "PGPresence";
}  // namespace command

// SetPresence
std::string body_set_presence(const char* presence_value);
std::string body_set_refuse_sms(int days);  // "%d.00:00:00", "00:00:00" for 0
// SetPersonalInfo
std::string body_set_impresa(const char* impresa);
std::string body_set_nickname(const char* nickname);
// Fixed bodies.
std::string body_get_personal_info();
std::string body_get_contact_list();
std::string body_get_schedule_sms_list();
std::string body_get_group_list();
// GetScore has no body.

std::string body_get_contacts_info(const char* uri);
std::string body_create_buddy_list(const char* name);
std::string body_delete_buddy_list(int group_id);
std::string body_set_buddy_list_info(int group_id, const char* name);
std::string body_set_buddy_info(const char* uri, const char* local_name);
std::string body_set_buddy_lists(const char* uri, int group_id);
std::string body_delete_buddy(const char* uri);
// AddToBlacklist and RemoveFromBlacklist.
std::string body_blacklist(const char* uri);
std::string body_add_buddy(const char* uri, const char* local_name, int group_id, const char* desc);
std::string body_add_mobile_buddy(const char* uri, const char* local_name, int group_id,
                                  const char* desc);
std::string body_accept_contact_request(const char* uri, int result, int group_id,
                                        const char* local_name);
std::string body_refuse_contact_request(const char* uri, int result);
std::string body_get_schedule_sms(const std::vector<int>& ids);
std::string body_set_schedule_sms(const char* send_time, const char* message,
                                  const std::vector<std::string>& receiver_uris);
std::string body_delete_schedule_sms(int id);
std::string body_get_group_members(const char* qun_uri);

// Subscriptions; with_presence false gives the unsubscription body.
// All contacts: one subscription of the buddies, then, when own_uri is not
// nullptr, the user's own one.
std::string body_subscribe_contacts(const std::vector<std::string>& buddy_uris, const char* own_uri,
                                    bool with_presence);
std::string body_subscribe_contact(const char* uri, bool with_presence);
std::string body_subscribe_quns(const std::vector<std::string>& qun_uris, bool with_presence);

// Uris of the accounts a contacts subscription lists: kind 1 with a uri.
std::vector<std::string> subscribable_uris(const ContactStore& store);
// Uris of the group chats that have one.
std::vector<std::string> qun_uris(const ContactStore& store);

}  // namespace tavrin::contacts
