#include "screens/chat/ChatLines.h"

#include <cstdlib>
#include <ctime>
#include <memory>

#include "libtavrin.h"
#include "platform/text_codec.h"
#include "screens/chat/ChatText.h"
#include "screens/router/SmsReports.h"
#include "shell/app_paths.h"
#include "storage/ChatLogDate.h"

namespace tavrin::screens::chat {

std::u16string take_engine_text(char* text) {
  if (!text) return {};
  std::u16string out = platform::utf8_to_utf16(text);
  std::free(text);
  return out;
}

namespace {

struct MsgRelease {
  void operator()(fx_msg* m) const { fx_destroy_msg(m); }
};
using Record = std::unique_ptr<fx_msg, MsgRelease>;

// A line whose keeping failed, with its record, unanswered.
struct Held {
  long contact_id = 0;
  Record record;
  ChatLine line;
};

// The held lines, oldest first; UI thread. At the process's end they go
// after the engine has stopped, which answers nothing any more.
std::vector<Held>& held() {
  static std::vector<Held> lines;
  return lines;
}

ChatLine line_of(const fx_msg& m, std::u16string_view name, int bias) {
  const std::time_t now = std::time(nullptr);
  std::u16string time = local_time_now(now);
  std::time_t instant = now;
  if (m.date) {
    if (auto local = server_date_to_local(m.date, bias)) time = *local;
    if (auto at = server_date_instant(m.date)) instant = *at;
  }
  return {std::u16string(name) + std::u16string(kNameColon) + plain_text(m.text), std::move(time),
          storage::isoLocal(instant)};
}

}  // namespace

bool take_received(long contact_id, std::u16string_view name,
                   const std::function<bool(ChatLine&)>& keep) {
  // The sender's held lines first, in their order.
  auto& lines = held();
  for (auto it = lines.begin(); it != lines.end();) {
    if (it->contact_id != contact_id) {
      ++it;
      continue;
    }
    if (!keep(it->line)) return false;
    it = lines.erase(it);  // answered now
  }
  const int bias = standard_bias_minutes();
  while (fx_msg* m = fx_get_msg(contact_id)) {
    Record record(m);
    // A delivery report an open SMS screen shows on its SMS is no chat line.
    if (auto report = sms_report_of(contact_id, m->content_type, plain_text(m->text));
        report && claim_sms_report(*report))
      continue;
    ChatLine line = line_of(*m, name, bias);
    if (!keep(line)) {
      held().push_back({contact_id, std::move(record), std::move(line)});
      return false;
    }
  }
  return true;
}

void drop_held_lines() {
  held().clear();
}

size_t held_line_count() {
  return held().size();
}

void let_go_unshown(long contact_id) {
  while (fx_msg* m = fx_get_msg(contact_id)) {
    const std::unique_ptr<fx_msg, decltype(&fx_destroy_msg)> record(m, &fx_destroy_msg);
    if (auto report = sms_report_of(contact_id, m->content_type, plain_text(m->text)))
      (void)claim_sms_report(*report);
  }
}

std::u16string plain_text(const char* utf8) {
  return utf8 ? take_engine_text(fx_msg_no_format(utf8)) : std::u16string();
}

std::u16string sent_line(std::u16string_view prefix, std::u16string_view text) {
  return std::u16string(prefix) + std::u16string(text);
}

storage::ChatLogStore signed_in_chat_log() {
  fx_lock_contacts();
  const char* uid = fx_get_usr_uid();
  const long id = uid ? std::strtol(uid, nullptr, 10) : 0;
  fx_unlock_contacts();
  return {shell::to_path(shell::app_paths().database_path), std::int32_t(id)};
}

}  // namespace tavrin::screens::chat
