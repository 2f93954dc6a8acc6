#include "skin_painter.h"

#include <cmath>
#include <cstdint>

#include "icons.h"

namespace tavrin::tools {
namespace {

// Status colours shared by every theme, so a contact's state reads the same.
constexpr uint32_t kOnline = 0x35C46A;
constexpr uint32_t kBusy = 0xE5484D;
constexpr uint32_t kAway = 0xF5A524;
constexpr uint32_t kOffline = 0x98A2AD;
constexpr uint32_t kMeeting = 0x8E6CE8;
constexpr uint32_t kPending = 0x4E8DF0;
constexpr uint32_t kMobile = 0x2FA7A0;
constexpr uint32_t kMessage = 0xFF8A3D;

// A small deterministic generator for background ornaments.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  double next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / 16777216.0;
  }

 private:
  uint32_t state_;
};

}  // namespace

SkinPainter::SkinPainter(const Palette& palette) : palette_(palette) {
  const auto add = [this](const std::string& name, std::function<void(Canvas&)> fn) {
    painters_["Theme/" + name] = std::move(fn);
  };
  add("bk.png", [this](Canvas& c) { background(c); });
  add("TavrinMainBk.png", [this](Canvas& c) { main_frame(c); });
  add("TavrinDialog.png", [this](Canvas& c) { chat_frame(c); });
  add("SettingBk.png", [this](Canvas& c) { setting_background(c); });
  add("TavrinStatus.png", [this](Canvas& c) { status_strip(c); });
  add("TavrinActInfo.png", [this](Canvas& c) { avatar(c); });
  add("NewSMS.png", [this](Canvas& c) { new_message(c); });
  add("BriskTreeFlag.png", [this](Canvas& c) { tree_flags(c); });
  add("TavrinOper.png", [this](Canvas& c) { operations(c); });
  add("TavrinAddSearch.png", [this](Canvas& c) { add_search(c); });
  add("TavrinGroupMsg.png", [this](Canvas& c) { group_message(c); });
  add("TavrinMsgOper.png", [this](Canvas& c) { chat_operations(c); });
  add("TavrinTabBkSel.png", [this](Canvas& c) { selected_tab(c); });
  add("TavrinLogo.png", [this](Canvas& c) { logo(c); });
  add("TavrinInOut.png", [this](Canvas& c) { in_out(c); });
  add("BriskContactInfo.png", [this](Canvas& c) { contact_info(c); });
  add("BriskContactZu.png", [this](Canvas& c) { contact_group(c); });
  add("AddBuddy.png", [this](Canvas& c) { add_buddy(c); });
  add("BtnNormal.png", [this](Canvas& c) { setting_tab(c, false); });
  add("BtnSel.png", [this](Canvas& c) { setting_tab(c, true); });
  add("SettingBtn.png", [this](Canvas& c) { switches(c); });
  add("Folder.png", [this](Canvas& c) { folder(c, false); });
  add("FolderB.png", [this](Canvas& c) { folder(c, true); });
  add("download.png", [this](Canvas& c) { image_file(c); });
}

bool SkinPainter::paint(const std::string& name, Canvas& canvas) const {
  const auto it = painters_.find(name);
  if (it == painters_.end()) return false;
  it->second(canvas);
  return true;
}

