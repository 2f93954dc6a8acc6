// New-message notifications under the Silence, Sound and Vibrate switches,
// the vibration timer 277, and the one notice at a time.
#include "mainwnd/notify.h"

#include "controls/AnimationClock.h"
#include "mainwnd/notify_vibration.h"
#include "platform/leds.h"
#include "ui_fixture.h"

using namespace tavrin::mainwnd;
using namespace tavrin::platform;

namespace {

class NotifyTest : public controls_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    notifier = std::make_unique<Notifier>(main);
    Notifier::Services s;
    s.play_sound = [this](const std::string& wav) {
      sounds.push_back(wav);
      return true;
    };
    s.set_timer = [this](WindowId w, uintptr_t id, int ms) { armed.push_back({w, id, ms}); };
    s.kill_timer = [this](WindowId w, uintptr_t id) { killed.push_back({w, id, 0}); };
    notifier->set_services(s);
    on_message = [this](const Message& m) {
      if (notifier) notifier->handle_timer(m);
    };
    Vibration::off();
  }
  void TearDown() override {
    notifier.reset();
    Vibration::off();
    UiTest::TearDown();
  }
  bool vibrating() { return Leds::on(Vibration::device()) && Leds::on(0); }
  int notices() {
    int n = 0;
    for (WindowId c : ws->children(main)) n += ws->class_name(c) == "BriskMsgBox";
    return n;
  }
  void tick_277() {
    ws->post(main, msg::kTimer, Notifier::kVibrateTimer);
    settle();
  }

  struct Timer {
    WindowId window;
    uintptr_t id;
    int ms;
  };
  std::unique_ptr<Notifier> notifier;
  std::vector<std::string> sounds;
  std::vector<Timer> armed, killed;
};

TEST_F(NotifyTest, SilenceSoundAndVibrateCombinations) {
  struct Case {
    int silence, sound, vibrate, kind;
    bool foreground;
    bool notice, sound_played, vibration;
    bool in_view = false;  // the open chat in front shows the line already
  } cases[] = {
      {1, 1, 1, 1, false, true, false, false},  // silence: only the notice
      {0, 0, 1, 1, false, true, false, true},   // vibration and light only
      {0, 1, 0, 1, true, false, true, false},   // in front: no notice
      {0, 1, 1, 1, true, false, true, true},         {0, 0, 0, 1, true, false, false, false},
      {0, 1, 1, 2, true, false, false, false},        // kind 2 with Sound: nothing more
      {0, 1, 0, 1, false, false, true, false, true},  // shown in the chat: sound, no notice
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "silence " << c.silence << " sound " << c.sound
                                    << " vibrate " << c.vibrate << " kind " << c.kind);
    sounds.clear();
    armed.clear();
    ws->set_foreground(c.foreground);
    notifier->set_switches(c.silence, c.sound, c.vibrate);
    notifier->notify(c.kind, 100000002, u"小明", c.in_view);
    settle();
    EXPECT_EQ(notifier->notice().showing(), c.notice);
    EXPECT_EQ(notices(), c.notice ? 1 : 0);
    if (c.notice) {
      EXPECT_EQ(notifier->notice().title(), u"新信息");
      EXPECT_EQ(notifier->notice().text(), u"来自：小明");
      EXPECT_EQ(notifier->notice().mode(), 1);
    }
    ASSERT_EQ(sounds.size(), c.sound_played ? 1u : 0u);
    if (c.sound_played) {
      EXPECT_NE(sounds[0].find("Sounds"), std::string::npos);
      EXPECT_NE(sounds[0].find("newmessage.wav"), std::string::npos);
    }
    EXPECT_EQ(vibrating(), c.vibration);
    ASSERT_EQ(armed.size(), c.vibration ? 1u : 0u);
    if (c.vibration) {
      EXPECT_EQ(armed[0].window, main);
      EXPECT_EQ(armed[0].id, 277u);
      EXPECT_EQ(armed[0].ms, 1000);
      tick_277();
      EXPECT_FALSE(Leds::on(Vibration::device()));
      EXPECT_FALSE(Leds::on(0));
    }
    notifier->notice().close();
  }
  // The vibrator is the last LED device.
  EXPECT_EQ(Vibration::device(), Leds::device_count() - 1);
}

TEST_F(NotifyTest, TwoMessagesWithinASecondStopOneSecondAfterTheSecond) {
  notifier->set_switches(0, 0, 1);
  notifier->notify(1, 1, u"甲");
  notifier->notify(1, 2, u"乙");
  // Each message arms timer 277 afresh (re-setting a timer replaces it),
  // so the one expiry that stops the vibration is a second after the second.
  ASSERT_EQ(armed.size(), 2u);
  EXPECT_EQ(armed[1].id, 277u);
  EXPECT_EQ(armed[1].ms, 1000);
  EXPECT_TRUE(vibrating());
  tick_277();
  EXPECT_FALSE(vibrating());
  ASSERT_EQ(killed.size(), 1u);
  EXPECT_EQ(killed[0].id, 277u);
}

TEST_F(NotifyTest, NoSecondNoticeWhileOneShows) {
  ws->set_foreground(false);
  notifier->set_switches(1, 0, 0);
  notifier->notify(1, 1, u"甲");
  settle();
  screenshot("notice");
  notifier->notify(1, 2, u"乙");
  settle();
  EXPECT_EQ(notices(), 1);
  EXPECT_EQ(notifier->notice().text(), u"来自：甲");
  // Taps off the buttons leave it; a tap on a button closes it, and 查看
  // has the main window open that contact's chat (as a tap on it would).
  tap(240, 600);
  EXPECT_TRUE(notifier->notice().showing());
  tap(140, 52 + 360);
  settle();
  EXPECT_FALSE(notifier->notice().showing());
  const auto opened = seen(msg::kItemTapped);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].lparam, 1);
  EXPECT_EQ(notices(), 0);
  EXPECT_EQ(CBriskMsgBox::current(), nullptr);
  notifier->notify(1, 3, u"丙");
  EXPECT_EQ(notifier->notice().text(), u"来自：丙");
}

}  // namespace
