#include "screens/router/ScreenRouter.h"

#include "screens/router/ChatLink.h"

namespace tavrin::screens {

ScreenRouter& ScreenRouter::instance() {
  static ScreenRouter router;  // UI thread only
  return router;
}

ChatFactory& chat_factory() {
  static ChatFactory factory = nullptr;  // UI thread only
  return factory;
}

int ScreenRouter::open(const RouteRequest& request) const {
  auto it = openers_.find(request.route);
  return it == openers_.end() ? kNotWired : it->second(request);
}

}  // namespace tavrin::screens
