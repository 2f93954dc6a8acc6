#include "im/reply.h"

#include "frame/message_queue.h"
#include "roster/contact_id.h"

namespace tavrin::im {

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

}  // namespace tavrin::im
