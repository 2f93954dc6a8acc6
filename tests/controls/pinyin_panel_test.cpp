// The touch keyboard's pinyin mode on the system's pinyin library: letters
// tapped on the plate compose inline in the focused box, the candidate bar
// takes the digits' row, and a tapped candidate types its characters. What
// space, enter, backspace and punctuation do to a composition, and a
// choice in two steps. Skipped where the library's data are missing.
#include "controls/CBriskEdit.h"
#include "golden.h"
#include "platform/pinyin.h"
#include "platform/task_bar.h"
#include "ui_fixture.h"

using namespace tavrin::controls;
using namespace tavrin::platform;

namespace {

class PinyinPanelTest : public controls_test::UiTest {
 protected:
  void SetUp() override {
    TaskBar::set_clock_for_tests(12 * 60);  // the goldens show 12:00
    UiTest::SetUp();
    if (!Pinyin::shared()) GTEST_SKIP() << "libpinyin-data is not installed";
    ASSERT_TRUE(box.create(main, {20, 100, 460, 220}, 100));
    settle();
    tap(30, 160);
    ASSERT_TRUE(panel->show(true));
    settle();
  }
  void TearDown() override {
    if (panel && panel->pinyin()) press(u"英");
    UiTest::TearDown();
    TaskBar::set_clock_for_tests(-1);
  }
  // A tap in the middle of the key (or candidate) drawn with this label.
  void press(std::u16string_view label) {
    const Point p = panel->key_point(label);
    ASSERT_GE(p.x, 0) << "no key with a label of " << label.size() << " units";
    tap(p.x, p.y);
  }
  void letters(std::u16string_view word) {
    for (char16_t c : word) press(std::u16string(1, c));
  }
  bool has_key(std::u16string_view label) const { return panel->key_point(label).x >= 0; }
  std::string golden(const std::string& name) {
    const std::vector<uint16_t>& f = display->frame();
    return tavrin::test::compare_golden(
        TAVRIN_CONTROLS_GOLDEN, TAVRIN_CONTROLS_SHOT_DIR, name,
        {f.data(), Display::kWidth, Display::kHeight, Display::kWidth});
  }
  CBriskEdit box;
};

TEST_F(PinyinPanelTest, WomenOffersWoMenAndTheTapTypesIt) {
  press(u"中");
  EXPECT_TRUE(panel->pinyin());
  EXPECT_TRUE(has_key(u"拼音"));  // the mode reads on the space bar
  letters(u"women");
  EXPECT_EQ(panel->composing(), u"women");
  EXPECT_EQ(box.composition(), u"women");  // inline in the box, nothing typed yet
  EXPECT_EQ(box.text(), u"");
  EXPECT_TRUE(has_key(u"我们"));
  EXPECT_FALSE(has_key(u"1"));  // the bar took the digits' row
  settle();
  EXPECT_EQ(golden("pinyin_panel_candidates"), "");

  press(u"我们");
  EXPECT_EQ(box.text(), u"我们");
  EXPECT_EQ(box.composition(), u"");
  EXPECT_EQ(panel->composing(), u"");
  EXPECT_TRUE(has_key(u"1"));
  // Back in Latin mode letters type themselves.
  press(u"英");
  letters(u"ok");
  EXPECT_EQ(box.text(), u"我们ok");
}

TEST_F(PinyinPanelTest, KeysOnAComposition) {
  struct Case {
    const char* what;
    std::vector<std::u16string> keys;
    std::u16string typed;
  };
  const Case cases[] = {
      {"space takes the first candidate", {u"w", u"o", u"m", u"e", u"n", u"拼音"}, u"我们"},
      {"enter types the letters", {u"w", u"o", u"m", u"e", u"n", u"换行"}, u"women"},
      {"backspace takes a letter back",
       {u"w", u"o", u"m", u"e", u"n", u"n", u"删除", u"拼音"},
       u"我们"},
      {"backspace on the last letter ends it", {u"w", u"删除", u"删除"}, u""},
      {"a comma types after the composition", {u"w", u"o", u"m", u"e", u"n", u","}, u"我们,"},
      {"a choice in two steps",
       {u"w", u"o", u"m", u"e", u"n", u"m", u"i", u"n", u"g", u"t", u"i", u"a", u"n", u"我们",
        u"明天"},
       u"我们明天"},
  };
  press(u"中");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    box.set_text(u"");
    for (const auto& k : c.keys) press(k);
    EXPECT_EQ(box.text(), c.typed);
    EXPECT_EQ(panel->composing(), u"");
  }
}

// After the first choice the bar offers what follows it, and the box shows
// the chosen characters before the letters still open.
TEST_F(PinyinPanelTest, AChoiceLeavesTheRestComposing) {
  press(u"中");
  letters(u"womenmingtian");
  press(u"我们");
  EXPECT_EQ(box.text(), u"");
  EXPECT_EQ(box.composition(), u"我们mingtian");
  EXPECT_TRUE(has_key(u"明天"));
  // Putting the keyboard away drops what was open.
  ASSERT_TRUE(panel->show(false));
  settle();
  EXPECT_EQ(box.composition(), u"");
  EXPECT_EQ(panel->composing(), u"");
  ASSERT_TRUE(panel->show(true));
}

}  // namespace
