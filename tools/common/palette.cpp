#include "palette.h"

#include <stdexcept>

#include "shell/theme_presets.h"

namespace tavrin::tools {
namespace {

// The client's own preset of that name, as the theme file writes it.
ThemeValues values_of(std::string_view name) {
  for (const auto& preset : shell::theme_presets()) {
    if (preset.name != name) continue;
    const shell::ThemeColors& c = preset.colors;
    return {c.bg_color,          c.line_color,          c.bg_alpha,           c.bg_text_color,
            c.bottom_bk_color,   c.bottom_bg_alpha,     c.bottom_text_color,  c.menu_bk_color,
            c.menu_bg_alpha,     c.menu_text_color,     c.edit_bk_color,      c.edit_out_line_color,
            c.edit_in_line_color, c.edit_bg_alpha,      c.edit_text_color,    c.btn_bk_color,
            c.btn_bg_alpha,      c.btn_text_color,      c.list_bk_color,      c.list_line_color,
            c.list_bg_alpha,     c.list_text_color,     c.msg_box_bk_color,   c.msg_box_bg_alpha,
            c.msg_box_text_color, c.animation_bk_color, c.animation_bg_alpha};
  }
  throw std::runtime_error("no colour preset named " + std::string(name));
}

}  // namespace

const std::vector<Palette>& palettes() {
  static const std::vector<Palette> all = {
      {"Classic", values_of("Classic"),
       {0x0E1A27, 0x1D4057, 0x32D5F2, 0x1F3042, 0x32D5F2, 0x1690B8, 0xEDF1F5, 0x1F3042}},
      {"Sakura", values_of("Sakura"),
       {0x2A1024, 0x6A2F57, 0xFF9EC8, 0x5C2A4A, 0xFF9EC8, 0xD05C93, 0xF8EEF3, 0x4A1F3C}},
      {"Forest", values_of("Forest"),
       {0x0B1D14, 0x245A3F, 0xF2B84B, 0x1E3B2C, 0xF2B84B, 0xC98A1E, 0xEFF4EF, 0x1E3B2C}},
  };
  return all;
}

const Palette& palette_named(const std::string& name) {
  for (const Palette& p : palettes())
    if (p.name == name) return p;
  throw std::runtime_error("no palette named " + name);
}

}  // namespace tavrin::tools
