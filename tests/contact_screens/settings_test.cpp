// The settings screen (pages, switches and where each state goes, the
// status it returns, the add-friend entry) and the own-profile screen
// (refusals, unchanged texts not sent, new nickname and mood reaching the
// server so that another user sees them).
#include <chrono>

#include "child_process.h"
#include "contact_fixture.h"
#include "screens/router/ScreenRouter.h"
#include "screens/settings/CBriskTavrinSettingDlg.h"
#include "screens/settings/CBriskUserInfo.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "shell/switch_settings.h"

namespace tavrin::test {
namespace {

using screens::CBriskTavrinSettingDlg;
using screens::CBriskUserInfo;

class SettingsTest : public ContactScreenTest {
 protected:
  void SetUp() override {
    ContactScreenTest::SetUp();
    // The settings and switches files go to the scratch folder, not the build's.
    shell::app_paths().install_folder = shell::from_path(data.path) + u"/";
  }
  void tap_row(int i) {
    const auto r = CBriskTavrinSettingDlg::row(i);
    tap_window(r.left + 100, r.top + 40);
  }
  void tap_tab(int i) { tap_window(40, CBriskTavrinSettingDlg::kTab[i].top + 50); }
};

TEST_F(SettingsTest, SwitchesGoWhereTheyBelongAndTheStatusIsReturned) {
  shell::client_settings() = {};
  shell::switch_settings() = {};
  CBriskTavrinSettingDlg dlg;
  inside_modal([&] {
    EXPECT_EQ(dlg.page(), 1);
    EXPECT_EQ(golden_shot("settings_switches"), "");
    // 震动 twice gives the first value back.
    tap_row(0);
    EXPECT_EQ(shell::client_settings().vibrate, 0);
    tap_row(0);
    EXPECT_EQ(shell::client_settings().vibrate, 1);
    tap_row(2);  // 好友消息声音
    EXPECT_EQ(shell::client_settings().sound, 1);
    tap_row(4);  // 屏蔽群消息: kept in the switches file at once
    tap_row(5);  // 保存聊天记录 off
    shell::SwitchSettings stored;
    EXPECT_TRUE(shell::load_switches(shell::switch_settings_file(), stored));
    EXPECT_EQ(stored.block_group_messages, 1);
    EXPECT_EQ(stored.keep_chat_log, 0);
    EXPECT_EQ(stored.group_sound, 1);
    tap_tab(2);
    EXPECT_EQ(dlg.status(), 0);  // 在线 checked at first
    tap_row(2);                  // 忙碌
    tap_row(2);                  // tapping the checked entry changes nothing
    EXPECT_EQ(dlg.status(), 2);
    EXPECT_EQ(golden_shot("settings_status"), "");
    tap(kLeftKey);
  });
  EXPECT_EQ(dlg.run_modal(), 2);
  // 确定 writes vibration and sound to the settings file at once.
  shell::ClientSettings saved;
  saved.vibrate = saved.sound = 0;
  ASSERT_TRUE(shell::load_settings(shell::app_paths().settings_file(), saved));
  EXPECT_EQ(saved.vibrate, 1);
  EXPECT_EQ(saved.sound, 1);
}

// 触摸键盘 steps 自动, 开启, 关闭 and round again; each step is in the
// switches file at once and the input panel follows it at once (--touch
// keeps the keyboard whatever is chosen).
TEST_F(SettingsTest, TouchKeyboardChoiceIsKeptAndFollowedAtOnce) {
  shell::switch_settings() = {};
  shell::touch_machine() = {.forced = false, .headless = false, .keyboard = true};
  shell::apply_touch_keyboard();
  CBriskTavrinSettingDlg dlg;
  inside_modal([&] {
    EXPECT_EQ(dlg.touch_keyboard(), shell::kTouchAuto);
    EXPECT_FALSE(panel->plate());  // a desktop keyboard types
    const struct {
      int choice;
      bool plate;
    } steps[] = {
        {shell::kTouchAlways, true}, {shell::kTouchNever, false}, {shell::kTouchAuto, false}};
    for (const auto& step : steps) {
      tap_row(CBriskTavrinSettingDlg::kTouchRow);
      EXPECT_EQ(dlg.touch_keyboard(), step.choice);
      EXPECT_EQ(panel->plate(), step.plate) << step.choice;
      shell::SwitchSettings stored;
      stored.touch_keyboard = -1;
      ASSERT_TRUE(shell::load_switches(shell::switch_settings_file(), stored));
      EXPECT_EQ(stored.touch_keyboard, step.choice);
      if (step.choice == shell::kTouchNever) EXPECT_EQ(golden_shot("settings_touch_never"), "");
    }
    shell::touch_machine().forced = true;
    tap_row(CBriskTavrinSettingDlg::kTouchRow);
    tap_row(CBriskTavrinSettingDlg::kTouchRow);
    EXPECT_EQ(dlg.touch_keyboard(), shell::kTouchNever);
    EXPECT_TRUE(panel->plate());
    tap(kRightKey);
  });
  dlg.run_modal();
  shell::touch_machine() = {};
}

TEST_F(SettingsTest, ExitLeavesTheStatusUnchosen) {
  CBriskTavrinSettingDlg dlg;
  inside_modal([&] {
    tap_tab(2);
    tap_row(1);
    tap(kRightKey);
  });
  EXPECT_EQ(dlg.run_modal(), CBriskTavrinSettingDlg::kCancelled);
}

TEST_F(SettingsTest, PageZeroOpensTheAddFriendScreen) {
  auto& router = screens::ScreenRouter::instance();
  int opened = 0;
  router.add(screens::Route::kAddFriend, [&](const screens::RouteRequest& r) {
    ++opened;
    EXPECT_NE(r.owner, 0u);
    return 0;
  });
  CBriskTavrinSettingDlg dlg;
  inside_modal([&] {
    tap_tab(0);
    EXPECT_EQ(dlg.page(), 0);
    EXPECT_EQ(golden_shot("settings_add_friend"), "");
    tap_row(0);
    tap(kRightKey);
  });
  dlg.run_modal();
  EXPECT_EQ(opened, 1);
  // Before signing in (from the login screen) the page says so and opens nothing.
  CBriskTavrinSettingDlg offline(0, true);
  inside_modal([&] {
    tap_tab(0);
    EXPECT_EQ(golden_shot("settings_add_friend_offline"), "");
    tap_row(0);
    tap(kRightKey);
  });
  offline.run_modal();
  router.clear();
  EXPECT_EQ(opened, 1);
}

class OwnProfileTest : public ContactScreenTest {};

TEST_F(OwnProfileTest, EmptyTextsAreRefusedAndUnchangedOnesNotSent) {
  ASSERT_TRUE(sign_in("100000001", "alice123"));
  CBriskUserInfo dlg;
  inside_modal([&] {
    EXPECT_EQ(dlg.nickname_box().text(), u"Alice");
    EXPECT_EQ(golden_shot("own_profile"), "");
    auto refused = [&] {
      bool shown = false;
      inside_modal([&] {
        shown = true;
        tap(kBoxOk);
      });
      tap(kLeftKey);
      return shown;
    };
    dlg.nickname_box().clear();
    dlg.mood_box().set_text(u"new mood");
    EXPECT_TRUE(refused());
    EXPECT_EQ(dlg.sent(), 0);
    dlg.nickname_box().set_text(u"Alice");
    dlg.mood_box().clear();
    EXPECT_TRUE(refused());
    EXPECT_EQ(dlg.sent(), 0);
    // The nickname as it is: only the mood text goes out.
    dlg.mood_box().set_text(u"new mood");
    tap(kLeftKey);
    EXPECT_EQ(dlg.sent(), 1);
    EXPECT_TRUE(pump_until([&] { return dlg.mood() == u"new mood"; }));
    EXPECT_EQ(dlg.nickname(), u"Alice");
    tap(kRightKey);
  });
  dlg.run_modal();
}

// The touch keyboard a box of 个人资料 brought up goes with the screen: the
// main window behind it is not left under the keys.
TEST_F(OwnProfileTest, LeavingTakesTheTouchKeyboardAlong) {
  ASSERT_TRUE(sign_in("100000001", "alice123"));
  CBriskUserInfo dlg;
  inside_modal([&] {
    tap_window(CBriskUserInfo::kNickBox.left + 40, CBriskUserInfo::kNickBox.top + 20);
    EXPECT_TRUE(panel->shown());
    tap(kRightKey);  // 退出
  });
  dlg.run_modal();
  settle();
  EXPECT_FALSE(panel->shown());
}

TEST_F(OwnProfileTest, NewNicknameAndMoodReachTheServerAndAnotherUserSeesThem) {
  ASSERT_TRUE(sign_in("100000001", "alice123"));
  CBriskUserInfo dlg;
  inside_modal([&] {
    dlg.nickname_box().set_text(u"Alicia");
    dlg.mood_box().set_text(u"hiking today");
    tap(kLeftKey);
    EXPECT_EQ(dlg.sent(), 2);
    EXPECT_TRUE(
        pump_until([&] { return dlg.nickname() == u"Alicia" && dlg.mood() == u"hiking today"; }));
    tap(kRightKey);
  });
  dlg.run_modal();
  // Bob signs in with tavrin-cli and lists his contacts.
  ChildProcess bob(TAVRIN_CLI_BIN, {"--server", sipc_address(), "--user", "100000002", "--password",
                                    "bob123", "--json"});
  ASSERT_TRUE(bob.started());
  using namespace std::chrono_literals;
  ASSERT_TRUE(
      bob.read_until([](const std::string& l) { return l.rfind("{\"code\":14,", 0) == 0; }, 60s))
      << bob.transcript();
  bob.write_line("contacts");
  const auto line = bob.read_until(
      [](const std::string& l) { return l.find("\"result\":\"contacts\"") != std::string::npos; },
      30s);
  ASSERT_TRUE(line) << bob.transcript();
  EXPECT_NE(line->find("\"nickname\":\"Alicia\""), std::string::npos) << *line;
  EXPECT_NE(line->find("\"mood\":\"hiking today\""), std::string::npos) << *line;
  bob.write_line("quit");
}

}  // namespace
}  // namespace tavrin::test
