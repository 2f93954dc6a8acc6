// The settings, switches and theme files: exact text as written, round
// trips, the positional walk of the readers, and the touch keyboard choice.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "shell/client_settings.h"
#include "shell/switch_settings.h"
#include "shell/theme_colors.h"
#include "temp_dir.h"

using namespace tavrin::shell;

namespace {

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string settings_xml(const std::string& settings_children) {
  return "<?xml version=\"1.0\" ?>\n<BriskLibTavrinSetting>\n<Settings>\n" + settings_children +
         "</Settings>\n</BriskLibTavrinSetting>\n";
}

}  // namespace

TEST(SettingsFile, IsWrittenExactlyAsTheClientWritesIt) {
  TempDir dir;
  const std::string file = dir.file("BriskLibTavrinSetting.xml");
  ASSERT_TRUE(save_settings(file, ClientSettings{3, 1, 0, 1}));
  EXPECT_EQ(read(file),
            "<?xml version=\"1.0\" ?>\n"
            "<BriskLibTavrinSetting>\n"
            "    <Messages>\n"
            "        <Welcome>Welcome to BriskLibtavrin</Welcome>\n"
            "        <Farewell>Thank you for using BriskLibtavrin</Farewell>\n"
            "    </Messages>\n"
            "    <Settings>\n"
            "        <LoginStatus Status=\"3\" />\n"
            "        <bSilence Silence=\"1\" />\n"
            "        <bSound Sound=\"0\" />\n"
            "        <bVibrate Vibrate=\"1\" />\n"
            "    </Settings>\n"
            "</BriskLibTavrinSetting>\n");
  ClientSettings back;
  ASSERT_TRUE(load_settings(file, back));
  EXPECT_EQ(back, (ClientSettings{3, 1, 0, 1}));
  // Saving again replaces the file whole, leaving no temporary beside it.
  ASSERT_TRUE(save_settings(file, ClientSettings{}));
  ASSERT_TRUE(load_settings(file, back));
  EXPECT_EQ(back, ClientSettings{});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}

TEST(SettingsFile, ReaderWalksByPosition) {
  struct Case {
    const char* name;
    std::string file;  // empty: no file at all
    ClientSettings expected;
  };
  const ClientSettings defaults{1, 0, 0, 1};
  const Case cases[] = {
      {"no file: online, vibrate on, sound and silence off", "", defaults},
      {"broken file keeps defaults", "<BriskLibTavrinSetting><Settings>", defaults},
      {"two children: status and silence only",
       settings_xml("<LoginStatus Status=\"4\" /><bSilence Silence=\"1\" />"),
       {4, 1, 0, 1}},
      {"names are not compared, only positions",
       settings_xml("<a Status=\"2\" /><b Silence=\"1\" /><c Sound=\"1\" /><d Vibrate=\"0\" />"),
       {2, 1, 1, 0}},
      {"a missing attribute keeps its value and the walk goes on",
       settings_xml("<a Status=\"3\" /><b /><c Sound=\"1\" /><d Vibrate=\"0\" />"),
       {3, 0, 1, 0}},
      {"an attribute under another element's name is not found",
       settings_xml("<a Silence=\"1\" /><b Status=\"2\" />"), defaults},
      {"not a number keeps the value", settings_xml("<a Status=\"online\" />"), defaults},
      {"no Settings element keeps defaults",
       "<?xml version=\"1.0\" ?><BriskLibTavrinSetting><Messages /></BriskLibTavrinSetting>",
       defaults},
      {"an empty document keeps defaults", "<?xml version=\"1.0\" ?>", defaults},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string file = dir.file("BriskLibTavrinSetting.xml");
    if (!c.file.empty()) write(file, c.file);
    ClientSettings s;
    load_settings(file, s);
    EXPECT_EQ(s, c.expected) << c.name;
  }
}

TEST(ThemeFile, ColoursAreWrittenWithPercentFAndReadBack) {
  TempDir dir;
  const std::string file = dir.file("BriskLibTavrinTheme.xml");
  ThemeColors t;
  t.bg_color = 0xFFFFFF;
  ASSERT_TRUE(save_theme(file, t));
  const std::string text = read(file);
  EXPECT_NE(text.find("<BkColor BgColor=\"16777215.000000\" LineColor=\"8421504.000000\" "
                      "BgAlpha=\"255\" BgTextColor=\"0.000000\" />"),
            std::string::npos)
      << text;
  EXPECT_NE(
      text.find("<AnimationColor AnimationBkColor=\"16711680.000000\" AnimationBgAlpha=\"255\" />"),
      std::string::npos);
  // The device's folder is not written: the path is relative to the install folder.
  EXPECT_NE(text.find("<MainBkPath TavrinMainBkPath=\"Theme\\bk.png\" />"), std::string::npos)
      << text;
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" ?>\n<BriskLibTavrinTheme>\n    <Messages>", 0), 0u);
  ThemeColors back;
  back.bg_color = 1;
  ASSERT_TRUE(load_theme(file, back));
  EXPECT_EQ(back.bg_color, 0x00FFFFFFu);
}

