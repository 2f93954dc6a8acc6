// The SMS screens' pure parts: how many SMS a text makes, the picker's
// fields and their ranges, and the receiver list's editing rules.
#include <gtest/gtest.h>

#include <string>

#include "screens/router/SmsReports.h"
#include "screens/sms/CBriskGroupMsg.h"
#include "screens/sms/CBriskSetSchSms.h"
#include "screens/sms/CBriskToSelfMsg.h"
#include "screens/sms/PickedTime.h"
#include "screens/sms/SmsContacts.h"
#include "screens/sms/SmsCounter.h"

using namespace tavrin::screens;

namespace {

std::u16string repeat(std::u16string_view piece, size_t times) {
  std::u16string s;
  for (size_t i = 0; i < times; ++i) s += piece;
  return s;
}

TEST(SmsCounterTest, PartsFollowTheTextsAlphabet) {
  struct Case {
    std::u16string text;
    int parts;
    bool wide;
  };
  const Case cases[] = {
      {u"", 0, false},
      {repeat(u"a", 1), 1, false},
      {repeat(u"a", 160), 1, false},
      {repeat(u"a", 161), 2, false},  // 153 + 8
      {repeat(u"a", 306), 2, false},
      {repeat(u"a", 307), 3, false},
      {repeat(u"中", 70), 1, true},
      {repeat(u"中", 71), 2, true},  // 67 + 4
      {repeat(u"中", 134), 2, true},
      {repeat(u"中", 135), 3, true},
      // One Chinese character makes the whole text go 70 at a time.
      {repeat(u"a", 70) + u"中", 2, true},
      {u"ok 好的", 1, true},
      {repeat(u"a", 69) + u"é", 1, true},
  };
  for (const Case& c : cases) {
    const SmsCount n = count_sms(c.text, 400);
    EXPECT_EQ(n.parts, c.parts) << c.text.size() << " characters";
    EXPECT_EQ(n.wide, c.wide) << c.text.size() << " characters";
    EXPECT_EQ(n.left, 400 - c.text.size());
  }
}

TEST(SmsCounterTest, CharactersLeftStopAtZeroAndTheTextsSayTheFigures) {
  EXPECT_EQ(count_sms(u"abc", 2).left, 0u);
  EXPECT_EQ(counter_text(count_sms(u"你好", 80)), u"还可输入 78 字，共 1 条短信");
  EXPECT_EQ(confirm_text(8, 2), u"将给 8 位好友各发 2 条，共 16 条短信，确定发送吗？");
}

TEST(PickedTimeTest, FieldsCarryAsAClockDoesAndTheYearWraps) {
  struct Case {
    PickedTime from;
    TimeField field;
    int delta;
    PickedTime to;
  };
  const Case cases[] = {
      // A minute, hour, day or month past its end carries into the field above.
      {{2010, 5, 5, 8, 59}, TimeField::kMinute, +1, {2010, 5, 5, 9, 0}},
      {{2010, 5, 5, 8, 0}, TimeField::kMinute, -1, {2010, 5, 5, 7, 59}},
      {{2010, 12, 31, 23, 59}, TimeField::kMinute, +1, {2011, 1, 1, 0, 0}},
      {{2010, 5, 5, 23, 0}, TimeField::kHour, +1, {2010, 5, 6, 0, 0}},
      {{2010, 5, 1, 0, 0}, TimeField::kHour, -1, {2010, 4, 30, 23, 0}},
      {{2010, 1, 31, 8, 0}, TimeField::kDay, +1, {2010, 2, 1, 8, 0}},
      {{2011, 2, 28, 8, 0}, TimeField::kDay, +1, {2011, 3, 1, 8, 0}},
      {{2012, 2, 28, 8, 0}, TimeField::kDay, +1, {2012, 2, 29, 8, 0}},
      {{2010, 4, 1, 8, 0}, TimeField::kDay, -1, {2010, 3, 31, 8, 0}},
      {{2010, 12, 5, 8, 0}, TimeField::kMonth, +1, {2011, 1, 5, 8, 0}},
      {{2010, 1, 5, 8, 0}, TimeField::kMonth, -1, {2009, 12, 5, 8, 0}},
      // The year wraps within the picker's years; steps past its ends are refused.
      {{2099, 5, 5, 8, 0}, TimeField::kYear, +1, {2000, 5, 5, 8, 0}},
      {{2000, 5, 5, 8, 0}, TimeField::kYear, -1, {2099, 5, 5, 8, 0}},
      {{2099, 12, 31, 23, 59}, TimeField::kMinute, +1, {2099, 12, 31, 23, 59}},
      {{2000, 1, 1, 0, 0}, TimeField::kDay, -1, {2000, 1, 1, 0, 0}},
      {{2000, 1, 5, 0, 0}, TimeField::kMonth, -1, {2000, 1, 5, 0, 0}},
      // The day follows the month and the year into shorter months.
      {{2010, 1, 31, 8, 0}, TimeField::kMonth, +1, {2010, 2, 28, 8, 0}},
      {{2012, 2, 29, 8, 0}, TimeField::kYear, +1, {2013, 2, 28, 8, 0}},
      {{2010, 3, 31, 8, 0}, TimeField::kMonth, +1, {2010, 4, 30, 8, 0}},
  };
  for (const Case& c : cases) {
    PickedTime t = c.from;
    t.step(c.field, c.delta);
    EXPECT_EQ(t, c.to) << c.from.send_time() << " field " << int(c.field) << " by " << c.delta
                       << " gave " << t.send_time();
  }
}

TEST(PickedTimeTest, TheSendTextAndTheMinuteGoneBy) {
  std::tm t{};
  t.tm_year = 2010 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 3;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 42;
  const PickedTime picked = PickedTime::from_tm(t);
  EXPECT_EQ(picked.send_time(), "2010-01-03 09:05:00");
  EXPECT_FALSE(picked.before(t));  // this minute still counts
  PickedTime earlier = picked;
  earlier.step(TimeField::kMinute, -1);
  EXPECT_TRUE(earlier.before(t));
  PickedTime later = picked;
  later.step(TimeField::kDay, +1);
  EXPECT_FALSE(later.before(t));
  // A local time outside the picker's years is held to them.
  t.tm_year = 1999 - 1900;
  EXPECT_EQ(PickedTime::from_tm(t).year, PickedTime::kFirstYear);
}

TEST(ReceiverListTest, AContactIsAReceiverOnceAndSelectAllKeepsTheOrder) {
  const std::vector<SmsContact> contacts = {
      {u"Echo", 1, 9, 66}, {u"Bob", 1, 2, 68}, {u"Carol", 1, 3, 68}, {u"Mum", 1, 7, 68}};
  ReceiverList r;
  EXPECT_TRUE(r.add(contacts[2]));
  EXPECT_FALSE(r.add(contacts[2]));
  EXPECT_TRUE(r.add(contacts[0]));
  EXPECT_EQ(r.add_all(contacts), 2);
  ASSERT_EQ(r.size(), 4u);
  const long order[] = {3, 9, 2, 7};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(r.items()[i].id, order[i]);
  EXPECT_TRUE(r.remove(9));
  EXPECT_FALSE(r.remove(9));
  EXPECT_EQ(r.find(9), nullptr);
  r.clear();
  EXPECT_TRUE(r.empty());
}

TEST(SmsLayoutTest, TheCounterStripHasRoomForItsFaceBetweenTheBoxAndWhatFollows) {
  struct Case {
    const char* screen;
    tavrin::controls::Rect box, counter, next;  // next: what stands under the strip
  } cases[] = {
      {"to self", CBriskToSelfMsg::kBox, CBriskToSelfMsg::kCounter, CBriskToSelfMsg::kSendButton},
      {"group", CBriskGroupMsg::kBox, CBriskGroupMsg::kCounter, CBriskGroupMsg::kSelectAll},
      {"schedule", CBriskSetSchSms::kBox, CBriskSetSchSms::kCounter, CBriskSetSchSms::kSoftBar},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.screen);
    EXPECT_GE(c.counter.height(), SmsTextBox::kCounterFace);
    EXPECT_GE(c.counter.top, c.box.bottom);
    EXPECT_GT(c.next.top, c.counter.bottom);
  }
}

