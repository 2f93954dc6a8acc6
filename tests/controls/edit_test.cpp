// The edit fields driven through the window system: caret moves over
// double-byte characters, selection and the clipboard, the maximum length,
// and the multi-line box refusing what it cannot show.
#include "controls/CBriskEdit.h"
#include "controls/CEditWnd.h"
#include "controls/GbText.h"
#include "platform/clipboard.h"
#include "platform/text_codec.h"
#include "ui_fixture.h"

using namespace tavrin::controls;
using namespace tavrin::platform;

namespace {

class EditTest : public controls_test::UiTest {
 protected:
  // A field at window (40, 100)-(440, 150), display (40, 152)-(440, 202),
  // focused by a tap on its left end.
  void make_field(size_t max_length, std::u16string_view text) {
    ASSERT_TRUE(field.create(main, {40, 100, 440, 150}, max_length));
    settle();
    field.set_text(text);
    tap(45, 170);
    ASSERT_EQ(ws->focus(), field.window());
  }
  std::string gb(std::u16string_view s) { return utf16_to_gb2312(s); }
  CEditWnd field;
};

TEST_F(EditTest, CaretStepsOverWholeDoubleByteCharacters) {
  make_field(64, u"ab中文c");
  key(key::kEnd);
  EXPECT_EQ(field.caret(), 7u);
  key(key::kLeft);  // over "c"
  EXPECT_EQ(field.caret(), 6u);
  key(key::kLeft);  // over "文": two bytes
  EXPECT_EQ(field.caret(), 4u);
  key(key::kUp);  // Up moves as Left
  EXPECT_EQ(field.caret(), 2u);
  key(key::kRight);
  EXPECT_EQ(field.caret(), 4u);
  key(key::kDown);
  EXPECT_EQ(field.caret(), 6u);
  key(key::kHome);
  EXPECT_EQ(field.caret(), 0u);
}

TEST_F(EditTest, BackspaceDeleteAndTapsNeverSplitACharacter) {
  make_field(64, u"a中b");
  key(key::kEnd);
  key(key::kLeft);  // before "b"
  type(u"\b");      // removes "中" whole
  EXPECT_EQ(field.text(), u"ab");
  EXPECT_EQ(field.caret(), 1u);
  field.set_text(u"中文");
  key(key::kHome);
  key(key::kDelete);
  EXPECT_EQ(field.text(), u"文");
  // A tap anywhere over the text lands on a character boundary.
  field.set_text(u"中文中文中文中文");
  for (int x = 40; x < 300; x += 3) {
    tap(x, 170);
    EXPECT_TRUE(gb::is_boundary(field.text_bytes(), field.caret())) << x;
  }
  // Tapping the field brings up the soft input panel.
  EXPECT_TRUE(panel->shown());
}

TEST_F(EditTest, ShiftEndThenCtrlCCopiesExactlyTheSelectedBytes) {
  make_field(64, u"你好abc世界");
  key(key::kHome);
  key(key::kRight);  // after "你"
  key(key::kEnd, /*shift=*/true);
  EXPECT_EQ(field.selected_bytes(), gb(u"好abc世界"));
  type(u"\x03");
  const auto clip = Clipboard::text();
  ASSERT_TRUE(clip.has_value());
  EXPECT_EQ(utf16_to_gb2312(*clip), gb(u"好abc世界"));

  // Shift+Left shrinks it by a whole character; Ctrl+X cuts; Ctrl+V puts it back.
  key(key::kLeft, true);
  EXPECT_EQ(field.selected_bytes(), gb(u"好abc世"));
  type(u"\x18");
  EXPECT_EQ(field.text(), u"你界");
  EXPECT_EQ(field.caret(), 2u);
  type(u"\x16");
  EXPECT_EQ(field.text(), u"你好abc世界");
  // Home with Shift selects back to the start.
  key(key::kHome, true);
  EXPECT_EQ(field.selected_bytes(), gb(u"你好abc世"));
}

TEST_F(EditTest, TypingAtTheMaximumLength) {
  make_field(6, u"abcde");
  key(key::kEnd);
  type(u"中");  // needs two bytes, one is left: refused whole
  EXPECT_EQ(field.text(), u"abcde");
  type(u"f");
  EXPECT_EQ(field.text(), u"abcdef");
  type(u"g");  // full, no selection: nothing changes
  EXPECT_EQ(field.text(), u"abcdef");
  EXPECT_EQ(field.caret(), 6u);
  // With a selection, the selection goes and the character takes its place.
  key(key::kLeft, true);
  key(key::kLeft, true);
  type(u"中");
  EXPECT_EQ(field.text(), u"abcd中");
  // A paste is cut at the maximum length, between characters.
  Clipboard::set_text(u"文文");
  key(key::kHome);
  key(key::kRight);
  key(key::kDelete);
  key(key::kDelete);
  key(key::kDelete);  // "a中", caret after "a": room for three bytes
  type(u"\x16");
  EXPECT_EQ(field.text(), u"a文中");
  EXPECT_LE(field.text_bytes().size(), 6u);
}

TEST_F(EditTest, LongTextScrollsSoTheCaretStaysVisible) {
  make_field(200, u"");
  // The field's face is proportional: wide letters, narrow ones, double-byte
  // ones and a mix all keep the caret inside the field, at End, while the
  // caret steps and while typing.
  const auto repeat = [](std::u16string_view unit, int n) {
    std::u16string s;
    for (int i = 0; i < n; ++i) s += unit;
    return s;
  };
  for (const std::u16string& text :
       {repeat(u"W", 60), repeat(u"b", 60), repeat(u"i", 120), repeat(u"x汉汉", 20)}) {
    SCOPED_TRACE(int(text[0]));
    field.set_text(text);
    const size_t size = field.text_bytes().size();
    EXPECT_EQ(field.caret(), size);
    EXPECT_GT(field.first_visible(), 0u);
    EXPECT_LT(field.caret_x(), field.text_right());
    EXPECT_TRUE(gb::is_boundary(field.text_bytes(), field.first_visible()));
    key(key::kHome);
    EXPECT_EQ(field.first_visible(), 0u);
    for (size_t i = 0; i < size; ++i) {
      key(key::kRight);
      ASSERT_LT(field.caret_x(), field.text_right()) << field.caret();
    }
    key(key::kEnd);
    const size_t end_view = field.first_visible();
    // Taps land where the scrolled text is drawn: on the field's left edge,
    // the first character shown; just before the caret, the caret's place.
    tap(40 + 7, 170);
    EXPECT_EQ(field.caret(), end_view);
    key(key::kEnd);
    const int caret_at = field.caret_x();
    tap(40 + caret_at - 1, 170);
    EXPECT_EQ(field.caret(), size);
    EXPECT_EQ(field.first_visible(), end_view);
    // Deleting back to a text that fits slides it home.
    field.clear();
    type(text.substr(0, 3));
    EXPECT_EQ(field.first_visible(), 0u);
    type(text.substr(3));
    EXPECT_LT(field.caret_x(), field.text_right());
    for (size_t i = 0; i + 3 < text.size(); ++i) type(u"\b");
    EXPECT_EQ(field.first_visible(), 0u);
  }
  // Pasted line breaks do not enter a one-line field.
  field.clear();
  Clipboard::set_text(u"a\r\nb\tc");
  type(u"\x16");
  EXPECT_EQ(field.text(), u"abc");
}

// The input method's composition shows at the caret without entering the
// text, the candidate window is asked for at the caret, the commit goes in
// as whole characters, and a composition that would not fit is never half
// stored. Losing the focus ends the composition.
TEST_F(EditTest, InputMethodCompositionAndCommit) {
  make_field(6, u"ab");
  key(key::kEnd);
  const std::vector<uint16_t> before = display->frame();
  ws->composition(u"ni hao", 6);
  EXPECT_EQ(field.composition(), u"ni hao");
  EXPECT_EQ(field.text(), u"ab");
  EXPECT_NE(display->frame(), before);  // drawn inline
  // The candidate window goes to the caret, after the composed text.
  const Rect at = ws->text_input_rect();
  EXPECT_GT(at.left, 40 + 6);
  EXPECT_GE(at.top, 152);
  EXPECT_LE(at.bottom, 202);
  // The commit: the composition ends, the characters arrive one by one.
  ws->composition(u"", 0);
  type(u"你好吗");
  EXPECT_TRUE(field.composition().empty());
  EXPECT_EQ(field.text(), u"ab你好");  // 6 bytes: the third character does not fit whole
  EXPECT_EQ(field.text_bytes(), gb(u"ab你好"));
  ws->composition(u"zai", 3);
  ws->set_focus(0);
  EXPECT_TRUE(field.composition().empty());
}

class BriskEditTest : public controls_test::UiTest {};

TEST_F(BriskEditTest, InputMethodCompositionIsDrawnAtTheCaretOnly) {
  CBriskEdit box;
  ASSERT_TRUE(box.create(main, {20, 300, 460, 400}, 100));
  settle();
  tap(30, 360);
  box.set_text(u"hi ");
  ws->composition(u"生日", 2);
  EXPECT_EQ(box.composition(), u"生日");
  EXPECT_EQ(box.text(), u"hi ");
  const Point caret = box.caret_position(box.caret());
  EXPECT_GT(ws->text_input_rect().left, 20 + caret.x);
  ws->composition(u"", 0);
  type(u"生日");
  EXPECT_EQ(box.text(), u"hi 生日");
  EXPECT_TRUE(box.composition().empty());
}

TEST_F(BriskEditTest, RefusesACharacterThatNeedsALineItCannotShow) {
  CBriskEdit box;
  auto font = Font::make(u"黑体", 24);
  ASSERT_TRUE(font);
  const int line = font->height() + 4;
  ASSERT_TRUE(box.create(main, {20, 300, 20 + 10 * font->average_char_width(), 300 + 2 * line}, 500,
                         font, 4));
  ASSERT_EQ(box.lines_per_view(), 2);
  EXPECT_EQ(box.max_length(), size_t(2 * box.chars_per_line()));
  tap(30, 360);
  // Fill both lines with wide characters; the next one would need a third line.
  std::u16string typed;
  while (box.layout().size() <= 2 && typed.size() < 40) {
    const std::u16string before = box.text();
    type(u"汉");
    if (box.text() == before) break;
    typed += u'汉';
  }
  const std::u16string full = box.text();
  ASSERT_EQ(box.layout().size(), 2u);
  type(u"汉");
  EXPECT_EQ(box.text(), full);
  EXPECT_EQ(box.caret(), full.size());
  // Enter on a box showing all its lines inserts nothing either.
  type(u"\r");
  EXPECT_EQ(box.text(), full);
  // Backspace makes room again.
  type(u"\b");
  EXPECT_EQ(box.text().size(), full.size() - 1);
  box.set_text(u"a");
  type(u"\r");
  EXPECT_EQ(box.text(), u"a\n");
  EXPECT_EQ(box.line_count(2), 2);
  EXPECT_EQ(box.caret_position(2).y, line);
}

// Latin and mixed text: the caret stands where the drawn text ends, taps
// land on the character drawn there, and a Latin word is never cut when a
// space before it lets it move to the next line.
TEST_F(BriskEditTest, LatinAndMixedTextUseTheAdvancesItIsDrawnWith) {
  CBriskEdit box;
  auto font = Font::make(u"黑体", 24);
  ASSERT_TRUE(font);
  const int line = font->height() + 4;
  ASSERT_TRUE(box.create(main, {20, 300, 260, 300 + 4 * line}, 200, font, 4));
  for (std::u16string_view text : {u"reply from alice", u"生日快乐 happy birthday", u"iiii WWWW"}) {
    SCOPED_TRACE(utf16_to_utf8(text));
    box.set_text(text);
    const auto lines = box.layout();
    const size_t last = lines[0].end - 1;  // the wrap point itself belongs to line 2
    EXPECT_EQ(box.caret_position(last).x - CBriskEdit::kLeftMargin,
              font->text_width(text.substr(0, last)));
    for (size_t n = 0; n < lines.size(); ++n) {
      // No line starts inside a Latin word.
      const size_t s = lines[n].start;
      if (n > 0 && s > 0 && s < text.size()) {
        const bool inside =
            text[s - 1] != u' ' && text[s - 1] < 0x2000 && text[s] < 0x2000 && text[s] != u' ';
        EXPECT_FALSE(inside) << "line " << n << " starts at " << s;
      }
      // A tap just right of a character's left edge finds it.
      for (size_t i = lines[n].start; i < lines[n].end; ++i) {
        const Point at = box.caret_position(i);
        EXPECT_EQ(box.index_at({at.x + 1, at.y + 2}), i);
      }
    }
  }
}

}  // namespace
