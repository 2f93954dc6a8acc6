// fx_msg_qt_format and fx_msg_no_format.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "libtavrin.h"

namespace {

std::string take(char* s) {
  std::string out = s ? s : "(null)";
  std::free(s);
  return out;
}

TEST(ChatText, QtFormatRewritesColorAndSizeOfTopLevelFonts) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"plain text", "plain text"},
      {"<p>not a font</p>", "<p>not a font</p>"},
      {"<Font Size=\"16\">hi</Font>", "<Font Size=\"10\">hi</Font>\n"},
      // low 16 bits of the colour, as six hex digits
      {"<Font Color=\"305419896\" Size=\"9\">x</Font>",
       "<Font Color=\"#005678\" Size=\"3\">x</Font>\n"},
      {"<Font Color=\"255\">a</Font><Font Color=\"red\">b</Font>",
       "<Font Color=\"#0000ff\">a</Font>\n<Font Color=\"red\">b</Font>\n"},
      {"<Font Size=\"12\"><B>bold</B></Font>", "<Font Size=\"6\">\n    <B>bold</B>\n</Font>\n"},
      {"<Font", "<Font"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(take(fx_msg_qt_format(c.in)), c.out) << c.in;
  EXPECT_EQ(fx_msg_qt_format(nullptr), nullptr);
}

TEST(ChatText, NoFormatReturnsTheBareTextOfFonts) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"plain text", "plain text"},
      {"<Font Size=\"10\"><B>bold</B></Font>", "bold"},
      {"<B><Font>x</Font></B>", "x"},                                 // tag at the very start
      {"<Font><I><I>a</I></I><B></B>b</Font><Font>c</Font>", "abc"},  // adjacent repeats
      {"<p>no font</p>", "<p>no font</p>"},
      {"<Font><U>u</U></Font>", ""},               // first child not text: nothing
      {"<Font>a</Font><B>", "<Font>a</Font><B>"},  // does not parse at first
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(take(fx_msg_no_format(c.in)), c.out) << c.in;
  EXPECT_EQ(fx_msg_no_format(nullptr), nullptr);
}

}  // namespace
