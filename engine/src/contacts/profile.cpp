// Exported profile setters and the score and contact-profile requests.
// These answers use the general success test (200, or "OK" in the reason).
#include "contacts/profile.h"

#include <memory>
#include <string>
#include <vector>

#include "frame/engine.h"
#include "libtavrin.h"
#include "roster/engine_contacts.h"
#include "roster/payload_bodies.h"
#include "roster/payload_parsers.h"
#include "roster/text_cut.h"
#include "sipc/command.h"
#include "sipc/wire.h"

namespace tavrin::contacts {

namespace {

EngineContacts& state() {
  return EngineContacts::instance();
}

ReplyTo* new_reply_to(fx_msg_cb cb, void* user) {
  return new ReplyTo{cb, user};
}

// The user's profile, only when one exists: before the first personal
// information answer a change is confirmed but not stored.
fx_personal_info* own_profile() {
  fx_user* u = state().user_if_any();
  return u != nullptr ? u->personal_info : nullptr;
}

void impresa_answer(sipc_message& m, void* user) {
  const ReplyTo to = *static_cast<ReplyTo*>(user);
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) {
    to.post(FX_MSG_IMPRESA_SET_FAILED);
    return;
  }
  TextPtr impresa = parse_impresa_answer(m.body().c_str());
  {
    auto lock = state().lock();
    if (fx_personal_info* p = own_profile()) set_text(p->impresa, impresa.get());
  }
  to.post(FX_MSG_IMPRESA_SET);
}

void nickname_answer(sipc_message& m, void* user) {
  const ReplyTo to = *static_cast<ReplyTo*>(user);
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) {
    to.post(FX_MSG_NICKNAME_SET_FAILED);
    return;
  }
  TextPtr nickname = parse_nickname_answer(m.body().c_str());
  {
    auto lock = state().lock();
    if (fx_personal_info* p = own_profile()) set_text(p->nickname, nickname.get());
  }
  to.post(FX_MSG_NICKNAME_SET);
}

void refuse_sms_answer(sipc_message& m, void* user) {
  const ReplyTo to = *static_cast<ReplyTo*>(user);
  wire().transactions.remove(m.call_id());
  if (!is_success(m)) {
    to.post(FX_MSG_REFUSE_SMS_DAY_SET_FAILED);
    return;
  }
  const int days = parse_refuse_sms_answer(m.body().c_str());
  {
    auto lock = state().lock();
    if (fx_personal_info* p = own_profile()) p->refuse_sms_day = days;
  }
  to.post(FX_MSG_REFUSE_SMS_DAY_SET, days);
}

void score_answer(sipc_message& m, void*) {
  wire().transactions.remove(m.call_id());
  const int score = parse_score_answer(m.body().c_str());
  auto lock = state().lock();
  state().user().score = score;
}

void contacts_info_answer(sipc_message& m, void*) {
  wire().transactions.remove(m.call_id());
  if (m.status() != 200) return;
  const std::vector<ContactInfo> infos = parse_contacts_info_answer(m.body().c_str());
  std::vector<long> filled;
  {
    auto lock = state().lock();
    if (ContactStore* store = state().store()) filled = apply_contacts_info(*store, infos);
  }
  for (long id : filled) engine().callbacks.post_system(FX_MSG_CONTACT_CHANGED, 0, id);
}

}  // namespace

void request_score() {
  send_command(command::kGetScore, std::string(), score_answer, nullptr, nullptr);
}

int request_contact_info(const char* uri) {
  send_command(command::kGetContactsInfo, body_get_contacts_info(uri), contacts_info_answer,
               nullptr, nullptr);
  return 1;
}

}  // namespace tavrin::contacts

using namespace tavrin::contacts;

extern "C" {

FX_API int fx_set_user_impresa(const char* impresa, fx_msg_cb cb, void* user) {
  try {
    const std::string text = utf8_cut(impresa, kImpresaLimit);
    tavrin::send_command(command::kSetPersonalInfo,
                         body_set_impresa(impresa != nullptr ? text.c_str() : nullptr),
                         impresa_answer, new_reply_to(cb, user), tavrin::free_reply_to);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API int fx_set_user_nickname(const char* nickname, fx_msg_cb cb, void* user) {
  try {
    const std::string text = utf8_cut(nickname, kNicknameLimit);
    tavrin::send_command(command::kSetPersonalInfo,
                         body_set_nickname(nickname != nullptr ? text.c_str() : nullptr),
                         nickname_answer, new_reply_to(cb, user), tavrin::free_reply_to);
    return 1;
  } catch (...) {
    return 0;
  }
}

FX_API int fx_set_user_refuse_sms_day(int days, fx_msg_cb cb, void* user) {
  try {
    tavrin::send_command(command::kSetPresence, body_set_refuse_sms(days), refuse_sms_answer,
                         new_reply_to(cb, user), tavrin::free_reply_to);
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
