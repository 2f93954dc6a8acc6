// The theme (ThemeColors): colours, alphas and background images of every
// skinned element, and the theme file "BriskLibTavrinTheme.xml" that keeps
// them. Colours are 0x00BBGGRR; alphas 0-255 (255 opaque, 128 the fast
// half blend). Loaded at start-up and after a theme change. UI thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tavrin::shell {

struct ThemeColors {
  uint32_t bg_color = 0xEDEDED;
  uint32_t line_color = 0x808080;
  int32_t bg_alpha = 255;
  uint32_t bg_text_color = 0x000000;
  uint32_t bottom_bk_color = 0x42301F;
  int32_t bottom_bg_alpha = 255;
  uint32_t bottom_text_color = 0xEDEDED;
  uint32_t menu_bk_color = 0x42301F;
  int32_t menu_bg_alpha = 255;
  uint32_t menu_text_color = 0xEDEDED;
  uint32_t edit_bk_color = 0xFFFFFF;
  uint32_t edit_out_line_color = 0x00FF00;
  uint32_t edit_in_line_color = 0x000000;
  int32_t edit_bg_alpha = 255;
  uint32_t edit_text_color = 0x171717;
  uint32_t btn_bk_color = 0x42301F;
  int32_t btn_bg_alpha = 255;
  uint32_t btn_text_color = 0xEDEDED;
  uint32_t list_bk_color = 0xF2D532;
  uint32_t list_line_color = 0x808080;
  int32_t list_bg_alpha = 128;
  uint32_t list_text_color = 0xF2D532;
  uint32_t msg_box_bk_color = 0x000000;
  int32_t msg_box_bg_alpha = 255;
  uint32_t msg_box_text_color = 0xF7F7F7;
  uint32_t animation_bk_color = 0xFF0000;
  int32_t animation_bg_alpha = 255;
  // Background images, as the theme writes them (see AppPaths::resolve).
  std::u16string bk_path = u"\\Disk\\BriskUI\\Theme\\bk.png";
  std::u16string login_bk_path = u"\\Disk\\BriskUI\\Theme\\bk.png";
  std::u16string msg_bk_path = u"\\Disk\\BriskUI\\Theme\\bk.png";
  std::u16string main_bk_path = u"\\Disk\\BriskUI\\Theme\\bk.png";

  friend bool operator==(const ThemeColors&, const ThemeColors&) = default;
};

// The process-wide theme.
ThemeColors& theme_colors();

// Reads the file over theme. The children of "Colors" are taken by
// position as the twelve groups, whatever their names; within a group each
// attribute is looked up by name and a missing one keeps its value; the
// walk stops at the first missing group. A colour that is not a number in
// 0..0xFFFFFFFF keeps its value and an alpha is held to 0..255. false (and
// nothing changed) for a missing or broken file.
bool load_theme(const std::filesystem::path& file, ThemeColors& theme);
// The same for the file's text.
bool load_theme_text(const std::string& xml, ThemeColors& theme);
// Writes the whole file (colours with "%f", alphas as integers, paths as
// UTF-8), replacing the old one only once the new one is complete.
bool save_theme(const std::filesystem::path& file, const ThemeColors& theme);

}  // namespace tavrin::shell
