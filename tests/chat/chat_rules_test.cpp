// The chat window's rules that need no window: the server date turned into
// the local time of day, line heights, titles, the emoticon table and grid,
// and how a sent line settles by its result.
#include <gtest/gtest.h>

#include "platform/text_codec.h"
#include "screens/chat/CEmoticonDlg.h"
#include "screens/chat/ChatText.h"
#include "screens/chat/EmoticonTable.h"
#include "screens/chat/Outbox.h"

using namespace tavrin::screens;
using namespace tavrin::screens::chat;

TEST(ChatRules, ServerDatesBecomeTheLocalTimeOfDay) {
  struct Case {
    const char* date;
    int bias;  // minutes, positive west of Greenwich
    const char16_t* shown;
  } cases[] = {
      {"Tue, 12 Mar 2024 23:30:05 GMT", -480, u"07:30:05"},  // 8 hours east: the next morning
      {"Tue, 12 Mar 2024 16:00:59 GMT", -480, u"00:00:59"},  // exactly midnight is 00, never 24
      {"Tue, 12 Mar 2024 16:07:00 GMT", -480, u"00:07:00"},
      {"Tue, 12 Mar 2024 02:15:30 GMT", 300, u"21:15:30"},  // 5 hours west: the evening before
      {"Tue, 12 Mar 2024 09:41:12 GMT", 0, u"09:41:12"},
      {"Tue, 12 Mar 2024 00:00:00 GMT", -330, u"05:30:00"},  // half-hour zones
  };
  for (const auto& c : cases)
    EXPECT_EQ(server_date_to_local(c.date, c.bias), std::u16string(c.shown)) << c.date;
  for (const char* bad : {"", "garbage", "Tue, 12 Mar 2024", "Tue, 12 Mar 2024 25:00:00 GMT",
                          "Tue, 12 Mar 2024 10:61:00 GMT"})
    EXPECT_EQ(server_date_to_local(bad, -480), std::nullopt) << bad;
  EXPECT_EQ(time_of_day(7, 5, 9), u"07:05:09");
  // The same dates as instants, for the line's full date: the day and month
  // count, the weekday does not.
  EXPECT_EQ(server_date_instant("Tue, 12 Mar 2024 23:30:05 GMT"), std::time_t(1710286205));
  EXPECT_EQ(server_date_instant("Wed, 31 Dec 2025 16:00:00 GMT"), std::time_t(1767196800));
  for (const char* bad : {"", "garbage", "Tue, 12 Mar 2024", "Tue, 12 Foo 2024 10:00:00 GMT",
                          "Tue, 32 Mar 2024 10:00:00 GMT", "Tue, 12 Mar 2024 24:00:00 GMT"})
    EXPECT_EQ(server_date_instant(bad), std::nullopt) << bad;
}

TEST(ChatRules, LineHeightsFollowTheLength) {
  struct Case {
    size_t length;
    int live, stored, viewer;
  } cases[] = {
      {0, 70, 70, 70},      {35, 70, 70, 70},     {36, 70, 70, 130},   {40, 70, 70, 130},
      {41, 90, 90, 130},    {60, 90, 90, 130},    {61, 110, 120, 130}, {70, 110, 120, 130},
      {79, 110, 120, 130},  {80, 110, 120, 190},  {81, 130, 130, 190}, {100, 130, 130, 190},
      {101, 170, 170, 190}, {500, 170, 170, 190},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(live_line_height(c.length), c.live) << c.length;
    EXPECT_EQ(stored_line_height(c.length), c.stored) << c.length;
    EXPECT_EQ(log_viewer_height(c.length), c.viewer) << c.length;
  }
}

TEST(ChatRules, TitlesAndTheModeTheyForce) {
  EXPECT_EQ(chat_title(u"Bob", true, true, false).text, u"与 Bob 聊天中（聊天模式）");
  EXPECT_EQ(chat_title(u"Bob", true, true, true).text, u"与 Bob 聊天中（短信模式）");
  const auto mum = chat_title(u"Mum", true, false, false);  // chat mode asked for
  EXPECT_EQ(mum.text, u"与 Mum 聊天中（短信用户）");
  EXPECT_TRUE(mum.sms_mode);
  const auto stranger = chat_title(u"100000099", false, false, false);
  EXPECT_EQ(stranger.text, u"与 100000099 陌生人聊天中");
  EXPECT_FALSE(stranger.sms_mode);
}

TEST(ChatRules, EmoticonTableAndGrid) {
  ASSERT_EQ(kEmoticons.size(), 53u);
  EXPECT_EQ(kEmoticons[kDefaultEmoticon].code, u":d");
  EXPECT_EQ(kEmoticons[0].code, u"(y)");
  EXPECT_EQ(kEmoticons[11].code, u":\">");
  EXPECT_EQ(kEmoticons[52].name, u"戴着太阳镜");
  EXPECT_EQ(kEmoticons[5].name, kEmoticons[7].name);  // two share "惊讶"
  // Cells: row x 11 + column, 42 x 40 from (9, 420).
  EXPECT_EQ(CEmoticonDlg::cell_at({9, 420}), 0u);
  EXPECT_EQ(CEmoticonDlg::cell_at({9 + 42, 420 + 39}), 1u);
  EXPECT_EQ(CEmoticonDlg::cell_at({9 + 2 * 42, 420 + 40}), 13u);
  EXPECT_EQ(CEmoticonDlg::cell_at({470, 619}), 54u);
  EXPECT_EQ(CEmoticonDlg::cell_at({8, 500}), std::nullopt);
  EXPECT_EQ(CEmoticonDlg::cell_at({100, 620}), std::nullopt);
}