void SkinPainter::background(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  cairo_t* cr = c.cr();
  const double w = c.width(), h = c.height();
  cairo_rectangle(cr, 0, 0, w, h);
  c.fill_path_vertical(0, h, t.sky_top, t.sky_bottom);
  // Two broad diagonal light bands.
  for (int band = 0; band < 2; ++band) {
    const double y0 = h * (0.28 + band * 0.34);
    cairo_move_to(cr, 0, y0);
    cairo_line_to(cr, w, y0 - h * 0.22);
    cairo_line_to(cr, w, y0 - h * 0.22 + 90 + band * 40);
    cairo_line_to(cr, 0, y0 + 60 + band * 30);
    cairo_close_path(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, w, 0);
    const uint32_t g = t.glow;
    const double r = ((g >> 16) & 0xFF) / 255.0, gg = ((g >> 8) & 0xFF) / 255.0,
                 b = (g & 0xFF) / 255.0;
    cairo_pattern_add_color_stop_rgba(p, 0, r, gg, b, 0.0);
    cairo_pattern_add_color_stop_rgba(p, 0.5, r, gg, b, 0.07);
    cairo_pattern_add_color_stop_rgba(p, 1, r, gg, b, 0.0);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  // Soft out-of-focus lights.
  Lcg rng(0x7A57u + static_cast<uint32_t>(palette_.name.size()));
  for (int i = 0; i < 26; ++i) {
    const double x = rng.next() * w, y = rng.next() * h, rad = 8 + rng.next() * 38;
    cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, rad);
    const uint32_t g = i % 3 == 0 ? 0xFFFFFF : t.glow;
    const double a = 0.05 + rng.next() * 0.08;
    cairo_pattern_add_color_stop_rgba(p, 0, ((g >> 16) & 0xFF) / 255.0, ((g >> 8) & 0xFF) / 255.0,
                                      (g & 0xFF) / 255.0, a);
    cairo_pattern_add_color_stop_rgba(p, 0.7, ((g >> 16) & 0xFF) / 255.0, ((g >> 8) & 0xFF) / 255.0,
                                      (g & 0xFF) / 255.0, a * 0.6);
    cairo_pattern_add_color_stop_rgba(p, 1, ((g >> 16) & 0xFF) / 255.0, ((g >> 8) & 0xFF) / 255.0,
                                      (g & 0xFF) / 255.0, 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, x, y, rad, 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
  // Vignette.
  cairo_pattern_t* v =
      cairo_pattern_create_radial(w / 2, h * 0.45, h * 0.25, w / 2, h * 0.45, h * 0.75);
  cairo_pattern_add_color_stop_rgba(v, 0, 0, 0, 0, 0);
  cairo_pattern_add_color_stop_rgba(v, 1, 0, 0, 0, 0.35);
  cairo_set_source(cr, v);
  cairo_paint(cr);
  cairo_pattern_destroy(v);
}

void SkinPainter::bottom_bar(Canvas& c, double top) const {
  const SkinTones& t = palette_.tones;
  cairo_t* cr = c.cr();
  cairo_rectangle(cr, 0, top, c.width(), 60);
  c.fill_path_vertical(top, top + 60, lighten(t.bar, 0.12), darken(t.bar, 0.2), 0.94);
  cairo_rectangle(cr, 0, top, c.width(), 1);
  c.colour(t.accent, 0.55);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, top + 1, c.width(), 1);
  c.colour(0xFFFFFF, 0.12);
  cairo_fill(cr);
  // The soft-key row below.
  cairo_rectangle(cr, 0, top + 60, c.width(), c.height() - top - 60);
  c.fill_path_vertical(top + 60, c.height(), darken(t.bar, 0.35), darken(t.bar, 0.55), 1.0);
}

void SkinPainter::round_button(Canvas& c, double cx, double cy, double r, uint32_t base) const {
  c.shadow(cx - r, cy - r, 2 * r, 2 * r, r, 3, 0.25);
  c.glossy(cx - r, cy - r, 2 * r, 2 * r, r, base);
}

void SkinPainter::main_frame(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  cairo_t* cr = c.cr();
  // Header, window rows 0-113 (display 52-165).
  cairo_rectangle(cr, 0, 0, c.width(), 113);
  c.fill_path_vertical(0, 113, lighten(t.bar, 0.08), darken(t.bar, 0.15), 0.88);
  cairo_rectangle(cr, 0, 0, c.width(), 56);
  c.fill_path_vertical(0, 56, 0xFFFFFF, 0xFFFFFF, 0.05);
  cairo_rectangle(cr, 0, 112, c.width(), 1);
  c.colour(t.accent, 0.7);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 113, c.width(), 6);
  c.fill_path_vertical(113, 119, 0x000000, 0x000000, 0.0);
  for (int i = 0; i < 6; ++i) {
    cairo_rectangle(cr, 0, 113 + i, c.width(), 1);
    c.colour(0x000000, 0.22 * (6 - i) / 6);
    cairo_fill(cr);
  }
  // Avatar ring around (30,14)-(120,104).
  for (int i = 8; i >= 1; --i) c.disc(75, 59, 47 + i, t.accent, 0.025);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 75, 59, 48, 0, 2 * M_PI);
  c.colour(t.accent, 0.95);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  c.disc(75, 59, 46, darken(t.bar, 0.3), 0.7);
  // List area: a light tint keeps rows readable on busy backgrounds.
  cairo_rectangle(cr, 0, 119, c.width(), 519);
  c.colour(0x000000, 0.10);
  cairo_fill(cr);
  // Bottom bar, window rows 638-698, tap areas x 1-159 (refresh) and 321-479.
  bottom_bar(c, 638);
  for (double x : {160.0, 320.0}) {
    cairo_rectangle(cr, x, 648, 1, 40);
    c.colour(0x000000, 0.35);
    cairo_fill(cr);
    cairo_rectangle(cr, x + 1, 648, 1, 40);
    c.colour(0xFFFFFF, 0.10);
    cairo_fill(cr);
  }
  icons::refresh(c, 60, 648, 40, lighten(t.accent, 0.2));
  icons::two_people(c, 218, 648, 42, lighten(t.accent, 0.2));
  icons::card(c, 380, 646, 44, lighten(t.accent, 0.2));
}

