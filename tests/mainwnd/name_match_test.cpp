// Search by name: either case, and Chinese names by the pinyin the system's
// pinyin library gives (whole syllables, initials, a begun last syllable),
// through the tree model's search and the matcher under it.
#include "mainwnd/name_match.h"

#include <gtest/gtest.h>

#include "mainwnd/ContactTreeModel.h"
#include "platform/pinyin.h"

namespace tavrin::mainwnd {
namespace {

TEST(NameSearch, MatchesEitherCaseAndPinyin) {
  if (!platform::Pinyin::shared()) GTEST_SKIP() << "libpinyin-data is not installed";
  StoreSnapshot s;
  s.lists = {{1, u"我的好友"}};
  s.contacts = {{101, 1, u"Bob", 66, false},
                {102, 1, u"张三", 66, false},
                {103, 1, u"李四", 68, false},
                {104, 1, u"小张Ａmy", 68, false},
                {105, 1, u"银行卡", 68, false}};  // 行 reads hang and xing
  std::vector<controls::TreeSection> sections;
  ContactTreeModel model{sections};
  model.build(s);
  struct Case {
    const char16_t* query;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {u"bo", {101}},       {u"BOB", {101}},       {u"zs", {102}},     {u"zhangsan", {102}},
      {u"ZhangSan", {102}}, {u"zhang san", {102}}, {u"zhangs", {102}}, {u"zsan", {102}},
      {u"zhs", {102}},      {u"san", {102}},       {u"z", {102, 104}}, {u"xz", {104}},
      {u"xzamy", {104}},    {u"amy", {104}},       {u"yhk", {105}},    {u"yinxingka", {105}},
      {u"yinhang", {105}},  {u"sz", {}},           {u"zhangsi", {}},   {u"三", {102}},
      {u"ls", {103}},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> got;
    for (const auto& i : model.find_by_name(c.query)) got.push_back(i.contact_id);
    EXPECT_EQ(got, c.expected) << std::u16string(c.query).size() << " letters";
  }
}

// Every character with several readings that all begin alike: each step
// is worked out once, so a long name and query answer at once.
TEST(NameSearch, ManyReadingsStayCheap) {
  const std::vector<std::string> three = {"aa", "a", "aaa"};
  const Readings readings = [&](char32_t) -> const std::vector<std::string>& { return three; };
  const std::u16string name(200, u'行');
  const std::u16string query(199, u'a');
  EXPECT_TRUE(name_matches(name, query + u"a", readings));
  EXPECT_FALSE(name_matches(name, query + u"b", readings));
}

}  // namespace
}  // namespace tavrin::mainwnd