// Codes shown as their pictures: the longest code at a place wins, a
// picture with a plain text form asks for the colour one (U+FE0F), and text
// without codes stays as it is.
TEST(ChatRules, EmoticonCodesBecomeTheirPictures) {
  struct Case {
    std::u16string_view text, shown;
  };
  const Case cases[] = {
      {u"Bob：(l)", u"Bob：\u2764\uFE0F"},
      {u"ok :) :d", u"ok \U0001F642 \U0001F604"},
      {u"(:|)", u"\U0001F61E"},  // not ":|" after "("
      {u">:)", u"\U0001F608"},   // not ":)" after ">"
      {u"(l)(u)(*)", u"\u2764\uFE0F\U0001F494\u2B50\uFE0F"},
      {u"价格 100 元 (L", u"价格 100 元 (L"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(with_pictures(c.text), c.shown);
  // Every code of the picker turns into exactly its own picture.
  for (const Emoticon& e : kEmoticons) {
    const std::u16string shown = with_pictures(e.code);
    ASSERT_FALSE(shown.empty());
    const char32_t first =
        shown[0] >= 0xD800 && shown[0] < 0xDC00
            ? 0x10000 + ((char32_t(shown[0]) - 0xD800) << 10) + (char32_t(shown[1]) - 0xDC00)
            : shown[0];
    EXPECT_EQ(first, e.picture) << std::u16string(e.code).size();
    EXPECT_LE(shown.size(), 2u);
  }
}

// A sent line's state through the results the engine reports for it, as
// the outbox settles it: pending lines become sent or failed; a time-out is
// failed until a late acceptance makes it sent.
TEST(ChatRules, SentLinesSettleByTheirResults) {
  struct Step {
    int code;
    const char* text;
    const char16_t* line;  // the settled line; null: nothing settled
  };
  struct Case {
    const char* name;
    std::vector<const char*> sent;
    std::vector<Step> results;
    long result_to = 100000002;  // the id the results name
  } cases[] = {
      {"delivered", {"a"}, {{FX_MSG_CHAT_SENT, "a", u"机主：a"}, {FX_MSG_CHAT_SENT, "a", nullptr}}},
      {"refused", {"a"}, {{FX_MSG_CHAT_SEND_FAILED, "a", u"发送失败：a"}}},
      {"sms limit", {"a"}, {{FX_MSG_SMS_REFUSED, "a", u"发送失败：a"}}},
      {"late answer",
       {"a"},
       {{FX_MSG_CHAT_SEND_TIMEOUT, "a", u"发送失败：a"}, {FX_MSG_CHAT_SENT, "a", u"机主：a"}}},
      {"late refusal stays failed",
       {"a"},
       {{FX_MSG_CHAT_SEND_TIMEOUT, "a", u"发送失败：a"}, {FX_MSG_CHAT_SEND_FAILED, "a", nullptr}}},
      {"sms no answer",
       {"a"},
       {{FX_MSG_SMS_TIMEOUT, "a", u"发送失败：a"}, {FX_MSG_SMS_OK, "a", u"机主：a"}}},
      {"another text", {"a"}, {{FX_MSG_CHAT_SENT, "b", nullptr}}},
      // An SMS result names the number it went to, not the contact's id.
      {"sms by number", {"a"}, {{FX_MSG_SMS_OK, "a", u"机主：a"}}, 1800138000},
      {"not a result", {"a"}, {{FX_MSG_CHAT_MESSAGE, "a", nullptr}}},
      // Twins: each acceptance settles one, the waiting one first.
      {"twins",
       {"x", "x"},
       {{FX_MSG_CHAT_SEND_TIMEOUT, "x", u"发送失败：x"},
        {FX_MSG_CHAT_SENT, "x", u"机主：x"},
        {FX_MSG_CHAT_SENT, "x", u"机主：x"},
        {FX_MSG_CHAT_SENT, "x", nullptr}}},
      // The record gives the text back without its formatting.
      {"formatted", {"hi"}, {{FX_MSG_CHAT_SENT, "<Font Face='宋体'>hi</Font>", u"机主：hi"}}},
  };
  constexpr long kTo = 100000002;
  for (const Case& c : cases) {
    Outbox outbox;
    std::int64_t row = 0;
    for (const char* text : c.sent) outbox.add(kTo, tavrin::platform::utf8_to_utf16(text), ++row);
    for (const Step& step : c.results) {
      fx_msg record{c.result_to, const_cast<char*>(step.text), nullptr, nullptr, 0};
      const auto settled = outbox.on_result(step.code, c.result_to, &record);
      if (step.line == nullptr) {
        EXPECT_FALSE(settled) << c.name;
        continue;
      }
      ASSERT_TRUE(settled) << c.name;
      EXPECT_EQ(settled->line, step.line) << c.name;
      EXPECT_EQ(settled->contact_id, kTo) << c.name;
      EXPECT_NE(settled->rowid, 0) << c.name;
    }
  }
}
