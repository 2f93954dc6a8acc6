// The main window when the service goes away: the network-error box, the
// relogin cycle on timer 20 while the server is down, "重新登陆成功！" and a
// live tree once it is back on the same port; going offline after a
// logout; and the end of the process when the account logs in elsewhere.
#include <gtest/gtest.h>

#include <chrono>

#include "cli_peer.h"
#include "libtavrin.h"
#include "main_window_fixture.h"
#include "mainwnd/main_menus.h"

namespace tavrin::test {
namespace {

using namespace platform;
using mainwnd::CBriskLibTavrin;
using Relogin = MainWindowTest;

TEST_F(Relogin, ServerGoneThenBackOnTheSamePort) {
  open_main();
  const std::string nav = std::to_string(server().nav()), sipc = std::to_string(server().sipc()),
                    signin = std::to_string(server().signin());
  answer_by_ticks = true;  // the network-error box closes itself
  server().stop();
  ASSERT_TRUE(pump_until([&] { return main->relogin_attempts() >= 1; }, 30000));
  EXPECT_TRUE(saw_box(u"系统网络错误，塔文将在5秒后自动重新登陆！"));
  EXPECT_FALSE(main->logged_in());
  answer_by_ticks = false;
  // Without a session the header and the tree look offline, not as they
  // were when the connection went.
  settle();
  EXPECT_NE(main->name_label().find(u"（离线）"), std::u16string::npos);
  EXPECT_EQ(item(u"我的好友", kEcho)->status, 68);
  EXPECT_EQ(section(u"我的好友")->online, 0);
  EXPECT_EQ(golden(TAVRIN_MAINWND_GOLDEN_DIR, TAVRIN_MAINWND_SHOT_DIR, "network_offline"), "");
  // While the server is away, each tick of the watchdog tries again.
  pump_until([] { return false; }, 500);
  ws->post(main->window(), msg::kTimer, CBriskLibTavrin::kReloginTimer);
  settle();
  EXPECT_EQ(main->relogin_attempts(), 2);
  EXPECT_FALSE(main->logged_in());

  ServerChild again;
  again.start({TAVRIN_SERVER_BIN, "--data", server_data(), "--demo", "--nav-port", nav,
               "--sipc-port", sipc, "--signin-port", signin},
              {.stderr_path = server_data() + "-again.log", .die_with_parent = true});
  ASSERT_EQ(std::to_string(again.sipc()), sipc);
  // The next watchdog ticks find it back (an attempt still failing against
  // the stopped server may swallow one tick).
  for (int tick = 0; tick < 10 && !main->logged_in(); ++tick) {
    ws->post(main->window(), msg::kTimer, CBriskLibTavrin::kReloginTimer);
    pump_until([&] { return main->logged_in(); }, 4000);
  }
  ASSERT_TRUE(main->logged_in());
  settle();
  EXPECT_TRUE(saw_box(u"重新登陆成功！"));
  EXPECT_EQ(main->name_label(), u"Alice（在线）");
  EXPECT_EQ(item(u"我的好友", kEcho)->status, 66);
  // A live tree: Bob's presence reaches it through the new session.
  CliPeer bob(sipc_address(), "100000002", "bob123");
  ASSERT_TRUE(bob.signed_in());
  ASSERT_TRUE(pump_until([&] { return item(u"我的好友", kBob)->status == 66; }));
  // A tick after success does nothing.
  const int attempts = main->relogin_attempts();
  ws->post(main->window(), msg::kTimer, CBriskLibTavrin::kReloginTimer);
  settle();
  EXPECT_EQ(main->relogin_attempts(), attempts);
}

// "注销塔文": offline in the header and the tree, said once, nothing sent
// (the chat window fails its lines), and the same menu item signs in again.
TEST_F(Relogin, LogoutGoesOfflineAndTheMenuSignsInAgain) {
  open_main();
  CliPeer bob(sipc_address(), "100000002", "bob123");
  ASSERT_TRUE(bob.signed_in());
  ASSERT_TRUE(pump_until([&] { return item(u"我的好友", kBob)->status == 66; }));
  tap(144, 775);  // 个人
  ASSERT_TRUE(main->menu().shown());
  const Point logout = menu_item(int(mainwnd::MainItem::kLogout));
  tap(logout.x, logout.y);
  EXPECT_FALSE(main->auto_relogin());
  EXPECT_FALSE(main->logged_in());
  EXPECT_TRUE(main->signed_out());
  EXPECT_TRUE(saw_box(u"您已经离线！"));
  EXPECT_NE(main->name_label().find(u"（离线）"), std::u16string::npos);
  EXPECT_EQ(item(u"我的好友", kBob)->status, 68);
  EXPECT_EQ(section(u"我的好友")->online, 0);
  // The connection's end says nothing more and starts no relogin.
  const size_t boxes = main->boxes().size();
  engine(97);
  EXPECT_EQ(main->boxes().size(), boxes);
  EXPECT_EQ(main->relogin_attempts(), 0);
  EXPECT_FALSE(saw_box(u"系统网络错误，塔文将在5秒后自动重新登陆！"));

  // Signed out, the menu offers to sign in; choosing it does.
  tap(144, 775);
  ASSERT_TRUE(main->menu().shown());
  const Point again = menu_item(int(mainwnd::MainItem::kLogout));
  EXPECT_EQ(main->menu().items()[size_t(mainwnd::MainItem::kLogout)].text, u"登录塔文");
  tap(again.x, again.y);
  EXPECT_TRUE(main->logged_in());
  EXPECT_TRUE(main->auto_relogin());
  EXPECT_EQ(main->name_label().find(u"（离线）"), std::u16string::npos);
  ASSERT_TRUE(pump_until([&] { return item(u"我的好友", kBob)->status == 66; }));
}

TEST_F(Relogin, LoggedInElsewhereEndsWithZero) {
  open_main();
  CliPeer other(sipc_address(), "100000001", "alice123");
  ASSERT_TRUE(other.signed_in());
  ASSERT_TRUE(pump_until([&] { return main->finished(); }));
  EXPECT_TRUE(saw_box(u"你的塔文在其他地方登陆，程序将退出！"));
  EXPECT_EQ(main->exit_code(), 0);
  EXPECT_TRUE(ws->quitting());
  EXPECT_EQ(ws->quit_code(), 0);
}

}  // namespace
}  // namespace tavrin::test