void SkinPainter::chat_frame(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  cairo_t* cr = c.cr();
  // Title band 0-40.
  cairo_rectangle(cr, 0, 0, c.width(), 40);
  c.fill_path_vertical(0, 40, lighten(t.bar, 0.1), darken(t.bar, 0.1), 0.95);
  // Tab strip 40-100, three tabs of 160.
  cairo_rectangle(cr, 0, 40, c.width(), 60);
  c.fill_path_vertical(40, 100, darken(t.bar, 0.3), darken(t.bar, 0.45), 0.85);
  for (double x : {160.0, 320.0}) {
    cairo_rectangle(cr, x, 50, 1, 40);
    c.colour(0xFFFFFF, 0.14);
    cairo_fill(cr);
  }
  cairo_rectangle(cr, 0, 99, c.width(), 1);
  c.colour(t.accent, 0.6);
  cairo_fill(cr);
  // Input well 100-268.
  cairo_rectangle(cr, 0, 100, c.width(), 170);
  c.colour(t.bar, 0.45);
  cairo_fill(cr);
  c.shadow(12, 112, 456, 144, 12, 4, 0.25);
  c.fill_rounded(12, 112, 456, 144, 12, t.paper, 0.92);
  c.stroke_rounded(12, 112, 456, 144, 12, t.accent, 0.8, 2);
  // Conversation 270-690 stays clear; the bars follow.
  cairo_rectangle(cr, 0, 269, c.width(), 1);
  c.colour(t.accent, 0.35);
  cairo_fill(cr);
  bottom_bar(c, 690);
}

void SkinPainter::setting_background(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  cairo_t* cr = c.cr();
  cairo_rectangle(cr, 0, 0, c.width(), c.height());
  c.fill_path_vertical(0, c.height(), t.paper, darken(t.paper, 0.08));
  // Faint diagonal hatching on the page.
  cairo_save(cr);
  cairo_rectangle(cr, 80, 52, 400, 638);
  cairo_clip(cr);
  c.colour(t.ink, 0.035);
  cairo_set_line_width(cr, 1);
  for (int x = -800; x < 480; x += 14) {
    cairo_move_to(cr, x, 800);
    cairo_line_to(cr, x + 800, 0);
  }
  cairo_stroke(cr);
  cairo_restore(cr);
  // Title band and the tab column.
  cairo_rectangle(cr, 0, 0, c.width(), 52);
  c.fill_path_vertical(0, 52, lighten(t.bar, 0.1), darken(t.bar, 0.1));
  cairo_rectangle(cr, 0, 51, c.width(), 1);
  c.colour(t.accent, 0.8);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, 52, 80, 638);
  c.fill_path_vertical(52, 690, darken(t.bar, 0.05), darken(t.bar, 0.3));
  for (int i = 0; i < 8; ++i) {
    cairo_rectangle(cr, 80 + i, 52, 1, 638);
    c.colour(0x000000, 0.18 * (8 - i) / 8);
    cairo_fill(cr);
  }
  bottom_bar(c, 690);
}

