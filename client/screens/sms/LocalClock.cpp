#include "screens/sms/LocalClock.h"

namespace tavrin::screens {

namespace {
std::function<std::tm()>& test_clock() {
  static std::function<std::tm()> clock;  // UI thread
  return clock;
}
}  // namespace

std::tm local_now() {
  if (test_clock()) return test_clock()();
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

void set_local_clock_for_tests(std::function<std::tm()> clock) {
  test_clock() = std::move(clock);
}

}  // namespace tavrin::screens
