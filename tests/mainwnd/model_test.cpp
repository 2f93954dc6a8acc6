// The contact tree's contents and the send reports, without a window: the
// sections and their counts, what a presence change touches, the recent
// section, search, and the resend list.
#include <gtest/gtest.h>

#include "mainwnd/ContactTreeModel.h"
#include "mainwnd/SendReports.h"
#include "mainwnd/header_texts.h"

namespace tavrin::mainwnd {
namespace {

using controls::TreeSection;

StoreSnapshot store() {
  StoreSnapshot s;
  s.lists = {{1, u"我的好友"}, {2, u"同事"}};
  s.contacts = {
      {101, 1, u"Bob", 66, false},       {102, 2, u"Dave", 3, false},   // 3: below 66
      {103, 1, u"Carol", 67, true},      {104, 7, u"Lost", 66, false},  // list 7 does not exist
      {105, 0, u"100000005", 69, false}, {106, 2, u"Erin", 75, false},
  };
  for (auto& c : s.contacts) c.status = stored_status(c.status);
  return s;
}

struct Tree {
  std::vector<TreeSection> sections;
  ContactTreeModel model{sections};
};

std::vector<uint32_t> ids(const TreeSection& s) {
  std::vector<uint32_t> out;
  for (const auto& i : s.items) out.push_back(i.contact_id);
  return out;
}

TEST(ContactTreeModel, BuildsSectionsInOrderWithCounts) {
  Tree t;
  t.model.build(store());
  ASSERT_EQ(t.sections.size(), 5u);
  const char16_t* captions[] = {u"最近联系人", u"我的好友", u"同事", u"未分组", u"统计查找"};
  const int groups[] = {999, 1, 2, 0, 1000};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(t.sections[i].caption, captions[i]);
    EXPECT_EQ(t.sections[i].group_id, groups[i]);
  }
  EXPECT_EQ(ids(t.sections[1]), (std::vector<uint32_t>{101, 103}));
  EXPECT_EQ(ids(t.sections[2]), (std::vector<uint32_t>{102, 106}));
  EXPECT_EQ(ids(t.sections[3]), (std::vector<uint32_t>{105}));
  EXPECT_EQ(t.sections[1].online, 2);
  EXPECT_EQ(t.sections[1].count_text, u"人在线；共 2 人。");
  // Status 3 is kept as offline (68) and not counted; 75 is not online.
  EXPECT_EQ(t.sections[2].items[0].status, 68);
  EXPECT_EQ(t.sections[2].online, 0);
  EXPECT_EQ(t.sections[3].online, 1);
  EXPECT_TRUE(t.sections[0].count_text.empty());
  EXPECT_TRUE(t.sections[4].count_text.empty());
  EXPECT_EQ(t.model.bare_number_ids(), (std::vector<uint32_t>{105}));
  EXPECT_EQ(controls::CScrollTree::status_cell(t.sections[2].items[0].status, false), 0);
}

TEST(ContactTreeModel, PresenceTouchesOnlyWhatChanged) {
  Tree t;
  t.model.build(store());
  t.model.mark_recent({101, 1, u"Bob", 66, false}, true);
  // Same data: nothing to draw.
  EXPECT_FALSE(t.model.update({101, 1, u"Bob", 66, false}).any());
  // Bob goes away: his row in "我的好友" and in the recent section; the
  // friends' header keeps its count (69 is online), the recent one too.
  auto touched = t.model.update({101, 1, u"Bob", 69, false});
  EXPECT_EQ(touched.rows, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}}));
  EXPECT_TRUE(touched.headers.empty());
  EXPECT_FALSE(touched.layout);
  // Bob goes offline: rows and both headers.
  touched = t.model.update({101, 1, u"Bob", 68, false});
  EXPECT_EQ(touched.headers, (std::vector<int>{0, 1}));
  EXPECT_EQ(t.sections[1].online, 1);
  // A contact the tree has not met joins its list, unless it was deleted.
  EXPECT_FALSE(t.model.update({107, 2, u"Frank", 66, false}, false).any());
  touched = t.model.update({107, 2, u"Frank", 66, false});
  EXPECT_TRUE(touched.layout);
  EXPECT_EQ(ids(t.sections[2]), (std::vector<uint32_t>{102, 106, 107}));
  EXPECT_EQ(t.sections[2].count_text, u"人在线；共 3 人。");
  // Removal leaves the recent section alone.
  t.model.update({103, 1, u"Carol", 66, false});
  t.model.mark_recent({103, 1, u"Carol", 66, false}, false);
  touched = t.model.remove(103);
  EXPECT_TRUE(touched.layout);
  EXPECT_EQ(ids(t.sections[1]), (std::vector<uint32_t>{101}));
  EXPECT_EQ(ids(t.sections[0]), (std::vector<uint32_t>{101, 103}));
}

