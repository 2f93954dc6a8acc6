// The colours of one theme: the theme-file values the client reads (colours
// as 0x00BBGGRR, alphas 0-255) and the few extra tones the skin painter uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::tools {

struct ThemeValues {
  uint32_t bg_color, line_color;
  int bg_alpha;
  uint32_t bg_text_color;
  uint32_t bottom_bk_color;
  int bottom_bg_alpha;
  uint32_t bottom_text_color;
  uint32_t menu_bk_color;
  int menu_bg_alpha;
  uint32_t menu_text_color;
  uint32_t edit_bk_color, edit_out_line_color, edit_in_line_color;
  int edit_bg_alpha;
  uint32_t edit_text_color;
  uint32_t btn_bk_color;
  int btn_bg_alpha;
  uint32_t btn_text_color;
  uint32_t list_bk_color, list_line_color;
  int list_bg_alpha;
  uint32_t list_text_color;
  uint32_t msg_box_bk_color;
  int msg_box_bg_alpha;
  uint32_t msg_box_text_color;
  uint32_t animation_bk_color;
  int animation_bg_alpha;
};

// Painter tones, 0xRRGGBB.
struct SkinTones {
  uint32_t sky_top, sky_bottom;  // background gradient
  uint32_t glow;                 // soft light shapes on the background
  uint32_t bar;                  // bars and panels
  uint32_t accent;               // highlights, selected tabs, rings
  uint32_t accent_deep;          // darker accent for gradients
  uint32_t paper;                // light surfaces (settings pages, wells)
  uint32_t ink;                  // text and lines on paper
};

struct Palette {
  std::string name;
  ThemeValues values;
  SkinTones tones;
};

// The built-in look first ("Classic": the theme file's defaults), then the
// packaged alternatives.
[[nodiscard]] const std::vector<Palette>& palettes();
[[nodiscard]] const Palette& palette_named(const std::string& name);

// 0x00BBGGRR to 0xRRGGBB.
[[nodiscard]] inline uint32_t bgr_to_rgb(uint32_t bgr) {
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

}  // namespace tavrin::tools
