// The built-in colour presets: the high-contrast one keeps every text at
// least 7:1 against what it is drawn on (WCAG AAA contrast ratio, computed
// from the preset's colours), and every preset is fully usable by name.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "shell/theme_presets.h"

namespace tavrin::shell {
namespace {

// WCAG relative luminance of a 0x00BBGGRR colour.
double luminance(uint32_t c) {
  auto channel = [](uint32_t v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c & 0xFF) + 0.7152 * channel((c >> 8) & 0xFF) +
         0.0722 * channel((c >> 16) & 0xFF);
}

double contrast(uint32_t a, uint32_t b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(ThemePresetsTest, ContrastFormulaMatchesKnownPairs) {
  EXPECT_NEAR(contrast(0x000000, 0xFFFFFF), 21.0, 1e-9);
  EXPECT_NEAR(contrast(0x767676, 0xFFFFFF), 4.54, 0.01);  // the classic 4.5:1 grey
}

TEST(ThemePresetsTest, HighContrastTextsReachSevenToOne) {
  const ThemePreset* hc = nullptr;
  for (const auto& p : theme_presets())
    if (p.name == "HighContrast") hc = &p;
  ASSERT_NE(hc, nullptr);
  const ThemeColors& c = hc->colors;
  struct Pair {
    const char* what;
    uint32_t text, back;
  };
  const Pair pairs[] = {
      {"background text", c.bg_text_color, c.bg_color},
      {"bars", c.bottom_text_color, c.bottom_bk_color},
      {"menus", c.menu_text_color, c.menu_bk_color},
      {"edit boxes", c.edit_text_color, c.edit_bk_color},
      {"buttons", c.btn_text_color, c.btn_bk_color},
      {"list fill", c.list_text_color, c.list_bk_color},
      {"list over the background", c.list_text_color, c.bg_color},
      {"message boxes", c.msg_box_text_color, c.msg_box_bk_color},
  };
  for (const Pair& p : pairs) EXPECT_GE(contrast(p.text, p.back), 7.0) << p.what;
  // Opaque fills, so the ratios hold on whatever lies beneath.
  for (int alpha : {c.bg_alpha, c.bottom_bg_alpha, c.menu_bg_alpha, c.edit_bg_alpha, c.btn_bg_alpha,
                    c.list_bg_alpha, c.msg_box_bg_alpha})
    EXPECT_EQ(alpha, 255);
}

TEST(ThemePresetsTest, NamesAndLabelsAreUniqueAndApplyingKeepsThePaths) {
  std::set<std::string_view> names;
  std::set<std::u16string_view> labels;
  for (const auto& p : theme_presets()) {
    EXPECT_TRUE(names.insert(p.name).second) << p.name;
    EXPECT_TRUE(labels.insert(p.label).second);
    ThemeColors t;
    t.main_bk_path = u"Theme/own.png";
    apply_preset(p, t);
    EXPECT_EQ(t.main_bk_path, u"Theme/own.png");
    EXPECT_EQ(t.bg_color, p.colors.bg_color);
  }
}

}  // namespace
}  // namespace tavrin::shell
