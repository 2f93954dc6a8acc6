// The design check: first that it sees what a person sees (a text cut at
// its place, an empty box, a number wrapped apart, a mark alone at a line
// start, ink that does not stand out), then a walk through the main screens
// as a person uses them, in every theme preset, with the check over every
// text drawn on the way.
#include <vector>

#include "chat_fixture.h"
#include "controls/CMsgBoxDlg.h"
#include "gfx/Painter.h"
#include "platform/leds.h"
#include "platform/text_codec.h"
#include "screens/chat/CBriskLibTavrinMsg.h"
#include "screens/login/CLoginDlg.h"
#include "test_pictures.h"
#include "shell/app_paths.h"
#include "shell/theme_colors.h"
#include "shell/theme_presets.h"

namespace tavrin::test {
namespace {

using gfx::Painter;
using platform::text_probe::Drawn;
using platform::text_probe::Line;
namespace text = platform::text;

constexpr uint32_t kNavy = 0x42301F, kWhite = 0xFFFFFF;

// The faults the check finds in what draw puts on a 480 x 800 canvas of bg.
std::vector<std::string> faults_of(uint32_t bg, const std::function<void(Painter&)>& draw) {
  std::vector<uint16_t> pixels(480 * 800, platform::bgr_to_565(bg));
  DesignCheck check;
  Painter p(gfx::PixelCanvas{800, 480, pixels.data(), 0});
  draw(p);
  std::vector<std::string> out;
  for (const Drawn& d : check.take())
    for (std::string& f : design_faults(d)) out.push_back(std::move(f));
  return out;
}

TEST(DesignCheckTest, NamesEachFaultAPersonWouldSeeAndPassesWhatReads) {
  const std::u16string progress = u"登录进度：请输入正确的塔文号码";
  struct Case {
    const char* what;
    uint32_t bg;
    std::function<void(Painter&)> draw;
    const char* fault;  // part of the one fault expected; "" for none
  } cases[] = {
      {"a line wider than its place", kNavy,
       [&](Painter& p) {
         p.text(progress, {50, 410, 440, 450}, 28, kWhite, text::kVCenter | text::kSingleLine);
       },
       "is cut at the side"},
      {"the same line in a face that fits", kNavy,
       [&](Painter& p) {
         p.fitted_text(progress, {50, 410, 440, 450}, 28, 20, kWhite, text::kVCenter);
       },
       ""},
      {"a centred title wider than its band", kNavy,
       [](Painter& p) {
         p.text(u"与 Bartholomew Fitzgerald 聊天中（聊天模式）", {12, 0, 468, 40}, 26, kWhite,
                text::kCenter | text::kVCenter | text::kSingleLine);
       },
       "is cut at the side"},
      {"a name shortened with an ellipsis", kNavy,
       [](Painter& p) {
         const platform::Font& f = *Painter::font(30);
         p.text(f.fitted(u"Bartholomew Fitzgerald-Montgomery", 360), {20, 0, 380, 80}, f, kWhite,
                text::kVCenter | text::kSingleLine);
       },
       ""},
      {"a line too tall for its band", kNavy,
       [](Painter& p) {
         p.text(u"塔文提示", {120, 160, 360, 180}, 30, kWhite, text::kSingleLine);
       },
       "is cut at the top or bottom"},
      {"a character no face has", kNavy,
       [](Painter& p) {
         p.text(u"会话 \uE000", {0, 0, 480, 60}, 24, kWhite);
       },
       "empty box"},
      {"amber on the lit orange bar", 0x0090FF,
       [](Painter& p) {
         p.text(u"震动", {300, 0, 376, 52}, 26, 0x00C0FF, text::kVCenter);
       },
       "has contrast"},
      {"black names on dark navy", kNavy,
       [](Painter& p) {
         p.text(u"Carol", {20, 0, 380, 80}, 30, 0x000000, text::kVCenter);
       },
       "has contrast"},
      {"white on dark navy", kNavy,
       [](Painter& p) {
         p.text(u"Carol", {20, 0, 380, 80}, 30, kWhite, text::kVCenter);
       },
       ""},
      {"ink made legible on a light skin", 0xDED2B4,
       [](Painter& p) {
         const gfx::Rect r{0, 0, 200, 40};
         p.text(u"18:05:00", r, 18, p.legible(0x808080, r), text::kSingleLine);
       },
       ""},
  };
  for (const Case& c : cases) {
    const auto found = faults_of(c.bg, c.draw);
    if (*c.fault == 0) {
      EXPECT_TRUE(found.empty()) << c.what << ": " << (found.empty() ? "" : found[0]);
    } else {
      ASSERT_EQ(found.size(), 1u) << c.what;
      EXPECT_NE(found[0].find(c.fault), std::string::npos) << c.what << ": " << found[0];
    }
  }
}

TEST(DesignCheckTest, NamesANumberWrappedApartAndAMarkAloneAtALineStart) {
  const auto two_lines = [](std::u16string first, std::u16string second) {
    Drawn d;
    d.text = first + second;
    d.rect = {0, 0, 480, 100};
    d.target = d.rect;
    d.lines = {Line{first, {10, 10, 400, 30}, false, false},
               Line{second, {10, 40, 300, 60}, true, false}};
    return design_faults(d);
  };
  struct Case {
    std::u16string first, second;
    const char* fault;
  } cases[] = {
      {u"系统网络错误，塔文将在5", u"秒后自动重新登陆！", "wraps inside a number"},
      {u"会话 1/", u"1", "wraps inside a number"},
      {u"请确认是否真的要退出塔", u"文！", ""},
      {u"请确认是否真的要退出塔文", u"！", "leaves a mark alone"},
      {u"系统网络错误，塔文将在", u"5秒后自动重新登陆！", ""},
  };
  for (const Case& c : cases) {
    const auto found = two_lines(c.first, c.second);
    const std::string what = platform::utf16_to_utf8(c.first + u" | " + c.second);
    if (*c.fault == 0) {
      EXPECT_TRUE(found.empty()) << what;
    } else {
      ASSERT_EQ(found.size(), 1u) << what;
      EXPECT_NE(found[0].find(c.fault), std::string::npos) << what << ": " << found[0];
    }
  }
}

// The message box's wrap keeps "5秒" and "文！" together, as a person
// reads them; the check over the real drawing finds nothing.
TEST(DesignCheckTest, TheBoxTextsWrapWithTheirNumbersAndMarks) {
  for (const std::u16string& message :
       {std::u16string(u"系统网络错误，塔文将在5秒后自动重新登陆！"),
        std::u16string(u"请确认是否真的要退出塔文！")}) {
    std::vector<uint16_t> pixels(480 * 800, 0);
    DesignCheck check;
    Painter p(gfx::PixelCanvas{800, 480, pixels.data(), 0});
    p.text(message, {60, 200, 420, 330}, 30, 0xF7F7F7, text::kCenter | text::kWordBreak);
    const auto drawn = check.take();
    ASSERT_EQ(drawn.size(), 1u);
    ASSERT_EQ(drawn[0].lines.size(), 2u);
    const std::u16string& second = drawn[0].lines[1].text;
    EXPECT_TRUE(second.starts_with(u"5秒") || second.starts_with(u"文！"))
        << platform::utf16_to_utf8(second);
    EXPECT_TRUE(design_faults(drawn[0]).empty());
  }
}

// Text over a picture: the check with kPictures judges it on the darkest
// and the lightest parts of the picture too, not only on its most common
// colour; the veil under the text keeps every ink at 4.5:1 on any picture.
TEST(DesignCheckTest, TextOverAPictureReadsOnEveryPartOfIt) {
  using Picture = std::function<uint16_t(int x, int y)>;
  const uint16_t orange = platform::bgr_to_565(0x0080FF), white = 0xFFFF, black = 0;
  uint32_t seed = 12345;
  std::vector<uint16_t> noise(480 * 800);
  for (auto& px : noise) px = uint16_t((seed = seed * 1103515245 + 12345) >> 16);
  const struct {
    const char* what;
    Picture picture;
  } pictures[] = {
      {"orange", [&](int, int) { return orange; }},
      {"white", [&](int, int) { return white; }},
      {"black", [&](int, int) { return black; }},
      {"mostly orange, white stripes", [&](int, int y) { return y % 8 < 5 ? orange : white; }},
      {"black and white halves", [&](int x, int) { return x < 240 ? black : white; }},
      {"noise", [&](int x, int y) { return noise[size_t(y) * 480 + size_t(x)]; }},
  };
  const uint32_t inks[] = {0xFFFF00 /* cyan */, 0xFFFFFF, 0x000000, 0x2060C0, 0x808080};
  const gfx::Rect row{0, 100, 480, 180};
  for (const auto& pic : pictures) {
    for (const uint32_t ink : inks) {
      for (const bool veiled : {false, true}) {
        std::vector<uint16_t> pixels(480 * 800);
        for (int y = 0; y < 800; ++y)
          for (int x = 0; x < 480; ++x) pixels[size_t(y) * 480 + size_t(x)] = pic.picture(x, y);
        DesignCheck check(DesignCheck::kPictures);
        Painter p(gfx::PixelCanvas{800, 480, pixels.data(), 0});
        if (veiled) p.veil(row, {ink});
        p.text(u"Carol 张三", row, 30, ink, text::kVCenter | text::kSingleLine);
        const auto drawn = check.take();
        ASSERT_EQ(drawn.size(), 1u);
        const auto found = design_faults(drawn[0], DesignCheck::kPictures);
        if (veiled) {
          EXPECT_TRUE(found.empty())
              << pic.what << ", ink " << std::hex << ink << ": " << (found.empty() ? "" : found[0]);
        }
      }
    }
  }
  // White on a dark picture with white stripes: it reads on the colour the
  // picture mostly has, and the picture check finds the stripes.
  std::vector<uint16_t> pixels(480 * 800);
  for (int y = 0; y < 800; ++y)
    for (int x = 0; x < 480; ++x) pixels[size_t(y) * 480 + size_t(x)] = y % 8 < 5 ? 0x0010 : white;
  DesignCheck check(DesignCheck::kPictures);
  Painter p(gfx::PixelCanvas{800, 480, pixels.data(), 0});
  p.text(u"Carol", row, 30, 0xFFFFFF, text::kVCenter | text::kSingleLine);
  const auto drawn = check.take();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_TRUE(design_faults(drawn[0]).empty());  // white on the dark blue it mostly lies on
  const auto found = design_faults(drawn[0], DesignCheck::kPictures);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found[0].find("on #FFFFFF"), std::string::npos) << found[0];
}

class DesignWalkTest : public ChatTest {
 protected:
  void TearDown() override {
    platform::Leds::set(0, false);
    platform::Leds::set(platform::Leds::kDeviceCount - 1, false);
    ChatTest::TearDown();
  }
  // The check over everything drawn since the last look, named.
  void look(const std::string& screen) {
    settle();
    const std::string found = design->faults(screen);
    EXPECT_EQ(found, "");
  }
};

// Login, the chat window's three tabs (a long name, new lines waiting),
// the connection-loss and exit boxes, and the task bar while it flashes and
// vibrates: in every preset, every text reads.
TEST_F(DesignWalkTest, TheMainScreensReadInEveryThemePreset) {
  ASSERT_EQ(fs_set_buddyinfo(kBob, "Bartholomew Fitzgerald-Montgomery"), 1);
  for (const auto& preset : shell::theme_presets()) {
    SCOPED_TRACE(std::string(preset.name));
    shell::apply_preset(preset, shell::theme_colors());
    const std::string in = "/" + std::string(preset.name);
    {
      screens::LoginConfig config;
      config.database = data.path / "DB" / "TavrinLog.db";
      screens::CLoginDlg login(config);
      inside_modal([&] {
        look("login" + in);
        login.end_modal(0);
      });
      login.run_modal();
    }
    for (const auto& [message, type, timed] :
         {std::tuple{u"系统网络错误，塔文将在5秒后自动重新登陆！",
                     int(controls::CMsgBoxDlg::kOneButton), true},
          std::tuple{u"请确认是否真的要退出塔文！", int(controls::CMsgBoxDlg::kYesNo), false}}) {
      controls::CMsgBoxDlg box;
      box.create(main_window, timed);
      box.set_type(type);
      box.set_title(u"塔文提示");
      box.set_text(message);
      inside_modal([&] {
        look("box" + in);
        box.end_modal(1);
      });
      box.run_modal();
    }
    main.recent = {{kCarol, u"Carol", true}, {kBob, u"Bartholomew Fitzgerald-Montgomery", false}};
    main.talks = {{kBob, u"Bartholomew Fitzgerald-Montgomery", false}, {kCarol, u"Carol", false}};
    screens::CBriskLibTavrinMsg chat(kBob, 0, main, false);
    inside_modal([&] {
      chat.input().set_text(u"带上伞，外面在下雨");
      look("chat" + in);
      tap(80, 52 + 70);
      look("chat recent tab" + in);
      tap(400, 52 + 70);
      look("chat conversations tab" + in);
      platform::Leds::set(0, true);
      platform::Leds::set(platform::Leds::kDeviceCount - 1, true);
      ws->invalidate(task_bar->window());
      look("task bar lit and vibrating" + in);
      platform::Leds::set(0, false);
      ws->invalidate(task_bar->window());
      look("task bar vibrating" + in);
      platform::Leds::set(platform::Leds::kDeviceCount - 1, false);
      chat.close();
    });
    chat.run_modal();
  }
}

// The user's own photo (a file outside the install folder) under the
// login screen and the chat window: the form, the tabs and the contact
// lists read at 4.5:1 on every part of it, whatever the photo is. The
// check judges each text on the darkest and the lightest pixels under it.
TEST_F(DesignWalkTest, TextsReadOnAnyPhotoUnderTheLoginAndChatScreens) {
  const struct {
    const char* name;
    uint32_t left, right;
  } photos[] = {
      {"orange", 0xFF8000, 0xFF8000},
      {"white", 0xFFFFFF, 0xFFFFFF},
      {"black-white", 0x000000, 0xFFFFFF},
      {"cyan-orange", 0x00FFFF, 0xFF8000},
  };
  auto& t = shell::theme_colors();
  main.recent = {{kCarol, u"Carol", true}, {kBob, u"Bob", false}};
  main.talks = {{kBob, u"Bob", false}};
  for (const auto& photo : photos) {
    SCOPED_TRACE(photo.name);
    const auto file = data.path / (std::string(photo.name) + ".jpg");
    ASSERT_TRUE(write_jpeg(file.string(), 480, 800, photo.left, photo.right));
    ASSERT_TRUE(shell::app_paths().is_own_picture(file));
    t.login_bk_path = t.msg_bk_path = shell::from_path(file);
    design = std::make_unique<DesignCheck>(DesignCheck::kPictures);
    const std::string over = std::string(" over ") + photo.name;
    {
      screens::LoginConfig config;
      config.database = database();
      screens::CLoginDlg login(config);
      inside_modal([&] {
        look("login" + over);
        login.end_modal(0);
      });
      login.run_modal();
    }
    screens::CBriskLibTavrinMsg chat(kBob, 0, main, false);
    inside_modal([&] {
      tap(80, 52 + 70);
      // One golden, to look at: the photo still shows beside the shaded lists.
      if (std::string(photo.name) == "cyan-orange")
        EXPECT_EQ(golden("chat_recent_over_photo"), "");
      else
        look("chat recent tab" + over);
      tap(400, 52 + 70);
      look("chat conversations tab" + over);
      chat.close();
    });
    chat.run_modal();
  }
  // The theme's own pictures (inside the install folder) are not shaded.
  EXPECT_FALSE(shell::app_paths().is_own_picture(
      shell::app_paths().resolve(u"\\Disk\\BriskUI\\Theme\\bk.png")));
}

}  // namespace
}  // namespace tavrin::test
