// CAddFriendDlg against the real server: adds by Tavrin number and by
// mobile number reach the server and the contact lands in the store in the
// chosen buddy list; numbers of the wrong length (or not digits) are
// refused with the box and the hint before anything is sent, and the hint
// goes once the number is edited.
#include <cstring>

#include "contact_fixture.h"
#include "controls/CPopupMenu.h"
#include "screens/contacts/CAddFriendDlg.h"

namespace tavrin::test {
namespace {

using screens::CAddFriendDlg;

bool uri_has(const fx_account& a, const char* part) {
  return a.uri && std::strstr(a.uri, part);
}

class AddFriendTest : public ContactScreenTest {
 protected:
  // Types into a box of the screen (window rectangle).
  void fill(const controls::Rect& box, std::u16string_view text) {
    tap_window(box.left + 10, box.top + 20);
    type(text);
    panel->show(false);  // the user puts the input panel away
  }
};

TEST_F(AddFriendTest, AddsByTavrinNumberIntoTheChosenBuddyList) {
  ASSERT_TRUE(sign_in("100000003", "carol123"));
  CAddFriendDlg dlg;
  inside_modal([&] {
    fill(CAddFriendDlg::kNumberBox, u"100000004");
    fill(CAddFriendDlg::kNameBox, u"大卫");
    fill(CAddFriendDlg::kGreetingBox, u"Carol");
    // The group menu: "无分组", then the engine's lists ("我的好友", "同事").
    tap_window(240, CAddFriendDlg::kGroupLine.top + 20);
    const auto* menu = controls::CPopupMenu::current();
    EXPECT_NE(menu, nullptr);
    if (menu && menu->items().size() == 3) {
      EXPECT_EQ(menu->items()[0].text, u"无分组");
      tap(menu->items()[2].rect.centre());
    }
    EXPECT_EQ(dlg.group_id(), 2);
    EXPECT_EQ(dlg.group_name(), u"同事");
    EXPECT_EQ(golden_shot("add_friend_filled"), "");
    tap(kLeftKey);
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  // The server's answer puts the contact into the store, in list 2, under
  // the name the user gave it.
  ASSERT_TRUE(wait_for_account([](const fx_account& a) { return uri_has(a, "100000004"); }));
  EXPECT_TRUE(has_account([](const fx_account& a) {
    return uri_has(a, "100000004") && fx_get_account_group_id(&a) == 2 && a.local_name &&
           std::strcmp(a.local_name, "大卫") == 0;
  }));
}

TEST_F(AddFriendTest, AddsByMobileNumber) {
  ASSERT_TRUE(sign_in("100000003", "carol123"));
  CAddFriendDlg dlg;
  inside_modal([&] {
    tap_window(CAddFriendDlg::kModeMobile.left + 20, CAddFriendDlg::kModeMobile.top + 20);
    EXPECT_EQ(dlg.mode(), 1);
    fill(CAddFriendDlg::kNumberBox, u"13900000005");
    EXPECT_EQ(golden_shot("add_friend_mobile"), "");
    // The soft keys stand below the input panel: 添加 is hit while typing.
    tap_window(CAddFriendDlg::kNameBox.left + 10, CAddFriendDlg::kNameBox.top + 20);
    ASSERT_TRUE(panel->shown());
    tap(kLeftKey);
  });
  EXPECT_EQ(dlg.run_modal(), 1);
  // The service knows the number: Erin's account is added.
  EXPECT_TRUE(wait_for_account([](const fx_account& a) { return uri_has(a, "100000005"); }));
}

TEST_F(AddFriendTest, WrongNumbersAreRefusedBeforeAnythingIsSent) {
  ASSERT_TRUE(sign_in("100000003", "carol123"));
  struct Case {
    int mode;
    std::u16string number;
  };
  const Case cases[] = {
      {0, u"10000000"},    // 8 digits: the login screen takes them, this screen does not
      {1, u"100000004"},   // 9 digits in mobile mode
      {0, u"1000000041"},  // 10 digits
      {0, u"10000000a"},   // 9 characters, not all digits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.number.begin(), c.number.end()));
    CAddFriendDlg dlg;
    bool box_shown = false;
    inside_modal([&] {
      dlg.set_mode(c.mode);
      dlg.number_box().set_text(c.number);
      inside_modal([&] {
        box_shown = true;
        // "11" stays whole on the box's second line.
        if (c.mode == 0 && c.number.size() == 8) {
          EXPECT_EQ(golden_shot("add_friend_refused_box"), "");
        }
        tap(kBoxOk);
      });
      tap(kLeftKey);
      EXPECT_TRUE(box_shown);
      EXPECT_EQ(dlg.hint(), u"请输入正确的号码！手机11位，塔文号9位。");
      EXPECT_EQ(dlg.number_box().text(), u"");
      EXPECT_EQ(ws->focus(), dlg.number_box().window());
      EXPECT_TRUE(dlg.running());
      if (c.mode == 0 && c.number.size() == 8) {
        EXPECT_EQ(golden_shot("add_friend_refused"), "");
      }
      // The hint speaks of the refused number: the next keystroke clears it.
      type(u"1");
      EXPECT_EQ(dlg.hint(), u"");
      EXPECT_EQ(dlg.number_box().text(), u"1");
      tap(kRightKey);
    });
    EXPECT_EQ(dlg.run_modal(), 0);
  }
  EXPECT_FALSE(has_account([](const fx_account& a) { return uri_has(a, "100000004"); }));
}

}  // namespace
}  // namespace tavrin::test