void SkinPainter::status_strip(Canvas& c) const {
  // Cells in the client's order: 68, 75, 78, 76, 66, 66 by mobile, 69, 67, 70, other.
  struct Cell {
    uint32_t body;
    uint32_t badge;  // 0: none
    void (*mark)(const Canvas&, double, double, double, uint32_t);
    bool handset;
  };
  const Cell cells[10] = {
      {kOffline, 0, nullptr, false},
      {kOffline, kPending, icons::question, false},
      {kMobile, 0, nullptr, true},
      {kOffline, kBusy, icons::cross, false},
      {kOnline, kOnline, icons::check, false},
      {kOnline, kMobile, nullptr, false},
      {kAway, kAway, icons::clock, false},
      {kBusy, kBusy, icons::minus, false},
      {kMeeting, kMeeting, icons::dots, false},
      {0x6F8FA8, 0, nullptr, false},
  };
  for (int i = 0; i < 10; ++i) {
    const double x = i * 60;
    const Cell& cell = cells[i];
    // A soft disc behind the figure.
    cairo_new_sub_path(c.cr());
    cairo_arc(c.cr(), x + 28, 31, 25, 0, 2 * M_PI);
    c.fill_path_vertical(6, 56, lighten(cell.body, 0.55), lighten(cell.body, 0.25), 0.95);
    cairo_new_sub_path(c.cr());
    cairo_arc(c.cr(), x + 28, 31, 25, 0, 2 * M_PI);
    c.colour(darken(cell.body, 0.15), 0.9);
    cairo_set_line_width(c.cr(), 1.5);
    cairo_stroke(c.cr());
    cairo_save(c.cr());
    cairo_new_sub_path(c.cr());
    cairo_arc(c.cr(), x + 28, 31, 24, 0, 2 * M_PI);
    cairo_clip(c.cr());
    if (cell.handset)
      icons::phone(c, x + 6, 9, 44, darken(cell.body, 0.2));
    else
      icons::person(c, x + 5, 11, 46, darken(cell.body, 0.1));
    cairo_restore(c.cr());
    if (cell.badge != 0) {
      icons::badge(c, x + 45, 51, 9, cell.badge);
      if (cell.mark != nullptr)
        cell.mark(c, x + 36, 42, 18, 0xFFFFFF);
      else
        icons::phone(c, x + 37, 42, 17, 0xFFFFFF);
    }
  }
}

void SkinPainter::avatar(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  c.rounded(3, 3, 84, 84, 20);
  c.fill_path_vertical(3, 87, lighten(t.accent, 0.15), t.accent_deep);
  cairo_save(c.cr());
  c.rounded(3, 3, 84, 84, 20);
  cairo_clip(c.cr());
  icons::person(c, 11, 16, 70, 0xFFFFFF, 0.92);
  c.rounded(3, 3, 84, 40, 20);
  c.fill_path_vertical(3, 43, 0xFFFFFF, 0xFFFFFF, 0.12);
  cairo_restore(c.cr());
  c.stroke_rounded(3, 3, 84, 84, 20, 0xFFFFFF, 0.85, 2.5);
}

void SkinPainter::new_message(Canvas& c) const {
  c.shadow(2, 3, 28, 19, 4, 1, 0.3);
  c.rounded(2, 2, 28, 19, 4);
  c.fill_path_vertical(2, 21, lighten(kMessage, 0.15), darken(kMessage, 0.1));
  cairo_t* cr = c.cr();
  cairo_move_to(cr, 4.5, 4.5);
  cairo_line_to(cr, 16, 13);
  cairo_line_to(cr, 27.5, 4.5);
  c.colour(0xFFFFFF, 0.95);
  cairo_set_line_width(cr, 2);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  c.disc(27, 5, 4.5, 0xFFFFFF);
  c.disc(27, 5, 3.2, kBusy);
}

void SkinPainter::tree_flags(Canvas& c) const {
  icons::triangle(c, 0, 0, 20, palette_.tones.accent, false);
  icons::triangle(c, 20, 0, 20, palette_.tones.accent, true);
}

void SkinPainter::operations(Canvas& c) const {
  const uint32_t base = palette_.tones.accent_deep;
  using Icon = void (*)(const Canvas&, double, double, double, uint32_t);
  const Icon marks[4] = {icons::bubble, icons::envelope, icons::card, icons::dots};
  for (int i = 0; i < 4; ++i) {
    round_button(c, i * 48 + 24, 24, 20, base);
    marks[i](c, i * 48 + 10, 10, 28, 0xFFFFFF);
  }
}

