// The chat window's rules that need no window: the server date turned into
// the local time of day, line heights, titles, the emoticon table and grid.
#include <gtest/gtest.h>

#include "screens/chat/CEmoticonDlg.h"
#include "screens/chat/ChatText.h"
#include "screens/chat/EmoticonTable.h"

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
