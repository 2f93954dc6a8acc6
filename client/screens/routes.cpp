// Wires every screen of this build into the router. A screen module adds
// its lines here when it lands.
#include "screens/router/ChatLink.h"
#include "screens/router/ScreenRouter.h"
#include "screens/sms/CBriskGroupMsg.h"
#include "screens/sms/CBriskScheduleSms.h"
#include "screens/sms/CBriskToSelfMsg.h"

namespace tavrin::screens {

void wire_screens() {
  [[maybe_unused]] ScreenRouter& router = ScreenRouter::instance();
  router.add(Route::kScheduledSms,
             [](const RouteRequest& r) { return CBriskScheduleSms(r.owner).run_modal(); });
  router.add(Route::kGroupSms,
             [](const RouteRequest& r) { return CBriskGroupMsg(r.owner, r.group_id).run_modal(); });
  router.add(Route::kSmsToSelf,
             [](const RouteRequest& r) { return CBriskToSelfMsg(r.owner).run_modal(); });
}

}  // namespace tavrin::screens
