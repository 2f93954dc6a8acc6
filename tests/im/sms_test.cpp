// SMS through tavrin-server: results, the daily limit, group chats, the
// long-SMS flag, mobile numbers and the fs_ forms.
#include "im_fixture.h"
#include "roster/contact_id.h"

namespace tavrin::test {
namespace {

class SmsTest : public ImTest {
  // Two SMS a day, and every request in the log with its "N".
  std::vector<std::string> server_args() override { return {"--sms-daily-limit", "2"}; }
};

TEST_F(SmsTest, AcceptedThenRefusedAtTheDailyLimitWithGroupVariants) {
  EXPECT_EQ(fx_send_sms(kFans, "to the fans", nullptr, nullptr), 1);
  Seen s;
  ASSERT_TRUE(rec_.wait_for(FX_MSG_QUN_SMS_OK, kFans, &s));
  EXPECT_EQ(s.text, "to the fans");

  EXPECT_EQ(fx_send_sms(kBob, "to Bob", nullptr, nullptr), 1);
  ASSERT_TRUE(rec_.wait_for(FX_MSG_SMS_OK, kBob, &s));
  EXPECT_EQ(s.text, "to Bob");

  EXPECT_EQ(fx_send_sms(kBob, "one too many", nullptr, nullptr), 1);
  ASSERT_TRUE(rec_.wait_for(FX_MSG_SMS_REFUSED, kBob, &s));
  EXPECT_EQ(s.text, "one too many");
  EXPECT_EQ(fx_send_sms(kFans, "fans again", nullptr, nullptr), 1);
  ASSERT_TRUE(rec_.wait_for(FX_MSG_QUN_SMS_REFUSED, kFans, &s));
  EXPECT_EQ(fs_send_sms(kBob, "waiting for it"), 0);  // 36 ends the wait at once
}

TEST_F(SmsTest, LongSmsFlagChoosesTheCommandExceptForGroupChats) {
  fx_set_longsms(1);
  EXPECT_EQ(fx_send_sms(kBob, "a long one", nullptr, nullptr), 1);
  ASSERT_TRUE(rec_.wait_for(FX_MSG_SMS_OK, kBob));
  EXPECT_NE(server_->log().find("N=SendCatSMS"), std::string::npos);
  EXPECT_EQ(fx_send_sms(kFans, "group", nullptr, nullptr), 1);
  ASSERT_TRUE(rec_.wait_for(FX_MSG_QUN_SMS_OK, kFans));
  EXPECT_NE(server_->log().find("N=PGSendSMS"), std::string::npos);
  fx_set_longsms(0);
}

TEST_F(SmsTest, MobileNumberResultCarriesTheMobileDerivedId) {
  const long id = contacts::contact_id_from_uri("tel:13800138000");
  EXPECT_EQ(fx_send_sms_by_mobile_no("13800138000", "taxi please", nullptr, nullptr), 1);
  Seen s;
  // This service has no SMS gateway: the phone gets nothing, and the sender is told.
  ASSERT_TRUE(rec_.wait_for(FX_MSG_SMS_FAILED, id, &s));
  EXPECT_EQ(s.text, "taxi please");
  EXPECT_EQ(s.p2, id);
}

TEST_F(ImTest, SynchronousFormsAndArgumentChecks) {
  EXPECT_EQ(fx_send_sms(kBob, "", nullptr, nullptr), 0);
  EXPECT_EQ(fx_send_sms(0, "x", nullptr, nullptr), 0);
  EXPECT_EQ(fx_send_sms(555555555, "no such contact", nullptr, nullptr), 0);
  EXPECT_EQ(fx_send_sms_by_mobile_no(nullptr, "x", nullptr, nullptr), 0);
  EXPECT_EQ(fx_dialog_send(kBob, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(fx_dialog_send(contacts::contact_id_from_uri("tel:13800138000"), "x", nullptr, nullptr),
            0);

  EXPECT_EQ(fs_send_sms(kBob, "synchronously"), 1);
  EXPECT_EQ(fs_send_sms_by_mobile_no("13900000002", "to a phone"), 1);
  // The own uri arrives shortly after the login.
  ASSERT_TRUE(eventually([] {
    fx_lock_contacts();
    const bool known = fx_get_usr_uri() != nullptr;
    fx_unlock_contacts();
    return known;
  }));
  EXPECT_EQ(fs_send_sms_to_self("note to self"), 1);
  EXPECT_EQ(fs_send_sms(kAlice, "own id is the own phone"), 1);
  // A line to an offline contact, waited for.
  EXPECT_EQ(fs_dialog_send(kBob, "waited for"), 1);
  // Nothing to open for an offline contact: 49 at once.
  EXPECT_EQ(fs_begin_dialog(100000003), 1);
}

}  // namespace
}  // namespace tavrin::test
