#include "mainwnd/contact_source.h"

#include <cstdlib>

#include "libtavrin.h"
#include "platform/text_codec.h"

namespace tavrin::mainwnd {

namespace {

// Holds the engine's store lock for one read.
class StoreLock {
 public:
  StoreLock() { fx_lock_contacts(); }
  ~StoreLock() { fx_unlock_contacts(); }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
};

std::u16string text_of(const char* utf8) {
  return utf8 ? platform::utf8_to_utf16(utf8) : std::u16string();
}

// Store lock held.
ContactRecord record_of(const fx_account* a) {
  ContactRecord r;
  r.id = uint32_t(a->id);
  r.group_id = fx_get_account_group_id(a);
  if (r.group_id < 0) r.group_id = 0;
  if (char* name = fx_get_account_show_name(a, 0)) {
    r.name = platform::utf8_to_utf16(name);
    std::free(name);
  }
  r.status = stored_status(fx_get_online_status_by_account(a));
  r.mobile = counts_online(r.status) && fx_islogin_by_mobile(a) == 1;
  return r;
}

}  // namespace

StoreSnapshot read_store() {
  StoreSnapshot s;
  StoreLock lock;
  for (const fx_list* n = fx_get_group(); n; n = n->next)
    if (const auto* g = static_cast<const fx_group*>(n->data))
      s.lists.push_back({g->id, text_of(g->name)});
  const char* uid = fx_get_usr_uid();
  const long own = uid ? std::atol(uid) : 0;
  for (const fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a)) {
    if (a->id == own) continue;  // the user's own entry: later adds come after it
    s.contacts.push_back(record_of(a));
  }
  return s;
}

std::optional<ContactRecord> read_contact(long id) {
  StoreLock lock;
  const fx_account* a = fx_get_account_by_id(id);
  if (!a) return std::nullopt;
  return record_of(a);
}

OwnInfo read_own() {
  OwnInfo o;
  StoreLock lock;
  if (const fx_personal_info* p = fx_data_get_PersonalInfo()) {
    o.nickname = text_of(p->nickname);
    o.mood = text_of(p->impresa);
  }
  // Until the profile has come, the engine's own display name stands in.
  if (o.nickname.empty()) o.nickname = text_of(fx_get_usr_show_name());
  if (const char* uid = fx_get_usr_uid()) o.number = std::atol(uid);
  o.state = fx_get_user_state();
  return o;
}

}  // namespace tavrin::mainwnd
