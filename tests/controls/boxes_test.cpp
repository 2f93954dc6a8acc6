// The modal boxes (message box and input box), the shell bars they hide,
// the page transition and the press effect.
#include "controls/AnimationClock.h"
#include "controls/BoxPainter.h"
#include "controls/CInputBox.h"
#include "controls/CMsgBoxDlg.h"
#include "controls/CPageTransition.h"
#include "controls/PressEffect.h"
#include "controls/ShellBars.h"
#include "gfx/Painter.h"
#include "gfx/Primitives.h"
#include "ui_fixture.h"

using namespace tavrin::controls;
using namespace tavrin::platform;

namespace {

class BoxTest : public controls_test::UiTest {
 protected:
  // Runs fn inside the next modal loop, once the box is up.
  void inside_modal(std::function<void()> fn) {
    ws->post_call([this, fn] {
      settle();
      fn();
    });
  }
  void tap_centre(const tavrin::gfx::Rect& r) {
    tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  bool task_bar_shown() { return ws->visible(task_bar->window()); }
};

TEST_F(BoxTest, ATimedBoxReturnsOneWhenItsCountdownEnds) {
  CMsgBoxDlg box;
  box.create(main, /*timed=*/true);
  box.set_title(u"塔文提示");
  box.set_text(u"系统网络错误，塔文将在5秒后自动重新登陆！");
  int seen_countdown = -1;
  bool bar_hidden = false;
  inside_modal([&] {
    bar_hidden = !task_bar_shown() && display->task_bar_rows() == 0;
    // Four ticks of timer 125 leave one second; the fifth closes the box.
    for (int i = 0; i < 4; ++i) ws->post(box.window(), msg::kTimer, CMsgBoxDlg::kTimerId);
    ws->post_call([&] {
      seen_countdown = box.countdown();
      ws->post(box.window(), msg::kTimer, CMsgBoxDlg::kTimerId);
    });
  });
  EXPECT_EQ(box.run_modal(), 1);
  EXPECT_EQ(seen_countdown, 1);
  EXPECT_TRUE(bar_hidden);
  EXPECT_TRUE(task_bar_shown());
  EXPECT_EQ(display->task_bar_rows(), TaskBar::kHeight);
  EXPECT_EQ(ws->find_window("CMsgBoxDlg", {}), 0u);
}

TEST_F(BoxTest, TwoButtonBoxReturnsZeroOnCancelAndOneOnOk) {
  struct Case {
    tavrin::gfx::Rect button;
    int expected;
  } cases[] = {{CMsgBoxDlg::kCancel, 0}, {CMsgBoxDlg::kOk, 1}};
  for (const auto& c : cases) {
    CMsgBoxDlg box;
    box.create(main);
    box.set_type(CMsgBoxDlg::kTwoButtons);
    box.set_title(u"塔文提示");
    box.set_text(u"是否确定要删除好友 小明？");
    inside_modal([&] {
      tap(20, 20);                            // outside both buttons: nothing
      ws->post(main, msg::kUser + 16, 0, 5);  // the main window still gets engine messages
      ws->post_call([&] { tap_centre(c.button); });
    });
    messages.clear();
    EXPECT_EQ(box.run_modal(), c.expected);
    EXPECT_EQ(count(msg::kUser + 16), 1);
  }
}

TEST_F(BoxTest, ABoxOverABoxKeepsTheTaskBarHiddenUntilTheLastCloses) {
  CMsgBoxDlg outer;
  outer.create(main);
  outer.set_text(u"外层");
  bool hidden_between = false;
  inside_modal([&] {
    CMsgBoxDlg inner;
    inner.create(outer.window());
    inner.set_text(u"内层");
    inside_modal([&] { tap_centre(CMsgBoxDlg::kOkOnly); });
    EXPECT_EQ(inner.run_modal(), 1);
    hidden_between = !task_bar_shown();
    tap_centre(CMsgBoxDlg::kOkOnly);
  });
  EXPECT_EQ(outer.run_modal(), 1);
  EXPECT_TRUE(hidden_between);
  EXPECT_TRUE(task_bar_shown());
}

TEST_F(BoxTest, MessageBoxScreenshot) {
  CMsgBoxDlg box;
  box.create(main);
  box.set_type(CMsgBoxDlg::kTwoButtons);
  box.set_title(u"塔文提示");
  box.set_text(u"是否确定要将 小明 加入黑名单？对方将无法发送消息给你。");
  inside_modal([&] {
    screenshot("message_box");
    tap_centre(CMsgBoxDlg::kOk);
  });
  EXPECT_EQ(box.run_modal(), 1);
}

TEST_F(BoxTest, ABoxGrowsUpwardsUntilItsTextFits) {
  const std::u16string delete_bob =
      u"是否确定要删除好友 Bob(Working on the train)？删除后对方仍能发送消息给你，"
      u"如果不希望收到对方的消息请将其加入黑名单。";
  struct Case {
    std::u16string text;
    bool grows;
    int face;
  } cases[] = {
      {u"发送成功！", false, 30},
      {delete_bob, true, 30},
      {std::u16string(150, u'塔'), true, 22},  // past the top: a smaller face
  };
  for (const Case& c : cases) {
    const auto l = CMsgBoxDlg::layout_for(c.text);
    const tavrin::platform::Font* f = tavrin::gfx::Painter::font(l.text_height);
    ASSERT_TRUE(f);
    EXPECT_EQ(l.text_height, c.face);
    EXPECT_LE(f->text_height(c.text, l.text.width(), text::kCenter | text::kWordBreak),
              l.text.height());
    EXPECT_EQ(l.panel.top < kBoxPanel.top, c.grows);
    EXPECT_GE(l.panel.top, 0);
    // The text and title stay inside the panel and above the buttons.
    EXPECT_TRUE(l.panel.contains({l.title.left, l.title.top}));
    EXPECT_LE(l.title.bottom, l.text.top);
    EXPECT_LE(l.text.bottom, CMsgBoxDlg::kOk.top);
  }
}

TEST_F(BoxTest, InputBoxGivesTheTypedTextOnOkOnly) {
  for (int ok = 0; ok < 2; ++ok) {
    CInputBox box;
    box.create(main);
    box.set_prompt(u"请输入你的好友名称：");
    inside_modal([&] {
      type(u"小明a");  // the field has the focus from the start
      if (ok) {
        settle();
        screenshot("input_box");
      }
      tap_centre(ok ? CInputBox::kOk : CInputBox::kCancel);
    });
    EXPECT_EQ(box.run_modal(), ok);
    EXPECT_EQ(box.text(), ok ? u"小明a" : u"");
  }
  EXPECT_TRUE(task_bar_shown());
}

TEST_F(BoxTest, PageTransitionsEndOnTheNewPage) {
  tavrin::gfx::CSurface page;
  ASSERT_TRUE(page.create(main, 480, 800));
  auto c = page.lock();
  tavrin::gfx::fill_rect(c, 0x3060C0, {0, 0, 480, 800}, 255);
  tavrin::gfx::fill_rect(c, 0xFFFFFF, {100, 100, 380, 300}, 255);
  for (int style : {7, 4, 8, 9, 18, 19, 20, 21, 5}) {
    page.present(0, 52);
    display->fill({0, 0, 480, 800}, 0);  // the old picture: black
    CPageTransition t;
    ASSERT_TRUE(t.create(style));
    ASSERT_TRUE(t.prepare(main, 480, 800, &page));
    t.run();
    if (style == 7) {
      EXPECT_EQ(t.frames(), 6 + 8 + 1);
    }
    // Every row of the window below the task bar shows the new page.
    for (int y = 52; y < 800; y += 37)
      for (int x = 0; x < 480; x += 41)
        ASSERT_EQ(display->frame()[size_t(y) * 480 + size_t(x)], c.at(x, y - 52))
            << "style " << style << " at " << x << "," << y;
  }
}

TEST_F(BoxTest, PressEffectPutsTheScreenBack) {
  for (Point p : {Point{240, 400}, Point{5, 60}, Point{478, 798}}) {
    const std::vector<uint16_t> before = display->frame();
    int drawn = 0;
    on_frame = [&] { drawn += display->frame() != before; };
    PressEffect::play(main, p.x, p.y);
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(display->frame(), before);
  }
  on_frame = nullptr;
}

// On the machine's clock: the effect's later frames come from timers, so
// what the tap does runs first, and whatever draws over the square meanwhile
// is not painted over by the effect.
TEST_F(BoxTest, PressEffectFramesComeFromTimersAndYieldToWhatDrawsOverThem) {
  tavrin::controls::set_clock_for_tests(nullptr, nullptr);
  const Point p{240, 400};
  const std::vector<uint16_t> before = display->frame();
  auto pixel = [&] { return display->frame()[size_t(p.y) * 480 + size_t(p.x)]; };
  enum class Over { kNothing, kOtherPicture, kSecondEffect };
  for (Over over : {Over::kNothing, Over::kOtherPicture, Over::kSecondEffect}) {
    const int case_no = int(over);
    const uint64_t presents = display->presents();
    bool acted = false;
    on_message = [&](const Message& m) {
      if (m.id == msg::kUser) acted = display->presents() == presents + 1;
    };
    PressEffect::play(main, p.x, p.y);
    ASSERT_TRUE(PressEffect::running()) << case_no;
    EXPECT_NE(display->frame(), before) << case_no;
    ws->post(main, msg::kUser);
    ws->pump(0);
    EXPECT_TRUE(acted) << "the action waited for the effect; case " << case_no;
    uint16_t other = 0;
    if (over == Over::kOtherPicture) {
      // A new page presented over the effect's square.
      tavrin::gfx::CSurface page;
      ASSERT_TRUE(page.create(main, 480, 748));
      auto c = page.lock();
      tavrin::gfx::fill_rect(c, 0x3060C0, {0, 0, c.width, c.height}, 255);
      page.present(0, 52);
      other = pixel();
    } else if (over == Over::kSecondEffect) {
      PressEffect::play(main, p.x + 30, p.y + 30);
    }
    for (int i = 0; i < 200 && PressEffect::running(); ++i) ws->pump(-1);
    EXPECT_FALSE(PressEffect::running()) << case_no;
    if (over == Over::kOtherPicture) {
      EXPECT_EQ(pixel(), other) << "the effect painted over a newer picture";
      ws->invalidate(main);
      settle();
    }
    EXPECT_EQ(display->frame(), before) << case_no;
  }
  on_message = nullptr;
}

TEST_F(BoxTest, SoftInputPanelQuery) {
  EXPECT_EQ(sip_shown(), 0);
  EXPECT_EQ(sip_top_edge(), 800);
  ASSERT_TRUE(sip_show());
  EXPECT_EQ(sip_shown(), 1);
  // The panel stands on the soft-key bar, which stays the screens'.
  EXPECT_EQ(sip_top_edge(), 800 - 60 - InputPanel::kHeight);
  // Without the plate (a desktop keyboard) the panel is still raised for the
  // screens' rules, but draws nothing and takes no rows.
  panel->set_plate(false);
  EXPECT_EQ(sip_shown(), 1);
  EXPECT_EQ(sip_top_edge(), 800);
  EXPECT_FALSE(ws->visible(panel->window()));
  EXPECT_EQ(display->panel_top(), 800);
  ASSERT_TRUE(sip_hide());
  EXPECT_EQ(sip_shown(), 0);
  panel->set_plate(true);
  EXPECT_FALSE(ws->visible(panel->window()));
  panel.reset();
  EXPECT_EQ(sip_shown(), -1);  // no panel to ask counts as shown
}

}  // namespace
