#include "im/sms.h"

#include <cstring>
#include <memory>
#include <string>

#include "frame/engine.h"
#include "roster/contact_id.h"
#include "roster/engine_contacts.h"
#include "sipc/command.h"
#include "sipc/message.h"
#include "sipc/server_settings.h"
#include "sipc/wire.h"

namespace tavrin::im {

namespace {

struct SmsContext {
  ReplyTo reply;
  MsgPtr record;  // null once a final result handed it over
};

void free_context(void* user) {
  delete static_cast<SmsContext*>(user);
}

void sms_handler(sipc_message& m, void* user);

void post_result(SmsContext& ctx, int code, bool final_result) {
  fx_msg* record = ctx.record.get();
  if (record == nullptr) return;
  const long target = record->contact_id;
  if (final_result) ctx.record.release();
  ctx.reply.post(result_code(code, target), reinterpret_cast<intptr_t>(record), target);
}

int sms_timeout(void* argument) {
  const auto call_id = int32_t(reinterpret_cast<intptr_t>(argument));
  auto entry = wire().transactions.find(call_id);
  if (entry && entry->handler == sms_handler)
    post_result(*static_cast<SmsContext*>(entry->user), FX_MSG_SMS_TIMEOUT, false);
  return 0;
}

void sms_handler(sipc_message& m, void* user) {
  if (!m.is_response()) return;
  auto& ctx = *static_cast<SmsContext*>(user);
  int code = FX_MSG_SMS_FAILED;
  if (m.status() == 280 || m.target().find("Send") != std::string::npos)
    code = FX_MSG_SMS_OK;
  else if (m.status() == 486)
    code = FX_MSG_SMS_REFUSED;
  // Waits for a running time-out handler, whose report must come first.
  engine().timers.remove(uint32_t(m.call_id()), uint32_t(m.sequence()));
  post_result(ctx, code, true);
  wire().transactions.remove(m.call_id());
}

int send(const std::string& uri, long target_id, bool qun, bool with_timeout, const char* text,
         const ReplyTo& reply) {
  const int32_t call_id = wire().new_call_id();
  sipc_message m = sipc_message::request(request_origin(), "M", call_id, 1, text);
  m.add_header("T", uri);
  m.add_header("N", qun ? "PGSendSMS" : server_settings().long_sms() ? "SendCatSMS" : "SendSMS");
  auto ctx = std::make_unique<SmsContext>();
  ctx->reply = reply;
  ctx->record = sent_record(target_id, text);
  wire().transactions.add(call_id, sms_handler, ctx.release(), free_context);
  if (with_timeout)
    engine().timers.add(uint32_t(call_id), 1, kSmsTimeoutTicks, sms_timeout,
                        reinterpret_cast<void*>(intptr_t(call_id)));
  wire().queue(m);
  return 1;
}

bool empty(const char* s) {
  return s == nullptr || *s == '\0';
}

}  // namespace

int send_sms(long id, const char* text, const ReplyTo& reply) {
  if (id == 0 || empty(text)) return 0;
  std::string uri;
  {
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    const char* found = nullptr;
    if (state.is_own_id(id)) {
      found = state.user().uri;
    } else if (const contacts::ContactStore* store = state.store()) {
      found = store->uri_of(id);
    }
    if (found == nullptr) return 0;
    uri = found;
  }
  return send(uri, id, contacts::is_qun_id(id), true, text, reply);
}

int send_sms_to_self(const char* text, const ReplyTo& reply) {
  if (empty(text)) return 0;
  std::string uri;
  long own_id = 0;
  {
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    const fx_user* u = state.user_if_any();
    if (u == nullptr || u->uri == nullptr) return 0;
    uri = u->uri;
    own_id = u->user_id;
  }
  return send(uri, own_id, false, true, text, reply);
}

int send_sms_by_mobile(const char* number, const char* text, const ReplyTo& reply) {
  if (number == nullptr || text == nullptr) return 0;
  const std::string uri = std::string("tel:") + number;
  return send(uri, contacts::contact_id_from_uri(uri.c_str()), false, false, text, reply);
}

}  // namespace tavrin::im
