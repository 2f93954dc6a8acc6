// New-message notifications under the Silence, Sound and Vibrate switches,
// the vibration timer 277, and the one notice at a time; the desktop's
// notifications while the window is not focused, with the notification
// service faked at its bus, and their click-through.
#include "mainwnd/notify.h"

#include "controls/AnimationClock.h"
#include "mainwnd/notify_vibration.h"
#include "platform/desktop_notifications.h"
#include "platform/leds.h"
#include "shell/switch_settings.h"
#include "ui_fixture.h"

using namespace tavrin::mainwnd;
using namespace tavrin::platform;

namespace {

// The notification service as the bus shows it: what was sent, and the
// signals it will report.
struct FakeService {
  std::vector<DesktopNotification> sent;
  std::vector<uint32_t> closed;
  std::vector<NotificationSignal> pending;
  uint32_t next_id = 40;
  uint64_t tickets = 0;
  bool reachable = true;  // false: a call cannot even go out
  bool answers = true;    // false: calls go out and are never answered
};

class FakeBus final : public NotificationBus {
 public:
  explicit FakeBus(FakeService& s) : s_(s) {}
  uint64_t notify(const DesktopNotification& n) override {
    if (!s_.reachable) return 0;
    s_.sent.push_back(n);
    const uint64_t ticket = ++s_.tickets;
    // The answer comes with the next look at the bus, as over D-Bus.
    if (s_.answers)
      s_.pending.push_back(
          {NotificationSignal::kShown, n.replaces_id ? n.replaces_id : s_.next_id++, {}, ticket});
    return ticket;
  }
  void close(uint32_t id) override { s_.closed.push_back(id); }
  std::vector<NotificationSignal> take_signals() override { return std::exchange(s_.pending, {}); }

 private:
  FakeService& s_;
};

class NotifyTest : public controls_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    notifier = std::make_unique<Notifier>(main);
    // No desktop service unless a test brings its fake.
    notifier->desktop_notes() = DesktopNotes([] { return nullptr; });
    Notifier::Services s;
    s.play_sound = [this](const std::string& wav) {
      sounds.push_back(wav);
      return true;
    };
    s.set_timer = [this](WindowId w, uintptr_t id, int ms) {
      armed.push_back({w, id, ms, ++timer_calls});
    };
    s.kill_timer = [this](WindowId w, uintptr_t id) {
      killed.push_back({w, id, 0, ++timer_calls});
    };
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
    int order = 0;  // among all settings and kills
  };
  int timer_calls = 0;
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

class DesktopNotifyTest : public NotifyTest {
 protected:
  void SetUp() override {
    NotifyTest::SetUp();
    notifier->desktop_notes() = DesktopNotes([this] { return std::make_unique<FakeBus>(service); });
    notifier->set_open_chat([this](uint32_t contact) { opened.push_back(contact); });
    notifier->set_switches(0, 0, 0);
    ws->set_foreground(false);
  }
  void TearDown() override {
    notifier->notice().close();
    NotifyTest::TearDown();
  }
  void poll() {
    ws->post(main, msg::kTimer, Notifier::kDesktopNotesTimer);
    settle();
  }
  // Whether timer 278 runs: each setting replaces it, a kill ends it.
  bool polling() {
    bool on = false;
    for (size_t a = 0, k = 0; a < armed.size() || k < killed.size();) {
      if (a < armed.size() && (k >= killed.size() || armed[a].order < killed[k].order)) {
        if (armed[a++].id == Notifier::kDesktopNotesTimer) on = true;
      } else {
        if (killed[k++].id == Notifier::kDesktopNotesTimer) on = false;
      }
    }
    return on;
  }
  FakeService service;
  std::vector<uint32_t> opened;
};

