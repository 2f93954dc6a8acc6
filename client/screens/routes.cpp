// Wires every screen of this build into the router. A screen module adds
// its lines here when it lands.
#include "screens/chat/CBriskLibTavrinMsg.h"
#include "screens/chatlog/CBriskTavrinLog.h"
#include "screens/router/ChatLink.h"
#include "screens/router/ScreenRouter.h"
#include "screens/sms/CBriskGroupMsg.h"
#include "screens/sms/CBriskScheduleSms.h"
#include "screens/sms/CBriskToSelfMsg.h"
#include "shell/app_paths.h"

namespace tavrin::screens {

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
}

}  // namespace tavrin::screens
