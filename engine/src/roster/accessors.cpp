// The exported own-account and contact accessors and the store lock. Each
// accessor takes the store lock for its own duration, so a call that takes
// an id and returns no record is safe on its own; a record or engine-owned
// text passed in or handed out stays valid only while the caller holds the
// lock (fx_lock_contacts). No exception crosses these functions.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "libtavrin.h"
#include "roster/contact_id.h"
#include "roster/contact_status.h"
#include "roster/engine_contacts.h"

using tavrin::contacts::ContactStore;
using tavrin::contacts::EngineContacts;

namespace {

EngineContacts& state() {
  return EngineContacts::instance();
}

template <class T, class F>
T guarded(T fallback, F&& body) noexcept {
  try {
    auto lock = state().lock();
    return body();
  } catch (...) {
    return fallback;
  }
}

char* new_text(const std::string& s) {
  char* out = static_cast<char*>(std::malloc(s.size() + 1));
  if (out != nullptr) std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

ContactStore* store() {
  return state().store();
}

}  // namespace

extern "C" {

FX_API void fx_lock_contacts(void) {
  state().mutex().lock();
}
FX_API void fx_unlock_contacts(void) {
  state().mutex().unlock();
}

FX_API const char* fx_get_usr_uid(void) {
  return guarded<const char*>(nullptr, [] {
    auto* u = state().user_if_any();
    return u ? u->uid : nullptr;
  });
}

FX_API const char* fx_get_usr_passwd(void) {
  return guarded<const char*>(nullptr, [] {
    auto* u = state().user_if_any();
    return u ? u->password : nullptr;
  });
}

FX_API const char* fx_get_usr_show_name(void) {
  return guarded<const char*>(
      nullptr, [] { return tavrin::contacts::user_show_name(state().user_if_any()); });
}

FX_API const char* fx_get_usr_uri(void) {
  return guarded<const char*>(nullptr, [] {
    auto* u = state().user_if_any();
    return u ? u->uri : nullptr;
  });
}

FX_API const char* fx_get_usr_mobilenum(void) {
  return guarded<const char*>(nullptr, [] {
    auto* u = state().user_if_any();
    return u ? u->mobile_no : nullptr;
  });
}

FX_API int fx_get_usr_score(void) {
  int score = guarded(-1, [] {
    auto* u = state().user_if_any();
    return u ? u->score : -1;
  });
  if (score == -1) {
    // Asked outside the lock: the request code takes its own locks.
    auto hooks = guarded(tavrin::contacts::RequestHooks{}, [] { return state().hooks(); });
    if (hooks.request_score != nullptr) {
      try {
        hooks.request_score();
      } catch (...) {
      }
    }
  }
  return score;
}

FX_API int fx_get_user_state(void) {
  return guarded(0, [] {
    auto* u = state().user_if_any();
    return u ? u->state : 0;
  });
}

FX_API int fx_get_expirestime(void) {
  return guarded(0, [] {
    auto* u = state().user_if_any();
    return u ? u->expires : 0;
  });
}

FX_API int fx_get_user_refuse_sms_day(void) {
  return guarded(0, [] {
    auto* u = state().user_if_any();
    return u && u->personal_info ? u->personal_info->refuse_sms_day : 0;
  });
}

FX_API fx_personal_info* fx_data_get_PersonalInfo(void) {
  return guarded<fx_personal_info*>(nullptr, [] {
    auto* u = state().user_if_any();
    return u ? u->personal_info : nullptr;
  });
}

FX_API fx_list* fx_get_group(void) {
  return guarded<fx_list*>(nullptr, [] { return store() ? store()->groups : nullptr; });
}

FX_API fx_list* fx_get_blacklist(void) {
  return guarded<fx_list*>(nullptr, [] { return store() ? store()->blacklist : nullptr; });
}

FX_API fx_list* fx_get_qun(void) {
  return guarded<fx_list*>(nullptr, [] { return store() ? store()->quns : nullptr; });
}

FX_API fx_account* fx_get_first_account(void) {
  return guarded<fx_account*>(nullptr, [] { return store() ? store()->first_account() : nullptr; });
}

FX_API fx_account* fx_get_next_account(const fx_account* account) {
  return guarded<fx_account*>(
      nullptr, [account] { return store() ? store()->next_account(account) : nullptr; });
}

FX_API fx_account* fx_get_account_by_id(long id) {
  return guarded<fx_account*>(nullptr,
                              [id] { return store() ? store()->account_by_id(id) : nullptr; });
}

FX_API fx_qun* fx_get_qun_by_id(long id) {
  return guarded<fx_qun*>(nullptr, [id] { return store() ? store()->qun_by_id(id) : nullptr; });
}

FX_API int fx_get_refuse_sms_day(const fx_account* account) {
  return guarded(0, [account] {
    return account && account->personal_info ? account->personal_info->refuse_sms_day : 0;
  });
}

FX_API int fx_update_account_info_by_id(long id) {
  std::string uri;
  tavrin::contacts::RequestHooks hooks;
  bool found = guarded(false, [&] {
    fx_account* a = store() ? store()->account_by_id(id) : nullptr;
    if (a == nullptr || !tavrin::contacts::has_text(a->uri)) return false;
    uri = a->uri;
    hooks = state().hooks();
    return true;
  });
  if (!found || hooks.request_contact_info == nullptr) return 0;
  try {
    return hooks.request_contact_info(uri.c_str()) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

FX_API int fx_is_pc_user_by_id(long id) {
  return tavrin::contacts::is_pc_user_id(id) ? 1 : 0;
}

FX_API int fx_is_pc_user_by_account(const fx_account* account) {
  return guarded(
      0, [account] { return account && tavrin::contacts::is_pc_user_id(account->id) ? 1 : 0; });
}

FX_API int fx_is_qun_by_id(long id) {
  return tavrin::contacts::is_qun_id(id) ? 1 : 0;
}

FX_API int fx_is_authed_by_id(long id) {
  return guarded(0, [id] {
    if (state().is_own_id(id)) return 1;
    fx_account* a = store() ? store()->account_by_id(id) : nullptr;
    return a ? a->relation_status : 0;
  });
}

FX_API int fx_is_authed_by_account(const fx_account* account) {
  return guarded(0, [account] {
    if (account == nullptr) return 0;
    if (state().is_own_id(account->id)) return 1;
    return account->relation_status;
  });
}

FX_API int fx_is_InBlacklist_by_id(long id) {
  return guarded(0, [id] { return store() && store()->blacklisted(id) ? 1 : 0; });
}

FX_API int fx_is_InBlacklist_by_account(const fx_account* account) {
  return guarded(
      0, [account] { return account && store() && store()->blacklisted(account->id) ? 1 : 0; });
}

FX_API int fx_get_online_status_by_id(long id) {
  return guarded(0, [id] { return tavrin::contacts::status_by_id(state(), id); });
}

FX_API int fx_get_online_status_by_account(const fx_account* account) {
  return guarded(0, [account] { return tavrin::contacts::status_of(state(), account); });
}

FX_API int fx_is_on_line_by_id(long id) {
  if (!tavrin::contacts::is_pc_user_id(id)) return 0;
  return tavrin::contacts::is_online_status(fx_get_online_status_by_id(id)) ? 1 : 0;
}

FX_API int fx_is_on_line_by_account(const fx_account* account) {
  return tavrin::contacts::is_online_status(fx_get_online_status_by_account(account)) ? 1 : 0;
}

FX_API int fx_islogin_by_mobile(const fx_account* account) {
  return guarded(0, [account] {
    return account && tavrin::contacts::has_text(account->device_type) &&
                   std::strcmp(account->device_type, "PC") != 0
               ? 1
               : 0;
  });
}

FX_API char* fx_get_qun_show_name(const fx_qun* qun) {
  return guarded<char*>(nullptr, [qun]() -> char* {
    if (qun == nullptr) return nullptr;
    return new_text(tavrin::contacts::qun_show_name(*qun));
  });
}

FX_API char* fx_get_account_show_name(const fx_account* account, int with_impresa) {
  return guarded<char*>(nullptr, [account, with_impresa]() -> char* {
    if (account == nullptr) return nullptr;
    return new_text(tavrin::contacts::account_show_name(*account, with_impresa != 0));
  });
}

FX_API int fx_get_account_group_id(const fx_account* account) {
  return guarded(
      -1, [account] { return account ? tavrin::contacts::group_id_of(account->buddy_lists) : -1; });
}

FX_API char* fx_get_original_ID(long id) {
  try {
    return new_text(tavrin::contacts::display_number(id));
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
