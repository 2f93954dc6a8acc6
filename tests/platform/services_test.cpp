// The platform's smaller services: text conversions, fonts, the display's
// overlay bands, scripts, the route check, process start, single instance.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "platform/clipboard.h"
#include "platform/display.h"
#include "platform/font.h"
#include "platform/input_panel.h"
#include "platform/leds.h"
#include "platform/network.h"
#include "platform/process.h"
#include "platform/script_player.h"
#include "platform/single_instance.h"
#include "platform/sound.h"
#include "platform/task_bar.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "temp_dir.h"

using namespace tavrin::platform;

TEST(TextCodec, ConvertsBetweenUtf8Utf16AndGb2312) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
    std::string gb2312;
  };
  const Case cases[] = {
      {"abc", u"abc", "abc"},
      {"塔文提示", u"塔文提示", "\xCB\xFE\xCE\xC4\xCC\xE1\xCA\xBE"},
      {"号码：12", u"号码：12",
       "\xBA\xC5\xC2\xEB\xA3\xBA"
       "12"},
      {"", u"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16);
    EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8);
    EXPECT_EQ(utf16_to_gb2312(c.utf16), c.gb2312);
    EXPECT_EQ(gb2312_to_utf16(c.gb2312), c.utf16);
  }
  // Astral characters pass UTF-8 <-> UTF-16 as surrogate pairs.
  EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(utf16_to_utf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(TextCodec, BadInputIsReplacedNeverTruncatedOrSplit) {
  // Bad UTF-8: a lone continuation, a truncated sequence, an overlong form,
  // an encoded surrogate.
  EXPECT_EQ(utf8_to_utf16("a\x80z"), u"a\uFFFDz");
  EXPECT_EQ(utf8_to_utf16("a\xE5\xA1"), u"a\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xC0\xAF"), u"\uFFFD");
  EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80x"), u"\uFFFDx");
  EXPECT_EQ(utf16_to_utf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
  // A character GB2312 lacks becomes '?', and the rest goes on.
  EXPECT_EQ(utf16_to_gb2312(u"a\U0001F600文"), "a?\xCE\xC4");
  // A lead byte at the end, or with a trail that is no character, gives one
  // replacement and does not eat the next character.
  EXPECT_EQ(gb2312_to_utf16("\xCE"), u"\uFFFD");
  EXPECT_EQ(gb2312_to_utf16("\xCE"
                            "a"),
            u"\uFFFDa");
  EXPECT_EQ(gb2312_to_utf16("\xFF\xFF"
                            "b"),
            u"\uFFFDb");
}

TEST(Font, BothFacesDrawMeasureAndClip) {
  auto hei = Font::make(u"黑体", 30);
  auto song = Font::make(u"宋体", 24);
  ASSERT_TRUE(hei);
  ASSERT_TRUE(song);
  EXPECT_EQ(hei->height(), 30);
  // The edit controls count a CJK character as two average widths.
  const int wide = hei->text_width(u"塔");
  EXPECT_NEAR(wide, 2 * hei->average_char_width(), 1);
  const auto ext = hei->extents(u"a塔b");
  ASSERT_EQ(ext.size(), 3u);
  EXPECT_LT(ext[0], ext[1]);
  EXPECT_LT(ext[1], ext[2]);
  EXPECT_EQ(ext[2], hei->text_width(u"a塔b"));
  // Drawing stays inside the rectangle and puts ink in it.
  std::vector<uint16_t> px(200 * 60, 0xFFFF);
  PixelBuffer565 buf{px.data(), 200, 60, 200};
  hei->draw(buf, u"塔文提示塔文提示", {10, 10, 100, 50}, 0x000000, text::kSingleLine);
  int inside = 0, outside = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x) {
      const bool in = x >= 10 && x < 100 && y >= 10 && y < 50;
      if (px[size_t(y) * 200 + size_t(x)] != 0xFFFF) ++(in ? inside : outside);
    }
  EXPECT_GT(inside, 100);
  EXPECT_EQ(outside, 0);
  // The two faces are different faces.
  std::vector<uint16_t> a(100 * 40, 0xFFFF), b(100 * 40, 0xFFFF);
  PixelBuffer565 ba{a.data(), 100, 40, 100}, bb{b.data(), 100, 40, 100};
  Font::make(u"黑体", 24)->draw(ba, u"宋体", {0, 0, 100, 40}, 0, text::kSingleLine);
  song->draw(bb, u"宋体", {0, 0, 100, 40}, 0, text::kSingleLine);
  EXPECT_NE(a, b);
}

