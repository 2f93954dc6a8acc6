// Wires every screen of this build into the router. A screen module adds
// its lines here when it lands.
#include <utility>

#include "screens/chat/CBriskLibTavrinMsg.h"
#include "screens/chatlog/CBriskTavrinLog.h"
#include "screens/contacts/CAddFriendDlg.h"
#include "screens/contacts/CBriskAccountInfo.h"
#include "screens/contacts/CBriskContactInfo.h"
#include "screens/router/ChatLink.h"
#include "screens/router/ScreenRouter.h"
#include "screens/settings/CBriskTavrinSettingDlg.h"
#include "screens/settings/CBriskUserInfo.h"
#include "screens/sms/CBriskGroupMsg.h"
#include "screens/sms/CBriskScheduleSms.h"
#include "screens/sms/CBriskToSelfMsg.h"
#include "screens/theme/CBriskThemeSet.h"
#include "shell/app_paths.h"

namespace tavrin::screens {

namespace {
// A screen built from args, run modally over owner.
template <class S, class... Args>
int run_screen(platform::WindowId owner, Args&&... args) {
  S screen(std::forward<Args>(args)...);
  screen.set_owner(owner);
  return screen.run_modal();
}
}  // namespace

void wire_screens() {
  [[maybe_unused]] ScreenRouter& router = ScreenRouter::instance();
  router.add(Route::kScheduledSms,
             [](const RouteRequest& r) { return CBriskScheduleSms(r.owner).run_modal(); });
  router.add(Route::kGroupSms,
             [](const RouteRequest& r) { return CBriskGroupMsg(r.owner, r.group_id).run_modal(); });
  router.add(Route::kSmsToSelf,
             [](const RouteRequest& r) { return CBriskToSelfMsg(r.owner).run_modal(); });
  chat_factory() = [](long contact_id, platform::WindowId owner, MainWindowLink& main,
                      bool sms_mode) -> std::unique_ptr<ChatWindow> {
    return std::make_unique<CBriskLibTavrinMsg>(contact_id, owner, main, sms_mode);
  };
  router.add(Route::kChatLog, [](const RouteRequest& r) {
    return CBriskTavrinLog(shell::to_path(shell::app_paths().database_path),
                           CBriskTavrinLog::signed_in_user(), r.owner)
        .run_modal();
  });
  // Settings: mode is the status entry checked at first (0 在线 ... 3 离开).
  router.add(Route::kSettings, [](const RouteRequest& r) {
    return run_screen<CBriskTavrinSettingDlg>(r.owner, r.mode, r.offline);
  });
  router.add(Route::kThemePicker,
             [](const RouteRequest& r) { return run_screen<CBriskThemeSet>(r.owner); });
  router.add(Route::kOwnProfile,
             [](const RouteRequest& r) { return run_screen<CBriskUserInfo>(r.owner); });
  router.add(Route::kAddFriend,
             [](const RouteRequest& r) { return run_screen<CAddFriendDlg>(r.owner); });
  router.add(Route::kAccountInfo, [](const RouteRequest& r) {
    return run_screen<CBriskAccountInfo>(r.owner, r.contact_id);
  });
  router.add(Route::kAddressBook,
             [](const RouteRequest& r) { return run_screen<CBriskContactInfo>(r.owner); });
}

}  // namespace tavrin::screens