TEST(ThemeFile, EveryValueSurvivesARoundTrip) {
  TempDir dir;
  const std::string file = dir.file("BriskLibTavrinTheme.xml");
  // Every field different from its default and from every other field, so
  // that a value read into the wrong place shows.
  ThemeColors t;
  uint32_t next_colour = 0x010203;
  int next_alpha = 1;
  t.bg_color = next_colour++, t.line_color = next_colour++, t.bg_alpha = next_alpha++;
  t.bg_text_color = next_colour++;
  t.bottom_bk_color = next_colour++, t.bottom_bg_alpha = next_alpha++,
  t.bottom_text_color = next_colour++;
  t.menu_bk_color = next_colour++, t.menu_bg_alpha = next_alpha++,
  t.menu_text_color = next_colour++;
  t.edit_bk_color = next_colour++, t.edit_out_line_color = next_colour++;
  t.edit_in_line_color = next_colour++, t.edit_bg_alpha = next_alpha++,
  t.edit_text_color = next_colour++;
  t.btn_bk_color = next_colour++, t.btn_bg_alpha = next_alpha++, t.btn_text_color = next_colour++;
  t.list_bk_color = next_colour++, t.list_line_color = next_colour++,
  t.list_bg_alpha = next_alpha++;
  t.list_text_color = next_colour++;
  t.msg_box_bk_color = next_colour++, t.msg_box_bg_alpha = 77, t.msg_box_text_color = next_colour++;
  t.animation_bk_color = 0xFFFFFFFF, t.animation_bg_alpha = 99;
  t.bk_path = u"Theme\\蓝色\\bk.png";
  t.login_bk_path = u"登录 & <背景>.png";
  t.msg_bk_path = u"\"quoted\" 'path'.png";
  t.main_bk_path = u"主界面.png";
  ASSERT_TRUE(save_theme(file, t));
  ThemeColors back;
  ASSERT_TRUE(load_theme(file, back));
  EXPECT_EQ(back, t);
  EXPECT_EQ(back.msg_box_bg_alpha, 77);
  EXPECT_EQ(back.animation_bg_alpha, 99);
  // The Chinese path is stored as UTF-8.
  EXPECT_NE(read(file).find("\xE8\x93\x9D\xE8\x89\xB2"), std::string::npos);  // 蓝色
}

TEST(ThemeFile, ReaderWalksGroupsByPositionAndStopsAtTheFirstMissing) {
  TempDir dir;
  const std::string file = dir.file("BriskLibTavrinTheme.xml");
  // The first group renamed, the second present, then nothing: groups three
  // on keep their values; a missing attribute inside a group keeps its value.
  write(file,
        "<?xml version=\"1.0\" ?><BriskLibTavrinTheme><Messages/><Colors>"
        "<Whatever BgColor=\"255.000000\" BgAlpha=\"17\" />"
        "<BottomColor BottomBkColor=\"65280.5\" BottomBgAlpha=\"300\" />"
        "</Colors></BriskLibTavrinTheme>");
  ThemeColors t;
  ASSERT_TRUE(load_theme(file, t));
  ThemeColors expected;
  expected.bg_color = 0xFF;
  expected.bg_alpha = 17;
  expected.bottom_bk_color = 0xFF00;
  expected.bottom_bg_alpha = 255;  // held to the blends' range
  EXPECT_EQ(t, expected);
}

TEST(ThemeFile, ValuesThatAreNoColourKeepTheCurrentOne) {
  TempDir dir;
  const std::string file = dir.file("BriskLibTavrinTheme.xml");
  write(file,
        "<?xml version=\"1.0\" ?><BriskLibTavrinTheme><Colors>"
        "<BkColor BgColor=\"-1.000000\" LineColor=\"99999999999.0\" BgTextColor=\"nan\" "
        "BgAlpha=\"-5\" />"
        "</Colors></BriskLibTavrinTheme>");
  ThemeColors t;
  ASSERT_TRUE(load_theme(file, t));
  ThemeColors expected;
  expected.bg_alpha = 0;
  EXPECT_EQ(t, expected);
  // Missing and broken files change nothing.
  ThemeColors untouched;
  untouched.bg_color = 42;
  EXPECT_FALSE(load_theme(dir.file("none.xml"), untouched));
  write(file, "<BriskLibTavrinTheme><Colors><BkColor BgColor=\"1\"");
  EXPECT_FALSE(load_theme(file, untouched));
  EXPECT_EQ(untouched.bg_color, 42u);
}

