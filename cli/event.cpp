#include "event.h"

#include <cstdlib>

#include "libtavrin.h"

namespace tavrin::cli {

bool carries_record(int code) {
  switch (code) {
    case FX_MSG_SMS_OK:
    case FX_MSG_SMS_FAILED:
    case FX_MSG_SMS_TIMEOUT:
    case FX_MSG_SMS_REFUSED:
    case FX_MSG_CHAT_SENT:
    case FX_MSG_CHAT_SEND_FAILED:
    case FX_MSG_CHAT_SEND_TIMEOUT:
    case FX_MSG_QUN_CHAT_SENT:
    case FX_MSG_QUN_CHAT_SEND_TIMEOUT:
    case FX_MSG_QUN_CHAT_SEND_FAILED:
    case FX_MSG_QUN_SMS_OK:
    case FX_MSG_QUN_SMS_TIMEOUT:
    case FX_MSG_QUN_SMS_FAILED:
    case FX_MSG_QUN_SMS_REFUSED:
      return true;
    default:
      return false;
  }
}

bool record_is_receivers(int code) {
  return carries_record(code) && code != FX_MSG_SMS_TIMEOUT && code != FX_MSG_CHAT_SEND_TIMEOUT &&
         code != FX_MSG_QUN_CHAT_SEND_TIMEOUT && code != FX_MSG_QUN_SMS_TIMEOUT;
}

bool carries_p1_text(int code) {
  switch (code) {
    case FX_MSG_BUDDYLIST_ADDED:
    case FX_MSG_BUDDYLIST_ADD_FAILED:
    case FX_MSG_BUDDYLIST_DELETED:
    case FX_MSG_BUDDYLIST_DELETE_FAILED:
    case FX_MSG_BUDDYLIST_RENAMED:
    case FX_MSG_BUDDYLIST_RENAME_FAILED:
    case FX_MSG_LOCALNAME_SET:
    case FX_MSG_LOCALNAME_SET_FAILED:
    case FX_MSG_CONTACT_REQUEST:
      return true;
    default:
      return false;
  }
}

bool is_login_failure(int code) {
  switch (code) {
    case FX_MSG_LOGIN_WRONG_PASSWORD:
    case FX_MSG_LOGIN_FAILED:
    case FX_MSG_LOGIN_BAD_REQUEST:
    case FX_MSG_LOGIN_NOT_FOUND:
    case FX_MSG_CONTACTS_LOAD_FAILED:
    case FX_MSG_QUN_LIST_FAILED:
    case FX_MSG_NAV_BAD_ID:
      return true;
    default:
      return false;
  }
}

Event make_event(int code, intptr_t p1, intptr_t p2) {
  Event e;
  e.code = code;
  e.p2 = static_cast<long>(p2);
  if (code == FX_MSG_CHAT_MESSAGE || code == FX_MSG_CHAT_MESSAGE_SO) {
    // The body is the engine's and valid only during this call.
    if (p1 != 0) e.p1_text = reinterpret_cast<const char*>(p1);
  } else if (carries_record(code)) {
    auto* rec = reinterpret_cast<fx_msg*>(p1);
    if (rec != nullptr) {
      e.has_record = true;
      e.record_to = rec->contact_id;
      if (rec->text != nullptr) e.record_text = rec->text;
      if (record_is_receivers(code)) fx_destroy_msg(rec);
    }
  } else if (carries_p1_text(code)) {
    char* text = reinterpret_cast<char*>(p1);
    e.p1_text = text != nullptr ? std::string(text) : std::string();
    std::free(text);
    if (code == FX_MSG_CONTACT_REQUEST) {
      char* uri = reinterpret_cast<char*>(p2);
      e.p2_text = uri != nullptr ? std::string(uri) : std::string();
      std::free(uri);
      e.p2 = 0;
    }
  } else if (code == FX_MSG_FILE_OFFER) {
    auto* offer = reinterpret_cast<fx_file_offer*>(p1);
    if (offer != nullptr) {
      if (offer->name != nullptr) e.offer_name = offer->name;
      if (offer->url != nullptr) e.offer_url = offer->url;
      e.offer_size = offer->size;
      for (char* s : {offer->file_id, offer->session_id, offer->url, offer->name, offer->md5,
                      offer->transfer_type})
        std::free(s);
      std::free(offer);
    }
  } else {
    e.p1 = static_cast<long>(p1);
  }
  return e;
}

}  // namespace tavrin::cli