TEST(Font, WrappingKeepsNumbersWholeAndMarksWithTheirWord) {
  auto hei = Font::make(u"黑体", 30);
  ASSERT_TRUE(hei);
  // Each case: the text, the text whose width the rectangle has, and the
  // lines the text must be drawn as.
  struct Case {
    std::u16string text, room, lines;
  } cases[] = {
      {u"手机11位", u"手机1", u"手机\n11位"},               // never "手机1" / "1位"
      {u"加入黑名单。", u"加入黑名单", u"加入黑名\n单。"},  // no line starts with "。"
      {u"12345678", u"1234", u"1234\n5678"},                // longer than a line: cut
      {u"ab cd", u"ab c", u"ab\ncd"},                       // after the space
      // Mixed text breaks at its last chance, not at its last space.
      {u"See you 明天见吧", u"See you 明天", u"See you 明天\n见吧"},
      {u"ab cd ef", u"ab cd", u"ab cd\nef"},  // a space that does not fit goes
  };
  for (const Case& c : cases) {
    const int width = hei->text_width(c.room);
    std::vector<uint16_t> wrapped(200 * 200, 0xFFFF), broken(200 * 200, 0xFFFF);
    PixelBuffer565 a{wrapped.data(), 200, 200, 200}, b{broken.data(), 200, 200, 200};
    const int h = hei->draw(a, c.text, {0, 0, width, 200}, 0, text::kWordBreak);
    hei->draw(b, c.lines, {0, 0, width, 200}, 0, 0);
    EXPECT_EQ(wrapped, broken) << utf16_to_utf8(c.text);
    EXPECT_EQ(h, hei->text_height(c.text, width, text::kWordBreak)) << utf16_to_utf8(c.text);
  }
}

TEST(Font, ATooWideLineEndsInAnEllipsis) {
  auto hei = Font::make(u"黑体", 26);
  ASSERT_TRUE(hei);
  EXPECT_EQ(hei->fitted(u"Carol", 200), u"Carol");
  const std::u16string name = u"Echo(I repeat every line after you)";
  const std::u16string cut = hei->fitted(name, 200);
  ASSERT_GE(cut.size(), 2u);
  EXPECT_EQ(cut.back(), u'…');
  EXPECT_LE(hei->text_width(cut), 200);
  EXPECT_EQ(name.substr(0, cut.size() - 1), cut.substr(0, cut.size() - 1));
  // One more character would not have fitted.
  EXPECT_GT(hei->text_width(name.substr(0, cut.size()) + u"…"), 200);
  // Drawn with the flag, the line is the fitted text.
  std::vector<uint16_t> x(220 * 40, 0xFFFF), y(220 * 40, 0xFFFF);
  PixelBuffer565 bx{x.data(), 220, 40, 220}, by{y.data(), 220, 40, 220};
  hei->draw(bx, name, {0, 0, 200, 40}, 0, text::kSingleLine | text::kEndEllipsis);
  hei->draw(by, cut, {0, 0, 200, 40}, 0, text::kSingleLine);
  EXPECT_EQ(x, y);
  // A surrogate pair is never cut in half.
  const std::u16string emoji = u"\U0001F600\U0001F600\U0001F600\U0001F600\U0001F600";
  const std::u16string e = hei->fitted(emoji, hei->text_width(u"\U0001F600\U0001F600"));
  EXPECT_EQ(e.size() % 2, 1u);
}

