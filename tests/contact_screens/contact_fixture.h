// The fixture of the contact, settings and own-profile screen tests: the
// screen-test fixture with tavrin-server started, the client's settings
// files in the scratch folder, and the taps and engine look-ups the tests
// share.
#pragma once

#include <functional>
#include <string>

#include "ScreenTest.h"
#include "libtavrin.h"

namespace tavrin::test {

class ContactScreenTest : public ScreenTest {
 protected:
  void SetUp() override;

  // Whether an account of the engine's store satisfies pred.
  static bool has_account(const std::function<bool(const fx_account&)>& pred);
  // Pumps until pred holds for an account.
  bool wait_for_account(const std::function<bool(const fx_account&)>& pred);

  std::string golden_shot(const std::string& name) {
    return golden(TAVRIN_CONTACT_GOLDEN_DIR, TAVRIN_CONTACT_OUT_DIR, name);
  }
};

}  // namespace tavrin::test
