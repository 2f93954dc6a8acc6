// Fitting a line into a width (Font::fitted, which every shortened text
// uses): unchanged when it fits, else its start and
// "…" within the width, never half of a character written as a pair.
#include <gtest/gtest.h>

#include "platform/font.h"

namespace tavrin::test {
namespace {

using platform::Font;

TEST(TextFit, KeepsWhatFitsAndCutsTheRestWithAnEllipsis) {
  const auto font = Font::make(u"黑体", 30);
  ASSERT_TRUE(font);
  const std::u16string name = u"Bartholomew Montgomery-Smith";
  const int whole = font->text_width(name);
  EXPECT_EQ(font->fitted(name, whole), name);
  for (int width : {whole - 1, whole / 2, 60, font->text_width(u"…")}) {
    SCOPED_TRACE(width);
    const std::u16string cut = font->fitted(name, width);
    EXPECT_TRUE(cut.ends_with(u"…"));
    EXPECT_TRUE(name.starts_with(cut.substr(0, cut.size() - 1)));
    EXPECT_LE(font->text_width(cut), width);
  }
  EXPECT_EQ(font->fitted(name, 3), u"");  // not even the ellipsis
  EXPECT_EQ(font->fitted(u"", 0), u"");
}

TEST(TextFit, NeverSplitsASurrogatePair) {
  const auto font = Font::make(u"黑体", 30);
  ASSERT_TRUE(font);
  const std::u16string text = u"ab\U0001F600\U0001F600\U0001F600";
  for (int width = 0; width < font->text_width(text); ++width) {
    const std::u16string cut = font->fitted(text, width);
    if (cut.size() < 2) continue;
    const char16_t last = cut[cut.size() - 2];  // before the ellipsis
    EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << width;
  }
}

}  // namespace
}  // namespace tavrin::test
