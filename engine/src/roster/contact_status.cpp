#include "roster/contact_status.h"

#include <cstdio>

#include "roster/contact_id.h"
#include "roster/records.h"

namespace tavrin::contacts {

namespace {

int status_of_record(EngineContacts& state, const fx_account& a) {
  ContactStore* store = state.store();
  if (store != nullptr && store->blacklisted(a.id)) return kStatusBlocked;
  if (a.relation_status == 0) return kStatusUnanswered;
  if (a.relation_status == 2) return kStatusRelation2;
  if (is_pc_user_id(a.id)) return a.status;
  return kStatusMobile;
}

}  // namespace

int status_of(EngineContacts& state, const fx_account* account) {
  if (account == nullptr) return kStatusNone;
  if (state.is_own_id(account->id)) return state.user().state;
  return status_of_record(state, *account);
}

int status_by_id(EngineContacts& state, long id) {
  if (state.is_own_id(id)) return state.user().state;
  ContactStore* store = state.store();
  fx_account* a = store != nullptr ? store->account_by_id(id) : nullptr;
  return a == nullptr ? kStatusNone : status_of_record(state, *a);
}

bool is_online_status(int s) {
  switch (s) {
    case kStatusNone:
    case kStatusOffline:
    case kStatusUnanswered:
    case kStatusRelation2:
    case kStatusBlocked:
    case kStatusMobile:
      return false;
    default:
      return true;
  }
}

const char* user_show_name(const fx_user* user) {
  if (user == nullptr) return nullptr;
  if (const fx_personal_info* p = user->personal_info) {
    if (has_text(p->nickname)) return p->nickname;
    if (has_text(p->name)) return p->name;
  }
  return user->uid;
}

std::string account_show_name(const fx_account& a, bool with_mood) {
  std::string name;
  const char* mood = nullptr;
  if (has_text(a.local_name)) name = a.local_name;
  if (const fx_personal_info* p = a.personal_info) {
    if (has_text(p->impresa)) mood = p->impresa;
    if (name.empty()) {
      if (has_text(p->nickname))
        name = p->nickname;
      else if (has_text(p->name))
        name = p->name;
    }
  }
  if (name.empty()) name = display_number(a.id);
  if (mood != nullptr && with_mood) return name + "(" + mood + ")";
  return name;
}

std::string qun_show_name(const fx_qun& q) {
  if (q.info != nullptr && has_text(q.info->name)) return q.info->name;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%d", static_cast<int>(q.id));
  return buf;
}

int group_id_of(const char* buddy_lists) {
  if (!has_text(buddy_lists)) return -1;
  return static_cast<int>(to_int32(buddy_lists));
}

}  // namespace tavrin::contacts
