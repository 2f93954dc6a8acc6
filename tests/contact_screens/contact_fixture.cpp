#include "contact_fixture.h"

#include "shell/app_paths.h"

namespace tavrin::test {

void ContactScreenTest::SetUp() {
  ScreenTest::SetUp();
  // Settings files land in the scratch folder; skins stay the build's.
  shell::app_paths().install_folder = shell::from_path(data.path) + u"/";
  start_server();
}

bool ContactScreenTest::has_account(const std::function<bool(const fx_account&)>& pred) {
  bool found = false;
  fx_lock_contacts();
  for (fx_account* a = fx_get_first_account(); a && !found; a = fx_get_next_account(a))
    found = pred(*a);
  fx_unlock_contacts();
  return found;
}

bool ContactScreenTest::wait_for_account(const std::function<bool(const fx_account&)>& pred) {
  return pump_until([&] { return has_account(pred); });
}

}  // namespace tavrin::test
