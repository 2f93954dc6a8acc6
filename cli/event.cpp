#include "event.h"

#include <cstdlib>

#include "bridge/EngineMessages.h"
#include "libtavrin.h"

namespace tavrin::cli {

bool carries_record(int code) {
  return bridge::is_send_result(code);
}

bool record_is_receivers(int code) {
  return bridge::describe(code).p1 == bridge::Carries::kRecordGiven;
}

bool carries_p1_text(int code) {
  return bridge::describe(code).p1 == bridge::Carries::kTextGiven;
}

bool is_login_failure(int code) {
  return bridge::is_login_failure(code);
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
    }
    bridge::release(code, p1, p2);
  } else if (carries_p1_text(code)) {
    bridge::EngineMessage m(code, p1, p2);  // frees the texts when done
    e.p1_text = m.text();
    if (code == FX_MSG_CONTACT_REQUEST) {
      e.p2_text = m.text2();
      e.p2 = 0;
    }
  } else if (code == FX_MSG_FILE_OFFER) {
    auto* offer = reinterpret_cast<fx_file_offer*>(p1);
    if (offer != nullptr) {
      if (offer->name != nullptr) e.offer_name = offer->name;
      if (offer->url != nullptr) e.offer_url = offer->url;
      e.offer_size = offer->size;
    }
    bridge::release(code, p1, p2);
  } else {
    e.p1 = static_cast<long>(p1);
  }
  return e;
}

}  // namespace tavrin::cli