TEST(DesktopNotes, TheNotificationCarriesTheSenderAndTheText) {
  const struct {
    DesktopNotes::Kind kind;
    std::u16string text;
    std::string body, category;
  } cases[] = {
      {DesktopNotes::Kind::kLine, u"今晚一起吃饭吗？", "今晚一起吃饭吗？", "im.received"},
      // A line the client cannot read ahead of its chat window.
      {DesktopNotes::Kind::kLine, u"", "发来新信息", "im.received"},
      // The service may read markup: the text must stay text.
      {DesktopNotes::Kind::kLine, u"<b>1 & 2</b>", "&lt;b&gt;1 &amp; 2&lt;/b&gt;", "im.received"},
      {DesktopNotes::Kind::kOnline, u"", "上线了", "presence.online"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const DesktopNotification n = DesktopNotes::compose(c.kind, u"小明", c.text);
    EXPECT_EQ(n.summary, "小明");
    EXPECT_EQ(n.body, c.body);
    EXPECT_EQ(n.category, c.category);
    EXPECT_EQ(n.app_name, "Tavrin");
    EXPECT_EQ(n.icon, "tavrin");
    EXPECT_EQ(n.desktop_entry, "local.tavrin.Tavrin");
    ASSERT_GE(n.actions.size(), 2u);
    EXPECT_EQ(n.actions[0], "default");  // a click on the notification
  }
  // A long text is cut, never inside a character that needs two UTF-16 units.
  std::u16string long_text(199, u'字');
  long_text += u"😀😀";
  const DesktopNotification n =
      DesktopNotes::compose(DesktopNotes::Kind::kLine, u"小明", long_text);
  std::string expected;
  for (int i = 0; i < 199; ++i) expected += "字";
  EXPECT_EQ(n.body, expected + "…");
}

TEST_F(DesktopNotifyTest, ABackgroundLineGoesToTheDesktopAndAClickOpensItsChat) {
  notifier->notify(1, 100000002, u"小明", false, u"在吗");
  ASSERT_EQ(service.sent.size(), 1u);
  EXPECT_EQ(service.sent[0].summary, "小明");
  EXPECT_EQ(service.sent[0].body, "在吗");
  EXPECT_EQ(service.sent[0].replaces_id, 0u);
  EXPECT_TRUE(polling());
  poll();  // the service's answer: id 40

  // The same sender again replaces the shown one; another sender gets its own.
  notifier->notify(1, 100000002, u"小明", false, u"回个话");
  notifier->notify(1, 100000003, u"小红", false, u"你好");
  ASSERT_EQ(service.sent.size(), 3u);
  EXPECT_EQ(service.sent[1].replaces_id, 40u);
  EXPECT_EQ(service.sent[2].replaces_id, 0u);
  poll();

  // Another program's signals and other actions open nothing.
  service.pending = {{NotificationSignal::kAction, 7, "default"},
                     {NotificationSignal::kAction, 41, "inline-reply"}};
  poll();
  EXPECT_TRUE(opened.empty());
  service.pending = {{NotificationSignal::kAction, 41, "default"}};
  poll();
  EXPECT_EQ(opened, (std::vector<uint32_t>{100000003}));
  EXPECT_TRUE(polling());

  // Once the service has closed them all, the client stops looking.
  service.pending = {{NotificationSignal::kClosed, 40, {}}, {NotificationSignal::kClosed, 41, {}}};
  poll();
  EXPECT_FALSE(polling());
  EXPECT_FALSE(notifier->desktop_notes().showing());
}

TEST_F(DesktopNotifyTest, ANudgeGoesToTheDesktopAndVibratesAsTheSwitchesSay) {
  notifier->set_switches(0, 0, 1);
  notifier->nudged(100000002, u"小明");
  ASSERT_EQ(service.sent.size(), 1u);
  EXPECT_EQ(service.sent[0].summary, "小明");
  EXPECT_EQ(service.sent[0].body, "给你发了一个震动");
  EXPECT_TRUE(vibrating());
  notifier->set_switches(1, 0, 1);  // silence: nothing at all
  Vibration::off();
  notifier->nudged(100000003, u"小红");
  EXPECT_EQ(service.sent.size(), 1u);
  EXPECT_FALSE(vibrating());
}

TEST_F(DesktopNotifyTest, NothingGoesToTheDesktopWhileTheWindowIsFocusedOrTheLineIsInView) {
  ws->set_foreground(true);
  ws->set_active(main);
  notifier->notify(1, 100000002, u"小明", false, u"在吗");
  ws->set_foreground(false);
  notifier->notify(1, 100000002, u"小明", true, u"在吗");
  EXPECT_TRUE(service.sent.empty());
  EXPECT_FALSE(polling());
  // Without a service nothing is looked for.
  service.reachable = false;
  notifier->notify(1, 100000002, u"小明", false, u"在吗");
  EXPECT_FALSE(polling());
}

// A service that never answers holds nothing up: every line's call goes out
// at once, the client looks for the answers meanwhile, and stops once the
// bus gives them up (id 0).
TEST_F(DesktopNotifyTest, AServiceThatNeverAnswersHoldsNothingUp) {
  service.answers = false;
  for (int i = 0; i < 5; ++i) notifier->notify(1, 100000002, u"小明", false, u"在吗");
  EXPECT_EQ(service.sent.size(), 5u);
  EXPECT_TRUE(polling());
  for (uint64_t t = 1; t <= 5; ++t) service.pending.push_back({NotificationSignal::kShown, 0, {}, t});
  poll();
  EXPECT_FALSE(polling());
  EXPECT_FALSE(notifier->desktop_notes().showing());
}

TEST_F(DesktopNotifyTest, AFriendComingOnlineFollowsItsSwitchAndSilence) {
  auto& switches = tavrin::shell::switch_settings();
  const auto saved = switches;
  const struct {
    int online_switch, silence;
    bool focused, shown;
  } cases[] = {
      {1, 0, false, true},
      {0, 0, false, false},
      {1, 1, false, false},
      {1, 0, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "switch " << c.online_switch << " silence " << c.silence
                                    << " focused " << c.focused);
    service.sent.clear();
    switches.online_sound = c.online_switch;
    notifier->set_switches(c.silence, 0, 0);
    ws->set_foreground(c.focused);
    if (c.focused) ws->set_active(main);
    notifier->friend_online(100000004, u"小刚");
    ASSERT_EQ(service.sent.size(), c.shown ? 1u : 0u);
    if (c.shown) EXPECT_EQ(service.sent[0].body, "上线了");
  }
  switches = saved;
}

TEST_F(DesktopNotifyTest, VibrationAsksForTheDesktopsAttentionOnlyInTheBackground) {
  int asked = 0;
  Notifier::Services s;
  s.request_attention = [&] { ++asked; };
  notifier->set_services(s);
  notifier->set_switches(0, 0, 1);
  notifier->notify(1, 1, u"甲");
  EXPECT_EQ(asked, 1);
  ws->set_foreground(true);
  ws->set_active(main);
  notifier->notify(1, 1, u"甲");
  EXPECT_EQ(asked, 1);
}

}  // namespace
