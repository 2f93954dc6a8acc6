#include "screens/contacts/ProfileLines.h"

#include <cstdio>
#include <cstdlib>

#include "libtavrin.h"
#include "platform/text_codec.h"

namespace tavrin::screens {

using platform::utf8_to_utf16;

namespace {

std::u16string text(const char* s) {
  return s ? utf8_to_utf16(s) : std::u16string();
}

// A new engine text, copied and freed.
std::u16string take(char* s) {
  std::u16string out = text(s);
  std::free(s);
  return out;
}

const char16_t* gender_text(int gender) {
  return gender == 1 ? u"帅哥" : gender == 2 ? u"美女" : u"保密";
}

}  // namespace

std::vector<std::u16string> profile_lines(long id) {
  std::vector<std::u16string> lines;
  fx_lock_contacts();
  if (const fx_account* a = fx_get_account_by_id(id)) {
    const bool pc = fx_is_pc_user_by_id(id) != 0;
    const fx_personal_info* info = a->personal_info;
    lines.push_back(u"屏显名称：" + take(fx_get_account_show_name(a, 0)) +
                    (pc ? u"(塔文用户)" : u"(手机用户)"));
    lines.push_back(u"塔文号码：" + (pc ? utf8_to_utf16(std::to_string(id)) : u""));
    lines.push_back(u"手机号码：" +
                    (pc ? (info ? text(info->mobile_no) : u"") : take(fx_get_original_ID(id))));
    // The group by its name, as the tree shows it, not its number.
    const int group = fx_get_account_group_id(a);
    std::u16string group_name = u"未分组";
    for (const fx_list* n = fx_get_group(); n; n = n->next)
      if (const auto* g = static_cast<const fx_group*>(n->data); g && g->id == group && g->name)
        group_name = text(g->name);
    lines.push_back(u"分组：" + group_name);
    lines.push_back(u"昵称：" + (info ? text(info->nickname) : u""));
    lines.push_back(std::u16string(u"性别：") + (info ? gender_text(info->gender) : u""));
    lines.push_back(u"心情签名：" + (info ? text(info->impresa) : u""));
    lines.push_back(u"省份：" + (info ? text(info->province) : u""));
    // The service sends the city as a code with no name table: the code is
    // shown (none for 0), never a city the contact did not give.
    lines.push_back(u"城市：" + (info && info->city != 0 ? utf8_to_utf16(std::to_string(info->city))
                                                         : std::u16string()));
  }
  fx_unlock_contacts();
  return lines;
}

std::u16string contact_show_name(long id) {
  std::u16string name;
  fx_lock_contacts();
  if (const fx_account* a = fx_get_account_by_id(id)) name = take(fx_get_account_show_name(a, 0));
  fx_unlock_contacts();
  return name;
}

}  // namespace tavrin::screens
