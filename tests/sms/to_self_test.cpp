// SMS to self against the real server: the text reaches the server's
// outbox for the user's own mobile number, an empty box is refused, and
// paste replaces the text.
#include "controls/ShellBars.h"
#include "platform/clipboard.h"
#include "screens/sms/CBriskToSelfMsg.h"
#include "sms_fixture.h"

using tavrin::screens::CBriskToSelfMsg;

namespace {

using ToSelfTest = tavrin::test::SmsScreenTest;

TEST_F(ToSelfTest, TheTextReachesTheOutboxForTheOwnMobileNumber) {
  CBriskToSelfMsg screen;
  std::u16string said;
  inside_modal([&] {
    EXPECT_EQ(screen.mobile(), u"13900000001");
    type(u"记得买牛奶 milk");
    EXPECT_EQ(screen.box().text(), u"记得买牛奶 milk");
    EXPECT_EQ(screen.box().count().left, 80u - 10u);
    EXPECT_EQ(golden("to_self_typed"), "");
    when_box_opens([&] {
      said = screen.last_notice();
      EXPECT_EQ(golden("to_self_sent"), "");
      box_ok();
    });
    tap_window(CBriskToSelfMsg::kSendButton.centre().x,
               CBriskToSelfMsg::kSendButton.centre().y);  // 发送短信
    EXPECT_TRUE(pump_until([&] { return !screen.sending() && ws->modal_depth() == 1; }));
    EXPECT_EQ(screen.box().text(), u"");  // sent: ready for the next text
    tap_window(420, 695);  // 退出
  });
  EXPECT_EQ(screen.run_modal(), 0);
  EXPECT_EQ(said, u"发送成功！");
  EXPECT_EQ(query("SELECT body FROM outbox WHERE sender=100000001 AND target='tel:13900000001'"),
            "记得买牛奶 milk");
}

TEST_F(ToSelfTest, AnEmptyBoxIsRefusedAndNothingIsSent) {
  CBriskToSelfMsg screen;
  inside_modal([&] {
    inside_modal([&] { box_ok(); });
    tap_window(60, 695);  // the soft key 发送
    EXPECT_EQ(screen.notices(), 1);
    EXPECT_EQ(screen.last_notice(), u"请输入你要发送的内容！");
    EXPECT_FALSE(screen.sending());
    // The refusal brought the input panel up; a tap outside the box puts it away.
    EXPECT_EQ(tavrin::controls::sip_shown(), 1);
    tap_window(240, 20);
    EXPECT_EQ(tavrin::controls::sip_shown(), 0);
    // Paste fills the box with the clipboard's text, also while the panel
    // is up: the soft keys stand below it and leave it up.
    tavrin::platform::Clipboard::set_text(u"from the clipboard");
    ASSERT_TRUE(tavrin::controls::sip_show());
    tap_window(240, 695);
    EXPECT_EQ(screen.box().text(), u"from the clipboard");
    EXPECT_EQ(tavrin::controls::sip_shown(), 1);
    tap_window(420, 695);
  });
  screen.run_modal();
  EXPECT_EQ(count("SELECT count(*) FROM outbox"), 0);
}

}  // namespace
