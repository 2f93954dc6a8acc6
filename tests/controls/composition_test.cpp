// The input method's composition typed in the middle of a text, through the
// desktop backend's own path: SDL text-editing events pushed into SDL's
// queue and read by the headless backend. The composition stands inline at
// the caret and pushes the rest of the text on (wrapping it in the
// multi-line box); the caret and the candidate window follow its cursor;
// a cancel gives back the very frame from before; a commit goes in at the
// caret. Goldens pin what the user sees.
#include <SDL.h>

#include <cstring>

#include "controls/CBriskEdit.h"
#include "controls/CEditWnd.h"
#include "golden.h"
#include "platform/sdl_backend.h"
#include "platform/task_bar.h"
#include "ui_fixture.h"

using namespace tavrin::controls;
using namespace tavrin::platform;

namespace {

class CompositionTest : public controls_test::UiTest {
 protected:
  void SetUp() override {
    TaskBar::set_clock_for_tests(12 * 60);  // the goldens show 12:00
    UiTest::SetUp();
    std::string why;
    backend = SdlBackend::open(*ws, *display, {.headless = true}, &why);
    ASSERT_TRUE(backend) << why;
  }
  void TearDown() override {
    backend.reset();
    UiTest::TearDown();
    TaskBar::set_clock_for_tests(-1);
  }
  // What the input method sends while composing: UTF-8 text and its cursor
  // counted in characters. An empty text ends the composition.
  void editing(const char* utf8, int cursor) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    e.edit.windowID = 0;
    std::strncpy(e.edit.text, utf8, sizeof e.edit.text - 1);
    e.edit.start = cursor;
    e.edit.length = 0;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    backend->poll();
    settle();
  }
  // A whole composition taken: its text, its end, then the commit.
  void compose_and_commit(const char* composing, const char* committed) {
    editing(composing, int(std::strlen(composing)));
    editing("", 0);
    commit(committed);
  }
  // The multi-line box at display (20, 352)-(460, 472), focused, holding text.
  void make_box(CBriskEdit& box, std::u16string_view text) {
    ASSERT_TRUE(box.create(main, {20, 300, 460, 420}, 100));
    settle();
    tap(30, 360);
    box.set_text(text);
  }
  // The commit, as the input method sends it.
  void commit(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    backend->poll();
    settle();
  }
  std::string golden(const std::string& name) {
    const std::vector<uint16_t>& f = display->frame();
    return tavrin::test::compare_golden(
        TAVRIN_CONTROLS_GOLDEN, TAVRIN_CONTROLS_SHOT_DIR, name,
        {f.data(), Display::kWidth, Display::kHeight, Display::kWidth});
  }
  // Where two frames differ first, as "x,y" (empty when they are equal).
  static std::string first_difference(const std::vector<uint16_t>& a,
                                      const std::vector<uint16_t>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
      if (a[i] != b[i])
        return std::to_string(i % Display::kWidth) + "," + std::to_string(i / Display::kWidth);
    return a.size() == b.size() ? "" : "sizes";
  }
  std::unique_ptr<SdlBackend> backend;
};

TEST_F(CompositionTest, SingleLineFieldPushesTheRestOfItsTextRight) {
  CEditWnd field;
  ASSERT_TRUE(field.create(main, {40, 100, 440, 150}, 64));  // display y 152-202
  settle();
  field.set_text(u"ab中文cd");
  tap(45, 170);
  key(key::kHome);
  key(key::kRight);
  key(key::kRight);  // between "ab" and "中文cd"
  ASSERT_EQ(field.caret(), 2u);
  settle();
  const Rect caret_before = ws->text_input_rect();
  const std::vector<uint16_t> before = display->frame();

  editing("zhong guo", 5);  // the input method's cursor after "zhong"
  EXPECT_EQ(field.composition(), u"zhong guo");
  EXPECT_EQ(field.text(), u"ab中文cd");
  // The candidate window stands at the composition's cursor: right of the
  // old caret, left of the composition's end.
  const Rect at_cursor = ws->text_input_rect();
  EXPECT_GT(at_cursor.left, caret_before.left);
  EXPECT_EQ(golden("edit_composition_mid_text"), "");
  editing("zhong guo", 9);
  EXPECT_GT(ws->text_input_rect().left, at_cursor.left);

  // Cancelled: the field is drawn exactly as before.
  editing("", 0);
  EXPECT_TRUE(field.composition().empty());
  EXPECT_EQ(first_difference(display->frame(), before), "");
  EXPECT_EQ(ws->text_input_rect(), caret_before);

  compose_and_commit("zhong guo", "中国");
  EXPECT_EQ(field.text(), u"ab中国中文cd");
  EXPECT_EQ(field.caret(), 6u);
}

