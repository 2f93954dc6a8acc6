#include "mainwnd/main_menus.h"

#include <initializer_list>

namespace tavrin::mainwnd {

namespace {

void make(controls::CPopupMenu& m, int id, const char16_t* title, gfx::Rect place,
          std::initializer_list<const char16_t*> items) {
  m.clear();
  m.set_id(id);
  m.set_title(title);
  m.set_rect(place);
  for (const char16_t* item : items) m.add_item(item);
}

}  // namespace

void build_menu(controls::CPopupMenu& m, int id, bool signed_out) {
  switch (id) {
    case menu::kMain:
      make(m, id, u"BriskLibTavrin", {75, 110, 275, 460},
           {u"个人资料", u"个人设置", u"聊天记录", u"关于软件",
            signed_out ? u"登录塔文" : u"注销塔文", u"退出塔文"});
      break;
    case menu::kSms:
      make(m, id, u"短信操作", {4, 448, 204, 748},
           {u"定时短信", u"组发短信", u"群发短信", u"陌生人短信", u"给自己短信"});
      break;
    case menu::kContacts:
      make(m, id, u"联系人操作", {276, 448, 476, 748},
           {u"添加好友", u"删除好友", u"移动到组", u"加入黑名单", u"移出黑名单"});
      break;
    case menu::kSearch:
      make(m, id, u"统计查找", {4, 398, 204, 748},
           {u"按名称查找", u"按号码查找", u"在线好友", u"隐身离线", u"手机好友", u"未通过验证"});
      break;
    case menu::kSettings:
      make(m, id, u"设置", {276, 548, 476, 748}, {u"主题设置", u"个人资料", u"聊天记录"});
      break;
    default:
      m.clear();
      break;
  }
}

}  // namespace tavrin::mainwnd