TEST(SmsReports, OnlyAReportLineOfAKnownKindIsAReport) {
  using tavrin::screens::sms_report_of;
  struct Case {
    const char* type;
    std::u16string text;
    bool report, delivered;
    std::u16string sms;
  } cases[] = {
      {"text/sms-report", u"短信已送达：到了", true, true, u"到了"},
      {"text/sms-report", u"短信未送达：到了", true, false, u"到了"},
      {"text/sms-report", u"短信已送达：", true, true, u""},
      {"text/plain", u"短信已送达：到了", false, false, u""},  // a phone may type that
      {nullptr, u"短信已送达：到了", false, false, u""},
      {"text/sms-report", u"短信已送达:到了", false, false, u""},  // not the full-width colon
      {"text/sms-report", u"到了", false, false, u""},
  };
  for (const Case& c : cases) {
    const auto r = sms_report_of(7, c.type, c.text);
    ASSERT_EQ(r.has_value(), c.report) << (c.type ? c.type : "null");
    if (!r) continue;
    EXPECT_EQ(r->contact_id, 7);
    EXPECT_EQ(r->delivered, c.delivered);
    EXPECT_EQ(r->text, c.sms);
  }
}

TEST(SmsReports, TheNewestLiveClaimIsAskedFirstAndAnEndedOneNever) {
  using namespace tavrin::screens;
  const SmsReport report{7, true, u"到了"};
  int older = 0, newer = 0;
  SmsReportClaim first([&](const SmsReport&) { return ++older, true; });
  {
    SmsReportClaim second([&](const SmsReport&) { return ++newer, false; });
    EXPECT_TRUE(claim_sms_report(report));  // the newer declines, the older takes it
    EXPECT_EQ(newer, 1);
    EXPECT_EQ(older, 1);
  }
  EXPECT_TRUE(claim_sms_report(report));
  EXPECT_EQ(newer, 1);
}

}  // namespace