// Near the right edge the line slides left so the whole composition shows;
// one wider than the field still shows its cursor.
TEST_F(CompositionTest, SingleLineFieldSlidesToShowTheComposition) {
  CEditWnd field;
  ASSERT_TRUE(field.create(main, {40, 100, 440, 150}, 64));
  settle();
  field.set_text(u"塔文号码一二三四五六七八九");
  tap(45, 170);
  key(key::kEnd);
  key(key::kLeft);
  key(key::kLeft);  // before "八九"
  editing("shi yi", 6);
  const Rect cursor = ws->text_input_rect();
  EXPECT_LT(cursor.left, 440 - 6);
  EXPECT_GT(cursor.left, 40 + 6);
  EXPECT_EQ(golden("edit_composition_slides"), "");
  editing("abcdefghijklmnopqrstuvwxyzabcde", 31);
  EXPECT_LT(ws->text_input_rect().left, 440 - 6);
  EXPECT_EQ(field.text(), u"塔文号码一二三四五六七八九");
}

TEST_F(CompositionTest, MultiLineBoxPushesAndWrapsTheRestOfItsText) {
  CBriskEdit box;
  make_box(box, u"今天一起去吃饭吧，我请客。See you");
  for (int i = 0; i < 18; ++i) key(key::kLeft);  // after "今天"
  ASSERT_EQ(box.caret(), 2u);
  ASSERT_EQ(box.layout().size(), 1u);
  settle();
  const Rect caret_before = ws->text_input_rect();
  const std::vector<uint16_t> before = display->frame();

  editing("wan shang", 3);
  EXPECT_EQ(box.text(), u"今天一起去吃饭吧，我请客。See you");
  EXPECT_EQ(box.composition(), u"wan shang");
  // The cursor after "wan", on the caret's line.
  const Rect at_cursor = ws->text_input_rect();
  EXPECT_GT(at_cursor.left, caret_before.left);
  EXPECT_EQ(at_cursor.top, caret_before.top);
  // "See you" is pushed past the edge onto the second line.
  EXPECT_EQ(golden("brisk_edit_composition_wraps"), "");

  editing("", 0);
  EXPECT_EQ(first_difference(display->frame(), before), "");
  compose_and_commit("wan shang", "晚上");
  EXPECT_EQ(box.text(), u"今天晚上一起去吃饭吧，我请客。See you");
  EXPECT_EQ(box.caret(), 4u);
}

// A composition that runs past the edge of the box's line carries its
// cursor, and the candidate window, onto the next line.
TEST_F(CompositionTest, MultiLineBoxCursorFollowsTheCompositionOntoTheNextLine) {
  CBriskEdit box;
  make_box(box, u"一二三四五六七八九十一二三四五");
  const Rect caret_before = ws->text_input_rect();
  editing("zhe shi yi ge hen chang de ci", 29);
  EXPECT_GT(ws->text_input_rect().top, caret_before.top);
  EXPECT_LT(ws->text_input_rect().left, caret_before.left);
}

// A composition that runs past the box's last line lifts the view while it
// lasts: its cursor and the candidate window stay inside the box.
TEST_F(CompositionTest, MultiLineBoxLiftsAnOverflowingCompositionIntoView) {
  CBriskEdit box;
  make_box(box, u"");
  // Every line the box shows, full but for a few characters.
  const std::u16string_view words = u"今天天气很好，我们一起去公园散步吧。";
  std::u16string text;
  for (size_t i = 0; box.layout().size() <= size_t(box.lines_per_view()); ++i) {
    text += words[i % words.size()];
    box.set_text(text);
  }
  text.resize(text.size() - 3);
  box.set_text(text);
  settle();
  const std::vector<uint16_t> before = display->frame();
  editing("zhe shi yi ge hen chang de ci", 29);
  const Rect cursor = ws->text_input_rect();
  EXPECT_LE(cursor.bottom, 472);
  EXPECT_GE(cursor.top, 352);
  EXPECT_EQ(golden("brisk_edit_composition_lifts"), "");
  editing("", 0);
  EXPECT_EQ(first_difference(display->frame(), before), "") << "the view comes back down";
}

}  // namespace
