#include "screens/sms/SmsContacts.h"

#include <cstdlib>
#include <deque>
#include <optional>

#include "libtavrin.h"
#include "platform/text_codec.h"

namespace tavrin::screens {

namespace {

bool online(int status) {
  return status == 66 || status == 67 || status == 69 || status == 70;
}

std::vector<SmsContact> walk(std::optional<int> group, int name_flag) {
  std::deque<SmsContact> list;
  fx_lock_contacts();
  const char* uid = fx_get_usr_uid();
  const long own = uid ? std::strtol(uid, nullptr, 10) : 0;
  for (fx_account* a = fx_get_first_account(); a; a = fx_get_next_account(a)) {
    if (own != 0 && a->id == own) continue;  // later adds come after the own entry
    const int status = fx_get_online_status_by_account(a);
    if (status == 75 || status == 76) continue;
    const int in_group = fx_get_account_group_id(a);
    if (group && in_group != *group) continue;
    SmsContact c;
    c.id = a->id;
    c.group_id = in_group > 0 ? in_group : 0;
    c.status = status;
    if (char* name = fx_get_account_show_name(a, name_flag)) {
      c.name = platform::utf8_to_utf16(name);
      std::free(name);
    }
    if (online(status))
      list.push_front(std::move(c));
    else
      list.push_back(std::move(c));
  }
  fx_unlock_contacts();
  return {list.begin(), list.end()};
}

}  // namespace

std::vector<SmsContact> group_contacts(int group) {
  if (group == -1 || group == 999) return walk(std::nullopt, 1);
  return walk(group, 0);
}

std::vector<SmsContact> all_contacts() {
  return walk(std::nullopt, 0);
}

bool ReceiverList::add(const SmsContact& contact) {
  if (find(contact.id)) return false;
  items_.push_back(contact);
  return true;
}

bool ReceiverList::remove(long id) {
  for (auto it = items_.begin(); it != items_.end(); ++it)
    if (it->id == id) {
      items_.erase(it);
      return true;
    }
  return false;
}

int ReceiverList::add_all(const std::vector<SmsContact>& contacts) {
  int added = 0;
  for (const auto& c : contacts) added += add(c) ? 1 : 0;
  return added;
}

const SmsContact* ReceiverList::find(long id) const {
  for (const auto& r : items_)
    if (r.id == id) return &r;
  return nullptr;
}

}  // namespace tavrin::screens
