// Exported chat and SMS functions. No exception crosses the C interface.
#include "frame/sync_wait.h"
#include "im/dialogs.h"
#include "im/sms.h"
#include "libtavrin.h"
#include "roster/contact_id.h"
#include "sipc/server_settings.h"

using tavrin::ReplyTo;
using tavrin::wait_for_result;
using tavrin::WaitSpec;

namespace {

// The fs_ waits: 15 s to open a dialog, 30 s for a line or an SMS. The group
// variants end a wait like the codes they stand for.
const WaitSpec kBeginWait{
    {FX_MSG_DIALOG_OPEN, FX_MSG_DIALOG_REFUSED, 51, 55}, {FX_MSG_DIALOG_OPEN}, 1500};
const WaitSpec kLineWait{
    {FX_MSG_CHAT_SENT, FX_MSG_CHAT_SEND_FAILED, FX_MSG_CHAT_SEND_TIMEOUT, 55, FX_MSG_QUN_CHAT_SENT,
     FX_MSG_QUN_CHAT_SEND_FAILED, FX_MSG_QUN_CHAT_SEND_TIMEOUT},
    {FX_MSG_CHAT_SENT, FX_MSG_QUN_CHAT_SENT},
    3000};
const WaitSpec kSmsWait{
    {FX_MSG_SMS_OK, FX_MSG_SMS_FAILED, FX_MSG_SMS_TIMEOUT, FX_MSG_SMS_REFUSED, FX_MSG_QUN_SMS_OK,
     FX_MSG_QUN_SMS_FAILED, FX_MSG_QUN_SMS_TIMEOUT, FX_MSG_QUN_SMS_REFUSED},
    {FX_MSG_SMS_OK, FX_MSG_QUN_SMS_OK},
    3001};

template <class F>
int guarded(F f) {
  try {
    return f();
  } catch (...) {
    return 0;
  }
}

}  // namespace

extern "C" {

FX_API int fx_begin_dialog(long id, fx_msg_cb cb, void* user) {
  return guarded([&] { return tavrin::im::begin_dialog(id, ReplyTo{cb, user}); });
}

FX_API int fs_begin_dialog(long id) {
  return guarded([&] {
    if (id == 0) return 0;
    if (!tavrin::contacts::is_pc_user_id(id) && !tavrin::contacts::is_qun_id(id)) return 1;
    if (tavrin::im::dialog_state(id) != 0) return 1;
    return wait_for_result(kBeginWait,
                           [&](const ReplyTo& r) { return tavrin::im::begin_dialog(id, r); });
  });
}

FX_API int fx_dialog_send(long id, const char* text, fx_msg_cb cb, void* user) {
  return guarded([&] { return tavrin::im::dialog_send(id, text, ReplyTo{cb, user}); });
}

FX_API int fs_dialog_send(long id, const char* text) {
  return guarded([&] {
    return wait_for_result(kLineWait,
                           [&](const ReplyTo& r) { return tavrin::im::dialog_send(id, text, r); });
  });
}

FX_API int fx_end_dialog(long id) {
  return guarded([&] { return tavrin::im::end_dialog(id); });
}

FX_API int fx_send_nudge(long id) {
  return guarded([&] { return tavrin::im::send_nudge(id); });
}

FX_API int fx_send_sms(long id, const char* text, fx_msg_cb cb, void* user) {
  return guarded([&] { return tavrin::im::send_sms(id, text, ReplyTo{cb, user}); });
}

FX_API int fs_send_sms(long id, const char* text) {
  return guarded([&] {
    return wait_for_result(kSmsWait,
                           [&](const ReplyTo& r) { return tavrin::im::send_sms(id, text, r); });
  });
}

FX_API int fx_send_sms_to_self(const char* text, fx_msg_cb cb, void* user) {
  return guarded([&] { return tavrin::im::send_sms_to_self(text, ReplyTo{cb, user}); });
}

FX_API int fs_send_sms_to_self(const char* text) {
  return guarded([&] {
    return wait_for_result(kSmsWait,
                           [&](const ReplyTo& r) { return tavrin::im::send_sms_to_self(text, r); });
  });
}

FX_API int fx_send_sms_by_mobile_no(const char* mobile_no, const char* text, fx_msg_cb cb,
                                    void* user) {
  return guarded([&] {
    return tavrin::im::send_sms_by_mobile(mobile_no, text, ReplyTo{cb, user});
  });
}

FX_API int fs_send_sms_by_mobile_no(const char* mobile_no, const char* text) {
  return guarded([&] {
    return wait_for_result(kSmsWait, [&](const ReplyTo& r) {
      return tavrin::im::send_sms_by_mobile(mobile_no, text, r);
    });
  });
}

FX_API void fx_set_longsms(int flag) {
  try {
    tavrin::server_settings().set_long_sms(flag);
  } catch (...) {
  }
}

}  // extern "C"
