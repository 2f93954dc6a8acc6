// The pop-up menu over its owner: taps outside the items, taps on an item,
// and what the owner still receives while the menu is up.
#include "controls/CPopupMenu.h"
#include "controls/PressEffect.h"
#include "ui_fixture.h"

using namespace tavrin::controls;
using namespace tavrin::platform;

namespace {

class MenuTest : public controls_test::UiTest {
 protected:
  void open() {
    menu.clear();
    menu.set_rect({75, 110, 275, 460});
    menu.set_id(891);
    menu.set_title(u"BriskLibTavrin");
    for (auto t : {u"个人资料", u"个人设置", u"聊天记录", u"关于软件", u"注销塔文", u"退出塔文"})
      menu.add_item(t);
    ASSERT_TRUE(menu.show(main));
    messages.clear();
  }
  CPopupMenu menu;
};

TEST_F(MenuTest, ItemsAreFiftyPixelRowsBelowTheTitle) {
  open();
  ASSERT_EQ(menu.items().size(), 6u);
  EXPECT_EQ(menu.items()[0].rect, (tavrin::gfx::Rect{75, 160, 275, 210}));
  EXPECT_EQ(menu.items()[5].rect, (tavrin::gfx::Rect{75, 410, 275, 460}));
  menu.close();
}

TEST_F(MenuTest, ATapOutsideEveryItemClosesWithoutACommand) {
  for (Point p : {Point{400, 300}, Point{150, 130} /* the title */, Point{10, 700}}) {
    open();
    tap(p.x, p.y);
    settle();
    EXPECT_FALSE(menu.shown());
    EXPECT_EQ(count(msg::kMenuCommand), 0) << p.x << "," << p.y;
    EXPECT_EQ(CPopupMenu::current(), nullptr);
  }
  // The owner has its stylus back.
  messages.clear();
  tap(400, 300);
  EXPECT_EQ(count(msg::kStylusUp), 1);
}

TEST_F(MenuTest, ATapOnAnItemPostsItsIndexAndTheMenuId) {
  open();
  const int effects = PressEffect::played();
  // Down on one item, slide to another, lift there: the lifted one counts.
  down(150, 180);
  move(150, 280);
  EXPECT_TRUE(menu.items()[2].highlighted);
  EXPECT_EQ(count(msg::kStylusDown), 0);  // the owner saw none of it
  up(150, 280);
  settle();
  const auto cmds = seen(msg::kMenuCommand);
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_EQ(cmds[0].wparam, 2u);
  EXPECT_EQ(cmds[0].lparam, 891);
  EXPECT_EQ(PressEffect::played(), effects + 1);
  EXPECT_FALSE(menu.shown());
}

TEST_F(MenuTest, TheOwnerStillGetsItsOtherMessagesWhileTheMenuIsUp) {
  open();
  ws->post(main, msg::kUser + 16, 0, 7);
  settle();
  EXPECT_EQ(count(msg::kUser + 16), 1);
  EXPECT_TRUE(menu.shown());
  // Clearing gives the default id back.
  menu.close();
  menu.clear();
  EXPECT_EQ(menu.id(), 888);
}

TEST_F(MenuTest, Screenshot) {
  open();
  down(150, 280);  // "聊天记录" highlighted
  screenshot("menu");
  up(400, 700);
  settle();
  EXPECT_EQ(count(msg::kMenuCommand), 0);
}

}  // namespace
