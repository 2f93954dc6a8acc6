// The main window's pop-up menus and the screens they open.
#include <set>

#include "bridge/EngineBridge.h"
#include "controls/CInputBox.h"
#include "controls/ShellBars.h"
#include "libtavrin.h"
#include "mainwnd/CBriskLibTavrin.h"
#include "mainwnd/header_texts.h"
#include "mainwnd/main_menus.h"
#include "platform/text_codec.h"
#include "screens/chat/ChatLines.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"

namespace tavrin::mainwnd {

using screens::Route;

void CBriskLibTavrin::show_menu(int id) {
  menu_.close();
  build_menu(menu_, id, signed_out());
  (void)menu_.show(window());
}

void CBriskLibTavrin::on_menu(int menu_id, int index) {
  switch (menu_id) {
    case menu::kMain:
      main_menu(index);
      break;
    case menu::kSms:
      sms_menu(index);
      break;
    case menu::kContacts:
      contacts_menu(index);
      break;
    case menu::kSearch:
      search_menu(index);
      break;
    case menu::kSettings:
      settings_menu(index);
      break;
    case menu::kMoveTo:
      if (index >= 0 && index < int(move_targets_.size()) && moving_ != 0)
        fx_move_group_buddy_by_id(moving_, move_targets_[size_t(index)].id, bridge::post_callback,
                                  bridge::user_data(window()));
      break;
    default:
      break;
  }
}

int CBriskLibTavrin::open_screen(Route route, long contact_id, int group_id, int mode) {
  screens::RouteRequest request;
  request.route = route;
  request.owner = window();
  request.contact_id = contact_id;
  request.group_id = group_id;
  request.mode = mode;
  return screens::ScreenRouter::instance().open(request);
}

void CBriskLibTavrin::after_screen(int result, bool transition) {
  if (result == screens::ScreenRouter::kNotWired || !window()) return;
  windows().move(window(), controls::kFullScreen);
  if (transition && can_present())
    play_transition(7);
  else
    invalidate();
}

bool CBriskLibTavrin::selected(controls::TreeItem* out) const {
  const int s = tree_.selected_section(), i = tree_.selected_item();
  const auto& sections = tree_.sections();
  if (s < 0 || i < 0 || s >= int(sections.size()) || i >= int(sections[size_t(s)].items.size()))
    return false;
  *out = sections[size_t(s)].items[size_t(i)];
  return true;
}

void CBriskLibTavrin::keep_selection(const std::function<void()>& change) {
  controls::TreeItem chosen;
  const bool had = selected(&chosen);
  const int s = tree_.selected_section();
  change();
  if (!had) return;
  tree_.select(-1, -1);
  const auto& sections = tree_.sections();
  if (s >= int(sections.size())) return;
  const auto& items = sections[size_t(s)].items;
  for (int i = 0; i < int(items.size()); ++i)
    if (items[size_t(i)].contact_id == chosen.contact_id) return tree_.select(s, i);
}

void CBriskLibTavrin::show_move_menu(long contact_id, const std::u16string& name) {
  const std::optional<ContactRecord> contact = read_contact(contact_id);
  move_targets_.clear();
  for (const BuddyList& list : read_store().lists)
    if (!contact || list.id != contact->group_id) move_targets_.push_back(list);
  if (move_targets_.empty()) {
    box(u"没有可以移动到的分组！");
    return;
  }
  moving_ = contact_id;
  // One 50-pixel row a list below the title, standing on the soft-key bar.
  const int rows = std::min(int(move_targets_.size()), 10);
  menu_.close();
  menu_.clear();
  menu_.set_id(menu::kMoveTo);
  menu_.set_title(fill(u"移动 %s 到", name));
  menu_.set_rect(
      {276, 748 - controls::CPopupMenu::kTitleHeight - rows * controls::CPopupMenu::kItemHeight,
       476, 748});
  for (int i = 0; i < rows; ++i) menu_.add_item(move_targets_[size_t(i)].name);
  (void)menu_.show(window());
}

void CBriskLibTavrin::open_details(int mode, long contact_id) {
  controls::TreeItem item;
  if (contact_id == 0 && selected(&item)) contact_id = long(item.contact_id);
  if (contact_id == 0) return;
  const int result = open_screen(Route::kAccountInfo, contact_id, 0, mode);
  // The screen hears its own answers (a new local name): the row reads what they changed.
  if (result != screens::ScreenRouter::kNotWired) contact_changed(contact_id);
  after_screen(result, false);
}

void CBriskLibTavrin::main_menu(int index) {
  switch (MainItem(index)) {
    case MainItem::kProfile: {
      const int result = open_screen(Route::kOwnProfile);
      // The screen hears its own answers: the header reads what they changed.
      build_header();
      after_screen(result, false);
      break;
    }
    case MainItem::kSettings: {
      // The 状态 page opens on the status the user has now.
      const int status = open_screen(Route::kSettings, 0, 0, status_choice_of(fx_get_user_state()));
      if (status == screens::ScreenRouter::kNotWired) break;
      if (status >= 0 && status <= 3) apply_status_choice(status);
      const auto& s = shell::client_settings();
      silence_ = s.silence, sound_ = s.sound, vibrate_ = s.vibrate;
      if (notifier_) notifier_->set_switches(silence_, sound_, vibrate_);
      after_screen(status, false);
      break;
    }
    case MainItem::kChatLog:
      after_screen(open_screen(Route::kChatLog), true);
      break;
    case MainItem::kAbout:
      if (open_screen(Route::kAbout) == screens::ScreenRouter::kNotWired)
        box(u"BriskLibTavrin 塔文\n480 x 800 手持终端的即时消息与短信客户端");
      break;
    case MainItem::kLogout:
      if (signed_out())
        sign_in_again();
      else
        sign_out();
      break;
    case MainItem::kExit:
      leave();
      break;
  }
}

void CBriskLibTavrin::sign_out() {
  auto_relogin_ = false;
  relogging_ = false;
  kill_timer(kReloginTimer);
  fx_loginout();
  fail_unanswered();
  go_offline();
  box(u"您已经离线！");
}

void CBriskLibTavrin::sign_in_again() {
  if (!sign_in()) return;
  auto_relogin_ = true;
  logged_in_ = true;
  screens::chat::drop_held_lines();  // the service hands them out again
  open_chat_log();
  build_header();
  register_callback();
  if (chat_) chat_->set_logged_in(true);
  rebuild_tree();
  repaint_now();
}

void CBriskLibTavrin::leave() {
  // The switches and the status the user left with, for the next start.
  shell::ClientSettings s = shell::client_settings();
  s.silence = silence_, s.sound = sound_, s.vibrate = vibrate_;
  s.login_status = login_status_of(fx_get_user_state());
  shell::client_settings() = s;
  (void)shell::save_settings(shell::app_paths().settings_file(), s);
  finished_ = true;
  exit_code_ = 0;
  leaving_ = true;
  repaint_now();
  end_modal(0);
}

void CBriskLibTavrin::apply_status_choice(int index) {
  const int code = kStatusByChoice[index];
  if (code == fx_get_user_state()) return;  // nothing to set, nothing to report
  const std::u16string word = status_word(code);
  number_label_ = setting_number_label(number_, word);
  repaint_rows(kHeaderStrip.top, kHeaderStrip.bottom);
  fx_set_user_state(code, platform::utf16_to_utf8(word).c_str(), bridge::post_callback,
                    bridge::user_data(window()));
}

void CBriskLibTavrin::sms_menu(int index) {
  switch (SmsItem(index)) {
    case SmsItem::kScheduled:
      after_screen(open_screen(Route::kScheduledSms), true);
      break;
    case SmsItem::kToGroup: {
      const int s = tree_.selected_section();
      if (s < 0 || s >= int(tree_.sections().size())) {
        box(u"请选择你要的分组好友！");
        break;
      }
      after_screen(open_screen(Route::kGroupSms, 0, tree_.sections()[size_t(s)].group_id), true);
      break;
    }
    case SmsItem::kToAll:
      after_screen(open_screen(Route::kGroupSms, 0, -1), true);
      break;
    case SmsItem::kToStranger:
      box(u"想得美啊，一般人不让用的！");
      break;
    case SmsItem::kToSelf:
      after_screen(open_screen(Route::kSmsToSelf), true);
      break;
  }
}

void CBriskLibTavrin::contacts_menu(int index) {
  controls::TreeItem item;
  const bool chosen = selected(&item);
  const long id = long(item.contact_id);
  switch (ContactItem(index)) {
    case ContactItem::kAdd:
      after_screen(open_screen(Route::kAddFriend), true);
      break;
    case ContactItem::kDelete:
      if (!chosen) {
        box(u"选择你要删除的好友！");
      } else if (box(fill(u"是否确定要删除好友 %s？删除后对方仍能发送消息给你，"
                          u"如果不希望收到对方的消息请将其加入黑名单。",
                          item.name),
                     u"塔文提示", 2) == 1) {
        fx_delete_buddy_by_id(id, nullptr, nullptr);
      }
      break;
    case ContactItem::kMove:
      if (!chosen)
        box(u"请选择你要移动的好友！");
      else
        show_move_menu(id, item.name);
      break;
    case ContactItem::kBlock:
      if (!chosen) {
        box(u"选择你要加入黑名单的好友！");
      } else if (box(fill(u"是否确定要将 %s 加入黑名单？对方将无法发送消息给你。", item.name),
                     u"塔文提示", 2) == 1) {
        fx_addto_blacklist_by_id(id, nullptr, nullptr);
      }
      break;
    case ContactItem::kUnblock:
      if (!chosen)
        box(u"选择你要移出黑名单的好友！");
      else
        fx_removefrom_blacklist_by_id(id, nullptr, nullptr);
      break;
  }
}

void CBriskLibTavrin::search_menu(int index) {
  std::vector<controls::TreeItem> found;
  const auto ask = [this](const char16_t* prompt, std::u16string* text) {
    controls::CInputBox input;
    input.create(window());
    input.set_prompt(prompt);
    const bool ok = input.run_modal() == 1;
    // The panel the field brought up would cover the soft keys.
    if (controls::sip_shown() == 1) (void)controls::sip_hide();
    if (ok) *text = input.text();
    return ok;
  };
  const auto with_status = [this](std::set<int> statuses) {
    return model_.find_if(
        [&](const controls::TreeItem& i) { return statuses.count(i.status) > 0; });
  };
  std::u16string text;
  switch (SearchItem(index)) {
    case SearchItem::kByName:
      if (!ask(u"请输入你的好友名称：", &text)) return;
      found = model_.find_by_name(text);
      break;
    case SearchItem::kByNumber:
      if (!ask(u"请输入你的好友塔文号：", &text)) return;
      found = model_.find_by_number(text);
      break;
    case SearchItem::kOnline:
      found = with_status({66, 67, 69, 70, 71, 72, 73, 74});
      break;
    case SearchItem::kOffline:
      found = with_status({68});
      break;
    case SearchItem::kMobile:
      found = with_status({78});
      break;
    case SearchItem::kUnaccepted:
      found = with_status({75});
      break;
    default:
      return;
  }
  const bool none = found.empty();
  const int s = model_.section_of_group(ContactTreeModel::kSearchGroup);
  keep_selection([&] { (void)model_.fill_search(std::move(found)); });
  tree_.layout_only();
  // The results come into view.
  if (s >= 0) tree_.scroll_to(tree_.sections()[size_t(s)].rect.top);
  repaint_now();
  if (none) box(u"没有找到符合条件的好友！");
}

void CBriskLibTavrin::settings_menu(int index) {
  switch (SettingsItem(index)) {
    case SettingsItem::kTheme: {
      const int result = open_screen(Route::kThemePicker);
      if (result == 1) apply_theme();
      after_screen(result, false);
      break;
    }
    case SettingsItem::kProfile:
      after_screen(open_screen(Route::kOwnProfile), false);
      break;
    case SettingsItem::kChatLog:
      after_screen(open_screen(Route::kChatLog), true);
      break;
  }
}

}  // namespace tavrin::mainwnd
