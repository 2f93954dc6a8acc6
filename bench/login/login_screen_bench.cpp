// Login as a user sees it: from the login screen's login key to the screen
// handing over to the main window, against tavrin-server with the large
// account (2,000 contacts in 40 buddy lists, 5 group chats). Beside it, in
// the same run and against the same server, the engine alone: fx_login to
// code 14. Prints the median of each and their ratio (goal: within 1.2x).
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "controls/AnimationClock.h"
#include "large_account.h"
#include "libtavrin.h"
#include "platform/display.h"
#include "platform/input_panel.h"
#include "platform/task_bar.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "screens/login/CLoginDlg.h"
#include "shell/app_paths.h"
#include "temp_dir.h"
#include "test_server.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 7;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Waiter {
  std::mutex mu;
  std::condition_variable cv;
  int code = 0;  // guarded by mu
  static void cb(int code, intptr_t, intptr_t, void* user) {
    auto* w = static_cast<Waiter*>(user);
    if (code != FX_MSG_LOGIN_OK && !(code >= 4 && code <= 7) && code != 10) return;
    std::lock_guard lock(w->mu);
    if (!w->code) w->code = code;
    w->cv.notify_all();
  }
  bool wait() {
    std::unique_lock lock(mu);
    cv.wait_for(lock, std::chrono::seconds(60), [&] { return code != 0; });
    return code == FX_MSG_LOGIN_OK;
  }
};

// Between two logins: the session ends and the server lets the account go.
void log_out() {
  fx_loginout();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

}  // namespace

int main() {
  using namespace tavrin;
  test::TestServer server({"--expires", "3600"}, bench::seed_large_account, false);
  if (!server.running()) {
    std::fprintf(stderr, "tavrin-server did not start\n");
    return 1;
  }
  if (fx_init() != 1) return 1;
  fx_set_serve_address(server.sipcAddress().c_str());

  // The engine alone. Waiters outlive their logins: late answers still reach them.
  std::deque<Waiter> waiters;
  std::vector<double> engine;
  for (int i = 0; i < kRuns; ++i) {
    Waiter& w = waiters.emplace_back();
    const auto t0 = Clock::now();
    fx_login(bench::kOwnerLogin, bench::kOwnerPassword, Waiter::cb, &w);
    if (!w.wait()) {
      std::fprintf(stderr, "engine login failed\n");
      return 1;
    }
    engine.push_back(ms_since(t0));
    log_out();
  }

  // The login screen, on the client's own UI without a display.
  platform::WindowSystem ws;
  platform::Display display(ws);
  platform::TaskBar task_bar(ws, display);
  platform::InputPanel panel(ws, display);
  TempDir data("tavrin-login-bench");
  shell::app_paths() = shell::AppPaths::form(TAVRIN_INSTALL_DIR);
  std::vector<double> screen;
  for (int i = 0; i < kRuns; ++i) {
    screens::LoginConfig config;
    config.database = data.path / "TavrinLog.db";
    config.server_override = platform::utf8_to_utf16(server.sipcAddress());
    screens::CLoginDlg dlg(config);
    Clock::time_point t0;
    ws.post_call([&] {
      dlg.account_box().set_text(platform::utf8_to_utf16(bench::kOwnerLogin));
      dlg.password_box().set_text(platform::utf8_to_utf16(bench::kOwnerPassword));
      t0 = Clock::now();
      dlg.login_key();
    });
    if (dlg.run_modal() != 1) {
      std::fprintf(stderr, "screen login failed: %s\n",
                   platform::utf16_to_utf8(dlg.progress()).c_str());
      return 1;
    }
    screen.push_back(ms_since(t0));
    std::fprintf(stderr, "screen login %.1f ms\n", screen.back());
    log_out();
  }
  fx_terminate();

  const double e = median(engine), s = median(screen);
  std::printf("login of %d contacts in %d lists, median of %d runs\n", bench::kContacts,
              bench::kLists, kRuns);
  std::printf("  engine fx_login -> 14:                %8.1f ms\n", e);
  std::printf("  login key -> main window takes over:  %8.1f ms\n", s);
  std::printf("  ratio: %.2fx (goal 1.2x)\n", e > 0 ? s / e : 0.0);
  return 0;
}