TEST(ThemeFile, DeeplyNestedFilesLeaveTheDefaultsAndSaySo) {
  // A theme of "<Colors>" and 100,000 nested elements once overflowed the
  // stack at every start; now the files are refused before TinyXML reads
  // them, whether too deep or too large, and stderr names the file.
  TempDir dir;
  const std::string file = dir.file("BriskLibTavrinTheme.xml");
  std::string deep, shallow_but_deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  for (int i = 0; i < 1000; ++i) shallow_but_deep += "<a>";
  const struct {
    std::string text;
    const char* reason;
  } cases[] = {
      {"<BriskLibTavrinTheme><Colors>" + deep, "too large"},
      {"<BriskLibTavrinTheme><Colors>" + shallow_but_deep, "nested too deep"},
  };
  for (const auto& c : cases) {
    write(file, c.text);
    ThemeColors theme;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(load_theme(file, theme));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(theme, ThemeColors{});
    EXPECT_NE(said.find("BriskLibTavrinTheme.xml"), std::string::npos) << said;
    EXPECT_NE(said.find(c.reason), std::string::npos) << said;
    ClientSettings settings;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(load_settings(file, settings));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(settings, ClientSettings{});
    // The switches file, read at every start for the touch keyboard.
    SwitchSettings switches;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(load_switches(file, switches));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(switches, SwitchSettings{});
  }
}

// The touch keyboard choice lives in the switches file, looked up by name:
// every value survives a round trip, a file from before the choice reads as
// automatic (its switches as they were), and a value this client does not
// know reads as automatic too.
TEST(SwitchesFile, TouchKeyboardChoiceIsKeptAndOlderFilesReadAsAutomatic) {
  TempDir dir;
  const std::string file = dir.file("BriskLibTavrinSwitches.xml");
  for (int choice : {kTouchAuto, kTouchAlways, kTouchNever}) {
    SwitchSettings saved;
    saved.touch_keyboard = choice;
    saved.keep_chat_log = 0;
    ASSERT_TRUE(save_switches(file, saved));
    SwitchSettings read_back;
    ASSERT_TRUE(load_switches(file, read_back));
    EXPECT_EQ(read_back, saved);
  }
  const struct {
    const char* attributes;
    int touch;
    int keep_chat_log;
  } cases[] = {
      {"OnlineSound=\"1\" GroupSound=\"1\" BlockGroupMessages=\"0\" KeepChatLog=\"0\"", kTouchAuto,
       0},
      {"KeepChatLog=\"0\" TouchKeyboard=\"7\"", kTouchAuto, 0},
      {"TouchKeyboard=\"-1\"", kTouchAuto, 1},
      {"TouchKeyboard=\"2\"", kTouchNever, 1},
  };
  for (const auto& c : cases) {
    SwitchSettings s;
    s.touch_keyboard = kTouchAlways;  // overwritten by what the file says
    ASSERT_TRUE(load_switches_text(std::string("<BriskLibTavrinSwitches><Switches ") +
                                       c.attributes + " /></BriskLibTavrinSwitches>",
                                   s))
        << c.attributes;
    if (std::string(c.attributes).find("TouchKeyboard") == std::string::npos)
      EXPECT_EQ(s.touch_keyboard, kTouchAlways) << "an absent choice keeps its value";
    else
      EXPECT_EQ(s.touch_keyboard, c.touch) << c.attributes;
    EXPECT_EQ(s.keep_chat_log, c.keep_chat_log) << c.attributes;
  }
}

// --touch wins; otherwise the choice; automatic shows the plate where no
// desktop keyboard types.
TEST(TouchKeyboard, PlateFollowsTheFlagThenTheChoiceThenTheMachine) {
  const struct {
    int choice;
    TouchMachine machine;
    bool plate;
  } cases[] = {
      {kTouchAuto, {.forced = false, .headless = false, .keyboard = true}, false},
      {kTouchAuto, {.forced = false, .headless = false, .keyboard = false}, true},
      {kTouchAuto, {.forced = false, .headless = true, .keyboard = true}, true},
      {kTouchAlways, {.forced = false, .headless = false, .keyboard = true}, true},
      {kTouchNever, {.forced = false, .headless = true, .keyboard = false}, false},
      {kTouchNever, {.forced = true, .headless = false, .keyboard = true}, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(touch_plate_wanted(c.choice, c.machine), c.plate)
        << c.choice << " forced " << c.machine.forced << " headless " << c.machine.headless
        << " keyboard " << c.machine.keyboard;
}