TEST(ContactTreeModel, RecentSectionAddsOnceAndKeepsTheMark) {
  Tree t;
  t.model.build(store());
  EXPECT_TRUE(t.model.mark_recent({103, 1, u"Carol", 67, true}, true).layout);
  const auto again = t.model.mark_recent({103, 1, u"Carol", 67, true}, true);
  EXPECT_FALSE(again.any());
  EXPECT_EQ(t.model.mark_recent({103, 1, u"Carol", 67, true}, false).rows.size(), 1u);
  EXPECT_EQ(t.sections[0].items.size(), 1u);
  EXPECT_FALSE(t.sections[0].items[0].new_message);
  EXPECT_EQ(t.sections[0].online, 1);
}

TEST(ContactTreeModel, SearchListsEachContactOnceFromTheLists) {
  Tree t;
  t.model.build(store());
  t.model.mark_recent({101, 1, u"Bob", 66, false}, true);
  struct Case {
    std::vector<controls::TreeItem> found;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {t.model.find_by_name(u"o"), {101, 103}},  // Bob, Carol; not the recent copy
      {t.model.find_by_number(u"10"), {101, 103, 102, 106, 105}},
      {t.model.find_by_number(u"6"), {106}},
      {t.model.find_by_name(u"nobody"), {}},
      {t.model.find_if([](const auto& i) { return i.status == 75; }), {106}},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> got;
    for (const auto& i : c.found) got.push_back(i.contact_id);
    EXPECT_EQ(got, c.expected);
  }
  t.model.fill_search(t.model.find_by_name(u"Bob"));
  t.model.fill_search(t.model.find_by_name(u"Dave"));  // emptied first
  EXPECT_EQ(ids(t.sections[4]), (std::vector<uint32_t>{102}));
  EXPECT_FALSE(t.sections[4].items[0].new_message);
}

TEST(SendReports, ResendListFollowsTheResults) {
  SendReports r;
  struct Step {
    int code;
    std::u16string text;
    std::optional<std::u16string> report;
    size_t resend;
  };
  const Step steps[] = {
      {52, u"a", std::nullopt, 0},       // ordinary success
      {54, u"a", u"发送超时:\r\na", 1},  // no answer: kept
      {34, u"a", u"发送超时:\r\na", 1},  // kept once
      {152, u"b", u"发送超时:\r\nb", 2},
      {32, u"a", u"自动重发OK:\r\na", 1},  // late success of a kept line
      {153, u"b", u"发送失败:\r\nb", 0},
      {36, u"c", u"发送数目限制:\r\nc", 0},
      {149, u"d", u"发送超时:\r\nd", 1},
      {154, u"d", u"发送数目限制:\r\nd", 0},
      {53, u"e", u"发送失败:\r\ne", 0},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.code);
    EXPECT_EQ(r.on_result(s.code, s.text), s.report);
    EXPECT_EQ(r.resend_list().size(), s.resend);
  }
}

TEST(HeaderTexts, StatusWordsAndTheStartUpStatus) {
  const struct {
    int state;
    const char16_t* suffix;
    int login_status;
  } cases[] = {{66, u"（在线）", 1}, {67, u"（忙碌）", 4}, {68, u"（隐身）", 2},
               {69, u"（离开）", 3}, {70, u"（会议）", 4}, {74, u"（会议）", 4}};
  for (const auto& c : cases) {
    EXPECT_EQ(status_suffix(c.state), c.suffix);
    EXPECT_EQ(login_status_of(c.state), c.login_status);
  }
  EXPECT_EQ(number_label(123456789), u"号码：123456789");
  EXPECT_EQ(setting_number_label(123456789, u"隐身"), u"塔文号码：123456789  隐身");
}

}  // namespace
}  // namespace tavrin::mainwnd
