// The kinetic lists: flicks that coast or not, the bounce at the top,
// taps and strokes over items, and the inertia thread's life.
#include <cmath>

#include "controls/CScrollList.h"
#include "controls/CScrollTree.h"
#include "controls/PressEffect.h"
#include "ui_fixture.h"

using namespace tavrin::controls;
using namespace tavrin::platform;

namespace {

class ListTest : public controls_test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    tree = std::make_unique<CScrollTree>();
    ASSERT_TRUE(tree->create(main, 0, 165, 480, 690));
    tree->set_id(666);
    const char16_t* captions[] = {u"最近联系人", u"好友", u"同学", u"未分组"};
    for (int s = 0; s < 4; ++s) {
      TreeSection sec;
      sec.caption = captions[s];
      sec.group_id = s;
      sec.online = s;
      sec.count_text = s == 0 ? u"" : u"人在线；共 10 人。";
      const int at = tree->add_section(sec);
      for (int i = 0; i < 10; ++i) {
        TreeItem item;
        item.name = u"联系人 " + std::u16string(1, char16_t(u'A' + i));
        item.contact_id = uint32_t(1000 * s + i);
        item.status = i % 2 ? 66 : 68;
        item.new_message = i == 1;
        tree->add_item(at, item);
      }
    }
    tree->relayout();
    // The owner's part: one step of the tree per 9000 with its id.
    on_message = [this](const Message& m) {
      if (m.id == msg::kTreeStep && m.wparam == 666 && tree) tree->inertia_step();
    };
  }
  void TearDown() override {
    tree.reset();
    UiTest::TearDown();
  }

  // A vertical stroke from y0 to y1 at x 240, taking ms milliseconds.
  void stroke(int y0, int y1, int ms) {
    tree->stylus_down({240, y0});
    now += ms;
    for (int i = 1; i <= 4; ++i) tree->stylus_move({240, y0 + (y1 - y0) * i / 4});
    tree->stylus_up({240, y1});
  }
  // Lets the inertia thread run until the coasting has ended.
  void coast_out() {
    for (int i = 0; i < 200000 && tree->scroller().coasting(); ++i) ws->pump(1);
    ASSERT_FALSE(tree->scroller().coasting());
    settle();
  }

  std::unique_ptr<CScrollTree> tree;
};

TEST_F(ListTest, ContentIsSectionHeadersAndRows) {
  EXPECT_EQ(tree->scroller().content_height(), 4 * 50 + 40 * 70);
  EXPECT_EQ(tree->scroller().view_height(), 525);
  // A tap on a header folds its section away.
  tree->stylus_down({100, 190});
  tree->stylus_up({100, 190});
  EXPECT_FALSE(tree->sections()[0].expanded);
  EXPECT_EQ(tree->scroller().content_height(), 4 * 50 + 30 * 70);
  // Scrolled to the very end, folding a section leaves no gap below the
  // last row: the list comes back to its new end.
  tree->scroller().set_offset(tree->scroller().content_height() - 525);
  tree->sections()[3].expanded = false;
  tree->relayout();
  EXPECT_EQ(tree->scroller().offset(), tree->scroller().content_height() - 525);
}

TEST_F(ListTest, AFlickAtOrBelowHalfAPixelPerMillisecondDoesNotCoast) {
  tree->scroller().set_offset(300);
  stroke(600, 400, 400);  // 200 px in 400 ms: exactly 0.5
  EXPECT_DOUBLE_EQ(tree->scroller().velocity(), 0.5);
  EXPECT_FALSE(tree->scroller().coasting());
  EXPECT_EQ(tree->scroller().offset(), 500);
  settle();
  EXPECT_EQ(count(msg::kTreeStep), 0);
  EXPECT_TRUE(tree->scroller().thread()->suspended());
}

TEST_F(ListTest, AFasterFlickCoastsThroughTheThreadsStepMessages) {
  tree->scroller().set_offset(300);
  stroke(600, 400, 200);  // 1 px/ms
  EXPECT_TRUE(tree->scroller().coasting());
  coast_out();
  // Steps of velocity x 100, each keeping 95%, until below 0.2.
  const int steps = int(std::ceil(std::log(0.2) / std::log(0.95)));
  const auto sent = seen(msg::kTreeStep);
  EXPECT_GE(int(sent.size()), steps);
  for (const auto& m : sent) EXPECT_EQ(m.wparam, 666u);
  // The travel those steps add up to, step by step as the rule says.
  int expected = 500;
  for (double v = 1.0; std::fabs(v) >= 0.2; v *= 0.95) expected += int(v * 100);
  EXPECT_EQ(tree->scroller().offset(), expected);
  EXPECT_TRUE(tree->scroller().thread()->suspended());
  // Only ever 9000: the thread never posts or sends anything else.
  for (const auto& m : messages)
    EXPECT_TRUE(m.id != msg::kListStep && m.id != msg::kItemTapped) << m.id;
}

TEST_F(ListTest, AFlickPastTheEndBouncesBackToTheLastPage) {
  const int end = tree->scroller().content_height() - tree->scroller().view_height();
  tree->scroller().set_offset(end - 300);
  int furthest = 0;
  on_frame = [&] { furthest = std::max(furthest, tree->scroller().offset()); };
  stroke(600, 300, 100);  // 3 px/ms
  coast_out();
  EXPECT_EQ(tree->scroller().offset(), end);
  EXPECT_GT(furthest, end);
  EXPECT_LE(furthest, end + KineticScroller::kOvershoot + 3 * 60);
}