void SkinPainter::add_search(Canvas& c) const {
  const uint32_t base = palette_.tones.accent_deep;
  round_button(c, 30, 30, 25, base);
  icons::person(c, 12, 12, 34, 0xFFFFFF);
  icons::badge(c, 43, 42, 8, kOnline);
  icons::plus(c, 35, 34, 16, 0xFFFFFF);
  round_button(c, 90, 30, 25, base);
  icons::magnifier(c, 72, 12, 36, 0xFFFFFF);
}

void SkinPainter::group_message(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  c.rounded(1, 2, 24, 25, 6);
  c.fill_path_vertical(2, 27, lighten(t.accent, 0.1), t.accent_deep);
  icons::bubble(c, 3, 5, 20, 0xFFFFFF);
}

void SkinPainter::chat_operations(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  using Icon = void (*)(const Canvas&, double, double, double, uint32_t);
  const Icon marks[7] = {icons::keyboard, icons::clipboard, icons::smiley, icons::nudge,
                         icons::bubble,   icons::envelope,  icons::history};
  for (int i = 0; i < 7; ++i) {
    const double x = i * 64;
    c.shadow(x + 5, 5, 54, 54, 14, 3, 0.25);
    c.glossy(x + 5, 4, 54, 54, 14, t.bar);
    marks[i](c, x + 14, 13, 36, i == 2 ? t.accent : 0xFFFFFF);
  }
}

void SkinPainter::selected_tab(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  cairo_t* cr = c.cr();
  c.rounded(4, 4, 152, 70, 12);  // bottom corners fall outside the image
  c.fill_path_vertical(4, 60, lighten(t.accent, 0.15), t.accent_deep, 0.95);
  c.rounded(5, 5, 150, 24, 11);
  c.fill_path_vertical(5, 29, 0xFFFFFF, 0xFFFFFF, 0.16);
  cairo_rectangle(cr, 4, 56, 152, 4);
  c.colour(0xFFFFFF, 0.8);
  cairo_fill(cr);
}

void SkinPainter::logo(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  mark(c, 8, 12, 5);
  // Word mark.
  c.text_centred("塔文", 196, 44, 44, 0x000000, 0.35, true);
  c.text_centred("塔文", 194, 42, 44, 0xFFFFFF, 1.0, true);
  c.text_centred("T A V R I N", 194, 90, 20, t.accent, 1.0, true);
}

void SkinPainter::app_icon(Canvas& c) const {
  // The logo's mark on a 100-unit square, scaled to the canvas.
  cairo_scale(c.cr(), c.width() / 100.0, c.height() / 100.0);
  mark(c, 7, 6, 3);
}

// The logo's mark: an 86-unit rounded tile with a speech bubble, at (x, y).
void SkinPainter::mark(Canvas& c, double x, double y, double shadow) const {
  const SkinTones& t = palette_.tones;
  c.shadow(x, y, 86, 86, 22, shadow, 0.35);
  c.rounded(x, y, 86, 86, 22);
  c.fill_path_vertical(y, y + 86, lighten(t.accent, 0.2), t.accent_deep);
  c.rounded(x + 1, y + 1, 84, 40, 21);
  c.fill_path_vertical(y + 1, y + 41, 0xFFFFFF, 0xFFFFFF, 0.18);
  icons::bubble(c, x + 12, y + 12, 62, 0xFFFFFF);
  c.stroke_rounded(x, y, 86, 86, 22, 0xFFFFFF, 0.6, 2);
}

void SkinPainter::in_out(Canvas& c) const {
  round_button(c, 24, 24, 20, kOnline);
  icons::arrow(c, 8, 8, 32, 0xFFFFFF, true);
  round_button(c, 72, 24, 20, kBusy);
  icons::arrow(c, 56, 8, 32, 0xFFFFFF, false);
}

void SkinPainter::contact_info(Canvas& c) const {
  icons::book(c, 0, 0, 48, palette_.tones.accent_deep);
}

void SkinPainter::contact_group(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  c.rounded(3, 3, 42, 42, 10);
  c.fill_path_vertical(3, 45, lighten(t.accent, 0.1), t.accent_deep);
  icons::two_people(c, 8, 9, 32, 0xFFFFFF);
}

