// Wires every screen of this build into the router. A screen module adds
// its lines here when it lands.
#include "screens/router/ChatLink.h"
#include "screens/router/ScreenRouter.h"

namespace tavrin::screens {

void wire_screens() {
  [[maybe_unused]] ScreenRouter& router = ScreenRouter::instance();
}

}  // namespace tavrin::screens