TEST_F(ListTest, DraggingAboveTheTopSpringsBackInFortyPixelSteps) {
  std::vector<int> offsets;
  on_frame = [&] { offsets.push_back(tree->scroller().offset()); };
  stroke(300, 430, 1000);  // slow: no overshoot, straight back from -130
  EXPECT_EQ(offsets, (std::vector<int>{-90, -50, -10, 0}));
  EXPECT_EQ(tree->scroller().offset(), 0);

  // A fast pull overshoots first, never past 180 (plus the last step),
  // then comes back 40 pixels a frame.
  offsets.clear();
  stroke(300, 400, 50);  // -2 px/ms
  ASSERT_GE(offsets.size(), 2u);
  EXPECT_EQ(offsets.back(), 0);
  const auto low = std::min_element(offsets.begin(), offsets.end());
  EXPECT_GE(*low, -180 - 2 * 60);
  for (auto it = low + 1; it != offsets.end(); ++it) EXPECT_LE(*it - *(it - 1), 40);
  for (auto it = low + 1; it + 1 != offsets.end(); ++it) EXPECT_EQ(*it - *(it - 1), 40);
  EXPECT_EQ(count(msg::kTreeStep), 0);
}

TEST_F(ListTest, HorizontalStrokesOverAnItemAndTaps) {
  struct Case {
    int dx;
    uint32_t expected;
  } cases[] = {{-101, msg::kStrokeLeft},
               {-100, msg::kItemTapped},
               {101, msg::kStrokeRight},
               {100, msg::kItemTapped},
               {0, msg::kItemTapped}};
  // Row 2 of section 0 ("联系人 C", id 2) lies at content 50 + 2 * 70.
  const int y = 165 + 50 + 2 * 70 + 35;
  for (const auto& c : cases) {
    messages.clear();
    const int effects = PressEffect::played();
    tree->stylus_down({240, y});
    tree->stylus_move({240 + c.dx / 2, y});
    tree->stylus_up({240 + c.dx, y});
    settle();
    std::vector<Message> posted;
    for (uint32_t id : {msg::kItemTapped, msg::kStrokeLeft, msg::kStrokeRight})
      for (const auto& m : seen(id)) posted.push_back(m);
    ASSERT_EQ(posted.size(), 1u) << c.dx;
    EXPECT_EQ(posted[0].id, c.expected) << c.dx;
    EXPECT_EQ(posted[0].wparam, 0u);
    EXPECT_EQ(posted[0].lparam, 2);
    EXPECT_EQ(PressEffect::played(), effects + (c.expected == msg::kItemTapped)) << c.dx;
    EXPECT_EQ(tree->selected_section(), 0);
    EXPECT_EQ(tree->selected_item(), 2);
  }
}

TEST_F(ListTest, DestroyingAListEndsItsThreadEvenWhileItCoasts) {
  const int before = InertiaThread::live();
  auto other = std::make_unique<CScrollTree>();
  ASSERT_TRUE(other->create(main, 0, 165, 480, 690));
  EXPECT_EQ(InertiaThread::live(), before + 1);
  other.reset();
  EXPECT_EQ(InertiaThread::live(), before);

  // Mid-coast the thread may be inside a send to this thread.
  tree->scroller().set_offset(300);
  stroke(600, 400, 100);
  ASSERT_TRUE(tree->scroller().coasting());
  for (int i = 0; i < 3; ++i) ws->pump(1);
  tree->destroy();
  EXPECT_EQ(InertiaThread::live(), before - 1);
  settle();
}

TEST_F(ListTest, PlainListScrollsTheSameWayAndPostsItsOwnTapMessage) {
  CScrollList list;
  ASSERT_TRUE(list.create(main, 0, 100, 480, 700));
  list.set_id(31);
  list.set_tap_message(msg::kUser + 500, 9);
  for (int i = 0; i < 30; ++i)
    list.add_row({u"第 " + std::u16string(1, char16_t(u'0' + i % 10)) + u" 行", 100 + i});
  list.relayout();
  on_message = [&](const Message& m) {
    if (m.id == msg::kListStep && m.wparam == 31) list.inertia_step();
  };
  list.stylus_down({240, 650});
  now += 100;
  list.stylus_move({240, 500});
  list.stylus_up({240, 450});
  ASSERT_TRUE(list.scroller().coasting());
  for (int i = 0; i < 200000 && list.scroller().coasting(); ++i) ws->pump(1);
  settle();
  EXPECT_GT(count(msg::kListStep), 0);
  EXPECT_EQ(count(msg::kTreeStep), 0);
  const int offset = list.scroller().offset();
  // Tap the row under y 100 + 35 on screen.
  messages.clear();
  list.stylus_down({240, 135});
  list.stylus_up({240, 135});
  settle();
  const auto taps = seen(msg::kUser + 500);
  ASSERT_EQ(taps.size(), 1u);
  EXPECT_EQ(taps[0].wparam, 9u);
  EXPECT_EQ(taps[0].lparam, 100 + (offset + 35) / 70);
}

TEST_F(ListTest, Screenshot) {
  tavrin::gfx::CSkinImage status, mark, fold;
  (void)status.load(theme_file("TavrinStatus.png"));
  (void)mark.load(theme_file("NewSMS.png"));
  (void)fold.load(theme_file("BriskTreeFlag.png"));
  tree->set_images(&status, &mark, &fold);
  tree->select(0, 2);
  tree->sections()[0].items[4].status = 67;
  tree->sections()[0].items[5].mobile = true;
  tree->sections()[0].items[5].status = 66;
  tree->sections()[0].items[6].status = 75;
  settle();
  tree->paint();
  screenshot("list");
}

}  // namespace