TEST(Display, WindowsNeverDrawOverTheTaskBarOrTheInputPanel) {
  WindowSystem ws;
  Display display(ws);
  TaskBar bar(ws, display);
  InputPanel panel(ws, display);
  while (ws.pump(0)) {
  }
  WindowSpec spec;
  spec.rect = Rect::from_size(0, 52, 480, 800);
  const WindowId w = ws.create(spec);
  std::vector<uint16_t> red(480 * 800, 0xF800);
  const uint16_t bar_pixel = display.frame()[10 * 480 + 200];
  display.present(w, 0, 0, red.data(), 480, 800, 480);
  EXPECT_EQ(display.frame()[10 * 480 + 200], bar_pixel);
  EXPECT_EQ(display.frame()[60 * 480 + 200], 0xF800);
  EXPECT_EQ(display.frame()[799 * 480 + 200], 0xF800);
  ASSERT_TRUE(panel.show(true));
  // The panel stands on the 60-row soft-key bar, which stays the window's.
  EXPECT_EQ(panel.top_edge(), 800 - 60 - InputPanel::kHeight);
  while (ws.pump(0)) {
  }
  const int panel_row = InputPanel::kBottom - 1;
  const uint16_t panel_pixel = display.frame()[size_t(panel_row) * 480 + 1];
  std::vector<uint16_t> blue(480 * 800, 0x001F);
  display.present(w, 0, 0, blue.data(), 480, 800, 480);
  EXPECT_EQ(display.frame()[size_t(panel_row) * 480 + 1], panel_pixel);
  EXPECT_EQ(display.frame()[(panel.top_edge() - 1) * 480 + 1], 0x001F);
  EXPECT_EQ(display.frame()[799 * 480 + 1], 0x001F);
  // A hidden task bar gives its rows to the windows (full-screen boxes).
  ws.show(bar.window(), false);
  display.present(w, 0, 0, blue.data(), 480, 800, 480);
  EXPECT_EQ(display.frame()[10 * 480 + 200], 0x001F);
  ASSERT_TRUE(panel.show(false));
  EXPECT_EQ(panel.top_edge(), 800);
}

TEST(Script, ParsesEveryCommandAndRejectsBadLinesWithTheirNumber) {
  std::string error;
  auto steps = ScriptPlayer::parse(
      "# comment\n\ntap 1 2\ndrag 1 2 3 4\ndrag 1 2 3 4 50\nkey left shift\nkey c ctrl\n"
      "text 你好 world\nwait 10\nscreenshot a.png\nquit\nquit 3\ndown 1 1\nmove 2 2\nup 3 3\n",
      &error);
  ASSERT_TRUE(steps) << error;
  ASSERT_EQ(steps->size(), 13u);
  EXPECT_EQ((*steps)[1].numbers, (std::vector<int>{1, 2, 3, 4, 200}));
  EXPECT_EQ((*steps)[5].text, "你好 world");
  EXPECT_EQ((*steps)[8].numbers, std::vector<int>{0});
  const std::pair<std::string, std::string> bad[] = {
      {"tap 1\n", "line 1: tap wants X Y"},
      {"wait 5\ntap 1 2 3\n", "line 2: tap wants X Y"},
      {"key nosuchkey\n", "line 1: key wants a key name"},
      {"key a alt\n", "line 1: unknown key modifier alt"},
      {"screenshot\n", "line 1: screenshot wants a file name"},
      {"jump 1\n", "line 1: unknown command jump"},
      {"wait -1\n", "line 1: wait wants MS"},
  };
  for (const auto& [text, why] : bad) {
    EXPECT_FALSE(ScriptPlayer::parse(text, &error)) << text;
    EXPECT_EQ(error, why);
  }
}