void SkinPainter::add_buddy(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  c.shadow(4, 4, 56, 56, 14, 3, 0.3);
  c.rounded(4, 4, 56, 56, 14);
  c.fill_path_vertical(4, 60, lighten(t.accent, 0.15), t.accent_deep);
  icons::person(c, 8, 10, 46, 0xFFFFFF);
  icons::badge(c, 48, 48, 10, kOnline);
  icons::plus(c, 38, 38, 20, 0xFFFFFF);
}

void SkinPainter::setting_tab(Canvas& c, bool selected) const {
  const SkinTones& t = palette_.tones;
  cairo_t* cr = c.cr();
  if (selected) {
    c.rounded(4, 6, 90, 88, 14);  // right edge runs out of the image into the page
    c.fill_path_vertical(6, 94, lighten(t.accent, 0.15), t.accent_deep);
    c.rounded(5, 7, 88, 36, 13);
    c.fill_path_vertical(7, 43, 0xFFFFFF, 0xFFFFFF, 0.16);
    cairo_move_to(cr, 80, 40);
    cairo_line_to(cr, 70, 50);
    cairo_line_to(cr, 80, 60);
    cairo_close_path(cr);
    c.colour(t.paper);
    cairo_fill(cr);
  } else {
    cairo_rectangle(cr, 0, 0, 80, 100);
    c.fill_path_vertical(0, 100, lighten(t.bar, 0.06), darken(t.bar, 0.08), 0.9);
    cairo_rectangle(cr, 10, 99, 60, 1);
    c.colour(0xFFFFFF, 0.14);
    cairo_fill(cr);
    cairo_rectangle(cr, 10, 98, 60, 1);
    c.colour(0x000000, 0.3);
    cairo_fill(cr);
  }
}

void SkinPainter::switches(Canvas& c) const {
  const SkinTones& t = palette_.tones;
  // Box off, box on.
  c.fill_rounded(10, 10, 28, 28, 7, 0xFFFFFF);
  c.stroke_rounded(10, 10, 28, 28, 7, 0x9AA3AD, 1.0, 2);
  c.rounded(58, 10, 28, 28, 7);
  c.fill_path_vertical(10, 38, lighten(t.accent, 0.1), t.accent_deep);
  icons::check(c, 56, 8, 32, 0xFFFFFF);
  // Radio off, radio on.
  c.disc(120, 24, 14, 0xFFFFFF);
  cairo_new_sub_path(c.cr());
  cairo_arc(c.cr(), 120, 24, 13, 0, 2 * M_PI);
  c.colour(0x9AA3AD);
  cairo_set_line_width(c.cr(), 2);
  cairo_stroke(c.cr());
  c.disc(168, 24, 14, t.accent_deep);
  c.disc(168, 24, 11, 0xFFFFFF);
  c.disc(168, 24, 7, t.accent_deep);
}

void SkinPainter::folder(Canvas& c, bool highlighted) const {
  if (highlighted) {
    for (int i = 6; i >= 1; --i)
      c.fill_rounded(6 - i, 10 - i, 52 + 2 * i, 46 + 2 * i, 8 + i, palette_.tones.accent, 0.04);
    icons::folder(c, 0, 0, 64, palette_.tones.accent, darken(palette_.tones.accent, 0.15));
  } else {
    icons::folder(c, 0, 0, 64, 0xF4B940, 0xD99A1E);
  }
}

void SkinPainter::image_file(Canvas& c) const {
  icons::picture(c, 0, 0, 64, 0xFFFFFF, 0x5BA8E8);
  c.stroke_rounded(6, 10, 52, 44, 5, 0xB8C0C8, 1.0, 1.5);
  icons::badge(c, 50, 50, 10, palette_.tones.accent_deep);
  cairo_t* cr = c.cr();
  cairo_set_line_width(cr, 2.4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  c.colour(0xFFFFFF);
  cairo_move_to(cr, 50, 43);
  cairo_line_to(cr, 50, 56);
  cairo_move_to(cr, 45, 51);
  cairo_line_to(cr, 50, 56);
  cairo_line_to(cr, 55, 51);
  cairo_stroke(cr);
}

}  // namespace tavrin::tools
