#include "im/reply.h"

#include "contacts/contact_id.h"
#include "frame/message_queue.h"

namespace tavrin::im {

void Reply::post(int code, intptr_t p1, intptr_t p2) const {
  fx_msg_cb to = cb;
  void* data = user;
  if (to == nullptr) engine().callbacks.get_system(&to, &data);
  if (to != nullptr)
    to(code, p1, p2, data);
  else if (passes_record(code))
    fx_destroy_msg(reinterpret_cast<fx_msg*>(p1));
}

MsgPtr sent_record(long target_id, const char* text) {
  return MsgPtr(new_fx_msg(target_id, text, nullptr, nullptr, 0));
}

int result_code(int code, long id) {
  if (!contacts::is_qun_id(id)) return code;
  switch (code) {
    case FX_MSG_CHAT_SENT:
      return FX_MSG_QUN_CHAT_SENT;
    case FX_MSG_CHAT_SEND_TIMEOUT:
      return FX_MSG_QUN_CHAT_SEND_TIMEOUT;
    case FX_MSG_CHAT_SEND_FAILED:
      return FX_MSG_QUN_CHAT_SEND_FAILED;
    case FX_MSG_SMS_OK:
      return FX_MSG_QUN_SMS_OK;
    case FX_MSG_SMS_TIMEOUT:
      return FX_MSG_QUN_SMS_TIMEOUT;
    case FX_MSG_SMS_FAILED:
      return FX_MSG_QUN_SMS_FAILED;
    case FX_MSG_SMS_REFUSED:
      return FX_MSG_QUN_SMS_REFUSED;
    default:
      return code;
  }
}

bool passes_record(int code) {
  switch (code) {
    case FX_MSG_SMS_OK:
    case FX_MSG_SMS_FAILED:
    case FX_MSG_SMS_REFUSED:
    case FX_MSG_CHAT_SENT:
    case FX_MSG_CHAT_SEND_FAILED:
    case FX_MSG_QUN_CHAT_SENT:
    case FX_MSG_QUN_CHAT_SEND_FAILED:
    case FX_MSG_QUN_SMS_OK:
    case FX_MSG_QUN_SMS_FAILED:
    case FX_MSG_QUN_SMS_REFUSED:
      return true;
    default:
      return false;
  }
}

}  // namespace tavrin::im
