// CBriskAccountInfo against the real server: the nine lines of a Tavrin
// user with a profile record and of a mobile buddy without one, nothing
// for an unknown id, the refresh that rebuilds the lines when the profile
// lands, and the rename box (empty refused, the current name not sent, a
// new name confirmed by the server, a name longer than what is kept
// said before it is sent), and the delete confirmation's box over it.
#include <cstring>

#include "contact_fixture.h"
#include "controls/CMsgBoxDlg.h"
#include "platform/text_codec.h"
#include "screens/contacts/CBriskAccountInfo.h"

namespace tavrin::test {
namespace {

using screens::CBriskAccountInfo;

class AccountInfoTest : public ContactScreenTest {
 protected:
  void SetUp() override {
    ContactScreenTest::SetUp();
    ASSERT_TRUE(sign_in("100000001", "alice123"));
  }
  static long id_of(const char* uri_part) {
    long id = 0;
    has_account([&](const fx_account& a) {
      if (a.uri && std::strstr(a.uri, uri_part)) id = a.id;
      return id != 0;
    });
    return id;
  }
  // Drives the screen's refresh timer until cond holds.
  bool refresh_until(CBriskAccountInfo& dlg, const std::function<bool()>& cond) {
    return pump_until([&] {
      ws->post(dlg.window(), platform::msg::kTimer, CBriskAccountInfo::kRefreshTimer);
      return cond();
    });
  }
};

TEST_F(AccountInfoTest, TavrinUserWithProfileRecord) {
  CBriskAccountInfo dlg(100000002);
  inside_modal([&] {
    tap(kMiddleKey);  // 刷新
    // Presence fills the nickname before the profile answer brings the rest
    // (the gender among it): the shot waits for the settled screen.
    const std::vector<std::u16string> want = {u"屏显名称：Bob(塔文用户)",
                                              u"塔文号码：100000002",
                                              u"手机号码：13900000002",
                                              u"分组：我的好友",
                                              u"昵称：Bob",
                                              u"性别：帅哥",
                                              u"心情签名：Working on the train",
                                              u"省份：",
                                              u"城市："};
    EXPECT_TRUE(refresh_until(dlg, [&] { return dlg.lines() == want; }));
    EXPECT_EQ(dlg.lines(), want);
    EXPECT_EQ(golden_shot("account_info_bob"), "");
    tap(kRightKey);
  });
  dlg.run_modal();
}

TEST_F(AccountInfoTest, MobileBuddyWithoutProfileRecord) {
  const long mum = id_of("13800138000");
  ASSERT_NE(mum, 0);
  CBriskAccountInfo dlg(mum);
  inside_modal([&] {
    EXPECT_EQ(dlg.lines().size(), 9u);
    if (dlg.lines().size() == 9) {
      EXPECT_TRUE(dlg.lines()[0].ends_with(u"(手机用户)"));
      EXPECT_EQ(dlg.lines()[1], u"塔文号码：");
      EXPECT_EQ(dlg.lines()[2], u"手机号码：13800138000");
      for (size_t i = 4; i < 9; ++i) EXPECT_EQ(dlg.lines()[i].back(), u'：') << i;
    }
    EXPECT_EQ(golden_shot("account_info_mobile"), "");
    tap(kRightKey);
  });
  dlg.run_modal();
}

TEST_F(AccountInfoTest, UnknownIdListsNothing) {
  CBriskAccountInfo dlg(123456789);
  inside_modal([&] {
    EXPECT_TRUE(dlg.lines().empty());
    tap(kRightKey);
  });
  dlg.run_modal();
}

TEST_F(AccountInfoTest, RenameRefusesEmptySkipsTheSameNameAndReachesTheServer) {
  CBriskAccountInfo dlg(100000002);
  inside_modal([&] {
    bool box = false;
    inside_modal([&] {
      box = true;
      tap(kBoxOk);
    });
    tap(kLeftKey);  // 修改 with an empty box
    EXPECT_TRUE(box);
    // The current name: nothing is sent. A new one: the server confirms it.
    dlg.rename_box().set_text(u"Bob");
    tap(kLeftKey);
    dlg.rename_box().set_text(u"Bobby");
    tap(kLeftKey);
    EXPECT_TRUE(pump_until([&] { return dlg.renames_confirmed() > 0; }));
    EXPECT_EQ(dlg.lines().at(0), u"屏显名称：Bobby(塔文用户)");
    settle();
    EXPECT_EQ(dlg.renames_confirmed(), 1);  // only "Bobby" was sent
    tap(kRightKey);
  });
  dlg.run_modal();
  EXPECT_TRUE(has_account([](const fx_account& a) {
    return a.id == 100000002 && a.local_name && std::strcmp(a.local_name, "Bobby") == 0;
  }));
}

TEST_F(AccountInfoTest, ANameLongerThanWhatIsKeptIsSaidBeforeItIsSent) {
  const std::u16string sixteen = u"一二三四五六七八九十甲乙丙丁戊己";
  CBriskAccountInfo dlg(100000002);
  inside_modal([&] {
    // What is kept: 32 GB2312 bytes of whole characters.
    struct Case {
      std::u16string typed;
      bool too_long;
      std::u16string kept;
    } cases[] = {
        {u"Bobby", false, u"Bobby"},
        {sixteen, false, sixteen},
        {u"a" + sixteen, true, u"a" + sixteen.substr(0, 15)},  // never half a character
        {std::u16string(33, u'b'), true, std::u16string(32, u'b')},
    };
    for (const Case& c : cases) {
      dlg.rename_box().set_text(c.typed);
      EXPECT_EQ(dlg.name_too_long(), c.too_long) << platform::utf16_to_utf8(c.typed);
      EXPECT_EQ(dlg.kept_name(), c.kept) << platform::utf16_to_utf8(c.typed);
    }
    // Typed by the user: the prompt turns into the warning at the 33rd byte.
    dlg.rename_box().clear();
    tap_window(CBriskAccountInfo::kRenameBox.left + 10, CBriskAccountInfo::kRenameBox.top + 20);
    type(sixteen);
    EXPECT_FALSE(dlg.name_too_long());
    type(u"庚");
    panel->show(false);
    EXPECT_TRUE(dlg.name_too_long());
    EXPECT_EQ(golden_shot("account_info_long_name"), "");
    // 修改 asks first; 取消 sends nothing, 确定 sends what is kept.
    int asked = 0;
    inside_modal([&] {
      ++asked;
      EXPECT_EQ(golden_shot("account_info_long_name_box"), "");
      tap(controls::CMsgBoxDlg::kCancel.centre());
    });
    tap(kLeftKey);
    inside_modal([&] {
      ++asked;
      tap(controls::CMsgBoxDlg::kOk.centre());
    });
    tap(kLeftKey);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(pump_until([&] { return dlg.renames_confirmed() > 0; }));
    EXPECT_EQ(dlg.lines().at(0), u"屏显名称：" + sixteen + u"(塔文用户)");
    settle();
    EXPECT_EQ(dlg.renames_confirmed(), 1);
    tap(kRightKey);
  });
  dlg.run_modal();
}

TEST_F(AccountInfoTest, TheDeleteConfirmationShowsItsWholeText) {
  // The main window's question before a contact is deleted, over this
  // screen: the panel grows until the last line is inside it.
  CBriskAccountInfo dlg(100000002);
  inside_modal([&] {
    inside_modal([&] {
      EXPECT_EQ(golden_shot("delete_confirmation"), "");
      tap(controls::CMsgBoxDlg::kCancel.centre());
    });
    EXPECT_EQ(controls::CMsgBoxDlg::show(dlg.window(),
                                         u"是否确定要删除好友 Bob(Working on the train)？"
                                         u"删除后对方仍能发送消息给你，"
                                         u"如果不希望收到对方的消息请将其加入黑名单。",
                                         u"塔文提示", controls::CMsgBoxDlg::kTwoButtons),
              0);
    tap(kRightKey);
  });
  dlg.run_modal();
}

}  // namespace
}  // namespace tavrin::test