TEST(Script, ReplaysInputOnceTheClientIsIdle) {
  WindowSystem ws;
  Display display(ws);
  std::vector<std::string> seen;
  WindowSpec spec;
  spec.rect = Rect::from_size(0, 52, 480, 800);
  spec.handler = [&](const Message& m) -> intptr_t {
    if (m.id == msg::kStylusDown) seen.push_back("down " + std::to_string(lparam_y(m.lparam)));
    if (m.id == msg::kStylusUp) seen.push_back("up");
    if (m.id == msg::kChar) seen.push_back("char " + std::to_string(m.wparam));
    if (m.id == msg::kKeyDown && m.wparam != key::kShift && ws.key_held(key::kShift))
      seen.push_back("shift+" + std::to_string(m.wparam));
    return 0;
  };
  const WindowId w = ws.create(spec);
  ws.set_focus(w);
  TempDir dir;
  auto steps = ScriptPlayer::parse(
      "tap 10 152\ntext 塔\nkey end shift\nkey backspace\nwait 20\nscreenshot " +
          dir.file("s.png") + "\nquit 4\n",
      nullptr);
  ASSERT_TRUE(steps);
  ScriptPlayer player(ws, display, std::move(*steps));
  EXPECT_EQ(ws.run(), 4);
  EXPECT_TRUE(player.finished());
  EXPECT_TRUE(player.failures().empty());
  EXPECT_TRUE(std::filesystem::exists(dir.file("s.png")));
  EXPECT_EQ(seen, (std::vector<std::string>{"down 100", "up", "char " + std::to_string(u'塔'),
                                            "shift+" + std::to_string(key::kEnd), "char 8"}));
}

TEST(Network, RouteCheckReadsTheKernelTables) {
  const std::string header = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n";
  const std::string v4_default = header + "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\n";
  const std::string v4_lan = header + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\n";
  const std::string v4_down = header + "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\n";
  const std::string v4_lo = header + "lo\t0000007F\t00000000\t0001\t0\t0\t0\t000000FF\n";
  const std::string v6_default =
      "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
      "fe800000000000000000000000000001 00000400 00000002 00000000 00000003 eth0\n";
  const std::string v6_reject =
      "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
      "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200 lo\n";
  using D = Network::Destination;
  struct Case {
    std::string v4, v6;
    bool work, internet;
  };
  const Case cases[] = {
      {v4_default, "", true, true},     {v4_lan, "", true, false},
      {v4_down, "", false, false},      {v4_lo, v6_reject, false, false},
      {header, v6_default, true, true}, {"", "", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Network::has_route(D::kWork, c.v4, c.v6), c.work) << c.v4 << c.v6;
    EXPECT_EQ(Network::has_route(D::kInternet, c.v4, c.v6), c.internet) << c.v4 << c.v6;
  }
  // A bring-up that cannot succeed gives up after its time-out.
  if (!Network::has_route(D::kInternet)) EXPECT_EQ(Network::connect(D::kInternet, 300), 0u);
  const uint64_t h = Network::has_route(D::kWork) ? Network::connect(D::kWork, 300) : 0;
  if (h) {
    EXPECT_EQ(Network::open_connections(), 1);
    Network::release(h);
    EXPECT_EQ(Network::open_connections(), 0);
  }
}

TEST(Process, StartsAProgramAndWaitsBoundedForIt) {
  auto pid = Process::start("/bin/sh", {"-c", "exit 3"});
  ASSERT_TRUE(pid);
  int code = 0;
  EXPECT_TRUE(Process::wait(*pid, 10000, &code));
  EXPECT_EQ(code, 3);
  auto slow = Process::start("/bin/sleep", {"5"});
  ASSERT_TRUE(slow);
  EXPECT_FALSE(Process::wait(*slow, 50));
  kill(*slow, SIGKILL);
  EXPECT_TRUE(Process::wait(*slow, 10000));
  EXPECT_FALSE(Process::start("no-such-program-here", {}));
}

TEST(SingleInstance, SecondHolderAsksTheFirstToActivate) {
  TempDir dir;
  std::atomic<int> asked{0};
  std::atomic<bool> has_window{false};
  {
    SingleInstance first("Dialog", dir.path);
    ASSERT_TRUE(first.acquire());
    SingleInstance second("Dialog", dir.path);
    EXPECT_FALSE(second.acquire());
    // Nobody listens yet: no answer, at once.
    EXPECT_FALSE(second.ask_running_to_activate(500));
    ASSERT_TRUE(first.listen([&] {
      ++asked;
      return has_window.load();
    }));
    // Still starting, no window: the second must start normally.
    EXPECT_FALSE(second.ask_running_to_activate(2000));
    has_window = true;
    EXPECT_TRUE(second.ask_running_to_activate(2000));
    EXPECT_EQ(asked.load(), 2);
    // Another name is another instance.
    SingleInstance other("Other", dir.path);
    EXPECT_TRUE(other.acquire());
  }
  // Once the first is gone the lock is free again, and a stale socket file
  // from it does not confuse the next.
  SingleInstance next("Dialog", dir.path);
  EXPECT_TRUE(next.acquire());
  EXPECT_TRUE(next.listen([] { return true; }));
}

