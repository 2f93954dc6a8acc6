// The built-in colour presets: the looks the login screen's theme pop-up and
// the appearance screen offer, and the colours the theme packages are drawn
// in. A preset sets colours and alphas only; background images stay as the
// theme file names them. Header-only data, so the asset tools share it.
#pragma once

#include <array>
#include <string_view>

#include "shell/theme_colors.h"

namespace tavrin::shell {

struct ThemePreset {
  std::string_view name;    // the package folder under Themes/ ("Classic", ...)
  std::u16string_view label;  // what the menus show
  ThemeColors colors;       // only the colours and alphas are used
};

// Colours, alphas in ThemeColors' field order.
constexpr ThemeColors preset_colors(uint32_t bg, uint32_t line, int32_t bg_alpha, uint32_t bg_text,
                                    uint32_t bottom_bk, int32_t bottom_alpha, uint32_t bottom_text,
                                    uint32_t menu_bk, int32_t menu_alpha, uint32_t menu_text,
                                    uint32_t edit_bk, uint32_t edit_out, uint32_t edit_in,
                                    int32_t edit_alpha, uint32_t edit_text, uint32_t btn_bk,
                                    int32_t btn_alpha, uint32_t btn_text, uint32_t list_bk,
                                    uint32_t list_line, int32_t list_alpha, uint32_t list_text,
                                    uint32_t msg_bk, int32_t msg_alpha, uint32_t msg_text,
                                    uint32_t anim_bk, int32_t anim_alpha) {
  ThemeColors c;
  c.bg_color = bg, c.line_color = line, c.bg_alpha = bg_alpha, c.bg_text_color = bg_text;
  c.bottom_bk_color = bottom_bk, c.bottom_bg_alpha = bottom_alpha;
  c.bottom_text_color = bottom_text;
  c.menu_bk_color = menu_bk, c.menu_bg_alpha = menu_alpha, c.menu_text_color = menu_text;
  c.edit_bk_color = edit_bk, c.edit_out_line_color = edit_out, c.edit_in_line_color = edit_in;
  c.edit_bg_alpha = edit_alpha, c.edit_text_color = edit_text;
  c.btn_bk_color = btn_bk, c.btn_bg_alpha = btn_alpha, c.btn_text_color = btn_text;
  c.list_bk_color = list_bk, c.list_line_color = list_line, c.list_bg_alpha = list_alpha;
  c.list_text_color = list_text;
  c.msg_box_bk_color = msg_bk, c.msg_box_bg_alpha = msg_alpha, c.msg_box_text_color = msg_text;
  c.animation_bk_color = anim_bk, c.animation_bg_alpha = anim_alpha;
  return c;
}

inline const std::array<ThemePreset, 4>& theme_presets() {
  static const std::array<ThemePreset, 4> presets = {{
      // The theme file's own defaults.
      {"Classic", u"经典", ThemeColors{}},
      {"Sakura", u"樱花",
       preset_colors(0xF4EAF7, 0xA08C9A, 255, 0x3A1F33, 0x4A2A5C, 240, 0xF4E6FF, 0x4A2A5C, 245,
                     0xF4E6FF, 0xFFFAFD, 0xC49EFF, 0x5C2A4A, 255, 0x33182B, 0x7A3F8E, 255,
                     0xFFF2FA, 0xC89EFF, 0xB08AA6, 128, 0xE4D2FF, 0x3A1A30, 235, 0xFFEFF7,
                     0xB070FF, 255)},
      {"Forest", u"森林",
       preset_colors(0xE6EEE9, 0x7F8F86, 255, 0x10201A, 0x2C3B1E, 250, 0xE9F2EC, 0x2C3B1E, 250,
                     0xE9F2EC, 0xFCFFFD, 0x4BB8F2, 0x1F3B2C, 255, 0x14201A, 0x2E5A3A, 255,
                     0xF4FFF0, 0x4BB8F2, 0x86968C, 128, 0xA6E2FF, 0x13261C, 240, 0xF0FFF4,
                     0x3C9BE0, 255)},
      // For low vision: every text at least 7:1 against what it is drawn on
      // (WCAG AAA), everything opaque. No package: colours only.
      {"HighContrast", u"高对比度",
       preset_colors(0x000000, 0xC0C0C0, 255, 0xFFFFFF, 0x000000, 255, 0x00FFFF, 0x000000, 255,
                     0x00FFFF, 0xFFFFFF, 0x00FFFF, 0x000000, 255, 0x000000, 0x00FFFF, 255,
                     0x000000, 0x800000, 0xFFFFFF, 255, 0xFFFFFF, 0x000000, 255, 0xFFFFFF,
                     0x00FFFF, 255)},
  }};
  return presets;
}

// Writes a preset's colours and alphas over theme (paths stay).
inline void apply_preset(const ThemePreset& preset, ThemeColors& theme) {
  ThemeColors next = preset.colors;
  next.bk_path = theme.bk_path;
  next.login_bk_path = theme.login_bk_path;
  next.msg_bk_path = theme.msg_bk_path;
  next.main_bk_path = theme.main_bk_path;
  theme = next;
}

}  // namespace tavrin::shell
