// CBriskAccountInfo against the real server: the nine lines of a Tavrin
// user with a profile record and of a mobile buddy without one, nothing
// for an unknown id, the refresh that rebuilds the lines when the profile
// lands, and the rename box (empty refused, the current name not sent, a
// new name confirmed by the server).
#include <cstring>

#include "contact_fixture.h"
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
                                              u"分组ID：1",
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

}  // namespace
}  // namespace tavrin::test