TEST(Leds, TheNotificationLightFlashesTheTaskBar) {
  WindowSystem ws;
  Display display(ws);
  TaskBar bar(ws, display);
  while (ws.pump(0)) {
  }
  const uint16_t dark = display.frame()[40 * 480 + 2];
  EXPECT_EQ(Leds::device_count(), 2);
  EXPECT_FALSE(Leds::set(2, true));
  // Set from another thread, as a timer procedure might.
  std::thread([] { EXPECT_TRUE(Leds::set(0, true)); }).join();
  while (ws.pump(0)) {
  }
  EXPECT_EQ(display.frame()[40 * 480 + 2], bgr_to_565(0x0090FF));
  Leds::set(0, false);
  while (ws.pump(0)) {
  }
  EXPECT_EQ(display.frame()[40 * 480 + 2], dark);
}

TEST(TaskBar, TheTitleKeepsLeftOfTheClientsIcon) {
  WindowSystem ws;
  Display display(ws);
  TaskBar bar(ws, display);
  WindowSpec spec;
  spec.rect = Rect::from_size(0, 52, 480, 800);
  const WindowId w = ws.create(spec);
  ws.show(w, true);
  ws.set_active(w);
  // Ink in the task bar's rows between two columns.
  auto ink = [&](int x0, int x1) {
    const uint16_t bar_colour = bgr_to_565(0x382820);
    int n = 0;
    for (int y = 0; y < TaskBar::kHeight - 1; ++y)
      for (int x = x0; x < x1; ++x) n += display.frame()[size_t(y) * 480 + size_t(x)] != bar_colour;
    return n;
  };
  for (const char16_t* title : {u"BriskTavrin", u"查看好友资料", u"请选择你要设置的背景图片:"}) {
    ws.set_title(w, title);
    while (ws.pump(0)) {
    }
    EXPECT_GT(ink(0, 126), 0) << utf16_to_utf8(title);
    EXPECT_EQ(ink(126, 300), 0) << utf16_to_utf8(title);  // the icon's place, and past it
  }
  ws.destroy(w);
}

TEST(Sound, PlaysAWavFileAndIgnoresWhatItCannotPlay) {
  // No sound card in tests: SDL's dummy audio device takes the samples.
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  TempDir dir;
  // 0.1 s of 8-bit mono silence at 8 kHz.
  std::string wav = "RIFF";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) wav.push_back(char(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    wav.push_back(char(v));
    wav.push_back(char(v >> 8));
  };
  const uint32_t samples = 800;
  u32(36 + samples);
  wav += "WAVEfmt ";
  u32(16), u16(1), u16(1), u32(8000), u32(8000), u16(1), u16(8);
  wav += "data";
  u32(samples);
  wav += std::string(samples, char(0x80));
  std::ofstream(dir.file("newmessage.wav"), std::ios::binary) << wav;
  std::ofstream(dir.file("broken.wav"), std::ios::binary) << "RIFF....WAVEjunk";
  const int before = Sound::played();
  EXPECT_TRUE(Sound::play_async(dir.file("newmessage.wav")));
  EXPECT_TRUE(Sound::play_async(dir.file("newmessage.wav")));  // replaces the first
  EXPECT_FALSE(Sound::play_async(dir.file("missing.wav")));
  EXPECT_FALSE(Sound::play_async(dir.file("broken.wav")));
  EXPECT_EQ(Sound::played(), before + 2);
  Sound::shutdown();
}

TEST(Clipboard, HoldsPlainTextUntilCleared) {
  Clipboard::clear();
  EXPECT_FALSE(Clipboard::text());
  Clipboard::set_text(u"塔文 123");
  EXPECT_EQ(Clipboard::text(), std::u16string(u"塔文 123"));
  Clipboard::set_text(u"");
  EXPECT_EQ(Clipboard::text(), std::u16string());
  Clipboard::clear();
  EXPECT_FALSE(Clipboard::text());
}
