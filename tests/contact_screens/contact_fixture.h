// The fixture of the contact, settings and own-profile screen tests: the
// screen-test fixture with tavrin-server started, the client's settings
// files in the scratch folder, and the taps and engine look-ups the tests
// share. Soft keys in display coordinates.
#pragma once

#include <functional>
#include <string>

#include "ScreenTest.h"
#include "libtavrin.h"

namespace tavrin::test {

inline constexpr platform::Point kLeftKey{60, 770}, kMiddleKey{240, 770}, kRightKey{420, 770};
// The one-button message box's "确定".
inline constexpr platform::Point kBoxOk{240, 358};

class ContactScreenTest : public ScreenTest {
 protected:
  void SetUp() override;

  void tap(platform::Point p) { ScreenTest::tap(p.x, p.y); }
  using ScreenTest::tap;
  // Taps a window-coordinate point of a full screen.
  void tap_window(int x, int y) { ScreenTest::tap(x, y + 52); }

  // Whether an account of the engine's store satisfies pred.
  static bool has_account(const std::function<bool(const fx_account&)>& pred);
  // Pumps until pred holds for an account.
  bool wait_for_account(const std::function<bool(const fx_account&)>& pred);

  std::string golden_shot(const std::string& name) {
    return golden(TAVRIN_CONTACT_GOLDEN_DIR, TAVRIN_CONTACT_OUT_DIR, name);
  }
};

}  // namespace tavrin::test
